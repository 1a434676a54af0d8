// Lookups on a parsed INI tree that only the tests and fuzzers need.
#pragma once

#include <string>
#include <string_view>

#include "ini/ini.h"

inline bool hasSection(const IniSection& section, std::string_view name) {
    return findSection(section, name) != nullptr;
}

// Throws IniException "Key '<key>' does not exists".
inline const std::string& getKey(const IniSection& section, const std::string& key) {
    const auto it = section.keys.find(key);
    if (it == section.keys.end()) throw IniException("Key '" + key + "' does not exists");
    return it->second;
}

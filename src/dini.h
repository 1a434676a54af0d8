// INI reader for carset files: sections with key/value tables, dotted
// section paths and inheritance.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class IniException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct IniSection {
    std::string name = "root";
    IniSection* parent = nullptr; // none for the root
    std::vector<IniSection> sections;
    std::map<std::string, std::string> keys;
};

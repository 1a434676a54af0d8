// The INI reader on arbitrary text, and the section lookups on its result.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ini/ini.h"
#include "fuzzsupport.h"
#include "ini_lookup.h"

namespace {

// Walks the tree through the lookups with each section's own name, as the
// carset code looks sections up; depth-first without recursion.
std::size_t walk(const IniSection& root) {
    std::size_t seen = 0;
    std::vector<const IniSection*> todo{&root};
    while (!todo.empty()) {
        const IniSection* s = todo.back();
        todo.pop_back();
        ++seen;
        for (const IniSection& child : s->sections) {
            if (findSection(*s, child.name) == nullptr) std::abort();
            todo.push_back(&child);
        }
        for (const auto& [key, value] : s->keys)
            if (&getKey(*s, key) != &value) std::abort();
    }
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    try {
        IniSection root = parseIni(text);
        walk(root);
        IniSection copy = root;
        if (walk(copy) != walk(root)) std::abort();
        // Dotted paths as a header would write them.
        const std::size_t newline = text.find('\n');
        try {
            getSectionByPath(root, text.substr(0, newline == std::string_view::npos ? text.size() : newline));
        } catch (const IniException& e) {
            fuzzsupport::checkMessage(e.what());
        }
    } catch (const IniException& e) {
        fuzzsupport::checkMessage(e.what());
    }
    return 0;
}

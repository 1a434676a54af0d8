#include "gemplus.h"

#include <vector>

const std::array<std::string_view, 5> carsetSearchDirs = {
    "cst",
    ".",
    "/GPL/Mods/GEM+",
    "C:/Sierra/gpl/Mods/GEM+",
    "C:/Program Files (x86)/GPL/Mods/GEM+",
};

std::string normalizePath(std::string_view path) {
    const bool rooted = !path.empty() && path.front() == '/';
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        const std::string_view part = path.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
                continue;
            }
            if (rooted) continue; // nothing above the root
        }
        parts.push_back(part);
    }

    std::string out = rooted ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '/';
        out += parts[i];
    }
    return out.empty() ? "." : out;
}

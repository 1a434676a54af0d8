#include "carset/carset_search.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "text/unicode.h"

const std::array<std::string_view, 5> carsetSearchDirs = {
    "cst",
    ".",
    "/GPL/Mods/GEM+",
    "C:/Sierra/gpl/Mods/GEM+",
    "C:/Program Files (x86)/GPL/Mods/GEM+",
};

namespace {

bool isSeparator(char c) { return c == platform::pathSeparator || c == '/'; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Windows compares file names without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

// The length of the root of an absolute Windows path: "C:\" or
// "\\server\share"; 0 for any other path.
std::size_t rootLength(std::string_view p) {
    if (p.size() >= 3 && isAsciiLetter(p[0]) && p[1] == ':' && p[2] == '\\') return 3;
    if (p.substr(0, 2) != "\\\\") return 0;
    std::size_t server = p.find('\\', 2);
    if (server == std::string_view::npos) return p.size();
    std::size_t share = p.find('\\', server + 1);
    return share == std::string_view::npos ? p.size() : share;
}

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t cut = path.find('\\', start);
        if (cut == std::string_view::npos) cut = path.size();
        if (cut > start) parts.push_back(path.substr(start, cut - start));
        start = cut + 1;
    }
    return parts;
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The ".cst" files of one search directory, sorted by the bytes of their
// paths. A directory that is missing or is a file yields nothing; one that
// cannot be listed throws.
std::vector<std::string> carsetCandidates(std::string_view searchDir) {
    const std::string dir = normalizePath(searchDir);
    if (!platform::exists(dir) || !platform::isDirectory(dir)) return {};
    std::vector<std::string> kept;
    for (const std::string& entry : platform::listDirectory(dir)) {
        if (!endsWith(entry, ".cst")) continue;
        const char sep = platform::pathSeparator;
        std::string path = dir.back() == sep ? dir + entry : dir + sep + entry;
        if (!platform::exists(path) || platform::isDirectory(path)) continue;
        // Carsets found by their install location are named from where we stand.
        if (isAbsoluteWindowsPath(path)) path = relativeWindowsPath(path, platform::currentDirectory());
        kept.push_back(std::move(path));
    }
    // std::string compares its chars as unsigned, i.e. byte order.
    std::sort(kept.begin(), kept.end());
    return kept;
}

} // namespace

std::optional<Carset> detectCarset(const std::string& carsetName) {
    std::vector<std::string> candidates;
    for (std::string_view dir : carsetSearchDirs) {
        std::vector<std::string> found = carsetCandidates(dir);
        candidates.insert(candidates.end(), found.begin(), found.end());
    }

    const std::string wanted = unicode::toLower(carsetName);
    std::vector<Carset> matches;
    for (const std::string& path : candidates) {
        std::optional<Carset> carset;
        try {
            carset = Carset::load(path);
        } catch (const std::runtime_error&) {
            continue;
        }
        if (!carset->loaded()) continue;
        const std::string* cardir = carset->find("Carset", "CarDir");
        if (cardir && unicode::toLower(*cardir) == wanted) matches.push_back(std::move(*carset));
    }
    if (matches.size() > 1)
        std::erase_if(matches, [](const Carset& match) { return match.find("Carset", "Engines") != nullptr; });
    if (matches.empty()) return std::nullopt;
    return std::move(matches.front());
}

std::string normalizePath(std::string_view path) {
    const char sep = platform::pathSeparator;
    const bool rooted = !path.empty() && isSeparator(path.front());
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = start;
        while (slash < path.size() && !isSeparator(path[slash])) ++slash;
        const std::string_view part = path.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            // A Windows drive ("C:") is a root: nothing above it.
            const bool atDrive = sep == '\\' && parts.size() == 1 && parts.front().size() == 2 &&
                                 parts.front()[1] == ':';
            if (atDrive) continue;
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
                continue;
            }
            if (rooted) continue; // nothing above the root
        }
        parts.push_back(part);
    }

    std::string out = rooted ? std::string(1, sep) : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += sep;
        out += parts[i];
    }
    return out.empty() ? "." : out;
}

bool isAbsoluteWindowsPath(std::string_view path) { return rootLength(path) > 0; }

std::string relativeWindowsPath(std::string_view path, std::string_view base) {
    const std::size_t root = rootLength(path);
    if (root == 0 || rootLength(base) != root || !sameName(path.substr(0, root), base.substr(0, root)))
        return std::string(path);
    const std::vector<std::string_view> to = components(path.substr(root));
    const std::vector<std::string_view> from = components(base.substr(root));
    std::size_t common = 0;
    while (common < to.size() && common < from.size() && sameName(to[common], from[common])) ++common;

    std::string out;
    auto add = [&](std::string_view part) {
        if (!out.empty()) out += '\\';
        out += part;
    };
    for (std::size_t i = common; i < from.size(); ++i) add("..");
    for (std::size_t i = common; i < to.size(); ++i) add(to[i]);
    return out.empty() ? "." : out;
}

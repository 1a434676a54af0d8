#include "archive/archive_inputs.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "text/format.h"

std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Windows takes '/' as well as '\'; elsewhere a '\' is part of a name and
// stays.
std::string archivePath(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

namespace {

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return archivePath(std::string(text.begin(), text.end()));
}

bool isReplayName(const std::filesystem::path& path) {
    std::string extension = utf8Of(path.extension());
    for (char& c : extension) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return extension == ".rpy";
}

void addFolder(const std::string& folder, std::vector<std::string>& paths) {
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(fsPath(folder), error), end;
    for (; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (isReplayName(it->path()) && it->is_regular_file(ignored)) paths.push_back(utf8Of(it->path()));
    }
    if (error) throw std::runtime_error(formatText("cannot list folder %s: %s", folder, error.message()));
}

} // namespace

std::vector<std::string> replayPaths(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (std::filesystem::is_directory(fsPath(argument), error))
            addFolder(argument, paths);
        else
            paths.push_back(archivePath(argument));
    }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

std::vector<std::string> splitPathList(std::string_view text) {
    const char separator = text.find('\0') != std::string_view::npos ? '\0' : '\n';
    std::vector<std::string> paths;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(separator), text.size());
        std::string_view path = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (separator == '\n' && path.ends_with('\r')) path.remove_suffix(1);
        if (!path.empty()) paths.emplace_back(path);
    }
    return paths;
}

#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace platform {

namespace {

// Paths are UTF-8 on every system.
std::filesystem::path native(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

void check(const std::error_code& error, const std::string& path) {
    if (error) throw FileError(path + ": " + error.message());
}

} // namespace

void makeDirectory(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directory(native(path), error);
    check(error, path);
}

void renamePath(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(native(from), native(to), error);
    check(error, from);
}

void removeTree(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(native(path), error);
    check(error, path);
}

} // namespace platform

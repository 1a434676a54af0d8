// Where GEM+ carset files are searched for when the carset is detected.
#pragma once

#include <array>
#include <string>
#include <string_view>

// Searched in this order. The first two are relative to the working
// directory; the Windows install locations are kept as written.
extern const std::array<std::string_view, 5> carsetSearchDirs;

// Resolves empty, "." and ".." components as text, without looking at the
// file system, and writes the system's separator between components ("/" is
// one on every system). A path that resolves to nothing becomes ".".
std::string normalizePath(std::string_view path);

// A Windows path that starts with a drive ("C:\") or is a network path
// ("\\server\share"). A path rooted on the current drive ("\x") is not.
bool isAbsoluteWindowsPath(std::string_view path);

// An absolute Windows path written relative to the absolute directory base
// ("..\x\y.cst"); unchanged when the two have different roots.
std::string relativeWindowsPath(std::string_view path, std::string_view base);

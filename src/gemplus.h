// Where GEM+ carset files are searched for when the carset is detected.
#pragma once

#include <array>
#include <string>
#include <string_view>

// Searched in this order. The first two are relative to the working
// directory; the Windows install locations are kept as written.
extern const std::array<std::string_view, 5> carsetSearchDirs;

// Resolves empty, "." and ".." components as text, without looking at the
// file system. A path that resolves to nothing becomes ".".
std::string normalizePath(std::string_view path);

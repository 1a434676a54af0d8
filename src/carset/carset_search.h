// Finding the carset of a replay: the folders searched, the match on the
// carset's CarDir, and the path arithmetic that names what was found.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "carset/carset.h"

// The carset among the ".cst" files of the search folders whose
// Carset/CarDir matches the name case-insensitively; files that cannot be
// loaded are skipped. Of several matches, those without an "Engines" key
// are preferred, then the first by folder order and path bytes. A folder
// that exists but cannot be listed throws.
std::optional<Carset> detectCarset(const std::string& carsetName);

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

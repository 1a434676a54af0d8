// The replays of an archive run: paths and folders, and lists of paths.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A path as the system takes it, from UTF-8 (the program's paths).
std::filesystem::path fsPath(const std::string& utf8);

// A replay's path as the archive shows it: '/' between folders on every
// system, so that found and given paths sort and compare alike on every
// machine.
std::string archivePath(std::string path);

// The replays the arguments name: a folder stands for every file below it
// whose name ends in ".rpy" (any case), anything else for itself. Sorted
// bytewise and without repeats, so that the rows come out in the same order
// however the paths were given; '/' separates folders on every system.
// Throws when a folder cannot be listed.
std::vector<std::string> replayPaths(const std::vector<std::string>& arguments);

// The paths of a list: NUL-separated when it holds a NUL (find -print0),
// else one a line (a CR before the LF is dropped). Empty entries are skipped.
std::vector<std::string> splitPathList(std::string_view text);

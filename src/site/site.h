// A league's site from its season file: an index with the calendar and the
// standings, a page per held round with its official result, a page per
// driver, and each page's data beside it.
#pragma once

#include <stdexcept>
#include <string>

class Diagnostics;

// A site folder that may not be replaced, or an input inside it.
class SiteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the season's site into folder, replacing it as a whole: the pages
// go to a sibling folder first, which then takes the folder's name, so a
// failed run leaves the previous site. Only an empty folder or one that
// holds gridtally's marker file is replaced; anything else throws
// SiteError, as does a folder that holds any file the season reads.
void writeSite(const std::string& seasonPath, const std::string& folder, Diagnostics& diagnostics);

// A driver's page name: ASCII letters and digits, other runs as one '-'.
std::string pageName(const std::string& driver);

// Builds the text of a GEM+ carset file for tests and sample files.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cstbuilder {

// A field left unset writes no line at all; an empty text writes "Key=".
struct CarSpec {
    unsigned index = 0;                  // section "Car<index>"
    std::optional<std::string> team;     // "Team"
    std::optional<std::string> chassis;  // "Name"
    std::optional<std::string> engine;   // "Engine"
};

struct CarsetSpec {
    std::optional<std::string> name;     // [Carset] "Name"
    std::optional<std::string> cardir;   // [Carset] "CarDir"
    std::optional<std::string> physics;  // [Carset] "Physics"
    std::optional<std::string> shortid;  // [Carset] "ShortID"
    std::optional<std::string> year;     // [Carset] "Year", as written
    std::optional<std::string> engines;  // [Carset] "Engines"
    std::vector<CarSpec> cars;
    std::vector<std::string> extraLines; // written verbatim after the cars
    bool withCarsetSection = true;       // false: no [Carset] header or keys
    std::string lineEnd = "\r\n";
};

// The file as UTF-8 text.
std::string carsetText(const CarsetSpec& spec);

// The file as the program reads it from disk: Windows-1252 bytes.
std::string carsetBytes(const CarsetSpec& spec);

} // namespace cstbuilder

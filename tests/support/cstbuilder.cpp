#include "cstbuilder.h"

#include "encoded_text.h"

namespace cstbuilder {

namespace {

void keyLine(std::string& out, const char* key, const std::optional<std::string>& value,
             const std::string& lineEnd) {
    if (value) out += std::string(key) + "=" + *value + lineEnd;
}

} // namespace

std::string carsetText(const CarsetSpec& spec) {
    const std::string& nl = spec.lineEnd;
    std::string out;
    if (spec.withCarsetSection) {
        out += "[Carset]" + nl;
        keyLine(out, "Name", spec.name, nl);
        keyLine(out, "CarDir", spec.cardir, nl);
        keyLine(out, "Physics", spec.physics, nl);
        keyLine(out, "ShortID", spec.shortid, nl);
        keyLine(out, "Year", spec.year, nl);
        keyLine(out, "Engines", spec.engines, nl);
    }
    for (const CarSpec& car : spec.cars) {
        out += nl + "[Car" + std::to_string(car.index) + "]" + nl;
        keyLine(out, "Team", car.team, nl);
        keyLine(out, "Name", car.chassis, nl);
        keyLine(out, "Engine", car.engine, nl);
    }
    for (const std::string& line : spec.extraLines) out += line + nl;
    return out;
}

std::string carsetBytes(const CarsetSpec& spec) { return toMultiByte(carsetText(spec), 0); }

} // namespace cstbuilder

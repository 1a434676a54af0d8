// Carset loading and detection over a small tree of fuzzed files.
//
// Input: the replay's carset name, then up to six carset files, separated by
// the byte 0x1E. The files go to fixed places in and below the working
// directory (the relative search directories "cst" and "."), one of them
// under a name that is never a candidate. Each input then runs the whole
// conversion of a valid replay naming that carset, both report formats
// (without the lap listing, which no carset changes),
//   - with "--cst" naming the first file: a report, or a carset failure
//     that names the file, and
//   - with "--cst-auto": detection and the carset's names in the entries.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "carset/carset.h"
#include "fuzzsupport.h"
#include "report/report.h"
#include "weekend/weekend_builder.h"
#include "rpybuilder.h"

namespace {

constexpr char separator = '\x1E';
constexpr std::array<const char*, 6> places = {"cst/a.cst", "cst/b.cst", "a.cst",
                                               "d.cst",     "cst/Z.cst", "x.CST"};

std::vector<std::string_view> split(std::string_view input) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t cut = input.find(separator);
        parts.push_back(input.substr(0, cut));
        if (cut == std::string_view::npos) return parts;
        input.remove_prefix(cut + 1);
    }
}

void writeFile(const char* path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
}

// A valid weekend whose cars use the carset's names: models 0, 1 and 9 (no
// built-in name), text and coded tags.
std::string replayNaming(std::string_view carset) {
    using namespace rpybuilder;
    ReplaySpec r;
    r.weekend.carset = std::string(carset);
    r.drivers = {
        DriverSpec{.firstName = "Jim", .carIndex = 0, .carClass = 3, .carId = 1, .number = 5, .tagIsText = 1},
        DriverSpec{.lastName = "Hill", .tag = tagBytes(82, 1, 3), .carIndex = 1, .carId = 2, .number = 7},
        DriverSpec{.carIndex = 9, .carId = 3, .number = 11},
    };
    r.sessions = {SessionSpec{{CarSpec{1, {lapWord(1000), lapWord(90000)}}, CarSpec{2, {lapWord(1200)}}}},
                  SessionSpec{{CarSpec{1, {lapWord(500), lapWord(80000), lapWord(161000)}},
                               CarSpec{3, {lapWord(700), lapWord(82000, offTrack)}}}}};
    return buildReplay(r);
}

// The replay is valid and reading carsets never fails for their contents
// but with a CarsetError: nothing else may come out of here.
void convert(std::string_view replay, const CarsetChoice& carset) {
    const Weekend weekend = fuzzsupport::weekendOf(replay, carset);
    for (ReportFormat format : {ReportFormat::TEXT, ReportFormat::SEMIKV}) {
        ReportOptions options;
        options.format = format;
        fuzzsupport::checkedReport(weekend, options);
    }
}

// The working directory of the detection.
const std::string& scratch() {
    static const std::string dir = [] {
        std::string made = fuzzsupport::makeScratchDirectory();
        // A directory with a candidate's name is no candidate.
        if (::mkdir((made + "/cst").c_str(), 0700) != 0 || ::mkdir((made + "/cst/dir.cst").c_str(), 0700) != 0)
            std::abort();
        return made;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::vector<std::string_view> parts =
        split(std::string_view(reinterpret_cast<const char*>(bytes), size));
    fuzzsupport::InDirectory inScratch(scratch());
    // Files are rewritten in place; creating them anew costs more.
    static std::array<bool, places.size()> present{};
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (i + 1 < parts.size()) {
            writeFile(places[i], parts[i + 1]);
            present[i] = true;
        } else if (present[i]) {
            ::unlink(places[i]);
            present[i] = false;
        }
    }

    const std::string replay = replayNaming(parts[0]);
    try {
        convert(replay, CarsetChoice{places[0], false});
    } catch (const CarsetError& e) {
        // "--cst": a failure names the file.
        if (std::string_view(e.what()).rfind(std::string(places[0]) + ": ", 0) != 0) std::abort();
    }
    convert(replay, CarsetChoice{"", true});
    return 0;
}

// Carset loading and detection over a small tree of fuzzed files.
//
// Input: the replay's carset name, then up to six carset files, separated by
// the byte 0x1E. The files go to fixed places in and below the working
// directory (the relative search directories "cst" and "."), one of them
// under a name that is never a candidate. Each input then runs
//   - the "--cst" load of the first file, and
//   - the whole conversion of a valid replay naming that carset with
//     "--cst-auto": detection, the carset's names in the entries and both
//     report formats (without the lap listing, which no carset changes).
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data.h"
#include "fuzzsupport.h"
#include "globals.h"
#include "report.h"
#include "rpybuilder.h"
#include "rpylib.h"

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

void convertWithDetection(std::string_view carsetName) {
    static fuzzsupport::MemFile file;
    file.assign(replayNaming(carsetName));
    fuzzsupport::quietReset();
    Globals& g = globals();
    g.options["cst-auto"];
    // The replay is valid and detection never fails for file contents: no
    // exception may come out of here.
    RpyFile rpy(file.path());
    const fuzzsupport::PoisonedTail tail(rpy.bytes().data(), rpy.bytes().size());
    rpy.checkHeader();
    std::unique_ptr<Data> data = create(rpy.game());
    data->build(rpy);
    for (OutputFormat format : {OutputFormat::TXT, OutputFormat::SEMIKV}) {
        const std::string text = Report(*data, format).toString();
        if (text.empty()) std::abort();
        fuzzsupport::checkUtf8(text);
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

    // "--cst": a failure names the file, and the target stays as it was.
    IniSection carset;
    carset.keys["untouched"] = "yes";
    if (auto failure = loadCarset(places[0], carset)) {
        if (std::string_view(failure->what()).rfind(std::string(places[0]) + ": ", 0) != 0) std::abort();
        if (carset.keys.size() != 1 || !carset.sections.empty()) std::abort();
    }

    convertWithDetection(parts[0]);
    return 0;
}

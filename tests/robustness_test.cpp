// Broken input of every kind must end in an error message, never a crash:
// the sample weekend and its carset, mutated at random (with a fixed seed),
// go through the whole pipeline. Under the sanitizers this also catches any
// out-of-bounds read on the way.
#include <gtest/gtest.h>

#include <random>

#include "ini/ini.h"
#include "pipeline/replay_report.h"
#include "collected_diagnostics.h"
#include "report/report.h"
#include "testutil.h"
#include "weekend/weekend_builder.h"

namespace {

std::string sample(const char* name) {
    return testutil::readFile(std::string(GRIDTALLY_SOURCE_DIR) + "/examples/" + name);
}

// Overwrites, inserts or deletes a few bytes, mostly near the start where
// the records lie; sometimes cuts the file.
std::string mutate(std::string bytes, std::mt19937& rng) {
    const std::size_t edits = 1 + rng() % 8;
    for (std::size_t i = 0; i < edits && !bytes.empty(); ++i) {
        const std::size_t window = std::min<std::size_t>(bytes.size(), rng() % 2 ? 2048 : bytes.size());
        const std::size_t at = rng() % window;
        switch (rng() % 4) {
        case 0: bytes[at] = static_cast<char>(rng()); break;
        case 1:
            for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k) bytes[at + k] = static_cast<char>(rng());
            break;
        case 2: bytes.erase(at, 1 + rng() % 64); break;
        default: bytes.insert(at, 1 + rng() % 16, static_cast<char>(rng())); break;
        }
    }
    if (rng() % 10 == 0) bytes.resize(rng() % (bytes.size() + 1));
    return bytes;
}

// The run's conversion in every format; false when the replay was refused
// with a message.
bool report(const std::string& path) {
    try {
        for (ReportFormat format :
             {ReportFormat::TEXT, ReportFormat::SEMIKV, ReportFormat::JSON, ReportFormat::CSV, ReportFormat::HTML}) {
            ReportOptions options;
            options.format = format;
            options.laps = true;
            StringSink sink;
            IgnoredDiagnostics warnings;
            writeReplayReport(path, CarsetChoice{}, options, sink, warnings);
            EXPECT_FALSE(sink.text().empty());
        }
        return true;
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()), "");
        return false;
    }
}

} // namespace

TEST(Robustness, MutatedReplaysGiveAReportOrAMessage) {
    testutil::TempDir dir;
    const std::string original = sample("monza67.rpy");
    std::mt19937 rng(20261208);
    int refused = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string path = dir.write("x.rpy", mutate(original, rng));
        if (!report(path)) ++refused;
    }
    // Both outcomes must have been exercised for the test to mean anything.
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, 400);
}

TEST(Robustness, MutatedCarsetsParseOrFailWithAMessage) {
    const std::string original = sample("gem67.cst");
    std::mt19937 rng(1967);
    int failed = 0;
    for (int i = 0; i < 2000; ++i) {
        try {
            IniSection ini = parseIni(mutate(original, rng));
            (void)ini;
        } catch (const IniException& e) {
            EXPECT_NE(std::string(e.what()), "");
            ++failed;
        }
    }
    EXPECT_GT(failed, 0);
}

// The C API: the program's bytes through a callback and a buffer, its rows,
// and its errors as status and message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capi/gridtally.h"
#include "rpybuilder.h"
#include "testutil.h"

using testutil::runGridtally;
using testutil::TempDir;

namespace {

const std::string sample = std::string(GRIDTALLY_SOURCE_DIR) + "/examples/monza67.rpy";
const std::string carset = std::string(GRIDTALLY_SOURCE_DIR) + "/examples/gem67.cst";

int append(void* user, const char* text, size_t length) {
    static_cast<std::string*>(user)->append(text, length);
    return 0;
}

struct Outcome {
    gridtally_status status;
    std::string message;
    std::string text;
};

Outcome report(const gridtally_replay& replay, const gridtally_options& options) {
    Outcome o;
    gridtally_error error{};
    o.status = gridtally_report(&replay, &options, append, &o.text, &error);
    if (error.message) o.message = error.message;
    gridtally_error_free(&error);
    return o;
}

} // namespace

TEST(CApi, ReportsAreTheProgramsBytesInEveryFormat) {
    const struct {
        gridtally_format format;
        const char* option;
    } formats[] = {{GRIDTALLY_TEXT, "--format=txt"},   {GRIDTALLY_SEMIKV, "--format=semikv"},
                   {GRIDTALLY_JSON, "--format=json"},  {GRIDTALLY_CSV, "--format=csv"},
                   {GRIDTALLY_HTML, "--format=html"}};
    for (const auto& f : formats) {
        const testutil::RunResult cli = runGridtally({f.option, "--laps", "--cst", carset, sample});
        ASSERT_EQ(cli.status, 0) << cli.err;
        gridtally_options options{};
        options.format = f.format;
        options.flags = GRIDTALLY_WITH_LAPS;
        options.carset_path = carset.c_str();
        const Outcome o = report(gridtally_replay{sample.c_str(), nullptr, 0}, options);
        EXPECT_EQ(o.status, GRIDTALLY_OK) << o.message;
        EXPECT_EQ(o.text, cli.out) << f.option;
        // The same replay from memory.
        const std::string bytes = testutil::readFile(sample);
        const Outcome m = report(gridtally_replay{"monza67.rpy", bytes.data(), bytes.size()}, options);
        EXPECT_EQ(m.status, GRIDTALLY_OK) << m.message;
        EXPECT_EQ(m.text, cli.out) << f.option;

        // The buffer: asked for its size first, then filled.
        size_t length = 0;
        const gridtally_replay replay{sample.c_str(), nullptr, 0};
        ASSERT_EQ(gridtally_report_buffer(&replay, &options, nullptr, 0, &length, nullptr), GRIDTALLY_BUFFER_TOO_SMALL);
        EXPECT_EQ(length, cli.out.size());
        std::vector<char> buffer(length + 1, 'x');
        ASSERT_EQ(gridtally_report_buffer(&replay, &options, buffer.data(), length, &length, nullptr),
                  GRIDTALLY_BUFFER_TOO_SMALL);
        ASSERT_EQ(gridtally_report_buffer(&replay, &options, buffer.data(), buffer.size(), &length, nullptr),
                  GRIDTALLY_OK);
        EXPECT_EQ(std::string(buffer.data()), cli.out) << f.option;
    }
}

TEST(CApi, FailuresAreStatusesWithTheProgramsMessages) {
    TempDir dir;
    rpybuilder::ReplaySpec cut = rpybuilder::raceReplay(3, 4);
    cut.fileLength = 200;
    rpybuilder::writeReplay(dir, "cut.rpy", cut);
    const std::string cutPath = dir.file("cut.rpy");
    const std::string missing = dir.file("missing.rpy");
    const std::string missingCarset = dir.file("missing.cst");
    const struct {
        std::string path;
        const char* carset;
        int format;
        gridtally_status status;
        std::vector<std::string> args; // the program's run, for its message
    } cases[] = {
        {missing, nullptr, GRIDTALLY_TEXT, GRIDTALLY_BROKEN_REPLAY, {missing}},
        {cutPath, nullptr, GRIDTALLY_TEXT, GRIDTALLY_BROKEN_REPLAY, {cutPath}},
        {sample, missingCarset.c_str(), GRIDTALLY_TEXT, GRIDTALLY_BAD_CARSET, {"--cst", missingCarset, sample}},
        {sample, nullptr, 9, GRIDTALLY_BAD_ARGUMENT, {}},
    };
    for (const auto& c : cases) {
        gridtally_options options{};
        options.format = c.format;
        options.carset_path = c.carset;
        const Outcome o = report(gridtally_replay{c.path.c_str(), nullptr, 0}, options);
        EXPECT_EQ(o.status, c.status) << c.path;
        EXPECT_TRUE(o.text.empty());
        if (c.args.empty()) continue;
        EXPECT_EQ("Error: " + o.message + "\n", runGridtally(c.args).err) << c.path;
    }
    // A callback that stops the report.
    gridtally_error error{};
    const gridtally_replay replay{sample.c_str(), nullptr, 0};
    EXPECT_EQ(gridtally_report(&replay, nullptr, [](void*, const char*, size_t) { return 1; }, nullptr, &error),
              GRIDTALLY_STOPPED);
    EXPECT_EQ(error.status, GRIDTALLY_STOPPED);
    gridtally_error_free(&error);
}

TEST(CApi, RowsAreTheArchiveStreamWhateverTheThreads) {
    TempDir dir;
    rpybuilder::writeReplay(dir, "a.rpy", rpybuilder::raceReplay(4, 6));
    rpybuilder::writeReplay(dir, "b.rpy", rpybuilder::raceReplay(3, 2));
    dir.write("c.rpy", "no replay");
    const testutil::RunResult cli = runGridtally({"--archive", "--laps", dir.path()});
    ASSERT_EQ(cli.status, 1) << cli.err;
    const std::string folder = dir.path();
    const char* paths[] = {folder.c_str()};
    // The same replays one by one: a file, and two from memory named by
    // their paths.
    const std::string a = dir.file("a.rpy"), b = dir.file("b.rpy"), c = dir.file("c.rpy");
    const std::string bBytes = testutil::readFile(b), cBytes = testutil::readFile(c);
    const gridtally_replay replays[] = {
        {a.c_str(), nullptr, 0}, {b.c_str(), bBytes.data(), bBytes.size()}, {c.c_str(), cBytes.data(), cBytes.size()}};
    for (unsigned threads : {1u, 2u}) {
        for (bool oneByOne : {false, true}) {
            gridtally_options options{};
            options.flags = GRIDTALLY_WITH_LAPS;
            options.threads = threads;
            struct Seen {
                std::string text;
                std::vector<int> tables;
            } seen;
            const gridtally_row_fn take = [](void* user, gridtally_table table, const char* line, size_t length) {
                auto& s = *static_cast<Seen*>(user);
                s.text.append(line, length);
                s.tables.push_back(table);
                return 0;
            };
            gridtally_error error{};
            const gridtally_status status = oneByOne ? gridtally_replay_rows(replays, 3, &options, take, &seen, &error)
                                                     : gridtally_rows(paths, 1, &options, take, &seen, &error);
            EXPECT_EQ(status, GRIDTALLY_BROKEN_REPLAY);
            EXPECT_STREQ(error.message, "1 of 3 replays are broken");
            gridtally_error_free(&error);
            EXPECT_EQ(seen.text, cli.out) << threads << oneByOne;
            // The table of each line is the one it names.
            const char* names[] = {"replays", "results", "laps"};
            std::size_t at = 0;
            for (int table : seen.tables) {
                EXPECT_EQ(seen.text.compare(at, 10, "{\"table\":\""), 0);
                EXPECT_EQ(seen.text.compare(at + 10, std::strlen(names[table]), names[table]), 0);
                at = seen.text.find('\n', at) + 1;
            }
        }
    }
}

#include "globals.h"

#include "platform/platform.h"

namespace {
Globals& instance() {
    static Globals g;
    return g;
}
} // namespace

Globals& globals() {
    Globals& g = instance();
    if (!g.stdoutConsole) resetGlobals();
    return g;
}

void setDefaultReportFlags() {
    auto& f = instance().reportFlags;
    f[Flag::REPLAY_INFO] = true;
    f[Flag::EVENT_INFO] = true;
    f[Flag::ENTRY_LIST] = true;
    f[Flag::PRACTICE_RESULTS] = true;
    f[Flag::RACE_RESULTS] = true;
    f[Flag::LAPS] = false;
}

void resetGlobals(std::FILE* in, std::FILE* out, std::FILE* err) {
    Globals& g = instance();
    g.reportFlags.clear();
    g.options.clear();
    g.cstFile.clear();
    g.carsetIni = IniSection{};
    g.stdinConsole = std::make_unique<ConsoleInput>(in);
    g.stdoutConsole = std::make_unique<ConsoleOutput>(out);
    g.stderrConsole = std::make_unique<ConsoleOutput>(err);
    g.consoleOutputCodePage = platform::consoleOutputCodePage();
    g.consoleInputCodePage = platform::consoleInputCodePage();
    setDefaultReportFlags();
}

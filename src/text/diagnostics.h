// Where readers and builders report what does not stop them: warnings and
// notices. The command line prints them; tests collect them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class Diagnostics {
public:
    virtual ~Diagnostics() = default;
    // A problem in the input that the run survives; printed after "Warning: ".
    virtual void warning(std::string_view text) = 0;
    // Information about the run, such as the carset file chosen.
    virtual void notice(std::string_view text) = 0;
};

// Keeps every message, in order, as it would be printed.
class CollectedDiagnostics final : public Diagnostics {
public:
    void warning(std::string_view text) override { messages.push_back("Warning: " + std::string(text)); }
    void notice(std::string_view text) override { messages.emplace_back(text); }

    std::vector<std::string> messages;
};

// Drops every message.
class IgnoredDiagnostics final : public Diagnostics {
public:
    void warning(std::string_view) override {}
    void notice(std::string_view) override {}
};

// Diagnostics for tests: kept to compare, or dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/diagnostics.h"

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

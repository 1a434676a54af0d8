// Where readers and builders report what does not stop them: warnings and
// notices. The command line prints them; tests collect them.
#pragma once

#include <string_view>

class Diagnostics {
public:
    virtual ~Diagnostics() = default;
    // A problem in the input that the run survives; printed after "Warning: ".
    virtual void warning(std::string_view text) = 0;
    // Information about the run, such as the carset file chosen.
    virtual void notice(std::string_view text) = 0;
};

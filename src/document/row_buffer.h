// One row of a lap table, put together in a fixed buffer and appended to the
// report in one piece: those tables hold millions of rows, and appending
// them field by field to the report's string costs a third of the run time.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "document/cells.h"
#include "weekend/timing.h"

class RowBuffer {
public:
    static constexpr std::size_t capacity = 512;

    template <std::size_t N>
    RowBuffer& operator<<(const char (&literal)[N]) {
        return text(std::string_view(literal, N - 1));
    }
    RowBuffer& text(std::string_view s) {
        room(s.size());
        std::memcpy(end_, s.data(), s.size());
        end_ += s.size();
        return *this;
    }
    RowBuffer& integer(std::uint64_t value) {
        room(20);
        end_ = std::to_chars(end_, end_ + 20, value).ptr;
        return *this;
    }
    // formatLapTime's text.
    RowBuffer& time(std::uint32_t ms) {
        room(lapTimeTextMax);
        end_ = writeLapTime(end_, ms);
        return *this;
    }
    // The milliseconds, or missing for noTime.
    RowBuffer& milliseconds(std::uint32_t ms, std::string_view missing) {
        return ms == noTime ? text(missing) : integer(ms);
    }
    RowBuffer& boolean(bool value) { return value ? *this << "true" : *this << "false"; }

    // Appends the row to out and empties the buffer.
    void appendTo(std::string& out) {
        out.append(buffer_, end_);
        end_ = buffer_;
    }

private:
    void room(std::size_t n) const {
        if (n > static_cast<std::size_t>(buffer_ + capacity - end_)) throw std::length_error("report row too long");
    }

    char buffer_[capacity];
    char* end_ = buffer_;
};

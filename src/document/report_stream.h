// Where a report's text goes: writers append to the stream's buffer, which
// passes the text on to the sink in pieces of about a mebibyte, so that a
// report of any size needs only that much memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void write(std::string_view text) = 0;
};

// Keeps the whole text (tests, short reports).
class StringSink final : public ReportSink {
public:
    void write(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

class ReportStream {
public:
    static constexpr std::size_t pieceSize = std::size_t(1) << 20;

    explicit ReportStream(ReportSink& sink) : sink_(sink) {}
    ReportStream(const ReportStream&) = delete;
    ReportStream& operator=(const ReportStream&) = delete;

    // Append here; call endRow at a line boundary now and then.
    std::string& buffer() { return buffer_; }
    ReportStream& operator+=(std::string_view text) {
        buffer_ += text;
        return *this;
    }
    void endRow() {
        if (buffer_.size() >= pieceSize) flush();
    }
    // Passes on what is buffered.
    void flush() {
        if (buffer_.empty()) return;
        sink_.write(buffer_);
        buffer_.clear();
    }

private:
    ReportSink& sink_;
    std::string buffer_;
};

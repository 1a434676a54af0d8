#include "console.h"

#include <stdexcept>

#include "globals.h"
#include "platform/platform.h"

namespace {

bool detect(ConvertMode mode, std::FILE* stream) {
    switch (mode) {
    case ConvertMode::ALWAYS: return true;
    case ConvertMode::NEVER: return false;
    case ConvertMode::AUTO: break;
    }
    return platform::isTerminal(stream);
}

bool hasHighBytes(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// The end of the last complete UTF-8 character; an incomplete trailing
// sequence is held back so that a character split over two writes reaches
// the console whole. A tail is incomplete when its lead byte announces more
// continuation bytes than follow it. 0xFF announces nothing and counts
// complete; surplus or stray continuation bytes are ill-formed and go out as
// they are.
std::size_t completeEnd(std::string_view buf) {
    std::size_t k = 0;
    std::size_t pos = buf.size();
    while (pos > 0 && (static_cast<unsigned char>(buf[pos - 1]) & 0xC0) == 0x80) {
        --pos;
        ++k;
    }
    if (pos == 0) return buf.size(); // stray continuation bytes: nothing to wait for
    auto b = static_cast<unsigned char>(buf[pos - 1]);
    if ((b & 0x80) == 0 || b == 0xFF) return buf.size();
    std::size_t ones = 0;
    for (unsigned mask = 0x80; mask != 0 && (b & mask); mask >>= 1) ++ones;
    return ones > k + 1 ? pos - 1 : buf.size();
}

// The console code pages, captured at start-up in the program state.
unsigned outputCodePage() { return globals().consoleOutputCodePage; }
unsigned inputCodePage() { return globals().consoleInputCodePage; }

std::string convertFailure(const platform::ConversionError& e) {
    return std::string("Couldn't convert string: ") + e.what();
}

} // namespace

ConsoleInput::ConsoleInput(std::FILE* stream) : stream_(stream) { convert_ = detect(mode_, stream_); }

void ConsoleInput::mode(ConvertMode m) {
    mode_ = m;
    convert_ = detect(mode_, stream_);
}

int ConsoleInput::setEcho(bool on) { return platform::setInputEcho(on) ? -1 : 0; }

bool ConsoleInput::readLine() {
    if (!line.empty()) return false;
    if (eof) return true;
    bool atEnd = false;
    for (;;) {
        int c = std::fgetc(stream_);
        if (c == EOF) {
            if (std::ferror(stream_))
                throw std::runtime_error("Read from console failed: " + platform::lastErrorText());
            eof = true;
            atEnd = line.empty();
            break;
        }
        if (c == '\r') {
            line.push_back('\n');
            lastWasCR_ = true;
            break;
        }
        if (c == '\n') {
            if (lastWasCR_) {
                lastWasCR_ = false;
                continue;
            }
            line.push_back('\n');
            break;
        }
        lastWasCR_ = false;
        line.push_back(static_cast<char>(c));
    }
    // The whole line is converted (not only up to a NUL), so nothing typed is
    // dropped.
    if (convert_ && hasHighBytes(line)) {
        try {
            line = platform::decodeCodePage(line, inputCodePage());
        } catch (const platform::ConversionError& e) {
            throw std::runtime_error(convertFailure(e));
        }
    }
    return atEnd;
}

ConsoleOutput::ConsoleOutput(std::FILE* stream) : stream_(stream) { convert_ = detect(mode_, stream_); }

void ConsoleOutput::mode(ConvertMode m) {
    mode_ = m;
    convert_ = detect(mode_, stream_);
}

void ConsoleOutput::writeText(std::string_view text) {
    // Bytes held back by the last flush (the start of a character split over
    // two writes) go out in front of the new text.
    buffer_.erase(0, flushed_);
    flushed_ = 0;
    if (buffer_.empty()) {
        // Nothing held back: the text goes out from where it is, and only an
        // incomplete last character is kept.
        const std::size_t end = completeEnd(text);
        emit(text.substr(0, end));
        buffer_.assign(text.substr(end));
        std::fflush(stream_);
        return;
    }
    buffer_.append(text);
    flush();
}

void ConsoleOutput::emit(std::string_view part) {
    if (convert_ && hasHighBytes(part)) {
        std::string converted;
        try {
            converted = platform::encodeCodePage(part, outputCodePage());
        } catch (const platform::ConversionError& e) {
            throw std::runtime_error(convertFailure(e));
        }
        std::fwrite(converted.data(), 1, converted.size(), stream_);
    } else {
        std::fwrite(part.data(), 1, part.size(), stream_);
    }
}

void ConsoleOutput::flush() {
    std::size_t end = completeEnd(buffer_);
    if (end > flushed_) emit(std::string_view(buffer_).substr(flushed_, end - flushed_));
    if (end >= flushed_) flushed_ = end;
    if (flushed_ == buffer_.size()) {
        buffer_.clear(); // keeps the storage for the next write
        flushed_ = 0;
    }
    std::fflush(stream_);
}

ConsoleInput& stdinConsole() { return *globals().stdinConsole; }
ConsoleOutput& stdoutConsole() { return *globals().stdoutConsole; }
ConsoleOutput& stderrConsole() { return *globals().stderrConsole; }

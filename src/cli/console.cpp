#include "cli/console.h"

#include <stdexcept>

#include "platform/platform.h"
#include "text/visible_text.h"

namespace {

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

} // namespace

ConsoleOutput::ConsoleOutput(std::FILE* stream, unsigned codePage) : stream_(stream), codePage_(codePage) {
    mode(ConvertMode::AUTO);
}

void ConsoleOutput::mode(ConvertMode m) {
    convert_ = m == ConvertMode::ALWAYS || (m == ConvertMode::AUTO && platform::isTerminal(stream_));
}

void ConsoleOutput::writeText(std::string_view text) {
    if (!heldBack_.empty()) {
        // The held-back start of a character goes out together with the
        // continuation bytes that open this text; only they are copied.
        std::size_t more = 0;
        while (more < text.size() && more < 4 && (static_cast<unsigned char>(text[more]) & 0xC0) == 0x80) ++more;
        std::string joint = std::move(heldBack_);
        heldBack_.clear();
        joint.append(text.substr(0, more));
        text.remove_prefix(more);
        const std::size_t end = text.empty() ? completeEnd(joint) : joint.size();
        emit(std::string_view(joint).substr(0, end));
        heldBack_.assign(joint, end);
    }
    if (!text.empty()) {
        const std::size_t end = completeEnd(text);
        emit(text.substr(0, end));
        heldBack_.assign(text.substr(end));
    }
    std::fflush(stream_);
}

void ConsoleOutput::writeLine(std::string_view text) {
    writeText(text);
    writeText("\n");
}

void ConsoleOutput::emit(std::string_view part) {
    if (convert_ && hasHighBytes(part)) {
        std::string converted;
        try {
            converted = platform::encodeCodePage(part, codePage_);
        } catch (const platform::ConversionError& e) {
            throw std::runtime_error(std::string("Couldn't convert string: ") + e.what());
        }
        std::fwrite(converted.data(), 1, converted.size(), stream_);
    } else {
        std::fwrite(part.data(), 1, part.size(), stream_);
    }
}

void MessageOutput::writeLine(std::string_view message) { console_.writeLine(wellFormedVisibleText(std::string(message))); }

void MessageOutput::ask(std::string_view question) { console_.writeText(wellFormedVisibleText(std::string(question))); }

void MessageOutput::progress(std::string_view text) {
    console_.writeText("\r");
    console_.writeText(wellFormedVisibleText(std::string(text)));
}

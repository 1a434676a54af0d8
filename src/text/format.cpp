#include "text/format.h"

#include <charconv>
#include <cstddef>
#include <limits>

#include "text/unicode.h"

namespace {

constexpr std::int64_t maxInt32 = std::numeric_limits<std::int32_t>::max();

struct Field {
    bool leftAlign = false;
    bool zeroFill = false;
    std::int64_t width = 0;      // in grapheme clusters
    std::int64_t precision = -1; // -1: none
};

// Small fixed buffer for one number; a 64-bit value needs at most 20 digits.
struct Digits {
    char buf[24];
    std::size_t len = 0;
    bool negative = false;
    std::string_view view() const { return std::string_view(buf, len); }
};

Digits toDigits(std::uint64_t magnitude, bool negative, int base, bool upper) {
    Digits d;
    d.negative = negative;
    auto res = std::to_chars(d.buf, d.buf + sizeof d.buf, magnitude, base);
    d.len = static_cast<std::size_t>(res.ptr - d.buf);
    if (upper) {
        for (std::size_t i = 0; i < d.len; ++i)
            if (d.buf[i] >= 'a' && d.buf[i] <= 'z') d.buf[i] = static_cast<char>(d.buf[i] - 'a' + 'A');
    }
    return d;
}

// Magnitude without negating the value itself, so INT64_MIN is fine.
std::uint64_t magnitudeOf(std::int64_t v) {
    return v < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

bool isInteger(const FormatArg& a) { return !std::holds_alternative<std::string_view>(a); }

void appendDefault(std::string& out, const FormatArg& a) {
    if (auto s = std::get_if<std::string_view>(&a)) {
        out.append(*s);
    } else if (auto i = std::get_if<std::int64_t>(&a)) {
        Digits d = toDigits(magnitudeOf(*i), *i < 0, 10, false);
        if (d.negative) out.push_back('-');
        out.append(d.view());
    } else {
        out.append(toDigits(std::get<std::uint64_t>(a), false, 10, false).view());
    }
}

void pad(std::string& out, std::int64_t count, char c) {
    if (count > 0) out.append(static_cast<std::size_t>(count), c);
}

// Pure ASCII without CR has one grapheme cluster per byte (CR LF is the one
// ASCII pair that forms a single cluster), so the cluster scans can be skipped.
bool oneClusterPerByte(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r') return false;
    return true;
}

void appendText(std::string& out, std::string_view text, const Field& field) {
    bool simple = oneClusterPerByte(text);
    if (field.precision >= 0) {
        auto n = static_cast<std::size_t>(field.precision);
        text = text.substr(0, simple ? n : unicode::graphemePrefixBytes(text, n));
    }
    std::int64_t fill = 0;
    if (field.width > 0) {
        std::size_t clusters = simple ? text.size() : unicode::graphemeCount(text);
        fill = field.width - static_cast<std::int64_t>(clusters);
    }
    if (!field.leftAlign) pad(out, fill, ' ');
    out.append(text);
    if (field.leftAlign) pad(out, fill, ' ');
}

void appendNumber(std::string& out, const Digits& d, const Field& field) {
    // A precision on a number is its minimum digit count, as in printf.
    std::int64_t zeros = 0;
    if (field.precision >= 0) {
        zeros = field.precision - static_cast<std::int64_t>(d.len);
        if (zeros < 0) zeros = 0;
    }
    std::int64_t len = static_cast<std::int64_t>(d.len) + zeros + (d.negative ? 1 : 0);
    std::int64_t fill = field.width - len;
    if (fill > 0 && field.zeroFill && !field.leftAlign && field.precision < 0) {
        zeros += fill;
        fill = 0;
    }
    if (!field.leftAlign) pad(out, fill, ' ');
    if (d.negative) out.push_back('-');
    pad(out, zeros, '0');
    out.append(d.view());
    if (field.leftAlign) pad(out, fill, ' ');
}

class Formatter {
public:
    Formatter(std::string_view fmt, std::span<const FormatArg> args) : fmt_(fmt), args_(args) {}

    void run(std::string& out) {
        std::size_t i = 0;
        while (i < fmt_.size()) {
            std::size_t pct = fmt_.find('%', i);
            if (pct == std::string_view::npos) {
                out.append(fmt_.substr(i));
                break;
            }
            out.append(fmt_.substr(i, pct - i));
            i = directive(out, pct + 1);
        }
        for (; next_ < args_.size(); ++next_) appendDefault(out, args_[next_]);
    }

private:
    std::int64_t starArgument() {
        if (next_ >= args_.size()) throw FormatException("too few arguments");
        const FormatArg& a = args_[next_++];
        if (auto s = std::get_if<std::int64_t>(&a)) {
            if (*s > maxInt32 || *s < -maxInt32 - 1) throw FormatException("int overflow");
            return *s;
        }
        if (auto u = std::get_if<std::uint64_t>(&a)) {
            if (*u > static_cast<std::uint64_t>(maxInt32)) throw FormatException("int overflow");
            return static_cast<std::int64_t>(*u);
        }
        throw FormatException("int argument expected");
    }

    // Formats one directive starting after its '%'; returns the position
    // after it.
    std::size_t directive(std::string& out, std::size_t i) {
        const detail::Directive d = detail::parseDirective(fmt_, i);
        if (d.error) throw FormatException(d.error);
        if (d.conv == '%') {
            out.push_back('%');
            return d.end;
        }
        Field field{d.leftAlign, d.zeroFill, d.width, d.precision};
        if (d.widthStar) {
            field.width = starArgument();
            if (field.width < 0) {
                field.leftAlign = true;
                field.width = -field.width;
            }
        }
        if (d.precisionStar) {
            field.precision = starArgument();
            if (field.precision < 0) field.precision = -1; // as if omitted
        }
        const char conv = d.conv;
        if (next_ >= args_.size()) throw FormatException();
        const FormatArg& a = args_[next_++];
        if (conv == 's') {
            if (auto s = std::get_if<std::string_view>(&a)) appendText(out, *s, field);
            else if (auto v = std::get_if<std::int64_t>(&a)) appendNumber(out, toDigits(magnitudeOf(*v), *v < 0, 10, false), field);
            else appendNumber(out, toDigits(std::get<std::uint64_t>(a), false, 10, false), field);
            return d.end;
        }
        if (!isInteger(a)) throw FormatException();
        if (conv == 'd') {
            if (auto v = std::get_if<std::int64_t>(&a)) appendNumber(out, toDigits(magnitudeOf(*v), *v < 0, 10, false), field);
            else appendNumber(out, toDigits(std::get<std::uint64_t>(a), false, 10, false), field);
            return d.end;
        }
        // %u and %X show a negative value as its 64-bit two's complement.
        std::uint64_t bits = std::holds_alternative<std::int64_t>(a)
                                 ? static_cast<std::uint64_t>(std::get<std::int64_t>(a))
                                 : std::get<std::uint64_t>(a);
        appendNumber(out, toDigits(bits, false, conv == 'X' ? 16 : 10, conv == 'X'), field);
        return d.end;
    }

    std::string_view fmt_;
    std::span<const FormatArg> args_;
    std::size_t next_ = 0;
};

} // namespace

std::string formatArgs(std::string_view fmt, std::span<const FormatArg> args) {
    std::string out;
    Formatter(fmt, args).run(out);
    return out;
}

void appendFormatArgs(std::string& out, std::string_view fmt, std::span<const FormatArg> args) {
    const std::size_t before = out.size();
    try {
        Formatter(fmt, args).run(out);
    } catch (const FormatException&) {
        out.resize(before);
        throw;
    }
}

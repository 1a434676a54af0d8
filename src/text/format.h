// The one printf-style formatter shared by messages, console writers and
// reports. Only the pattern is interpreted: arguments are plain values, so a
// '%' inside an argument is text.
//
// Directives: %s (any value), %d, %u, %X (integers), %%; flags '-' and '0';
// width and precision (also '*', taking an integer argument); precision cuts
// %s text. Widths and precisions count grapheme clusters.
//
// A pattern written as a string literal is checked when the program is
// compiled: an unknown directive, a text where an integer is needed, too few
// or surplus arguments do not compile. A pattern known only at run time goes
// through RuntimePattern and is checked as it is used (FormatException).
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

class FormatException : public std::runtime_error {
public:
    explicit FormatException(const std::string& msg = "format error") : std::runtime_error(msg) {}
};

using FormatArg = std::variant<std::string_view, std::int64_t, std::uint64_t>;

namespace detail {

enum class ArgKind : std::uint8_t { text, integer };

template <class T>
constexpr ArgKind argKind() {
    if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) return ArgKind::integer;
    else return ArgKind::text;
}

// One directive as the pattern spells it: %[-0...][width|*][.precision|.*]conv.
struct Directive {
    bool leftAlign = false;
    bool zeroFill = false;
    bool widthStar = false;
    bool precisionStar = false;
    std::int64_t width = 0;
    std::int64_t precision = -1; // -1: none
    char conv = '%';             // s, d, u, X, or % for "%%"
    std::size_t end = 0;         // the position after it
    const char* error = nullptr; // set when the pattern is malformed here
};

// Reads the directive that starts after the '%' at fmt[i - 1]. The
// compile-time check and the formatter both read patterns through it, so
// they agree on every pattern.
constexpr Directive parseDirective(std::string_view fmt, std::size_t i) {
    // Past the end reads as NUL, which no part of a directive is.
    const auto at = [fmt](std::size_t k) { return k < fmt.size() ? fmt[k] : '\0'; };
    const auto number = [&](std::int64_t& v) {
        for (v = 0; at(i) >= '0' && at(i) <= '9'; ++i)
            if ((v = v * 10 + (fmt[i] - '0')) > INT32_MAX) return false;
        return true;
    };
    Directive d;
    d.end = i + 1;
    if (at(i) == '%') return d;
    for (;; ++i) {
        if (at(i) == '-') d.leftAlign = true;
        else if (at(i) == '0') d.zeroFill = true;
        else break;
    }
    // A width or precision: '*', or digits up to INT32_MAX.
    const auto field = [&](bool& star, std::int64_t& v) {
        if (at(i) != '*') return number(v);
        star = true;
        ++i;
        return true;
    };
    bool fits = field(d.widthStar, d.width);
    if (fits && at(i) == '.') {
        ++i;
        fits = field(d.precisionStar, d.precision);
    }
    d.conv = at(i);
    d.end = i + 1;
    if (!fits) d.error = "int overflow";
    else if (d.conv != 's' && d.conv != 'd' && d.conv != 'u' && d.conv != 'X')
        d.error = i < fmt.size() ? "format error" : "invalid specifier";
    return d;
}

// Walks a pattern as the formatter does and checks each directive against
// the argument kinds. True when every argument is consumed exactly once.
constexpr bool patternFits(std::string_view fmt, std::span<const ArgKind> kinds) {
    std::size_t next = 0;
    auto take = [&](bool needInteger) {
        if (next >= kinds.size() || (needInteger && kinds[next] != ArgKind::integer)) return false;
        ++next;
        return true;
    };
    for (std::size_t i = fmt.find('%'); i != std::string_view::npos; i = fmt.find('%', i)) {
        const Directive d = parseDirective(fmt, i + 1);
        if (d.error) return false;
        i = d.end;
        if (d.conv == '%') continue;
        if ((d.widthStar && !take(true)) || (d.precisionStar && !take(true)) || !take(d.conv != 's')) return false;
    }
    return next == kinds.size();
}

template <class T>
FormatArg toFormatArg(const T& v) {
    if constexpr (std::is_same_v<T, bool>) {
        return FormatArg(std::int64_t(v ? 1 : 0));
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        return FormatArg(std::int64_t(v));
    } else if constexpr (std::is_integral_v<T>) {
        return FormatArg(std::uint64_t(v));
    } else if constexpr (std::is_enum_v<T>) {
        return toFormatArg(static_cast<std::underlying_type_t<T>>(v));
    } else {
        return FormatArg(std::string_view(v));
    }
}

} // namespace detail

// A pattern checked at compile time against the argument types.
template <class... Args>
class BasicFormatString {
public:
    template <class S>
        requires std::convertible_to<const S&, std::string_view>
    consteval BasicFormatString(const S& pattern) : text_(pattern) {
        constexpr std::array<detail::ArgKind, sizeof...(Args)> kinds{detail::argKind<Args>()...};
        // Throwing here makes the call a compile error.
        if (!detail::patternFits(text_, kinds)) throw FormatException("pattern does not fit its arguments");
    }
    constexpr std::string_view get() const { return text_; }

private:
    std::string_view text_;
};

template <class... Args>
using FormatString = BasicFormatString<std::remove_cvref_t<std::decay_t<Args>>...>;

// A pattern that exists only at run time. Arguments that no directive
// consumes are appended in their default text form.
struct RuntimePattern {
    std::string_view text;
};

std::string formatArgs(std::string_view fmt, std::span<const FormatArg> args);
// The same text appended to out: reports are built this way, without a
// temporary string per line. On a format error out is left as it was.
void appendFormatArgs(std::string& out, std::string_view fmt, std::span<const FormatArg> args);

// The arguments live on the stack: formatting a line allocates nothing but
// its result.
template <class... Args>
std::string formatText(FormatString<Args...> fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{detail::toFormatArg(args)...};
    return formatArgs(fmt.get(), list);
}

template <class... Args>
std::string formatText(RuntimePattern fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{detail::toFormatArg(args)...};
    return formatArgs(fmt.text, list);
}

template <class... Args>
void appendFormat(std::string& out, FormatString<Args...> fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{detail::toFormatArg(args)...};
    appendFormatArgs(out, fmt.get(), list);
}

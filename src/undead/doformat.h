// The one printf-style formatter shared by messages, console writers and
// reports. Only the format string is interpreted: arguments are plain values,
// so a '%' inside an argument is text.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

class FormatException : public std::runtime_error {
public:
    explicit FormatException(const std::string& msg = "format error")
        : std::runtime_error(msg) {}
};

using FormatArg = std::variant<std::string_view, std::int64_t, std::uint64_t>;

// Directives: %s (any value), %d, %u, %X (integers), %%; flags '-' and '0';
// width and precision (also '*'); precision cuts %s text. Widths and
// precisions count grapheme clusters. Arguments no directive consumes are
// appended in their default text form.
std::string doformatArgs(std::string_view fmt, std::span<const FormatArg> args);
// The same text appended to out: reports are built this way, without a
// temporary string per line. On a format error out is left as it was.
void appendFormatArgs(std::string& out, std::string_view fmt, std::span<const FormatArg> args);

namespace detail {
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

// The arguments live on the stack: formatting a line allocates nothing but
// its result.
template <class... Args>
std::string doformat(std::string_view fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{detail::toFormatArg(args)...};
    return doformatArgs(fmt, list);
}

template <class... Args>
void appendFormat(std::string& out, std::string_view fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{detail::toFormatArg(args)...};
    appendFormatArgs(out, fmt, list);
}

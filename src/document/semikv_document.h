// What every semikv document shares, the season standings' too. A ';'
// inside a value is written as U+037E, so that only the layout's own
// semicolons separate fields, and a control character as its visible
// stand-in (text/visible_text.h), so that only the layout's line feeds end
// lines.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "text/format.h"
#include "text/visible_text.h"

// The value with every ';' replaced by U+037E (UTF-8 CD BE).
std::string semikvValue(std::string_view value);

namespace semikv {

// Text values are shown visibly and escaped; few hold a ';', so only those
// are copied again.
template <class T>
decltype(auto) field(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        std::string text = visibleText(std::string(std::string_view(value)));
        return text.find(';') == std::string::npos ? text : semikvValue(text);
    } else {
        return value;
    }
}

// Fills the layout's directives with escaped values.
template <class... Args>
void appendFields(std::string& out, FormatString<decltype(field(std::declval<const Args&>()))...> layout,
                  const Args&... values) {
    appendFormat(out, layout, field(values)...);
}

// The document's opening line and the empty line after it.
void appendStart(std::string& out);
inline constexpr const char* end = "semikv_end;\n";

} // namespace semikv

#include "text/unicode.h"

#include <algorithm>

namespace unicode {

namespace {

constexpr char32_t replacementChar = 0xFFFD;
constexpr char32_t hangulFirst = 0xAC00;
constexpr char32_t hangulLast = 0xD7A3;
constexpr char32_t hangulTCount = 28;

// Last element whose first is <= cp, or end.
template <class Range>
const Range* findRange(std::span<const Range> table, char32_t cp) {
    auto it = std::upper_bound(table.begin(), table.end(), cp,
                               [](char32_t c, const Range& r) { return c < r.first; });
    if (it == table.begin())
        return nullptr;
    return &*(it - 1);
}

using detail::GraphemeBreak;

GraphemeBreak breakOf(std::uint8_t cls) {
    return static_cast<GraphemeBreak>(cls & detail::breakMask);
}
bool isExtPict(std::uint8_t cls) { return (cls & detail::extPictBit) != 0; }
detail::InCB inCBOf(std::uint8_t cls) {
    return static_cast<detail::InCB>((cls >> detail::inCBShift) & 3);
}

bool isControlLike(GraphemeBreak b) {
    return b == detail::GB_CONTROL || b == detail::GB_CR || b == detail::GB_LF;
}

// What the rules need to know about the text before the current pair. The
// scan starts at a boundary, so no context from before it is needed.
struct BreakState {
    std::uint8_t prev = 0;
    std::size_t regionalRun = 0; // regional indicators ending at prev
    // 1: ExtPict Extend*, 2: ExtPict Extend* ZWJ
    int emoji = 0;
    // 1: Consonant [Extend Linker]*, 2: the same with at least one Linker
    int conjunct = 0;

    void start(std::uint8_t cls) {
        prev = 0;
        regionalRun = 0;
        emoji = 0;
        conjunct = 0;
        advance(cls);
    }

    void advance(std::uint8_t cls) {
        GraphemeBreak b = breakOf(cls);
        regionalRun = b == detail::GB_REGIONAL_INDICATOR ? regionalRun + 1 : 0;

        if (isExtPict(cls))
            emoji = 1;
        else if (emoji == 1 && b == detail::GB_EXTEND)
            emoji = 1;
        else if (emoji == 1 && b == detail::GB_ZWJ)
            emoji = 2;
        else
            emoji = 0;

        detail::InCB c = inCBOf(cls);
        if (c == detail::INCB_CONSONANT)
            conjunct = 1;
        else if (conjunct != 0 && c == detail::INCB_LINKER)
            conjunct = 2;
        else if (conjunct != 0 && c == detail::INCB_EXTEND)
            ; // keeps its state
        else
            conjunct = 0;

        prev = cls;
    }

    bool breaksBefore(std::uint8_t cls) const {
        GraphemeBreak p = breakOf(prev);
        GraphemeBreak c = breakOf(cls);
        if (p == detail::GB_CR && c == detail::GB_LF)
            return false; // GB3
        if (isControlLike(p) || isControlLike(c))
            return true; // GB4, GB5
        if (p == detail::GB_L &&
            (c == detail::GB_L || c == detail::GB_V || c == detail::GB_LV || c == detail::GB_LVT))
            return false; // GB6
        if ((p == detail::GB_LV || p == detail::GB_V) && (c == detail::GB_V || c == detail::GB_T))
            return false; // GB7
        if ((p == detail::GB_LVT || p == detail::GB_T) && c == detail::GB_T)
            return false; // GB8
        if (c == detail::GB_EXTEND || c == detail::GB_ZWJ || c == detail::GB_SPACING_MARK)
            return false; // GB9, GB9a
        if (p == detail::GB_PREPEND)
            return false; // GB9b
        if (conjunct == 2 && inCBOf(cls) == detail::INCB_CONSONANT)
            return false; // GB9c
        if (p == detail::GB_ZWJ && emoji == 2 && isExtPict(cls))
            return false; // GB11
        if (p == detail::GB_REGIONAL_INDICATOR && c == detail::GB_REGIONAL_INDICATOR &&
            regionalRun % 2 == 1)
            return false; // GB12, GB13
        return true; // GB999
    }
};

} // namespace

std::uint8_t detail::charClass(char32_t cp) {
    if (cp < 0x80) {
        if (cp == '\r')
            return GB_CR;
        if (cp == '\n')
            return GB_LF;
        return (cp < 0x20 || cp == 0x7F) ? GB_CONTROL : GB_OTHER;
    }
    if (cp >= hangulFirst && cp <= hangulLast)
        return (cp - hangulFirst) % hangulTCount == 0 ? GB_LV : GB_LVT;
    const CharClassRange* r = findRange(charClassTable(), cp);
    return (r && cp <= r->last) ? r->cls : std::uint8_t{GB_OTHER};
}

std::size_t nextGraphemeBoundary(std::string_view s, std::size_t pos) {
    if (pos >= s.size())
        return s.size();
    BreakState state;
    state.start(detail::charClass(decodeUtf8(s, pos)));
    while (pos < s.size()) {
        std::size_t here = pos;
        std::uint8_t cls = detail::charClass(decodeUtf8(s, pos));
        if (state.breaksBefore(cls))
            return here;
        state.advance(cls);
    }
    return s.size();
}

std::size_t graphemeCount(std::string_view s) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < s.size(); pos = nextGraphemeBoundary(s, pos))
        ++count;
    return count;
}

std::size_t graphemePrefixBytes(std::string_view s, std::size_t n) {
    std::size_t pos = 0;
    for (; n > 0 && pos < s.size(); --n)
        pos = nextGraphemeBoundary(s, pos);
    return pos;
}

char32_t toLowerSimple(char32_t cp) {
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + ('a' - 'A') : cp;
    const detail::LowerRun* r = findRange(detail::lowerTable(), cp);
    if (!r || cp > r->last || (cp - r->first) % r->stride != 0)
        return cp;
    return static_cast<char32_t>(static_cast<std::int64_t>(cp) + r->delta);
}

std::string toLower(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const char32_t cp = decodeUtf8(utf8, pos);
        // Ill-formed bytes are kept as they are, so texts that differ only
        // there still compare different.
        if (cp == replacementChar && pos - start == 1) {
            out.push_back(utf8[start]);
            continue;
        }
        appendUtf8(out, toLowerSimple(cp));
    }
    return out;
}

bool isWhiteSpace(char32_t cp) {
    if (cp < 0x80)
        return cp == ' ' || (cp >= '\t' && cp <= '\r');
    const detail::CodeRange* r = findRange(detail::whiteSpaceTable(), cp);
    return r && cp <= r->last;
}

} // namespace unicode

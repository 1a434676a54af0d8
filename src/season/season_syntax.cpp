#include "season/season_syntax.h"

#include <algorithm>

#include "text/unicode.h"

namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Without white space (the Unicode property) at either end.
std::string_view trimmed(std::string_view s) {
    std::size_t begin = s.size();
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t at = pos;
        if (unicode::isWhiteSpace(unicode::decodeUtf8(s, pos))) continue;
        begin = std::min(begin, at);
        end = pos;
    }
    return begin < end ? s.substr(begin, end - begin) : std::string_view();
}

// A ';' after white space and outside double quotes starts a comment.
std::string_view withoutComment(std::string_view line) {
    bool quoted = false;
    bool spaceBefore = false;
    for (std::size_t pos = 0; pos < line.size();) {
        const std::size_t at = pos;
        const char32_t c = unicode::decodeUtf8(line, pos);
        if (c == U';' && spaceBefore && !quoted) return trimmed(line.substr(0, at));
        if (c == U'"') quoted = !quoted;
        spaceBefore = unicode::isWhiteSpace(c);
    }
    return line;
}

std::string_view withoutQuotes(std::string_view value) {
    return value.size() > 2 && value.front() == '"' && value.back() == '"' ? value.substr(1, value.size() - 2)
                                                                           : value;
}

class Splitter {
public:
    void line(std::string_view text, std::size_t number) {
        text = trimmed(text);
        if (text.empty() || text.front() == ';') return;
        text = withoutComment(text);
        if (text.size() >= 3 && text.front() == '[' && text.back() == ']') return header(text, number);
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos)
            throw SeasonSyntaxError("neither a [Section] header nor a key=value line", number);
        auto& keys = syntax_.sections.empty() ? syntax_.looseKeys : syntax_.sections.back().keys;
        keys.push_back(SeasonKey{std::string(trimmed(text.substr(0, eq))),
                                 std::string(withoutQuotes(trimmed(text.substr(eq + 1)))), number, false});
    }

    SeasonSyntax take() { return std::move(syntax_); }

private:
    // "[Name]", or "[Name : Base]" for a section that starts with the keys
    // of an earlier one.
    void header(std::string_view text, std::size_t number) {
        std::string_view name = trimmed(text.substr(1, text.size() - 2));
        std::string_view base;
        if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
            base = trimmed(name.substr(colon + 1));
            name = trimmed(name.substr(0, colon));
            if (base.starts_with('.')) base.remove_prefix(1);
        }
        SeasonSection section{std::string(name), number, {}};
        if (!base.empty()) {
            const auto from = std::find_if(syntax_.sections.rbegin(), syntax_.sections.rend(),
                                           [&](const SeasonSection& s) { return sameAsciiWord(s.name, base); });
            if (from == syntax_.sections.rend())
                throw SeasonSyntaxError("no section [" + std::string(base) + "] before this line to take keys from",
                                        number);
            section.keys = from->keys;
            for (SeasonKey& key : section.keys) key.inherited = true;
        }
        syntax_.sections.push_back(std::move(section));
    }

    SeasonSyntax syntax_;
};

} // namespace

SeasonSyntax splitSeasonSyntax(std::string_view text) {
    Splitter splitter;
    std::size_t number = 1;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        splitter.line(text.substr(0, end), number++);
        if (end == std::string_view::npos) break;
        const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
    return splitter.take();
}

bool sameAsciiWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

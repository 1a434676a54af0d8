#include "ini/ini.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ini_lookup.h"

namespace {

std::string syntaxErrorOf(const std::string& text) {
    try {
        parseIni(text);
    } catch (const IniException& e) {
        return e.what();
    }
    return "(no failure)";
}

TEST(Ini, KeysBeforeFirstHeaderBelongToRootAndSectionsKeepOrder) {
    const IniSection ini = parseIni("top = 1\n=empty key\n[Carset]\nName = Foo Bar\n[Car0]\n");
    EXPECT_EQ(ini.name, "root");
    EXPECT_EQ(getKey(ini, "top"), "1");
    EXPECT_EQ(getKey(ini, ""), "empty key");
    ASSERT_EQ(ini.sections.size(), 2u);
    EXPECT_EQ(ini.sections[0].name, "Carset");
    EXPECT_EQ(ini.sections[1].name, "Car0");
    EXPECT_EQ(getKey(getSection(ini, "Carset"), "Name"), "Foo Bar");
    EXPECT_TRUE(getSection(ini, "Car0").keys.empty());
}

TEST(Ini, EveryLineEndKindSplitsLinesAndCountsOnce) {
    const IniSection ini = parseIni(
        "k0=0\nk1=1\rk2=2\r\nk3=3\vk4=4\fk5=5\u0085k6=6\u2028k7=7\u2029k8=8");
    ASSERT_EQ(ini.keys.size(), 9u);
    for (int i = 0; i <= 8; ++i)
        EXPECT_EQ(getKey(ini, "k" + std::to_string(i)), std::to_string(i)) << i;

    // CR LF is one line end; empty lines count; a final line end adds no line.
    EXPECT_EQ(syntaxErrorOf("a=1\r\n\r\nbad\r\n"), "Syntax error at line 2");
    EXPECT_EQ(syntaxErrorOf("a=1\n\r\n\u2028\u2029\v\fbad"), "Syntax error at line 6");
    // The information separators U+001C..U+001F neither end lines nor strip.
    const IniSection sep = parseIni("a=1\x1C" "b\n\x1Fk=v");
    EXPECT_EQ(getKey(sep, "a"), "1\x1C" "b");
    EXPECT_EQ(getKey(sep, "\x1Fk"), "v");
}

TEST(Ini, UnicodeWhiteSpaceIsStrippedAtBothEndsOnly) {
    const IniSection ini = parseIni(
        "\u00A0\u3000 key one\u2003=\t value  two\u205F\u202F\n"
        "\u200Bzw=\u200B\n"
        "\u1680[Sec]\u00A0\n");
    EXPECT_EQ(getKey(ini, "key one"), "value  two");
    // U+200B looks like a space but is not White_Space.
    EXPECT_EQ(getKey(ini, "\u200Bzw"), "\u200B");
    EXPECT_TRUE(hasSection(ini, "Sec"));
}

TEST(Ini, CommentsAreOnlyWholeLinesStartingWithSemicolon) {
    const IniSection ini = parseIni("; no equals sign here\n   ;indented\nk=v ; not a comment\n");
    EXPECT_EQ(getKey(ini, "k"), "v ; not a comment");
    EXPECT_EQ(ini.keys.size(), 1u);
    EXPECT_EQ(syntaxErrorOf("k=v\n# hash is no comment\n"), "Syntax error at line 1");
}

TEST(Ini, QuotedValues) {
    const IniSection ini = parseIni(
        "a=\"x\"\nb=\"\"\nc=\"a\"b\"\nd= \" padded \" \ne=\"open\nf=\"\ng=x\"\n");
    EXPECT_EQ(getKey(ini, "a"), "x");
    EXPECT_EQ(getKey(ini, "b"), "\"\"");
    EXPECT_EQ(getKey(ini, "c"), "a\"b");
    EXPECT_EQ(getKey(ini, "d"), " padded ");
    EXPECT_EQ(getKey(ini, "e"), "\"open");
    EXPECT_EQ(getKey(ini, "f"), "\"");
    EXPECT_EQ(getKey(ini, "g"), "x\"");
}

TEST(Ini, ValueKeepsFurtherEqualsAndLastDuplicateWins) {
    const IniSection ini = parseIni("[S]\nk = a=b = c\nk2=1\nk2=2\n");
    EXPECT_EQ(getKey(getSection(ini, "S"), "k"), "a=b = c");
    EXPECT_EQ(getKey(getSection(ini, "S"), "k2"), "2");
}

TEST(Ini, HeaderNameIsUnstrippedWithoutColonAndStrippedWithOne) {
    const IniSection ini = parseIni("[ Carset ]\na=1\n[ Other : ]\nb=2\n");
    EXPECT_FALSE(hasSection(ini, "Carset"));
    EXPECT_EQ(getKey(getSection(ini, " Carset "), "a"), "1");
    EXPECT_EQ(getKey(getSection(ini, "Other"), "b"), "2");
}

TEST(Ini, RepeatedHeaderReusesTheSection) {
    const IniSection ini = parseIni("[A]\nx=1\n[B]\n[A]\ny=2\n");
    ASSERT_EQ(ini.sections.size(), 2u);
    EXPECT_EQ(getKey(getSection(ini, "A"), "x"), "1");
    EXPECT_EQ(getKey(getSection(ini, "A"), "y"), "2");
}

TEST(Ini, DottedHeadersBuildNestedSections) {
    const IniSection ini = parseIni("[a.b]\nk=1\n[a]\nj=2\n[a.c]\nm=3\n[.x]\n");
    ASSERT_EQ(ini.sections.size(), 2u);
    const IniSection& a = getSection(ini, "a");
    EXPECT_EQ(getKey(a, "j"), "2");
    EXPECT_FALSE(a.keys.count("k"));
    ASSERT_EQ(a.sections.size(), 2u);
    EXPECT_EQ(getKey(getSectionByPath(ini, "a.b"), "k"), "1");
    EXPECT_EQ(getKey(getSectionByPath(ini, "a.c"), "m"), "3");
    // An empty part names a section with an empty name.
    EXPECT_TRUE(hasSection(getSection(ini, ""), "x"));
}

TEST(Ini, InheritanceCopiesKeysFromSiblingOrRootedBase) {
    const IniSection ini = parseIni(
        "[Car0]\nTeam=T0\nEngine=E0\n"
        "[Car1]\nstale=1\n"
        "[Car1 : Car0]\nEngine=E1\n"
        "[Car0]\nTeam=changed\n"
        "[a.cc]\nfrom=cc\n"
        "[a.b : cc]\nown=b\n"
        "[x : .a.b]\n");
    const IniSection& car1 = getSection(ini, "Car1");
    EXPECT_EQ(getKey(car1, "Team"), "T0");  // later change to the base doesn't reach it
    EXPECT_EQ(getKey(car1, "Engine"), "E1");
    EXPECT_FALSE(car1.keys.count("stale")); // keys before the inheriting header are dropped
    EXPECT_EQ(getKey(getSection(ini, "Car0"), "Engine"), "E0");

    EXPECT_EQ(getKey(getSectionByPath(ini, "a.b"), "from"), "cc");
    EXPECT_EQ(getKey(getSection(ini, "x"), "from"), "cc");
    EXPECT_EQ(getKey(getSection(ini, "x"), "own"), "b");
}

TEST(Ini, OneCharacterBaseIsIgnored) {
    const IniSection ini = parseIni("[a]\nk=1\n[c]\nk=2\n[b : a]\n[a.b : c]\n");
    EXPECT_TRUE(getSection(ini, "b").keys.empty());
    EXPECT_TRUE(getSectionByPath(ini, "a.b").keys.empty());
}

TEST(Ini, MissingBaseFailsNamingTheFirstMissingPart) {
    EXPECT_EQ(syntaxErrorOf("[x : zz]\n"), "Section 'zz' does not exists");
    EXPECT_EQ(syntaxErrorOf("[a.b]\n[x : .a.qq.r]\n"), "Section 'qq' does not exists");
    // A plain base is a sibling: a top-level "cc" is not seen from a.b.
    EXPECT_EQ(syntaxErrorOf("[cc]\n[a.b : cc]\n"), "Section 'cc' does not exists");
}

TEST(Ini, NonHeaderBracketLinesAreKeyLines) {
    EXPECT_EQ(syntaxErrorOf("a=1\n[Carset]\n\n[x\n"), "Syntax error at line 3");
    EXPECT_EQ(syntaxErrorOf("[]\n"), "Syntax error at line 0");
    EXPECT_EQ(syntaxErrorOf("\xEF\xBB\xBF[Carset]\nName=x\n"), "Syntax error at line 0");
    const IniSection ini = parseIni("[x=1\n[]=2\n");
    EXPECT_EQ(getKey(ini, "[x"), "1");
    EXPECT_EQ(getKey(ini, "[]"), "2");
}

TEST(Ini, LinesOfSectionsKeysAndFailures) {
    const IniSection ini = parseIni("a=1\n\n[S]\nk = v\n[T : S]\nk=w\n[S]\nj=2\n");
    const IniSection& s = getSection(ini, "S");
    const IniSection& t = getSection(ini, "T");
    EXPECT_EQ(ini.keyLines.at("a"), 0u);
    EXPECT_EQ(s.line, 2u); // the header that first named it
    EXPECT_EQ(s.keyLines, (std::map<std::string, std::size_t>{{"k", 3}, {"j", 7}}));
    EXPECT_EQ(t.line, 4u);
    EXPECT_EQ(t.keyLines, (std::map<std::string, std::size_t>{{"k", 5}}));

    for (const auto& [text, line] : std::vector<std::pair<std::string, std::size_t>>{
             {"a=1\n\nbad\n", 2}, {"[a]\n[x : zz]\n", 1}}) {
        try {
            parseIni(text);
            ADD_FAILURE() << text;
        } catch (const IniException& e) {
            EXPECT_EQ(e.line(), line) << text;
        }
    }
    EXPECT_EQ(IniException("x").line(), std::nullopt);
}

TEST(Ini, TrailingCommentsOnlyInTheDialectThatAllowsThem) {
    const std::string text = "[S]   ; c=1\nk = v w   ; note\nq = \"a ; b\" ; c\nn = x;y\n";
    // Without the dialect the header line is a key line of its own.
    const IniSection plain = parseIni(text);
    EXPECT_EQ(getKey(plain, "[S]   ; c"), "1");
    EXPECT_EQ(getKey(plain, "k"), "v w   ; note");
    const IniSection dialect = parseIni(text, IniDialect{.trailingComments = true});
    const IniSection& s = getSection(dialect, "S");
    EXPECT_EQ(s.keys, (std::map<std::string, std::string>{{"k", "v w"}, {"q", "a ; b"}, {"n", "x;y"}}));
}

TEST(Ini, LookupFailuresCarryExactMessages) {
    const IniSection ini = parseIni("[a.b]\nk=1\n");
    EXPECT_THROW(
        {
            try {
                getSection(ini, "b");
            } catch (const IniException& e) {
                EXPECT_STREQ(e.what(), "Section 'b' does not exists");
                throw;
            }
        },
        IniException);
    try {
        getSectionByPath(ini, "a.c");
        ADD_FAILURE() << "no failure";
    } catch (const IniException& e) {
        EXPECT_STREQ(e.what(), "Section 'c' does not exists");
    }
    try {
        getKey(getSectionByPath(ini, "a.b"), "K");
        ADD_FAILURE() << "no failure";
    } catch (const IniException& e) {
        EXPECT_STREQ(e.what(), "Key 'K' does not exists");
    }
}

TEST(Ini, ManySectionsAndCopiesStayValid) {
    // Enough sections to make the lists reallocate while nested sections
    // and inheritance bases are still being resolved.
    std::string text = "[deep.inner]\nk=deep\n";
    for (int i = 0; i < 200; ++i)
        text += "[s" + std::to_string(i) + "]\n[deep.n" + std::to_string(i) + " : inner]\nv=" +
                std::to_string(i) + "\n";
    text += "[last : .deep.n150]\n";

    IniSection copy;
    {
        auto original = std::make_unique<IniSection>(parseIni(text));
        copy = *original;
    }
    EXPECT_EQ(copy.sections.size(), 202u);
    EXPECT_EQ(getKey(getSectionByPath(copy, "deep.n199"), "k"), "deep");
    EXPECT_EQ(getKey(getSection(copy, "last"), "v"), "150");
    EXPECT_EQ(getKey(getSection(copy, "last"), "k"), "deep");
}

} // namespace

namespace {

TEST(Ini, DeeplyNestedHeaderParsesAndFreesWithoutExhaustingTheStack) {
    // One dotted header in a hostile file: nesting this deep once took
    // quadratic time and overflowed the stack when the tree was freed.
    constexpr int depth = 200000;
    std::string path;
    path.reserve(2 * depth);
    for (int i = 0; i < depth; ++i) path += i ? ".a" : "a";
    {
        const IniSection ini = parseIni("[x]\nj=1\n[" + path + " : .x]\nk=v\n");
        const IniSection& deepest = getSectionByPath(ini, path);
        EXPECT_EQ(getKey(deepest, "j"), "1");
        EXPECT_EQ(getKey(deepest, "k"), "v");
    }
    IniSection moved = parseIni("[" + path + "]\n");
    moved = parseIni("[" + path + "]\n");
    EXPECT_EQ(getSectionByPath(moved, path).name, "a");
}

} // namespace

namespace {

TEST(Ini, ManySiblingSectionsAreFoundAgainWhileTheirListsGrow) {
    // Headers come back to sections created long before, at the top level
    // and below one parent, while both lists keep growing.
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "[s" + std::to_string(i) + "]\nfirst=" + std::to_string(i) + "\n";
        text += "[p.c" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
        if (i % 7 == 0) text += "[s" + std::to_string(i / 2) + "]\nlater=" + std::to_string(i) + "\n";
    }
    const IniSection ini = parseIni(text);
    EXPECT_EQ(ini.sections.size(), 20001u); // s0..s19999 and p
    EXPECT_EQ(getSection(ini, "p").sections.size(), 20000u);
    EXPECT_EQ(getKey(getSection(ini, "s19999"), "first"), "19999");
    EXPECT_EQ(getKey(getSectionByPath(ini, "p.c12345"), "k"), "12345");
    EXPECT_EQ(getKey(getSection(ini, "s7000"), "later"), "14000");
    EXPECT_EQ(getKey(getSection(ini, "s7000"), "first"), "7000");
}

} // namespace

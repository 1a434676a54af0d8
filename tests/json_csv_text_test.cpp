// The escaping cores of the JSON and CSV reports.
#include <gtest/gtest.h>

#include <string>

#include "text/csv_text.h"
#include "text/json_text.h"

namespace {

const std::string fffd = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

} // namespace

TEST(JsonText, EscapesControlsAndRepairsUtf8) {
    struct Case {
        const char* what;
        std::string value;
        std::string json;
    };
    const Case cases[] = {
        {"plain", "Tom Hale", "\"Tom Hale\""},
        {"empty", "", "\"\""},
        {"quote and backslash", "a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {"short escapes", "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {"other C0 controls and DEL", std::string("\x00\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\\u007f\""},
        {"C1 controls", "\xC2\x80\xC2\x9F", "\"\\u0080\\u009f\""},
        {"well-formed UTF-8 kept", "J\xC3\xB6rg \xE2\x80\xAA \xF0\x9F\x8F\x81 " + fffd,
         "\"J\xC3\xB6rg \xE2\x80\xAA \xF0\x9F\x8F\x81 " + fffd + "\""},
        {"what ends a script or a line of it", "</script><!--&\xE2\x80\xA8\xE2\x80\xA9",
         "\"\\u003c/script\\u003e\\u003c!--\\u0026\\u2028\\u2029\""},
        {"stray bytes", "a\xFF" "b\x80", "\"a" + fffd + "b" + fffd + "\""},
        {"cut sequence at the end", "x\xC3", "\"x" + fffd + "\""},
        {"overlong form and surrogate", "\xC0\xAF-\xED\xA0\x80",
         "\"" + fffd + fffd + "-" + fffd + fffd + fffd + "\""},
    };
    for (const Case& c : cases) {
        std::string out = "[";
        appendJsonString(out, c.value);
        EXPECT_EQ(out, "[" + c.json) << c.what;
    }
}

TEST(CsvText, QuotesOnlyWhatNeedsIt) {
    struct Case {
        const char* what;
        std::string value;
        std::string field;
    };
    const Case cases[] = {
        {"plain", "Tom Hale", "Tom Hale"},
        {"empty", "", ""},
        {"semicolon, tab and control stay bare", "a;b\t\x01", "a;b\t\x01"},
        {"comma", "O,Neil", "\"O,Neil\""},
        {"quotes doubled", "Jo \"Ace\"", "\"Jo \"\"Ace\"\"\""},
        {"line feed", "a\nb", "\"a\nb\""},
        {"carriage return", "a\rb", "\"a\rb\""},
    };
    for (const Case& c : cases) {
        std::string out = "x,";
        appendCsvField(out, c.value);
        EXPECT_EQ(out, "x," + c.field) << c.what;
    }
}

TEST(CsvText, NamesThatLookLikeFormulasGetAQuote) {
    const std::pair<std::string, std::string> cases[] = {
        {"=1+1", "'=1+1"},
        {"+49 Racing", "'+49 Racing"},
        {"-91", "'-91"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tTab", "'\tTab"},
        {"\rCR", "\"'\rCR\""},
        {"=HYPERLINK(\"http://x/\",\"Click\")", "\"'=HYPERLINK(\"\"http://x/\"\",\"\"Click\"\")\""},
        {"Jo=Ace", "Jo=Ace"},
        {"", ""},
    };
    for (const auto& [name, field] : cases) {
        std::string out;
        appendCsvName(out, name);
        EXPECT_EQ(out, field) << name;
    }
}

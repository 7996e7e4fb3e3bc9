// Texts for a terminal line and for JSON.
#include <gtest/gtest.h>

#include <string>

#include "KvdText.h"

namespace {

using namespace std::string_literals;

TEST(KvdText, OneLineEscapesControlBytesOnly)
{
    EXPECT_EQ(KvdOneLine("a\tb\nc\rd\x01\x7F"), "a\\x09b\\x0Ac\\x0Dd\\x01\\x7F");
    EXPECT_EQ(KvdOneLine("Br\xC3\xB8nn \"7\" \\"), "Br\xC3\xB8nn \"7\" \\");
}

TEST(KvdText, Utf8IsCheckedStrictly)
{
    struct Case {
        const char* name;
        std::string text;
        bool utf8;
    } cases[] = {
        {"ASCII", "NF-001", true},
        {"empty", "", true},
        {"two bytes", "Gr\xC3\xB6\xC3\x9F" "e", true},
        {"Cyrillic", "\xD0\xA1\xD0\xBA\xD0\xB2\xD0\xB0\xD0\xB6\xD0\xB8\xD0\xBD\xD0\xB0", true},
        {"four bytes", "\xF0\x9F\x9B\xA2", true},
        {"largest code point", "\xF4\x8F\xBF\xBF", true},
        {"Windows 1252 o-slash", "Br\xF8nn", false},
        {"lone continuation", "\x80", false},
        {"cut short", "\xC3", false},
        {"overlong slash", "\xC0\xAF", false},
        {"overlong three bytes", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"bad second continuation", "\xE2\x82\x28", false},
        {"byte FF", "\xFF", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsUtf8(c.text), c.utf8) << c.name;
}

TEST(KvdText, Windows1252BecomesUtf8)
{
    EXPECT_EQ(Utf8FromWindows1252("Br\xF8nn 7/11-A"), "Br\xC3\xB8nn 7/11-A");
    EXPECT_EQ(Utf8FromWindows1252("\x80\x9A\xFF"), "\xE2\x82\xAC\xC5\xA1\xC3\xBF");
    EXPECT_EQ(Utf8FromWindows1252("\x81"), "\xC2\x81");  // undefined: the control of that number
}

TEST(KvdText, JsonStringsEscapeWhatJsonRequires)
{
    struct Case {
        const char* name;
        std::string text;
        std::string json;
    } cases[] = {
        {"plain", "Depth", "\"Depth\""},
        {"empty", "", "\"\""},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"short escapes", "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {"other control bytes", "\x01\x1F", "\"\\u0001\\u001F\""},
        {"delete and non-ASCII stay", "\x7F\xC3\xB8", "\"\x7F\xC3\xB8\""},
        {"slash stays", "7/11", "\"7/11\""},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendJsonString(out, c.text);
        EXPECT_EQ(out, c.json) << c.name;
    }
}

}  // namespace

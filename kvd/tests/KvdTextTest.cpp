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

// Each output form writes the control characters in its own notation, C1 ones as C0
// ones; nothing else changes. One row, one text, every form.
TEST(KvdText, ControlCharactersInEveryForm)
{
    // U+00A0 (C2 A0, just above C1), o-slash, Cyrillic Es, and U+201B, whose last byte is 9B.
    const std::string kLetters = "\xC2\xA0\xC3\xB8\xD0\xA1\xE2\x80\x9B";
    struct Case {
        const char* name;
        std::string text;     // UTF-8
        std::string oneLine;  // dump
        std::string json;     // without the quotes
        std::string field;    // list: the field AppendKvdText makes, and the one written
        std::string listed;
    } cases[] = {
        {"C0", "a\tb\nc\rd\x01", "a\\x09b\\x0Ac\\x0Dd\\x01", "a\\tb\\nc\\rd\\u0001",
         "\"a\\tb\\nc\\rd\\x01\"", "\"a\\tb\\nc\\rd\\x01\""},
        {"DEL", "a\x7F", "a\\x7F", "a\x7F", "a\x7F", "a\x7F"},
        {"CSI and OSC", "W\xC2\x9B" "2J\xC2\x9D" "0;T", "W\\x9B2J\\x9D0;T", "W\\u009B2J\\u009D0;T",
         "W\xC2\x9B" "2J\xC2\x9D" "0;T", "\"W\\xC2\\x9B2J\\xC2\\x9D0;T\""},
        {"first and last C1", "\xC2\x80-\xC2\x9F", "\\x80-\\x9F", "\\u0080-\\u009F",
         "\xC2\x80-\xC2\x9F", "\"\\xC2\\x80-\\xC2\\x9F\""},
        {"C1 in a quoted field", "a b\xC2\x85", "a b\\x85", "a b\\u0085", "\"a b\xC2\x85\"",
         "\"a b\\xC2\\x85\""},
        {"no-break space and letters stay", kLetters, kLetters, kLetters, kLetters, kLetters},
        {"quote and backslash", "\"7\" \\", "\"7\" \\", "\\\"7\\\" \\\\", "\"\\\"7\\\" \\\\\"",
         "\"\\\"7\\\" \\\\\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KvdOneLine(c.text), c.oneLine) << c.name;
        std::string json;
        AppendJsonString(json, c.text);
        EXPECT_EQ(json, "\"" + c.json + "\"") << c.name;
        std::string listed;
        AppendFieldC1Escaped(listed, c.field);
        EXPECT_EQ(listed, c.listed) << c.name;
        EXPECT_EQ(HasC1Control(c.text), c.field != c.listed) << c.name;
    }
}

TEST(KvdText, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    struct Case {
        const char* name;
        std::string text;
        std::string utf8;
    } cases[] = {
        {"UTF-8 stays", "Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x9B\xA2", "Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x9B\xA2"},
        {"a Western byte", "Br\xF8nn", "Br" + r + "nn"},
        {"cut short at the end", "a\xE2\x82", "a" + r},
        {"broken off before an ASCII byte", "\xE2\x82(", r + "("},
        {"overlong lead", "\xC0\xAF", r + r},
        {"surrogate", "\xED\xA0\x80", r + r + r},
        {"above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
        {"lone continuation between letters", "a\x9D" "b", "a" + r + "b"},
    };
    for (const Case& c : cases) {
        std::string out = "x";
        AppendUtf8OrReplacement(out, c.text);
        EXPECT_EQ(out, "x" + c.utf8) << c.name;
        EXPECT_TRUE(IsUtf8(out)) << c.name;
    }
}

TEST(KvdText, ARefusalAlwaysSaysSomething)
{
    const std::string silent = "The exchange library refused the file without saying why.";
    EXPECT_EQ(KvdRefusalMessage(""), silent);
    EXPECT_EQ(KvdRefusalMessage(" \t\r\n"), silent);
    EXPECT_EQ(KvdRefusalMessage("Cannot open \"a.kvd\": gone."), "Cannot open \"a.kvd\": gone.");
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

TEST(KvdText, MessagePlaceIsTheFirstLineAndColumnAfterTheFileName)
{
    struct Case {
        const char* name;
        const char* message;
        const char* file;
        bool found;
        unsigned long long line, column;
    } cases[] = {
        {"a fault at a place", "Cannot open \"a.kvd\": line 31, column 18: expected ...", "a.kvd", true, 31, 18},
        {"no place", "Cannot open \"a.kvd\": the file does not exist. Choose ...", "a.kvd", false, 0, 0},
        {"the file's name looks like a place", "Cannot open \"line 1, column 2: x.kvd\": line 7, column 3: bad",
         "line 1, column 2: x.kvd", true, 7, 3},
        {"a file name not in the message", "Cannot open \"?.kvd\": line 2, column 1: bad", "\xD0.kvd", true, 2, 1},
        {"words but no numbers", "Cannot open \"a.kvd\": line x, column y: bad", "a.kvd", false, 0, 0},
        {"no colon after the column", "Cannot open \"a.kvd\": line 4, column 5 is bad", "a.kvd", false, 0, 0},
        {"a number that overflows", "Cannot open \"a.kvd\": line 99999999999999999999, column 1:", "a.kvd", false,
         0, 0},
        {"the largest number", "x: line 18446744073709551615, column 1: y", "", true, 18446744073709551615ull, 1},
        {"a later place after a false start", "x: line 3 and then line 4, column 9: y", "", true, 4, 9},
    };
    for (const Case& c : cases) {
        unsigned long long line = 0, column = 0;
        ASSERT_EQ(KvdMessagePlace(c.message, c.file, line, column), c.found) << c.name;
        if (c.found) {
            EXPECT_EQ(line, c.line) << c.name;
            EXPECT_EQ(column, c.column) << c.name;
        }
    }
}

}  // namespace

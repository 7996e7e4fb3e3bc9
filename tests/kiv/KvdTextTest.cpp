// KvdTextTest.cpp - any byte string without a zero byte comes back unchanged from
// every text field, through the writer and the six calls.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestSupport.h"
#include "KvdWriter.h"

namespace {

struct TextCase {
    const char* name;
    std::string text;
};

std::vector<TextCase> TextCases()
{
    return {
        {"plain word", "Depth"},
        {"empty", ""},
        {"one blank", " "},
        {"blanks around", "  a b  "},
        {"tab", "a\tb"},
        {"quote", "say \"hi\""},
        {"lone quote", "\""},
        {"backslash", "C:\\data\\x.kvd"},
        {"backslash then x", "\\x41"},
        {"line feed", "two\nlines"},
        {"CR LF", "dos\r\nline"},
        {"control bytes", std::string("\x01\x02\x1f\x7f", 4)},
        {"bytes above 127", "M\xc3\xbcller \xff\x80"},
        {"looks like a comment", "#not a comment"},
        {"keyword", "end"},
        {"two quotes", "\"\""},
        {"escape letters", "\\t\\n\\r"},
        {"dash", "-"},
        {"digits", "-2147483648"},
        {"long", std::string(5000, 'x') + " " + std::string(5000, '"')},
    };
}

// A file that carries the text in every text field that may hold it: the object
// name and group names must not be empty, and the date has a form of its own.
std::string FileCarrying(const std::string& text)
{
    std::string named = "n" + text;
    return KvdFile(KvdObjectLine(named, text, text, text, "1999-12-31 23:59") +
                   KvdValueLine(named, "", 5, text, text, text, text) +
                   KvdValueLine(named, named, -6, text, text, text, "") +
                   KvdValueLine(named, "", 7, text, text, "", text));
}

void ExpectRoundTrip(const std::string& text, const std::string& caseName)
{
    std::string named = "n" + text;
    ReadResult read = ReadKvdText(FileCarrying(text));
    ASSERT_TRUE(read.opened) << caseName << ": " << read.message;
    ASSERT_EQ(read.objects.size(), 1u) << caseName;
    const ReadObject& o = read.objects[0];
    EXPECT_EQ(o.name, named) << caseName;
    EXPECT_EQ(o.author, text) << caseName;
    EXPECT_EQ(o.version, text) << caseName;
    EXPECT_EQ(o.wellId, text) << caseName;
    ASSERT_EQ(o.values.size(), 3u) << caseName;
    const int records[3] = {5, -6, 7};
    const std::string parents[3] = {"", named, ""};
    const std::string suffixes[3] = {text, text, ""};
    const std::string extras[3] = {text, "", text};
    for (int i = 0; i < 3; ++i) {
        const ReadValue& v = o.values[i];
        EXPECT_EQ(v.group, named) << caseName << ", value " << i;
        EXPECT_EQ(v.parent, parents[i]) << caseName << ", value " << i;
        EXPECT_EQ(v.record, records[i]) << caseName << ", value " << i;
        EXPECT_EQ(v.name, text) << caseName << ", value " << i;
        EXPECT_EQ(v.value, text) << caseName << ", value " << i;
        EXPECT_EQ(v.suffix, suffixes[i]) << caseName << ", value " << i;
        EXPECT_EQ(v.extra, extras[i]) << caseName << ", value " << i;
    }
}

TEST(KvdText, ChosenTextsRoundTrip)
{
    for (const TextCase& c : TextCases())
        ExpectRoundTrip(c.text, c.name);
}

TEST(KvdText, GeneratedByteStringsRoundTrip)
{
    std::mt19937 generator(20261208);
    std::uniform_int_distribution<int> byte(1, 255), length(0, 40);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int n = length(generator); n > 0; --n)
            text += static_cast<char>(byte(generator));
        ExpectRoundTrip(text, "generated text #" + std::to_string(round));
    }
}

struct WrittenCase {
    const char* name;
    std::string text;
    const char* written;
};

// How the writer spells a text: bare when it may, quoted otherwise.
TEST(KvdText, WriterSpellsTextsAsDocumented)
{
    const WrittenCase cases[] = {
        {"bare word", "NF-001", "NF-001"},
        {"empty", "", "\"\""},
        {"blank", "A. Rahman", "\"A. Rahman\""},
        {"quote", "a\"b", "\"a\\\"b\""},
        {"backslash", "a\\b", "\"a\\\\b\""},
        {"tab, LF, CR", "\t\n\r", "\"\\t\\n\\r\""},
        {"control byte", "\x1b", "\"\\x1B\""},
        {"high bytes stay bare", "\xe4\xf6", "\xe4\xf6"},
    };
    for (const WrittenCase& c : cases) {
        std::string out;
        AppendKvdText(out, c.text);
        EXPECT_EQ(out, c.written) << c.name;
    }
}

struct ReadCase {
    const char* name;
    const char* field;  // as written by a person
    std::string text;   // as delivered
};

// Spellings that the writer never produces but people may type.
TEST(KvdText, HandWrittenSpellingsAreRead)
{
    const ReadCase cases[] = {
        {"lower-case hex", "\"\\x4a\\x4B\"", "JK"},
        {"raw tab inside quotes", "\"a\tb\"", "a\tb"},
        {"quoted plain word", "\"word\"", "word"},
        {"hash inside a text", "a#b", "a#b"},
    };
    for (const ReadCase& c : cases) {
        ReadResult read = ReadKvdText(KvdFile(std::string("object O a v w \"2000-01-01 00:00\"\n") +
                                              "value G \"\" 1 n " + c.field + "\n"));
        ASSERT_TRUE(read.opened) << c.name << ": " << read.message;
        ASSERT_EQ(read.objects.at(0).values.size(), 1u) << c.name;
        EXPECT_EQ(read.objects[0].values[0].value, c.text) << c.name;
    }
}

TEST(KvdText, LayoutVariantsAreRead)
{
    const TextCase layouts[] = {
        {"CR LF line ends",
         "KVD 1\r\nobject O a v w \"2000-01-01 00:00\"\r\nvalue G \"\" 1 n x m\r\nend\r\n"},
        {"byte order mark", "\xEF\xBB\xBFKVD 1\nobject O a v w \"2000-01-01 00:00\"\nvalue G \"\" 1 n x m\nend\n"},
        {"no final line end", "KVD 1\nobject O a v w \"2000-01-01 00:00\"\nvalue G \"\" 1 n x m\nend"},
        {"tabs, blanks, comments, blank lines",
         "KVD 1  \n\n# c\n  object\tO a  v w \"2000-01-01 00:00\"  \n\t# c\n value G \"\"\t1 n x m \n\nend\n# after\n\n"},
    };
    for (const TextCase& c : layouts) {
        ReadResult read = ReadKvdText(c.text);
        ASSERT_TRUE(read.opened) << c.name << ": " << read.message;
        ASSERT_EQ(read.objects.size(), 1u) << c.name;
        ASSERT_EQ(read.objects[0].values.size(), 1u) << c.name;
        EXPECT_EQ(read.objects[0].values[0].value, "x") << c.name;
        EXPECT_EQ(read.objects[0].values[0].suffix, "m") << c.name;
    }
}

}  // namespace

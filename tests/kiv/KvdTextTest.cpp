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

namespace {

// The texts handed out are the host's to change: one that upper-cases each text in place
// (as a host that compares names without case does) reads the whole file, and reads
// what the file holds, on the quick way of repeated value lines and the general one.
TEST(KvdText, AHostThatChangesTheTextsItIsGivenReadsOn)
{
    std::string body;
    for (int o = 0; o < 3; ++o) {
        body += KvdObjectLine("well" + std::to_string(o), "amy", "1", "w", "2001-01-01 10:00");
        const char* const kValues[][2] = {{"survey", ""},  {"survey", ""},        {"point", "survey"},
                                          {"point", "survey"}, {"casing", "point"}, {"survey", ""},
                                          {"\"quoted group\"", ""}, {"\"quoted group\"", ""}};
        int record = 0;
        for (const auto& v : kValues)
            body += KvdValueLine(v[0], v[1], ++record, "depth", "12.5", "m");
    }
    ReadResult expected = ReadKvdText(KvdFile(body));
    ASSERT_TRUE(expected.opened) << expected.message;
    TestFile file(KvdFile(body));

    auto upper = [](char* text) {
        for (; *text != '\0'; ++text)
            if (*text >= 'a' && *text <= 'z')
                *text = static_cast<char>(*text - 'a' + 'A');
    };
    char* message = nullptr;
    ASSERT_EQ(KivAttach(&message), 1);
    ASSERT_EQ(KivOpen(file.Path().c_str(), &message, 0), 1) << message;
    size_t objects = 0;
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        ASSERT_LT(objects, expected.objects.size());
        const ReadObject& o = expected.objects[objects++];
        EXPECT_EQ(name, o.name);
        for (char* text : {name, author, version, wellId, date})
            upper(text);
        size_t values = 0;
        char *group, *valueName, *extra, *suffix, *value, *parent;
        int record = 0;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &value, &parent, &record)) {
            ASSERT_LT(values, o.values.size()) << o.name;
            const ReadValue& v = o.values[values++];
            EXPECT_EQ(group, v.group) << o.name << ", value " << values;
            EXPECT_EQ(parent, v.parent) << o.name << ", value " << values;
            EXPECT_EQ(valueName, v.name) << o.name << ", value " << values;
            EXPECT_EQ(record, v.record) << o.name << ", value " << values;
            for (char* text : {group, valueName, extra, suffix, value, parent})
                upper(text);
        }
        EXPECT_EQ(values, o.values.size()) << o.name << ": every value is read";
    }
    EXPECT_EQ(objects, expected.objects.size()) << "every object is read";
    KivDetach();
}

}  // namespace

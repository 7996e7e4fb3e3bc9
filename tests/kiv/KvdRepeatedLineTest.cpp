// KvdRepeatedLineTest.cpp - a value line that repeats the group and the parent of
// the line before, byte for byte, is read in one go; every such line must come out
// exactly as it does when read the general way.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestSupport.h"

namespace {

struct RepeatCase {
    const char* name;
    std::string rest;  // the line after "value Station Survey "
};

std::vector<RepeatCase> RepeatCases()
{
    return {
        {"name and text", "2 Tool MWD"},
        {"suffix and extra text", "2 Tool MWD m \"gyro\""},
        {"empty texts", "2 \"\" \"\" \"\" \"\""},
        {"too many fields", "2 Tool MWD m x y"},
        {"too few fields", "2 Tool"},
        {"quoted text with a blank", "2 Tool \"M W D\""},
        {"escaped quote", "2 Tool \"say \\\"hi\\\"\""},
        {"three quotes", "2 Tool \"\"\""},
        {"quote inside a bare word", "2 Tool a\"b"},
        {"quotes glued to a word", "2 Tool \"\"b"},
        {"CR LF", "2 Tool MWD\r"},
        {"CR inside the line", "2 Tool M\rWD"},
        {"tabs between fields", "2\tTool\tMWD"},
        {"trailing blanks", "2 Tool MWD   "},
        {"nine digits", "123456789 Tool MWD"},
        {"ten digits with leading zeros", "0000000042 Tool MWD"},
        {"record too large", "99999999999 Tool MWD"},
        {"negative record", "-7 Tool MWD"},
        {"record with a letter", "2a Tool MWD"},
        {"empty record", "\"\" Tool MWD"},
        {"control byte", "2 Tool M\x01WD"},
        {"backslash in a bare word", "2 Tool C:\\data"},
        {"bytes above 127", "2 Tool M\xc3\xbcller"},
        {"longer than one go", "2 Tool " + std::string(70, 'x')},
        {"only blanks after the parent", "   "},
    };
}

// The same three lines, once so that the last line repeats the one before and once
// with an extra blank in that one, which sends the last line the general way.
std::string FileWith(const std::string& rest, bool repeated)
{
    return KvdFile("object O a 1 W \"2000-01-01 00:00\"\n"
                   "value Survey \"\" 1 MD 10\n" +
                   std::string(repeated ? "value Station Survey 1 Tool x\n" : "value  Station Survey 1 Tool x\n") +
                   "value Station Survey " + rest + "\n");
}

std::string Describe(const ReadResult& r)
{
    // Each file has a name of its own: compare what the message says after it.
    std::string s = r.opened ? "opened" : "refused: " + r.message.substr(r.message.find("\": ") + 3);
    for (const ReadObject& o : r.objects)
        for (const ReadValue& v : o.values)
            s += "\n[" + v.group + "][" + v.parent + "][" + std::to_string(v.record) + "][" + v.name + "][" +
                 v.value + "][" + v.suffix + "][" + v.extra + "]";
    return s;
}

TEST(KvdRepeatedLine, ReadsAsTheGeneralWayDoes)
{
    for (const RepeatCase& c : RepeatCases()) {
        std::string quick = Describe(ReadKvdText(FileWith(c.rest, true)));
        std::string general = Describe(ReadKvdText(FileWith(c.rest, false)));
        EXPECT_EQ(quick, general) << c.name;
    }
}

// Lines of every length cross the boundaries of the reader's buffer; each value
// must come back whole, in order.
TEST(KvdRepeatedLine, LinesAcrossBufferBoundaries)
{
    std::string body = "object O a 1 W \"2000-01-01 00:00\"\n";
    const int kLines = 40000;
    for (int i = 0; i < kLines; ++i)
        body += "value Survey \"\" " + std::to_string(i) + " v" + std::string(i % 53, 'x') + " " +
                std::to_string(i * 7) + (i % 3 == 0 ? " m\r\n" : "\n");
    ReadResult read = ReadKvdText(KvdFile(body));
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 1u);
    const std::vector<ReadValue>& values = read.objects[0].values;
    ASSERT_EQ(values.size(), static_cast<size_t>(kLines));
    for (int i = 0; i < kLines; ++i) {
        const ReadValue& v = values[i];
        ASSERT_EQ(v.record, i);
        ASSERT_EQ(v.group, "Survey") << "value " << i;
        ASSERT_EQ(v.parent, "") << "value " << i;
        ASSERT_EQ(v.name, "v" + std::string(i % 53, 'x')) << "value " << i;
        ASSERT_EQ(v.value, std::to_string(i * 7)) << "value " << i;
        ASSERT_EQ(v.suffix, i % 3 == 0 ? "m" : "") << "value " << i;
    }
}

}  // namespace

// KvdNestingTest.cpp - the order of groups that the depth-first walk of the values
// relies on is checked when the file is opened.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestSupport.h"
#include "KvdWriteSession.h"
#include "KivTestFolder.h"

namespace {

struct NestingCase {
    const char* name;
    std::string values;    // "group" or "group<parent" per value; " | " starts the next object
    int failingValue;      // -1: the file is valid; else the index of the value refused (counted over the file)
    bool atParent;         // the column of the parent group (else of the group)
    const char* expected;  // a phrase of the message
};

struct Built {
    std::string content;
    std::vector<int> objectOf;        // object of each value (0-based)
    std::vector<int> lines;           // line of each value
    std::vector<int> groupColumns;    // column of each value's group
    std::vector<int> parentColumns;   // column of each value's parent group
    std::vector<std::string> groups;  // as delivered
    std::vector<std::string> parents;
};

Built Build(const std::string& values)
{
    Built b;
    b.content = "KVD 1\n" + KvdObjectLine("O1", "a", "1", "W", "2000-01-01 00:00");
    int line = 2, objects = 1;
    std::istringstream in(values);
    for (std::string token; in >> token;) {
        if (token == "|") {
            b.content += KvdObjectLine("O" + std::to_string(++objects), "a", "1", "W", "2000-01-01 00:00");
            ++line;
            continue;
        }
        size_t mark = token.find('<');
        std::string group = token.substr(0, mark);
        std::string parent = mark == std::string::npos ? "" : token.substr(mark + 1);
        std::string text = KvdValueLine(group, parent, 1, "n", "v");
        b.content += text;
        b.lines.push_back(++line);
        b.objectOf.push_back(objects - 1);
        b.groupColumns.push_back(7);
        b.parentColumns.push_back(static_cast<int>(text.find(' ', 6)) + 2);
        b.groups.push_back(group);
        b.parents.push_back(parent);
    }
    b.content += "end\n";
    return b;
}

std::string Chain(int levels)
{
    std::string s = "G1";
    for (int i = 2; i <= levels; ++i)
        s += " G" + std::to_string(i) + "<G" + std::to_string(i - 1);
    return s;
}

const NestingCase kNesting[] = {
    {"the worked example of the tree", "Survey Survey Survey Point<Survey Survey Casing", -1, false, ""},
    {"first value in a nested group", "Point<Survey", 0, true,
     "expected an empty parent group \"\" for the first value of an object"},
    {"parent that is not on the path", "Survey Point<Casing", 1, true,
     "one on the group path of the value before (\"Survey\"), found \"Casing\""},
    {"same group again, with a parent that is not on the path", "Survey Survey<Casing", 1, true,
     "one on the group path of the value before (\"Survey\"), found \"Casing\""},
    {"a group that names itself as parent", "Survey Survey<Survey Survey", -1, false, ""},
    {"a group on the path is not nested again", "Survey Point<Survey Point<Survey Survey Point<Survey", -1, false, ""},
    {"a return that names the group it leaves as its parent", "Survey Point<Survey Survey<Point Point", -1, false, ""},
    {"back to the top level", "A B<A C<B A", -1, false, ""},
    {"nested in the grandparent", "A B<A C<B D<A", -1, false, ""},
    {"a group on the path with an empty parent", "A B<A B", -1, false, ""},
    {"sibling groups in turn", "A B<A C<A B<A", -1, false, ""},
    {"parent that left the path for a new top-level group", "A B<A C D<B", 3, true,
     "one on the group path of the value before (\"C\"), found \"B\""},
    {"parent that left the path for a return", "A B<A C<B B D<C", 4, true,
     "(\"A\" > \"B\"), found \"C\""},
    {"a return that names a group further down as its parent, then again", "A B<A C<B B<C B<C", 4, true,
     "one on the group path of the value before (\"A\" > \"B\"), found \"C\""},
    {"a group that left the path nests anew in another parent", "A B<A C<A B<C", -1, false, ""},
    {"a return to the top level with a parent", "A B<A A<B", -1, false, ""},
    {"a return with its own parent, twice", "A B<A C<B B<A B<A C<B", -1, false, ""},
    {"the path starts afresh for every object", "A B<A | C<A", 2, true,
     "expected an empty parent group \"\" for the first value of an object"},
    {"objects may use the same groups", "A B<A | A B<A", -1, false, ""},
    {"groups nested 32 levels deep", Chain(32), -1, false, ""},
    {"groups nested 33 levels deep", Chain(33), 32, false, "expected groups nested at most 32 levels deep"},
};

// The writer puts values by the reader's rule: the value that the reader refuses in a
// file is the one that a put refuses, and the message says why.
int FirstRefusedPut(const Built& b, std::string& message)
{
    TestFolder folder;
    KvdWriteSession writer;
    EXPECT_TRUE(writer.Begin((folder / "nesting.kvd").c_str(), KvdWriteSession::kReplace)) << writer.Message();
    int object = -1, refused = -1;
    for (size_t i = 0; i < b.groups.size(); ++i) {
        while (object < b.objectOf[i])
            EXPECT_TRUE(writer.PutObject("O" + std::to_string(++object + 1), "a", "1", "W", "2000-01-01 00:00"));
        if (!writer.PutValue(b.groups[i], b.parents[i], 1, "n", "v", "", "") && refused < 0) {
            refused = static_cast<int>(i);
            message = writer.Message();
        }
    }
    writer.Abandon();
    return refused;
}

TEST(KvdNesting, OpenChecksTheOrderOfGroups)
{
    for (const NestingCase& c : kNesting) {
        Built b = Build(c.values);
        std::string putMessage;
        EXPECT_EQ(FirstRefusedPut(b, putMessage), c.failingValue) << c.name << ": the writer follows the same rule";
        if (c.failingValue >= 0) {
            EXPECT_NE(putMessage.find("is not written: "), std::string::npos) << c.name << ": " << putMessage;
        }
        ReadResult read = ReadKvdText(b.content);
        if (c.failingValue < 0) {
            ASSERT_TRUE(read.opened) << c.name << ": " << read.message;
            size_t i = 0;
            for (const ReadObject& o : read.objects) {
                for (const ReadValue& v : o.values) {
                    ASSERT_LT(i, b.groups.size()) << c.name;
                    EXPECT_EQ(v.group, b.groups[i]) << c.name << ", value " << i;
                    EXPECT_EQ(v.parent, b.parents[i]) << c.name << ", value " << i;
                    ++i;
                }
            }
            EXPECT_EQ(i, b.groups.size()) << c.name << ": every value is delivered";
            continue;
        }
        EXPECT_FALSE(read.opened) << c.name;
        int column = c.atParent ? b.parentColumns[c.failingValue] : b.groupColumns[c.failingValue];
        std::string place = "line " + std::to_string(b.lines[c.failingValue]) + ", column " +
                            std::to_string(column) + ": ";
        EXPECT_NE(read.message.find(place), std::string::npos) << c.name << "\n  message: " << read.message;
        EXPECT_NE(read.message.find(c.expected), std::string::npos) << c.name << "\n  message: " << read.message;
    }
}

}  // namespace

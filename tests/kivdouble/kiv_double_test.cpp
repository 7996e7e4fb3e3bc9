// The Kiv.dll double answers as its script says and keeps the library's lifecycle.
#include <gtest/gtest.h>

#include <kivapi.h>

#include "kiv_double.h"

namespace {

struct Object {
    int ok;
    std::string name, author, version, wellId, date;
};

Object NextObject()
{
    char *name, *author, *version, *wellId, *date;
    int ok = KivGetNextObject(&name, &author, &version, &wellId, &date);
    return {ok, name, author, version, wellId, date};
}

std::string NextValue()  // "group|parent|name|extra|suffix|value|record", or "" at the end
{
    char *group, *name, *extra, *suffix, *value, *parent;
    int record = -1;
    if (!KivGetNextValue(&group, &name, &extra, &suffix, &value, &parent, &record))
        return "";
    return std::string(group) + "|" + parent + "|" + name + "|" + extra + "|" + suffix + "|" + value + "|" +
           std::to_string(record);
}

const char* const kTwoFiles = R"(
# any other path: one object
object "spare" "sam" "1" "W0" "2001-02-03 04:05"
file "a.kvd"
object "first" "ann" "2" "W1" "2000-12-05 14:07"
value "Casing" "" "depth" "x" "m" "12" 1
value "Casing" "" "size" "" "" "7 \"in\"" 1
object "second" "bob" "3" "W2" "odd date"
file "b.kvd"
open fail "b.kvd, line 3: expected \"object\".\nCorrect the file."
)";

TEST(KivDouble, IsTheKivOfThisProgram)
{
    EXPECT_TRUE(kiv_double::IsLoaded());
}

TEST(KivDouble, DeliversTheObjectsAndValuesOfTheOpenedFile)
{
    ASSERT_EQ(kiv_double::Load(kTwoFiles), "");
    char* message = nullptr;
    ASSERT_TRUE(KivAttach(&message));
    ASSERT_TRUE(KivOpen("C:\\data\\A.KVD", &message, 0));

    Object first = NextObject();
    EXPECT_EQ(first.ok, 1);
    EXPECT_EQ(first.name + first.author + first.version + first.wellId, "firstann2W1");
    EXPECT_EQ(first.date, "2000-12-05 14:07");
    EXPECT_EQ(NextValue(), "Casing||depth|x|m|12|1");
    EXPECT_EQ(NextValue(), "Casing||size|||7 \"in\"|1");
    EXPECT_EQ(NextValue(), "");
    EXPECT_EQ(NextValue(), "");

    Object second = NextObject();
    EXPECT_EQ(second.name, "second");
    EXPECT_EQ(NextValue(), "") << "an object without values";
    EXPECT_EQ(NextObject().ok, 0);
    EXPECT_EQ(NextObject().ok, 0) << "the end stays the end until the next open";

    ASSERT_TRUE(KivOpen("C:\\data\\other.kvd", &message, 0));
    EXPECT_EQ(NextObject().name, "spare");
    KivDetach();

    KivDoubleCalls calls = kiv_double::Calls();
    EXPECT_EQ(calls.objectsDelivered, 3);
    EXPECT_EQ(calls.valuesDelivered, 2);
    EXPECT_EQ(calls.openSucceeded, 2);
    EXPECT_STREQ(calls.lastOpenPath, "C:\\data\\other.kvd");
    EXPECT_EQ(calls.attached, 0);
    EXPECT_EQ(calls.misuse, 0) << calls.lastMisuse;
}

TEST(KivDouble, FailsAttachAndOpenWithTheScriptedTexts)
{
    struct Case {
        const char* name;
        const char* script;
        const char* path;
        int attach, open;
        const char* message;
    };
    const Case cases[] = {
        {"attach refused", "attach fail \"Kiv.dll cannot start.\"", "x.kvd", 0, 0, "Kiv.dll cannot start."},
        {"this file refused", kTwoFiles, "C:\\b.kvd", 1, 0, "b.kvd, line 3: expected \"object\".\nCorrect the file."},
        {"name must end at a separator", kTwoFiles, "C:\\xb.kvd", 1, 1, ""},
        {"no file line: any path opens", "", "C:\\whatever.kvd", 1, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(kiv_double::Load(c.script), "");
        char* message = nullptr;
        int attached = KivAttach(&message);
        EXPECT_EQ(attached, c.attach);
        if (attached) {
            EXPECT_EQ(KivOpen(c.path, &message, 0), c.open);
            if (!c.open) {
                EXPECT_EQ(NextObject().ok, 0) << "no object after a refused open";
            }
        }
        EXPECT_STREQ(message, c.message);
        KivDetach();
        EXPECT_EQ(kiv_double::Calls().misuse, 0) << kiv_double::Calls().lastMisuse;
    }
}

TEST(KivDouble, KeepsTheLifecycle)
{
    ASSERT_EQ(kiv_double::Load(kTwoFiles), "");
    char* message = nullptr;
    KivDetach();  // harmless without an attachment
    EXPECT_EQ(kiv_double::Calls().misuse, 0);

    EXPECT_EQ(KivOpen("C:\\a.kvd", &message, 0), 0) << "no open without an attachment";
    EXPECT_EQ(kiv_double::Calls().misuse, 1);

    ASSERT_TRUE(KivAttach(&message));
    EXPECT_EQ(NextObject().ok, 0) << "attached, nothing opened";
    EXPECT_EQ(NextValue(), "") << "no object delivered yet";
    ASSERT_TRUE(KivOpen("C:\\a.kvd", &message, 0));
    EXPECT_EQ(NextObject().name, "first");
    ASSERT_TRUE(KivOpen("C:\\a.kvd", &message, 0));
    EXPECT_EQ(NextValue(), "") << "a new open forgets the last object";
    EXPECT_EQ(NextObject().name, "first") << "a new open starts at the first object";
    KivDetach();
    EXPECT_EQ(NextObject().ok, 0) << "detach ends the open file";
    EXPECT_EQ(kiv_double::Calls().misuse, 2) << "objects asked for after detach";
    EXPECT_EQ(kiv_double::Calls().detach, 2);
}

TEST(KivDouble, TurnsDatesIntoFields)
{
    struct Case {
        const char* text;
        int result;
        int fields[5];
    };
    const Case cases[] = {
        {"2000-12-05 14:07", 1, {2000, 12, 5, 14, 7}},
        {"odd date", 0, {0, 0, 0, 0, 0}},
        {"2000-13-05 14:07", 0, {0, 0, 0, 0, 0}},
        {"leap", 1, {2000, 2, 30, 25, 61}},
        {"refused", 0, {1999, 1, 1, 0, 0}},
    };
    ASSERT_EQ(kiv_double::Load("date \"leap\" 2000 2 30 25 61\ndate \"refused\" 1999 1 1 0 0 fail\n"), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int f[5] = {-1, -1, -1, -1, -1};
        EXPECT_EQ(KivStringToDate(c.text, &f[0], &f[1], &f[2], &f[3], &f[4]), c.result);
        EXPECT_EQ(std::vector<int>(f, f + 5), std::vector<int>(c.fields, c.fields + 5));
    }
}

TEST(KivDouble, NamesTheLineOfAScriptError)
{
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"object \"a\" \"b\"", "line 1: expected a quoted text"},
        {"\n\nvalue \"g\" \"\" \"n\" \"\" \"\" \"v\" 1", "line 3: a value needs an object before it"},
        {"attach \"x\"", "line 1: expected: attach fail \"text\""},
        {"object \"a\" \"b\" \"c\" \"d\" \"e\" extra", "line 1: unexpected text at the end of the line"},
        {"date \"t\" 1 2 3 4 x", "line 1: expected a number"},
        {"obj \"a\"", "line 1: unknown statement \"obj\""},
        {"file \"a.kvd", "line 1: a quoted text is not closed"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kiv_double::Load(c.script), c.error) << c.script;
}

TEST(KivDouble, TextsHandedOutLastOnlyUntilTheNextCall)
{
    ASSERT_EQ(kiv_double::Load(kTwoFiles), "");
    char* message = nullptr;
    ASSERT_TRUE(KivAttach(&message));
    ASSERT_TRUE(KivOpen("a.kvd", &message, 0));
    char *name, *author, *version, *wellId, *date;
    ASSERT_TRUE(KivGetNextObject(&name, &author, &version, &wellId, &date));
    std::string kept = name;
    const char* keptPointer = name;
    NextObject();
    EXPECT_NE(std::string(keptPointer), kept) << "a kept pointer does not keep its text";
    KivDetach();
}

}  // namespace

// KivLifecycleTest.cpp - the order of the six calls, as the dialogs make them.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "KivTestSupport.h"

namespace {

const char* const kFileA =
    "KVD 1\n"
    "object A1 amy 1 W-1 \"2001-01-01 10:00\"\n"
    "value G \"\" 1 a 1\n"
    "value G \"\" 1 b 2\n"
    "object A2 amy 1 W-1 \"2001-01-02 10:00\"\n"
    "object A3 bob 2 W-2 \"2001-01-03 10:00\"\n"
    "value H \"\" 7 c 3\n"
    "end\n";
const char* const kFileB =
    "KVD 1\n"
    "object B1 cid 1 W-9 \"1960-05-05 05:05\"\n"
    "value K \"\" 1 k 9\n"
    "end\n";
const char* const kFileBad =
    "KVD 1\n"
    "object Z1 cid 1 W-9 \"1960-05-05 05:05\"\n"
    "value K Lost 1 k 9\n"
    "end\n";

// Runs a script of calls and writes what each returned:
//   attach, open<A|B|Bad|Missing> -> 1 or 0; obj -> the object's name or "-";
//   val -> group.name or "-"; detach -> ok.
std::string RunScript(const std::string& script)
{
    TestFile a(kFileA), b(kFileB), bad(kFileBad);
    std::string missing = a.Path() + ".missing";
    std::istringstream steps(script);
    std::string transcript;
    for (std::string step; steps >> step;) {
        char* message = nullptr;
        std::string out;
        if (step == "attach") {
            out = std::to_string(KivAttach(&message));
        } else if (step == "detach") {
            KivDetach();
            out = "ok";
        } else if (step.rfind("open", 0) == 0) {
            std::string which = step.substr(4);
            const std::string& path = which == "A" ? a.Path() : which == "B" ? b.Path()
                                    : which == "Bad" ? bad.Path() : missing;
            out = std::to_string(KivOpen(path.c_str(), &message, 0));
        } else if (step == "obj") {
            char *name, *author, *version, *wellId, *date;
            out = KivGetNextObject(&name, &author, &version, &wellId, &date) ? name : "-";
        } else if (step == "val") {
            char *group, *name, *extra, *suffix, *value, *parent;
            int record;
            out = KivGetNextValue(&group, &name, &extra, &suffix, &value, &parent, &record)
                      ? std::string(group) + "." + name
                      : "-";
        } else {
            out = "?" + step;
        }
        transcript += (transcript.empty() ? "" : " ") + out;
    }
    KivDetach();
    return transcript;
}

struct LifecycleCase {
    const char* name;
    const char* script;
    const char* expected;
};

const LifecycleCase kLifecycle[] = {
    {"detach without attach is harmless", "detach detach attach openA obj", "ok ok 1 1 A1"},
    {"no file open: no object, no value", "attach obj obj val", "1 - - -"},
    {"objects in file order, then the end stays", "attach openA obj obj obj obj obj",
     "1 1 A1 A2 A3 - -"},
    {"the end lasts until the next open", "attach openA obj obj obj obj openA obj",
     "1 1 A1 A2 A3 - 1 A1"},
    {"a new open replaces the open file", "attach openA obj openB obj obj", "1 1 A1 1 B1 -"},
    {"a refused open leaves no file open", "attach openA obj openBad obj", "1 1 A1 0 -"},
    {"a missing file is refused", "attach openMissing obj", "1 0 -"},
    {"values belong to the object delivered last",
     "attach openA obj val val val val obj val obj val val", "1 1 A1 G.a G.b - - A2 - A3 H.c -"},
    {"unread values are skipped", "attach openA obj val obj obj val", "1 1 A1 G.a A2 A3 H.c"},
    {"no value before the first object", "attach openA val obj val", "1 1 - A1 G.a"},
    {"no value after the end", "attach openA obj obj obj obj val", "1 1 A1 A2 A3 - -"},
    {"detach ends the open file", "attach openA obj detach obj attach obj", "1 1 A1 ok - 1 -"},
    {"reopening the same file starts again", "attach openA obj val openA obj val",
     "1 1 A1 G.a 1 A1 G.a"},
    {"attach twice is harmless", "attach attach openB obj detach detach", "1 1 1 B1 ok ok"},
};

TEST(KivLifecycle, CallsInEveryOrderTheDialogsUse)
{
    for (const LifecycleCase& c : kLifecycle)
        EXPECT_EQ(RunScript(c.script), c.expected) << c.name << ": " << c.script;
}

char g_poison[] = "poison";

TEST(KivLifecycle, FailedCallsSetEveryOutParameter)
{
    KivDetach();
    char* texts[7];
    int record = 77;
    for (char*& t : texts)
        t = g_poison;
    EXPECT_EQ(KivGetNextObject(&texts[0], &texts[1], &texts[2], &texts[3], &texts[4]), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(texts[i], "") << "object text " << i;

    for (char*& t : texts)
        t = g_poison;
    EXPECT_EQ(KivGetNextValue(&texts[0], &texts[1], &texts[2], &texts[3], &texts[4], &texts[5], &record), 0);
    for (int i = 0; i < 6; ++i)
        EXPECT_STREQ(texts[i], "") << "value text " << i;
    EXPECT_EQ(record, 0);

    char* message = g_poison;
    EXPECT_NE(KivAttach(&message), 0);
    EXPECT_STREQ(message, "");
    TestFile good(kFileB);
    message = g_poison;
    EXPECT_NE(KivOpen(good.Path().c_str(), &message, 0), 0);
    EXPECT_STREQ(message, "") << "success leaves an empty message";
    KivDetach();
}

TEST(KivLifecycle, NullOutPointersAreNotWanted)
{
    TestFile file(kFileA);
    EXPECT_NE(KivAttach(nullptr), 0);
    EXPECT_EQ(KivOpen(nullptr, nullptr, 0), 0);
    EXPECT_NE(KivOpen(file.Path().c_str(), nullptr, 0), 0);
    int objects = 0, values = 0;
    while (KivGetNextObject(nullptr, nullptr, nullptr, nullptr, nullptr)) {
        ++objects;
        while (KivGetNextValue(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            ++values;
    }
    EXPECT_EQ(objects, 3);
    EXPECT_EQ(values, 3);
    EXPECT_EQ(KivStringToDate(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_NE(KivStringToDate("2001-01-01 10:00", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    KivDetach();
}

TEST(KivLifecycle, ObjectTextsSurviveTheDateConversion)
{
    TestFile file(kFileB);
    char* message;
    KivAttach(&message);
    ASSERT_NE(KivOpen(file.Path().c_str(), &message, 0), 0) << message;
    char *name, *author, *version, *wellId, *date;
    ASSERT_NE(KivGetNextObject(&name, &author, &version, &wellId, &date), 0);
    int y, mo, d, h, mi;
    EXPECT_NE(KivStringToDate(date, &y, &mo, &d, &h, &mi), 0);
    EXPECT_STREQ(name, "B1");
    EXPECT_STREQ(author, "cid");
    EXPECT_STREQ(version, "1");
    EXPECT_STREQ(wellId, "W-9");
    EXPECT_STREQ(date, "1960-05-05 05:05");
    EXPECT_EQ(y * 100000000LL + mo * 1000000 + d * 10000 + h * 100 + mi, 196005050505LL);
    KivDetach();
}

}  // namespace

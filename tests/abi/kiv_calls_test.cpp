// Every call of Kiv.dll as a host makes it, across the module boundary: by its plain
// name, many times over, with hostile input (NULL pointers, texts far longer than any
// buffer, a damaged file, calls out of order). Each must return its documented
// result, set every wanted out-parameter and leave the caller's stack as it found it:
// a call whose definition and declaration disagree on who removes the arguments
// moves the stack pointer on i686, and only there.
#include <gtest/gtest.h>

#include <windows.h>

#include <kivapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_fixtures.h"

namespace {

// The stack pointer, read around a call through a pointer from GetProcAddress.
#if defined(__i386__)
#define READ_STACK_POINTER(into) __asm__ volatile("movl %%esp, %0" : "=r"(into) : : "memory")
#elif defined(__x86_64__)
#define READ_STACK_POINTER(into) __asm__ volatile("movq %%rsp, %0" : "=r"(into) : : "memory")
#endif

template <typename Function>
Function Export(const char* name)
{
    HMODULE kiv = GetModuleHandleA("Kiv.dll");
    return kiv ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kiv, name))) : nullptr;
}

// Texts that a call hands out must be readable; a NULL pointer is never handed out.
const char kUnset[] = "unset";
char* Unset() { return const_cast<char*>(kUnset); }

class KivCalls : public ::testing::Test {
protected:
    void SetUp() override { KivDetach(); }
    void TearDown() override { KivDetach(); }
    fixtures::TempFolder folder;
};

// The six plain names are exported, and each call through them removes exactly
// its own arguments from the stack, many times over.
TEST_F(KivCalls, PlainNamesAndABalancedStack)
{
    auto attach = Export<decltype(&KivAttach)>("KivAttach");
    auto open = Export<decltype(&KivOpen)>("KivOpen");
    auto nextObject = Export<decltype(&KivGetNextObject)>("KivGetNextObject");
    auto nextValue = Export<decltype(&KivGetNextValue)>("KivGetNextValue");
    auto toDate = Export<decltype(&KivStringToDate)>("KivStringToDate");
    auto detach = Export<decltype(&KivDetach)>("KivDetach");
    ASSERT_TRUE(attach && open && nextObject && nextValue && toDate && detach);

    std::string path = folder.CopyIn(fixtures::SamplePath("worked_example.kvd"), "w.kvd");
    char *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr, *e = nullptr, *f = nullptr;
    int record = 0, y = 0, mo = 0, da = 0, h = 0, mi = 0;
    // Few rounds with a file (each open reads it twice), many of the cheap date call.
    const int kRounds = 50, kDateCalls = 20000;
    int unbalanced = 0, objects = 0, values = 0, dates = 0;
    for (int round = 0; round < kRounds; ++round) {
        uintptr_t before = 0, after = 0;
        READ_STACK_POINTER(before);
        attach(&a);
        open(path.c_str(), &a, 0);
        objects += nextObject(&a, &b, &c, &d, &e);
        values += nextValue(&a, &b, &c, &d, &e, &f, &record);
        detach();
        READ_STACK_POINTER(after);
        unbalanced += before != after;
    }
    uintptr_t before = 0, after = 0;
    READ_STACK_POINTER(before);
    for (int call = 0; call < kDateCalls; ++call)
        dates += toDate("1987-03-14 09:30", &y, &mo, &da, &h, &mi);
    READ_STACK_POINTER(after);
    EXPECT_EQ(unbalanced, 0) << "rounds whose calls left the stack pointer moved";
    EXPECT_EQ(after - before, 0u) << "date calls left the stack pointer moved";
    EXPECT_EQ(objects, kRounds);
    EXPECT_EQ(values, kRounds);
    EXPECT_EQ(dates, kDateCalls);
    EXPECT_EQ((std::vector<int>{ y, mo, da, h, mi }), (std::vector<int>{ 1987, 3, 14, 9, 30 }));
}

// The five write calls the same way: a whole write per round, through the plain names.
TEST_F(KivCalls, WriteCallsByPlainNameLeaveTheStackBalanced)
{
    auto attach = Export<decltype(&KivAttach)>("KivAttach");
    auto begin = Export<decltype(&KivBeginWrite)>("KivBeginWrite");
    auto putObject = Export<decltype(&KivPutObject)>("KivPutObject");
    auto putValue = Export<decltype(&KivPutValue)>("KivPutValue");
    auto commit = Export<decltype(&KivCommitWrite)>("KivCommitWrite");
    auto abandon = Export<decltype(&KivAbandonWrite)>("KivAbandonWrite");
    auto detach = Export<decltype(&KivDetach)>("KivDetach");
    ASSERT_TRUE(attach && begin && putObject && putValue && commit && abandon && detach);

    const std::string path = folder.File("written.kvd");
    const int kRounds = 20;
    int unbalanced = 0, committed = 0;
    for (int round = 0; round < kRounds; ++round) {
        char* message = nullptr;
        uintptr_t before = 0, after = 0;
        READ_STACK_POINTER(before);
        attach(&message);
        int ok = begin(path.c_str(), &message, round % 2 == 0 ? KIV_WRITE_REPLACE : KIV_WRITE_UPDATE);
        ok = ok && putObject("Survey", "jdoe", "1", "W-17", "1987-03-14 09:30", &message);
        ok = ok && putValue("Depth", "", round + 1, "MD", "1200", "m", "", &message);
        ok = ok && commit(&message);
        abandon();
        detach();
        READ_STACK_POINTER(after);
        unbalanced += before != after;
        committed += ok;
    }
    EXPECT_EQ(unbalanced, 0) << "rounds whose calls left the stack pointer moved";
    EXPECT_EQ(committed, kRounds);
    EXPECT_NE(fixtures::ReadFile(path).find("Survey"), std::string::npos);
}

// Calls out of order and with every out-pointer NULL: no crash, the documented result.
TEST_F(KivCalls, NullPointersAndCallsOutOfOrder)
{
    std::string good = folder.CopyIn(fixtures::SamplePath("worked_example.kvd"), "good.kvd");
    struct Case {
        const char* name;
        int (*call)(const std::string& good);
        int expected;
    };
    const Case cases[] = {
        { "next object before any attach", [](const std::string&) {
              return KivGetNextObject(nullptr, nullptr, nullptr, nullptr, nullptr); }, 0 },
        { "next value before any attach", [](const std::string&) {
              return KivGetNextValue(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }, 0 },
        { "attach without a message pointer", [](const std::string&) { return KivAttach(nullptr); }, 1 },
        { "open a NULL path, no message pointer", [](const std::string&) {
              KivAttach(nullptr);
              return KivOpen(nullptr, nullptr, 0); }, 0 },
        { "next object after a refused open", [](const std::string&) {
              KivAttach(nullptr);
              KivOpen(nullptr, nullptr, 0);
              return KivGetNextObject(nullptr, nullptr, nullptr, nullptr, nullptr); }, 0 },
        { "open a good file, no message pointer", [](const std::string& path) {
              KivAttach(nullptr);
              return KivOpen(path.c_str(), nullptr, 0); }, 1 },
        { "objects with NULL out-pointers", [](const std::string& path) {
              KivAttach(nullptr);
              KivOpen(path.c_str(), nullptr, 0);
              return KivGetNextObject(nullptr, nullptr, nullptr, nullptr, nullptr) * 10
                     + KivGetNextObject(nullptr, nullptr, nullptr, nullptr, nullptr); }, 10 },
        { "values with NULL out-pointers", [](const std::string& path) {
              KivAttach(nullptr);
              KivOpen(path.c_str(), nullptr, 0);
              KivGetNextObject(nullptr, nullptr, nullptr, nullptr, nullptr);
              int values = 0;
              while (KivGetNextValue(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) && values < 100)
                  ++values;
              return values; }, 6 },
        { "values after detach", [](const std::string& path) {
              KivAttach(nullptr);
              KivOpen(path.c_str(), nullptr, 0);
              KivGetNextObject(nullptr, nullptr, nullptr, nullptr, nullptr);
              KivDetach();
              return KivGetNextValue(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }, 0 },
        { "detach twice", [](const std::string&) {
              KivDetach();
              KivDetach();
              return 1; }, 1 },
        { "a date from NULL", [](const std::string&) {
              return KivStringToDate(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }, 0 },
        { "a good date into NULL fields", [](const std::string&) {
              return KivStringToDate("1987-03-14 09:30", nullptr, nullptr, nullptr, nullptr, nullptr); }, 1 },
    };
    for (const Case& c : cases) {
        KivDetach();
        EXPECT_EQ(c.call(good), c.expected) << c.name;
    }
}

// Out-parameters on failure: texts "" (never NULL), numbers 0.
TEST_F(KivCalls, EveryWantedOutParameterIsSetOnFailure)
{
    char *name = Unset(), *author = Unset(), *version = Unset(), *wellId = Unset(), *date = Unset();
    EXPECT_EQ(KivGetNextObject(&name, &author, &version, &wellId, &date), 0);
    for (char* text : { name, author, version, wellId, date }) {
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, "");
    }
    char *group = Unset(), *value = Unset(), *extra = Unset(), *suffix = Unset(), *text = Unset(),
         *parent = Unset();
    int record = 77;
    EXPECT_EQ(KivGetNextValue(&group, &value, &extra, &suffix, &text, &parent, &record), 0);
    for (char* t : { group, value, extra, suffix, text, parent }) {
        ASSERT_NE(t, nullptr);
        EXPECT_STREQ(t, "");
    }
    EXPECT_EQ(record, 0);

    struct DateCase {
        const char* name;
        std::string text;
        int valid;
        int fields[5];
    };
    const DateCase dates[] = {
        { "the worked example's date", "1987-03-14 09:30", 1, { 1987, 3, 14, 9, 30 } },
        { "before 1970", "1954-09-17 11:00", 1, { 1954, 9, 17, 11, 0 } },
        { "after 2038", "2041-01-15 07:30", 1, { 2041, 1, 15, 7, 30 } },
        { "empty", "", 0, { 0, 0, 0, 0, 0 } },
        { "10,000 digits", std::string(10000, '9'), 0, { 0, 0, 0, 0, 0 } },
        { "a good date then 10,000 blanks", "1987-03-14 09:30" + std::string(10000, ' '), 0, { 0, 0, 0, 0, 0 } },
        { "month 13", "1987-13-14 09:30", 0, { 0, 0, 0, 0, 0 } },
        { "bytes above 127", "1987-03-14 09:3\xE9", 0, { 0, 0, 0, 0, 0 } },
    };
    for (const DateCase& c : dates) {
        int fields[5] = { -1, -1, -1, -1, -1 };
        EXPECT_EQ(KivStringToDate(c.text.c_str(), &fields[0], &fields[1], &fields[2], &fields[3], &fields[4]),
                  c.valid) << c.name;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(fields[i], c.fields[i]) << c.name << ", field " << i;
    }
}

// Paths that cannot be opened, and a damaged file: 0, and a message that names the
// file; no file stays open.
TEST_F(KivCalls, RefusedPathsAndADamagedFile)
{
    std::string damaged = folder.CopyIn(fixtures::SamplePath("damaged/bad-date.kvd"), "damaged.kvd");
    std::string zeroed = folder.CopyIn(fixtures::SamplePath("damaged/zeroed-file.kvd"), "zeroed.kvd");
    struct Case {
        const char* name;
        std::string path;
        std::string named;   // the message must contain this
    };
    const Case cases[] = {
        { "empty path", "", "" },
        { "a missing file", folder.File("missing.kvd"), "missing.kvd" },
        { "a folder", folder.Path(), "" },
        { "a name of 300 characters", folder.File(std::string(300, 'n') + ".kvd"), "" },
        { "a path of 40,000 characters", folder.Path() + std::string(40000, 'p'), "" },
        { "a damaged date", damaged, "damaged.kvd" },
        { "a file of NUL bytes only", zeroed, "zeroed.kvd" },
    };
    ASSERT_NE(KivAttach(nullptr), 0);
    for (const Case& c : cases) {
        char* message = Unset();
        EXPECT_EQ(KivOpen(c.path.c_str(), &message, 0), 0) << c.name;
        ASSERT_NE(message, nullptr) << c.name;
        std::string text = message;
        EXPECT_FALSE(text.empty()) << c.name;
        EXPECT_NE(text.find(c.named), std::string::npos) << c.name << ": " << text;
        char* name = Unset();
        EXPECT_EQ(KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr), 0) << c.name << ": a file stayed open";
    }
}

}  // namespace

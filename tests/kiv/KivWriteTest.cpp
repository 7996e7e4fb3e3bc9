// KivWriteTest.cpp - the write calls as a host makes them: what is put reads back
// through the six read calls, update mode keeps every other object byte for byte,
// and every fault leaves the target as it was with no temporary file behind.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <random>
#include <signal.h>
#include <sstream>
#include <utility>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestFolder.h"
#include "KivTestSupport.h"
#include "KvdBytes.h"
#include "KvdTestDisks.h"
#include "KvdReader.h"
#include "KvdWriteSession.h"
#include "KvdWriter.h"

// Found by argument-dependent lookup, so outside the unnamed namespace.
bool operator==(const ReadValue& a, const ReadValue& b)
{
    return a.group == b.group && a.parent == b.parent && a.name == b.name && a.value == b.value &&
           a.suffix == b.suffix && a.extra == b.extra && a.record == b.record;
}

bool operator==(const ReadObject& a, const ReadObject& b)
{
    return a.name == b.name && a.author == b.author && a.version == b.version && a.wellId == b.wellId &&
           a.date == b.date && a.values == b.values;
}

namespace {

using Folder = TestFolder;

// Puts every object with its values; false at the first refusal (message says why).
bool PutAll(const std::vector<ReadObject>& objects, std::string& message)
{
    char* text = nullptr;
    for (const ReadObject& o : objects) {
        if (!KivPutObject(o.name.c_str(), o.author.c_str(), o.version.c_str(), o.wellId.c_str(), o.date.c_str(),
                          &text))
            return message = text, false;
        for (const ReadValue& v : o.values)
            if (!KivPutValue(v.group.c_str(), v.parent.c_str(), v.record, v.name.c_str(), v.value.c_str(),
                             v.suffix.c_str(), v.extra.c_str(), &text))
                return message = text, false;
    }
    return true;
}

// Attach, begin, put, commit, detach: the message of the first call that failed.
std::string Write(const std::string& path, int mode, const std::vector<ReadObject>& objects)
{
    char* text = nullptr;
    KivAttach(&text);
    std::string message;
    if (!KivBeginWrite(path.c_str(), &text, mode))
        message = text;
    else if (PutAll(objects, message) && !KivCommitWrite(&text))
        message = text;
    KivDetach();
    return message;
}

ReadObject Object(const std::string& name, const std::string& author = "amy",
                  std::vector<ReadValue> values = {})
{
    return {name, author, "1", "W-1", "2001-02-03 04:05", std::move(values)};
}

ReadValue Value(const std::string& group, const std::string& parent, const std::string& name,
                const std::string& value = "1", int record = 1)
{
    return {group, parent, name, value, "", "", record};
}

std::string Listing(const std::vector<ReadObject>& objects)
{
    std::string s;
    for (const ReadObject& o : objects)
        s += (s.empty() ? "" : " ") + o.name + "/" + o.author;
    return s;
}

// ---- Round trip -------------------------------------------------------------------

// A text of random bytes 1..255, of a random length that is mostly short.
std::string RandomText(std::mt19937& random, bool mayBeEmpty = true)
{
    std::uniform_int_distribution<int> lengthKind(0, 9), byte(1, 255);
    size_t length = 0;
    switch (lengthKind(random)) {
    case 0: length = mayBeEmpty ? 0 : 1; break;
    case 1: length = 300 + random() % 3000; break;
    default: length = 1 + random() % 12; break;
    }
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<char>(byte(random));
    return text;
}

// Values in a valid depth-first order: a random walk over a random group tree.
std::vector<ReadValue> RandomValues(std::mt19937& random)
{
    std::vector<ReadValue> values;
    std::vector<std::string> path;
    size_t count = random() % 12;
    for (size_t i = 0; i < count; ++i) {
        ReadValue v;
        int move = path.empty() ? 0 : static_cast<int>(random() % 4);
        if (move == 0 || path.empty()) {  // a new top-level group
            path.assign(1, "g" + std::to_string(i) + RandomText(random, false));
            v.parent = "";
        } else if (move == 1 && path.size() < KvdGroupPath::kMaxDepth) {  // nested in the last group
            v.parent = path.back();
            path.push_back("n" + std::to_string(i) + RandomText(random, false));
        } else {  // back in a group on the path
            path.resize(1 + random() % path.size());
            v.parent = path.size() >= 2 && random() % 2 ? path[path.size() - 2] : "";
        }
        v.group = path.back();
        v.name = RandomText(random);
        v.value = RandomText(random);
        v.suffix = RandomText(random);
        v.extra = RandomText(random);
        static const int kRecords[] = {0, 1, -1, 7, INT_MAX, INT_MIN, 123456789};
        v.record = kRecords[random() % 7];
        values.push_back(v);
    }
    return values;
}

TEST(KivWrite, RandomObjectsReadBackUnchanged)
{
    static const char* const kDates[] = {"0001-01-01 00:00", "9999-12-31 23:59", "2000-02-29 12:00",
                                         "1987-03-14 09:30", "2023-06-30 00:59"};
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        std::vector<ReadObject> objects;
        size_t count = random() % 6;
        for (size_t i = 0; i < count; ++i) {
            ReadObject o;
            o.name = std::to_string(i) + RandomText(random);
            o.author = RandomText(random);
            o.version = RandomText(random);
            o.wellId = RandomText(random);
            o.date = kDates[random() % 5];
            o.values = RandomValues(random);
            objects.push_back(o);
        }
        for (int mode : {KIV_WRITE_REPLACE, KIV_WRITE_UPDATE}) {
            Folder folder;
            std::string path = folder / "round.kvd";
            ASSERT_EQ(Write(path, mode, objects), "") << "seed " << seed << ", mode " << mode;
            ReadResult read = ReadKvdFile(path);
            ASSERT_TRUE(read.opened) << "seed " << seed << ": " << read.message;
            ASSERT_EQ(read.objects.size(), objects.size()) << "seed " << seed;
            for (size_t i = 0; i < objects.size(); ++i)
                EXPECT_TRUE(read.objects[i] == objects[i]) << "seed " << seed << ", mode " << mode << ", object " << i;
            EXPECT_EQ(folder.Names(), std::vector<std::string>{"round.kvd"}) << "seed " << seed;
        }
    }
}

TEST(KivWrite, EveryByteAndEveryTextFieldReadsBack)
{
    std::string every;
    for (int c = 1; c < 256; ++c)
        every += static_cast<char>(c);
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"every byte 1..255", every},
        {"empty", ""},
        {"long (five of them make most of a line)", std::string(150000, 'q') + "\"\\\n"},
        {"blanks only", "   "},
        {"a keyword", "end"},
    };
    for (const Case& c : cases) {
        Folder folder;
        std::string path = folder / "bytes.kvd";
        ReadObject o{"n" + c.text, c.text, c.text, c.text, "2020-01-01 00:00",
                     {{"g" + c.text, "", c.text, c.text, c.text, c.text, 3}}};
        ASSERT_EQ(Write(path, KIV_WRITE_REPLACE, {o}), "") << c.name;
        ReadResult read = ReadKvdFile(path);
        ASSERT_TRUE(read.opened) << c.name << ": " << read.message;
        ASSERT_EQ(read.objects.size(), 1u) << c.name;
        EXPECT_TRUE(read.objects[0] == o) << c.name;
    }
}

TEST(KivWrite, AnEmptyDateIsTheTimeNow)
{
    Folder folder;
    std::string path = folder / "now.kvd";
    ReadObject o = Object("N");
    o.date = "";
    std::string before = KvdDateNow();
    ASSERT_EQ(Write(path, KIV_WRITE_REPLACE, {o}), "");
    std::string after = KvdDateNow();
    ReadResult read = ReadKvdFile(path);
    ASSERT_EQ(read.objects.size(), 1u);
    EXPECT_TRUE(read.objects[0].date == before || read.objects[0].date == after) << read.objects[0].date;
}

// ---- Update rules -----------------------------------------------------------------

const char* const kOldHeader = "KVD 1\n# kept notes\n";
const char* const kOldA1 = "object A  amy 1 W-1 \"2001-01-01 10:00\"\r\nvalue G \"\" 1 a 1   m\t\n";
const char* const kOldB = "# before B\nobject B  bob 2 W-2 \"2001-01-02 10:00\"\n  value   G  \"\" 1 b \"two words\"\n";
const char* const kOldA2 = "object A  cid 3 W-3 \"2001-01-03 10:00\"\n";
const char* const kOldC = "object \"C c\" dan 4 W-4 \"2001-01-04 10:00\"\nvalue H \"\" 2 c 3 m\n";
const char* const kOldEnd = "end\n# after the end\n";

std::string OldFile()
{
    return std::string(kOldHeader) + kOldA1 + kOldB + kOldA2 + kOldC + kOldEnd;
}

std::string Line(const ReadObject& o)
{
    std::string s = KvdObjectLine(o.name, o.author, o.version, o.wellId, o.date);
    for (const ReadValue& v : o.values)
        s += KvdValueLine(v.group, v.parent, v.record, v.name, v.value, v.suffix, v.extra);
    return s;
}

TEST(KivWrite, UpdateReplacesByNameAndKeepsEverythingElseByteForByte)
{
    const ReadObject a1 = Object("A", "new1", {Value("G", "", "x")});
    const ReadObject a2 = Object("A", "new2");
    const ReadObject b = Object("B", "new", {Value("K", "", "y"), Value("L", "K", "z")});
    const ReadObject d1 = Object("D", "d1");
    const ReadObject d2 = Object("D", "d2");
    const ReadObject e = Object("E", "e");
    const ReadObject lowerA = Object("a", "lower");
    // The middle of the old file without its A objects: B's lines and its comment.
    const std::string h = kOldHeader, endLines = kOldEnd;
    struct Case {
        const char* name;
        std::vector<ReadObject> put;
        std::string expected;
    };
    const Case cases[] = {
        {"nothing put: the file is unchanged", {}, OldFile()},
        {"a name held once is replaced in its place", {b},
         h + kOldA1 + "# before B\n" + Line(b) + kOldA2 + kOldC + endLines},
        {"a name held twice: the new one takes the first place, the second old one goes", {a1},
         h + Line(a1) + kOldB + kOldC + endLines},
        {"a repeated name: further ones follow the first", {a1, a2},
         h + Line(a1) + Line(a2) + kOldB + kOldC + endLines},
        {"a new name goes before the end", {d1}, h + kOldA1 + kOldB + kOldA2 + kOldC + Line(d1) + endLines},
        {"new names in the order first put, each name's objects together", {d1, e, b, d2},
         h + kOldA1 + "# before B\n" + Line(b) + kOldA2 + kOldC + Line(d1) + Line(d2) + Line(e) + endLines},
        {"names match with letter case", {lowerA},
         h + kOldA1 + kOldB + kOldA2 + kOldC + Line(lowerA) + endLines},
        {"a quoted old name matches", {Object("C c", "new")},
         h + kOldA1 + kOldB + kOldA2 + Line(Object("C c", "new")) + endLines},
    };
    for (const Case& c : cases) {
        Folder folder;
        std::string path = folder / "update.kvd";
        WriteBytes(path, OldFile());
        ASSERT_EQ(Write(path, KIV_WRITE_UPDATE, c.put), "") << c.name;
        EXPECT_EQ(ReadBytes(path), c.expected) << c.name;
        EXPECT_TRUE(ReadKvdFile(path).opened) << c.name;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"update.kvd"}) << c.name;
    }
}

TEST(KivWrite, ReplaceModeHoldsOnlyWhatIsPutInTheOrderPut)
{
    Folder folder;
    std::string path = folder / "replace.kvd";
    WriteBytes(path, OldFile());
    ASSERT_EQ(Write(path, KIV_WRITE_REPLACE, {Object("D"), Object("A"), Object("D", "again")}), "");
    EXPECT_EQ(ReadBytes(path), "KVD 1\n" + Line(Object("D")) + Line(Object("A")) + Line(Object("D", "again")) +
                                   "end\n");
}

TEST(KivWrite, AMissingFileIsCreatedInEitherMode)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Folder folder;
        std::string path = folder / "new.kvd";
        ASSERT_EQ(Write(path, mode, {Object("X"), Object("Y")}), "") << mode;
        EXPECT_EQ(Listing(ReadKvdFile(path).objects), "X/amy Y/amy") << mode;
    }
}

// ---- What a put refuses --------------------------------------------------------------

struct PutStep {
    const char* what;  // "object NAME DATE" or "value GROUP PARENT"
    bool accepted;
};

TEST(KivWrite, EachValueIsCheckedAgainstTheGroupOrderAsItIsPut)
{
    struct Case {
        const char* name;
        std::vector<PutStep> steps;
        const char* refusalSays;  // in the message of the first refusal
    };
    const Case cases[] = {
        {"first value nested", {{"value G P", false}, {"value G -", true}}, "first value of its object"},
        {"parent off the path", {{"value G -", true}, {"value H G", true}, {"value J X", false}, {"value J H", true}},
         "\"X\" is not on the group path"},
        {"back in a group, then its old child is no parent",
         {{"value G -", true}, {"value H G", true}, {"value G -", true}, {"value J H", false}},
         "\"H\" is not on the group path"},
        {"a group on the path is returned to with no parent, itself or its own parent",
         {{"value G -", true}, {"value H G", true}, {"value J H", true}, {"value H G", true}, {"value J H", true},
          {"value G -", true}, {"value H G", true}, {"value G G", true}, {"value G G", true}},
         nullptr},
        {"a return that names a group further down as its parent, then again: the second is refused, as the reader "
         "refuses it",
         {{"value G -", true}, {"value H G", true}, {"value G H", true}, {"value G H", false}},
         "\"H\" is not on the group path"},
        {"empty group", {{"value - -", false}}, "group name is empty"},
        {"no object yet", {{"value G -", false}}, "no object takes it"},
        {"after a refused object its values are refused",
         {{"object A 2001-02-30", false}, {"value G -", false}, {"object B ok", true}, {"value G -", true}},
         "is not a date and time"},
        {"an empty name", {{"object - ok", false}}, "its name is empty"},
        {"dates of other forms",
         {{"object A 2001-2-3", false}, {"object A 24:00", false}, {"object A x", false}, {"object A ok", true}},
         "YYYY-MM-DD HH:MM"},
    };
    for (const Case& c : cases) {
        Folder folder;
        std::string path = folder / "nest.kvd";
        char* message = nullptr;
        KivAttach(&message);
        ASSERT_NE(KivBeginWrite(path.c_str(), &message, KIV_WRITE_REPLACE), 0) << c.name << ": " << message;
        bool objectPut = false;
        if (c.steps.front().what[0] == 'v' && std::string(c.name) != "no object yet") {
            ASSERT_NE(KivPutObject("O", "", "", "", "2001-01-01 00:00", &message), 0);
            objectPut = true;
        }
        std::string firstRefusal;
        std::vector<std::string> groupsWritten;
        for (const PutStep& step : c.steps) {
            std::istringstream words(step.what);
            std::string kind, a, b;
            words >> kind >> a >> b;
            if (a == "-")
                a = "";
            if (b == "-")
                b = "";
            int result;
            if (kind == "object") {
                result = KivPutObject(a.c_str(), "", "", "", b == "ok" ? "2001-01-01 00:00" : b.c_str(), &message);
            } else {
                result = KivPutValue(a.c_str(), b.c_str(), 1, "v", "1", "", "", &message);
                if (result)
                    groupsWritten.push_back(a);
            }
            EXPECT_EQ(result != 0, step.accepted) << c.name << ": " << step.what << ": " << message;
            if (!result && firstRefusal.empty())
                firstRefusal = message;
        }
        ASSERT_NE(KivCommitWrite(&message), 0) << c.name << ": " << message;
        KivDetach();
        if (c.refusalSays) {
            EXPECT_NE(firstRefusal.find(c.refusalSays), std::string::npos) << c.name << ": " << firstRefusal;
        }
        ReadResult read = ReadKvdFile(path);
        ASSERT_TRUE(read.opened) << c.name << ": the written file is refused: " << read.message;
        std::vector<std::string> groupsRead;
        for (const ReadObject& o : read.objects)
            for (const ReadValue& v : o.values)
                groupsRead.push_back(v.group);
        EXPECT_EQ(groupsRead, groupsWritten) << c.name << (objectPut ? "" : " (no object put)");
    }
}

TEST(KivWrite, GroupsNestAtMost32Deep)
{
    Folder folder;
    std::string path = folder / "deep.kvd";
    char* message = nullptr;
    KivAttach(&message);
    ASSERT_NE(KivBeginWrite(path.c_str(), &message, KIV_WRITE_REPLACE), 0);
    ASSERT_NE(KivPutObject("O", "", "", "", "2001-01-01 00:00", &message), 0);
    std::string parent;
    for (int level = 1; level <= 32; ++level) {
        std::string group = "g" + std::to_string(level);
        ASSERT_NE(KivPutValue(group.c_str(), parent.c_str(), 1, "v", "1", "", "", &message), 0) << level;
        parent = group;
    }
    EXPECT_EQ(KivPutValue("g33", "g32", 1, "v", "1", "", "", &message), 0);
    EXPECT_NE(std::string(message).find("at most 32 levels"), std::string::npos) << message;
    ASSERT_NE(KivCommitWrite(&message), 0) << message;
    KivDetach();
    EXPECT_TRUE(ReadKvdFile(path).opened);
}

TEST(KivWrite, AnOverlongLineOrAZeroByteIsRefusedAtThePut)
{
    Folder folder;
    std::string path = folder / "long.kvd";
    std::string huge(KvdReader::kMaxLine, 'a');
    std::string quoted((KvdReader::kMaxLine / 4) + 10, '\x01');  // four bytes each as \x01
    char* message = nullptr;
    KivAttach(&message);
    ASSERT_NE(KivBeginWrite(path.c_str(), &message, KIV_WRITE_REPLACE), 0);
    EXPECT_EQ(KivPutObject(huge.c_str(), "", "", "", "2001-01-01 00:00", &message), 0);
    EXPECT_NE(std::string(message).find("at most 1048576"), std::string::npos) << message;
    ASSERT_NE(KivPutObject("O", "", "", "", "2001-01-01 00:00", &message), 0);
    EXPECT_EQ(KivPutValue("G", "", 1, "v", quoted.c_str(), "", "", &message), 0);
    EXPECT_NE(std::string(message).find("Shorten its texts"), std::string::npos) << message;
    EXPECT_NE(KivPutValue("G", "", 1, "v", huge.substr(100).c_str(), "", "", &message), 0) << message;
    ASSERT_NE(KivCommitWrite(&message), 0) << message;
    KivDetach();
    ReadResult read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 1u);
    EXPECT_EQ(read.objects[0].values.size(), 1u);

    // A zero byte cannot pass through the calls' texts; the writer refuses it too.
    KvdWriteSession writer;
    ASSERT_TRUE(writer.Begin((folder / "zero.kvd").c_str(), KvdWriteSession::kReplace)) << writer.Message();
    EXPECT_FALSE(writer.PutObject("O", std::string("a\0b", 3), "", "", "2001-01-01 00:00"));
    EXPECT_NE(writer.Message().find("zero byte"), std::string::npos) << writer.Message();
    ASSERT_TRUE(writer.PutObject("O", "", "", "", "2001-01-01 00:00"));
    EXPECT_FALSE(writer.PutValue("G", "", 1, "v", std::string("\0", 1), "", ""));
    writer.Abandon();
}

TEST(KivWrite, CallsOutOfOrderAreRefusedOrHarmless)
{
    char* message = nullptr;
    KivAttach(&message);
    EXPECT_EQ(KivPutObject("O", "", "", "", "", &message), 0);
    EXPECT_NE(std::string(message).find("no write is open"), std::string::npos) << message;
    EXPECT_EQ(KivPutValue("G", "", 1, "v", "1", "", "", &message), 0);
    EXPECT_EQ(KivCommitWrite(&message), 0);
    KivAbandonWrite();
    KivAbandonWrite();
    EXPECT_EQ(KivBeginWrite(nullptr, &message, KIV_WRITE_UPDATE), 0);
    Folder folder;
    EXPECT_EQ(KivBeginWrite((folder / "x.kvd").c_str(), &message, 0), 0);
    EXPECT_NE(std::string(message).find("neither 1"), std::string::npos) << message;
    EXPECT_EQ(KivBeginWrite(folder.Path().c_str(), &message, KIV_WRITE_UPDATE), 0);
    EXPECT_NE(std::string(message).find("folder"), std::string::npos) << message;
    // NULL texts count as "", NULL message pointers are not wanted.
    ASSERT_NE(KivBeginWrite((folder / "x.kvd").c_str(), nullptr, KIV_WRITE_REPLACE), 0);
    EXPECT_NE(KivPutObject("O", nullptr, nullptr, nullptr, "2001-01-01 00:00", nullptr), 0);
    EXPECT_NE(KivPutValue("G", nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_NE(KivCommitWrite(nullptr), 0);
    KivDetach();
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"x.kvd"});
}

TEST(KivWrite, EveryWriteCallNeedsAnAttachment)
{
    Folder folder;
    std::string path = folder / "x.kvd";
    char* message = nullptr;
    KivDetach();
    struct Case {
        const char* name;
        std::function<int()> call;
    };
    const Case cases[] = {
        {"begin", [&] { return KivBeginWrite(path.c_str(), &message, KIV_WRITE_REPLACE); }},
        {"put object", [&] { return KivPutObject("O", "", "", "", "", &message); }},
        {"put value", [&] { return KivPutValue("G", "", 1, "v", "1", "", "", &message); }},
        {"commit", [&] { return KivCommitWrite(&message); }},
    };
    for (const Case& c : cases) {
        message = nullptr;
        EXPECT_EQ(c.call(), 0) << c.name;
        ASSERT_NE(message, nullptr) << c.name;
        EXPECT_NE(std::string(message).find("not attached"), std::string::npos) << c.name << ": " << message;
    }
    KivAbandonWrite();  // harmless
    EXPECT_TRUE(folder.Names().empty());
    // A write begun in an attachment ends with it.
    KivAttach(&message);
    ASSERT_NE(KivBeginWrite(path.c_str(), &message, KIV_WRITE_REPLACE), 0) << message;
    KivDetach();
    EXPECT_EQ(KivCommitWrite(&message), 0);
    EXPECT_TRUE(folder.Names().empty());
}

// ---- Faults: the target stays as it was -----------------------------------------------

struct Target {
    Folder folder;
    std::string path = folder / "target.kvd";
    std::string before = OldFile();
    Target() { WriteBytes(path, before); }
    // The target is unchanged and nothing but it is in the folder.
    void ExpectUnchanged(const char* name) const
    {
        EXPECT_EQ(ReadBytes(path), before) << name;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.kvd"}) << name;
    }
};

std::string BeginAndPut(const std::string& path, int mode)
{
    char* message = nullptr;
    KivAttach(&message);
    if (!KivBeginWrite(path.c_str(), &message, mode))
        return message;
    std::string refused;
    if (!PutAll({Object("A", "new", {Value("G", "", "x")}), Object("Z")}, refused))
        return refused;
    return "";
}

std::string CommitMessage()
{
    char* message = nullptr;
    std::string result = KivCommitWrite(&message) ? "" : message;
    KivDetach();
    return result;
}

TEST(KivWriteFaults, TheTargetChangedBetweenBeginAndCommit)
{
    struct Case {
        const char* name;
        void (*change)(const std::string& path);
    };
    const Case cases[] = {
        {"appended", [](const std::string& p) { WriteBytes(p, OldFile() + "# more\n"); }},
        {"same size and time, other content",
         [](const std::string& p) {
             struct stat st;
             stat(p.c_str(), &st);
             std::string changed = OldFile();
             changed[changed.find("amy")] = 'A';
             WriteBytes(p, changed);
             struct timespec times[2] = {st.st_atim, st.st_mtim};
             utimensat(AT_FDCWD, p.c_str(), times, 0);
         }},
        {"removed", [](const std::string& p) { std::remove(p.c_str()); }},
        {"replaced by another file", [](const std::string& p) {
             WriteBytes(p + ".other", OldFile());
             std::rename((p + ".other").c_str(), p.c_str());
         }},
        {"made read-only", [](const std::string& p) { chmod(p.c_str(), 0444); }},
    };
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        for (const Case& c : cases) {
            Target target;
            ASSERT_EQ(BeginAndPut(target.path, mode), "") << c.name;
            c.change(target.path);
            std::string after = ReadBytes(target.path);
            std::string message = CommitMessage();
            EXPECT_NE(message.find("changed on the disk"), std::string::npos)
                << c.name << ", mode " << mode << ": " << message;
            EXPECT_EQ(ReadBytes(target.path), after) << c.name << ", mode " << mode;
            std::vector<std::string> expectedNames;
            if (std::string(c.name) != "removed")
                expectedNames.push_back("target.kvd");
            EXPECT_EQ(target.folder.Names(), expectedNames) << c.name << ", mode " << mode;
        }
    }
    // A file made where none was at the begin is not overwritten either.
    Folder folder;
    std::string path = folder / "late.kvd";
    ASSERT_EQ(BeginAndPut(path, KIV_WRITE_UPDATE), "");
    WriteBytes(path, OldFile());
    EXPECT_NE(CommitMessage().find("changed on the disk"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), OldFile());
}

TEST(KivWriteFaults, ADamagedTargetIsRefusedInUpdateModeWithTheReadersMessage)
{
    const std::string damaged[] = {
        "KVD 1\nobject A a 1 W \"2001-01-01 10:00\"\n",  // cut short: no end
        "KVD 1\nobject A a 1 W \"2001-01-01 10:00\"\nvalue G Lost 1 a 1\nend\n",
        "",
    };
    for (const std::string& content : damaged) {
        Target target;
        target.before = content;
        WriteBytes(target.path, content);
        char* message = nullptr;
        KivAttach(&message);
        std::string opened = KivOpen(target.path.c_str(), &message, 0) ? "" : message;
        ASSERT_NE(opened, "") << content;
        EXPECT_EQ(KivBeginWrite(target.path.c_str(), &message, KIV_WRITE_UPDATE), 0) << content;
        EXPECT_EQ(std::string(message), opened) << content;
        EXPECT_EQ(KivPutObject("A", "", "", "", "", &message), 0) << "no write is open after a refused begin";
        KivDetach();
        target.ExpectUnchanged(content.c_str());
        // Replace mode does not read the file, and replaces it.
        EXPECT_EQ(Write(target.path, KIV_WRITE_REPLACE, {Object("A")}), "");
        EXPECT_TRUE(ReadKvdFile(target.path).opened);
    }
}

TEST(KivWriteFaults, AReadOnlyTargetOrFolder)
{
    {
        Target target;
        chmod(target.path.c_str(), 0444);
        for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
            std::string message = BeginAndPut(target.path, mode);
            KivDetach();
            EXPECT_NE(message.find("read-only"), std::string::npos) << message;
            target.ExpectUnchanged("read-only target");
        }
    }
    if (geteuid() != 0) {  // the super-user may write in any folder
        Target target;
        chmod(target.folder.Path().c_str(), 0555);
        std::string message = BeginAndPut(target.path, KIV_WRITE_UPDATE);
        KivDetach();
        EXPECT_NE(message.find("no file can be made in its folder"), std::string::npos) << message;
        chmod(target.folder.Path().c_str(), 0755);
        target.ExpectUnchanged("read-only folder");
    }
}

TEST(KivWriteFaults, DetachOrAbandonWithoutCommitLeavesTheTarget)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        {
            Target target;
            ASSERT_EQ(BeginAndPut(target.path, mode), "");
            KivDetach();
            target.ExpectUnchanged("detach");
        }
        {
            Target target;
            ASSERT_EQ(BeginAndPut(target.path, mode), "");
            KivAbandonWrite();
            char* message = nullptr;
            EXPECT_EQ(KivCommitWrite(&message), 0);
            KivDetach();
            target.ExpectUnchanged("abandon");
        }
        {
            Target target;
            ASSERT_EQ(BeginAndPut(target.path, mode), "");
            char* message = nullptr;
            KivAttach(&message);  // a nested attachment starts from nothing
            EXPECT_EQ(KivCommitWrite(&message), 0);
            KivDetach();
            EXPECT_EQ(ReadBytes(target.path), target.before) << "a nested attachment has no write to commit";
            EXPECT_EQ(KivPutObject("Y", "", "", "", "2001-01-01 00:00", &message), 1)
                << "the write goes on in the attachment below: " << message;
            KivDetach();
            target.ExpectUnchanged("detach");
        }
    }
}

// The process dies after the temporary file is complete and before the replace: a
// child stops itself there, and the test kills it. What it leaves, the next write to
// the file removes.
TEST(KivWriteFaults, AProcessKilledBeforeTheReplaceLeavesTheTarget)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Target target;
        fflush(nullptr);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            StopDisk stopAtTheReplace(kvddisk::Call::kRename, [] { raise(SIGSTOP); });
            KvdWriteSession writer(stopAtTheReplace);
            writer.Begin(target.path.c_str(), mode);
            writer.PutObject("A", "new", "", "", "2001-01-01 00:00");
            writer.Commit();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
        ASSERT_TRUE(WIFSTOPPED(status)) << "the child ended before the replace";
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        EXPECT_EQ(ReadBytes(target.path), target.before) << mode;
        // What a killed process leaves is its temporary file, beside the target.
        std::vector<std::string> names = target.folder.Names();
        EXPECT_EQ(std::count_if(names.begin(), names.end(),
                                [](const std::string& n) { return n.find(".tmp") != std::string::npos; }) >= 1,
                  true);
        ASSERT_EQ(Write(target.path, mode, {Object("B")}), "") << mode;
        EXPECT_EQ(target.folder.Names(), std::vector<std::string>{"target.kvd"})
            << "the next write removes what the dead writer left, mode " << mode;
    }
}

TEST(KivWriteFaults, AFullDisk)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "a tiny file system for a full disk needs the super-user (mount)";
    Folder mountPoint;
    if (mount("kivtest", mountPoint.Path().c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "mounting a tiny tmpfs failed: " << std::strerror(errno);
    std::string path = mountPoint / "target.kvd";
    WriteBytes(path, OldFile());
    std::string big(200000, 'b');
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        char* message = nullptr;
        KivAttach(&message);
        ASSERT_NE(KivBeginWrite(path.c_str(), &message, mode), 0) << message;
        std::string failure;
        for (int i = 0; i < 8 && failure.empty(); ++i) {
            std::string name = "big" + std::to_string(i);
            if (!KivPutObject(name.c_str(), big.c_str(), "", "", "", &message))
                failure = message;
        }
        if (failure.empty() && !KivCommitWrite(&message))
            failure = message;
        KivDetach();
        EXPECT_NE(failure.find("the disk is full"), std::string::npos) << mode << ": " << failure;
        EXPECT_EQ(ReadBytes(path), OldFile()) << mode;
        EXPECT_EQ(mountPoint.Names(), std::vector<std::string>{"target.kvd"}) << mode;
    }
    std::remove(path.c_str());
    umount(mountPoint.Path().c_str());
}

TEST(KivWriteFaults, TheFolderRemovedBeforeTheCommit)
{
    Folder outer;
    std::string inner = outer / "inner";
    mkdir(inner.c_str(), 0755);
    std::string path = inner + "/new.kvd";
    ASSERT_EQ(BeginAndPut(path, KIV_WRITE_UPDATE), "");
    if (DIR* dir = opendir(inner.c_str())) {
        while (dirent* entry = readdir(dir))
            std::remove((inner + "/" + entry->d_name).c_str());
        closedir(dir);
    }
    ASSERT_EQ(rmdir(inner.c_str()), 0);
    std::string message = CommitMessage();
    EXPECT_NE(message, "");
    EXPECT_NE(message.find("Nothing was written"), std::string::npos) << message;
    EXPECT_TRUE(outer.Names().empty());
}

TEST(KivWriteFaults, TheFolderRenamedBeforeTheCommitKeepsNoTemporaryFile)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Folder outer;
        std::string inner = outer / "inner", moved = outer / "moved";
        mkdir(inner.c_str(), 0755);
        std::string path = inner + "/target.kvd";
        WriteBytes(path, OldFile());
        ASSERT_EQ(BeginAndPut(path, mode), "");
        ASSERT_EQ(rename(inner.c_str(), moved.c_str()), 0);
        std::string message = CommitMessage();
        EXPECT_NE(message.find("changed on the disk"), std::string::npos) << mode << ": " << message;
        std::vector<std::string> left;
        if (DIR* dir = opendir(moved.c_str())) {
            while (dirent* entry = readdir(dir))
                if (entry->d_name[0] != '.')
                    left.push_back(entry->d_name);
            closedir(dir);
        }
        EXPECT_EQ(left, std::vector<std::string>{"target.kvd"}) << "mode " << mode << ": the moved folder holds a "
                                                                   "temporary file";
        EXPECT_EQ(ReadBytes(moved + "/target.kvd"), OldFile()) << mode;
        std::remove((moved + "/target.kvd").c_str());
        rmdir(moved.c_str());
    }
}

// The temporary file of the write open in this attachment, by its name in the folder.
std::string OpenTemporaryName(const Folder& folder)
{
    for (const std::string& name : folder.Names())
        if (name.find(".tmp") != std::string::npos)
            return name;
    return "";
}

TEST(KvdLeftovers, ANameThatALeftoverHoldsIsPassedOver)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Target target;
        ASSERT_EQ(BeginAndPut(target.path, mode), "");
        std::string seen = OpenTemporaryName(target.folder);  // target.kvd.~<pid>-<n>.tmp
        KivDetach();
        ASSERT_NE(seen, "");
        size_t dash = seen.rfind('-');
        int n = std::atoi(seen.c_str() + dash + 1);
        // An earlier process with this process's id left the names that come next.
        for (int next = n + 1; next <= n + 40; ++next)
            WriteBytes(target.folder / (seen.substr(0, dash + 1) + std::to_string(next) + ".tmp"), "left over");
        EXPECT_EQ(Write(target.path, mode, {Object("A", "new")}), "") << mode;
        EXPECT_EQ(Listing(ReadKvdFile(target.path).objects).find("A/new"), 0u) << mode;
        EXPECT_EQ(target.folder.Names(), std::vector<std::string>{"target.kvd"})
            << "mode " << mode << ": the commit removes what the earlier process left";
    }
}

TEST(KvdLeftovers, ACommitRemovesWhatDeadWritersLeftAndNothingElse)
{
    Target target;
    pid_t dead = fork();
    ASSERT_GE(dead, 0);
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string me = std::to_string(getpid()), gone = std::to_string(dead), alive = std::to_string(getppid());
    struct Leftover {
        std::string suffix;
        bool stays;
    };
    const Leftover leftovers[] = {
        {".~" + gone + "-1.tmp", false},       // a writer that died
        {".~" + me + "-999999.tmp", false},    // an earlier process with this process's id
        {".~" + alive + "-1.tmp", true},       // a writer of a process that runs
        {".~notes.tmp", true},                 // not a writer's name
        {".~" + gone + "-x.tmp", true},
        {".~" + gone + "-1.tmp.keep", true},
    };
    for (const Leftover& l : leftovers)
        WriteBytes(target.path + l.suffix, "left over");
    // A live writer of this process, in another attachment.
    char* message = nullptr;
    KivAttach(&message);
    ASSERT_NE(KivBeginWrite(target.path.c_str(), &message, KIV_WRITE_REPLACE), 0) << message;
    std::vector<std::string> withOpenWrite = target.folder.Names();

    ASSERT_EQ(Write(target.path, KIV_WRITE_UPDATE, {Object("A", "new")}), "");
    std::vector<std::string> names = target.folder.Names();
    for (const Leftover& l : leftovers) {
        bool there = std::find(names.begin(), names.end(), "target.kvd" + l.suffix) != names.end();
        EXPECT_EQ(there, l.stays) << "target.kvd" << l.suffix;
    }
    EXPECT_EQ(names.size(), withOpenWrite.size() - 2) << "the open write's file stays";
    EXPECT_NE(KivPutObject("B", "", "", "", "", &message), 0) << message;
    EXPECT_EQ(KivCommitWrite(&message), 0) << "the file changed since that write began";
    KivDetach();
}

// ---- The attachment starts from nothing --------------------------------------------------

TEST(KivWrite, ANestedAttachmentStartsEmptyAndTheOneBelowGoesOn)
{
    TestFile file(KvdFile(KvdObjectLine("Old", "a", "1", "W", "2001-01-01 10:00") +
                          KvdObjectLine("Older", "a", "1", "W", "2001-01-01 10:00")));
    char* message = nullptr;
    KivAttach(&message);
    ASSERT_NE(KivOpen(file.Path().c_str(), &message, 0), 0) << message;
    char *name, *author, *version, *wellId, *date;
    ASSERT_NE(KivGetNextObject(&name, &author, &version, &wellId, &date), 0);
    KivAttach(&message);
    EXPECT_EQ(KivGetNextObject(&name, &author, &version, &wellId, &date), 0)
        << "a nested attachment lists the file of the one below: " << name;
    KivDetach();
    ASSERT_NE(KivGetNextObject(&name, &author, &version, &wellId, &date), 0);
    EXPECT_STREQ(name, "Older");
    KivDetach();
}

TEST(KivWrite, ACommitToTheFileOpenForReadingEndsThatReading)
{
    Folder folder;
    std::string path = folder / "both.kvd";
    WriteBytes(path, OldFile());
    char* message = nullptr;
    KivAttach(&message);
    ASSERT_NE(KivOpen(path.c_str(), &message, 0), 0) << message;
    char *name, *author, *version, *wellId, *date;
    ASSERT_NE(KivGetNextObject(&name, &author, &version, &wellId, &date), 0);
    ASSERT_NE(KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE), 0) << message;
    ASSERT_NE(KivPutObject("B", "new", "", "", "2001-01-01 00:00", &message), 0);
    ASSERT_NE(KivCommitWrite(&message), 0) << message;
    EXPECT_EQ(KivGetNextObject(&name, &author, &version, &wellId, &date), 0) << "the replaced file is closed";
    ASSERT_NE(KivOpen(path.c_str(), &message, 0), 0) << message;
    std::string names;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date))
        names += std::string(name) + "/" + author + " ";
    KivDetach();
    EXPECT_EQ(names, "A/amy B/new A/cid C c/dan ");
}

// Every sample file and every input kept from fuzzing that the reader accepts: written
// anew it reads back the same, and an update that puts nothing keeps every byte.
TEST(KivWrite, EveryFileTheReaderAcceptsWritesAgain)
{
    std::vector<std::string> inputs;
    for (const std::string& dir : {std::string(KIV_SAMPLES_DIR), std::string(KIV_FUZZ_DIR) + "/corpus/reader",
                                   std::string(KIV_FUZZ_DIR) + "/regressions/reader",
                                   std::string(KIV_FUZZ_DIR) + "/regressions/writer"}) {
        if (DIR* folder = opendir(dir.c_str())) {
            while (dirent* entry = readdir(folder)) {
                std::string name = entry->d_name;
                struct stat st;
                if (name[0] != '.' && stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                    inputs.push_back(dir + "/" + name);
            }
            closedir(folder);
        }
    }
    ASSERT_GT(inputs.size(), 10u);
    int accepted = 0;
    for (const std::string& input : inputs) {
        ReadResult read = ReadKvdFile(input);
        if (!read.opened)
            continue;
        ++accepted;
        Folder folder;
        std::string copy = folder / "copy.kvd";
        ASSERT_EQ(Write(copy, KIV_WRITE_REPLACE, read.objects), "") << input;
        ReadResult again = ReadKvdFile(copy);
        ASSERT_TRUE(again.opened) << input << ": " << again.message;
        EXPECT_TRUE(again.objects == read.objects) << input;
        std::string original = ReadBytes(input);
        WriteBytes(copy, original);
        ASSERT_EQ(Write(copy, KIV_WRITE_UPDATE, {}), "") << input;
        EXPECT_EQ(ReadBytes(copy), original) << input;
    }
    EXPECT_GT(accepted, 3);
}

// ---- Older files in the Windows code page ----------------------------------------------

// Latin-1 to UTF-8, standing for the Windows code page.
std::string Latin1ToUtf8(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

TEST(KivWrite, UpdatingAnOlderCodePageFileTurnsItIntoUtf8)
{
    Folder folder;
    std::string path = folder / "old.kvd";
    WriteBytes(path, "KVD 1\n# Gr\xF6\xDF" "e\nobject Gr\xF6\xDF" "e amy 1 W \"2001-01-01 10:00\"\n"
                     "value G \"\" 1 a \"caf\\xE9 \\x41\\\\xE9\"\nobject B b 1 W \"2001-01-01 10:00\"\nend\n");
    KvdWriteSession writer(kvddisk::SystemDisk(), &Latin1ToUtf8);
    ASSERT_TRUE(writer.Begin(path.c_str(), KvdWriteSession::kUpdate)) << writer.Message();
    ASSERT_TRUE(writer.PutObject("B", "new", "", "", "2002-02-02 02:02"));
    ASSERT_TRUE(writer.Commit()) << writer.Message();
    EXPECT_EQ(ReadBytes(path), "KVD 1\n# Gr\xC3\xB6\xC3\x9F" "e\nobject Gr\xC3\xB6\xC3\x9F" "e amy 1 W \"2001-01-01 10:00\"\n"
                               "value G \"\" 1 a \"caf\xC3\xA9 \\x41\\\\xE9\"\n" +
                                   KvdObjectLine("B", "new", "", "", "2002-02-02 02:02") + "end\n");
    // An old name is matched after conversion.
    ASSERT_TRUE(writer.Begin(path.c_str(), KvdWriteSession::kUpdate)) << writer.Message();
    ASSERT_TRUE(writer.PutObject("Gr\xC3\xB6\xC3\x9F" "e", "new", "", "", "2002-02-02 02:02"));
    ASSERT_TRUE(writer.Commit()) << writer.Message();
    ReadResult read = ReadKvdFile(path);
    EXPECT_EQ(Listing(read.objects), "Gr\xC3\xB6\xC3\x9F" "e/new B/new");
    // A byte order mark before an older file's first line stays one (found by fuzz_update).
    WriteBytes(path, "\xEF\xBB\xBFKVD 1\r\nobject O a v w \"2000-01-01 00:00\"\r\nvalue \xC7 \"\" 1 n x\r\nend");
    ASSERT_TRUE(writer.Begin(path.c_str(), KvdWriteSession::kUpdate)) << writer.Message();
    ASSERT_TRUE(writer.PutObject("B", "new", "", "", "2002-02-02 02:02"));
    ASSERT_TRUE(writer.Commit()) << writer.Message();
    EXPECT_EQ(ReadBytes(path).substr(0, 10), "\xEF\xBB\xBFKVD 1\r\n");
    read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    EXPECT_EQ(Listing(read.objects), "O/a B/new");
}

// One line limit for the reader, the writer and the update's merge: a line is read back
// exactly when it could be written, whatever its line end, and an older code page line
// that grows past the limit in UTF-8 stops the commit instead of making a file that no
// longer opens.
TEST(KvdLines, OneLimitForReadingWritingAndMerging)
{
    const size_t kMax = KvdReader::kMaxLine;
    const std::string kObject = "object O a 1 W \"2001-01-01 10:00\"\n";
    struct Case {
        const char* name;
        std::string line;  // a comment line, its line end included
        bool fits;
    };
    const Case kRead[] = {
        {"at the limit, LF", "#" + std::string(kMax - 1, 'x') + "\n", true},
        {"at the limit, CR LF", "#" + std::string(kMax - 1, 'x') + "\r\n", true},
        {"at the limit, the last line without its end", "#" + std::string(kMax - 1, 'x'), true},
        {"one past, LF", "#" + std::string(kMax, 'x') + "\n", false},
        {"one past, CR LF", "#" + std::string(kMax, 'x') + "\r\n", false},
        {"one past, the last line without its end", "#" + std::string(kMax, 'x'), false},
    };
    for (const Case& c : kRead) {
        ReadResult read = ReadKvdText("KVD 1\n" + kObject + "end\n" + c.line);
        EXPECT_EQ(read.opened, c.fits) << c.name << ": " << read.message;
        if (!c.fits) {
            EXPECT_NE(read.message.find("line 4 is longer than 1048576 bytes"), std::string::npos)
                << c.name << ": " << read.message;
        }
    }

    // The writer: a value line of kMax bytes is put and reads back, one more is refused.
    Folder folder;
    for (size_t extra : {0, 1}) {
        std::string path = folder / "put.kvd";
        std::string text(kMax - 15 + extra, 'v');  // behind "value G \"\" 1 n "
        KvdWriteSession writer;
        ASSERT_TRUE(writer.Begin(path.c_str(), KvdWriteSession::kReplace)) << writer.Message();
        ASSERT_TRUE(writer.PutObject("O", "a", "1", "W", "2001-01-01 10:00")) << writer.Message();
        EXPECT_EQ(writer.PutValue("G", "", 1, "n", text, "", ""), extra == 0) << writer.Message();
        if (extra == 1) {
            EXPECT_NE(writer.Message().find("would be 1048577 bytes long, and a .kvd file allows at most 1048576"),
                      std::string::npos)
                << writer.Message();
        }
        ASSERT_TRUE(writer.Commit()) << writer.Message();
        ReadResult read = ReadKvdFile(path);
        ASSERT_TRUE(read.opened) << read.message;
        EXPECT_EQ(read.objects.at(0).values.size(), extra == 0 ? 1u : 0u);
    }

    // The merge: each \xE9 of a comment in Latin-1 takes two bytes in UTF-8.
    const Case kMerge[] = {
        {"at the limit in UTF-8, LF", "#" + std::string(kMax / 2 - 1, '\xE9') + "x\n", true},
        {"at the limit in UTF-8, CR LF", "#" + std::string(kMax / 2 - 1, '\xE9') + "x\r\n", true},
        {"one past in UTF-8, LF", "#" + std::string(kMax / 2, '\xE9') + "\n", false},
        {"one past in UTF-8, CR LF", "#" + std::string(kMax / 2, '\xE9') + "\r\n", false},
    };
    for (const Case& c : kMerge) {
        std::string path = folder / "old.kvd";
        std::string old = "KVD 1\n" + c.line + kObject + "end\n";
        WriteBytes(path, old);
        KvdWriteSession writer(kvddisk::SystemDisk(), &Latin1ToUtf8);
        ASSERT_TRUE(writer.Begin(path.c_str(), KvdWriteSession::kUpdate)) << c.name << ": " << writer.Message();
        ASSERT_TRUE(writer.PutObject("New", "a", "1", "W", "2001-01-01 10:00")) << c.name;
        EXPECT_EQ(writer.Commit(), c.fits) << c.name << ": " << writer.Message();
        if (c.fits) {
            ReadResult read = ReadKvdFile(path);
            EXPECT_TRUE(read.opened) << c.name << ": " << read.message;
            EXPECT_EQ(read.objects.size(), 2u) << c.name;
        } else {
            EXPECT_NE(writer.Message().find("would be longer in UTF-8 than a .kvd file allows"), std::string::npos)
                << c.name << ": " << writer.Message();
            EXPECT_EQ(ReadBytes(path), old) << c.name << ": the file is as it was";
        }
        EXPECT_EQ(folder.Names(), std::vector<std::string>({"old.kvd", "put.kvd"})) << c.name;
    }
}

// The calls write most value lines in one pass over their zero-terminated texts; the
// line is the one that the quoting rule makes.
TEST(KvdLines, TheOnePassValueLineIsTheQuotingRulesLine)
{
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        std::string texts[6];
        for (std::string& text : texts) {
            text = RandomText(random);
            text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
        }
        if (round % 7 == 0)
            texts[4].clear();  // no suffix
        if (round % 5 == 0)
            texts[5].clear();  // no extra text
        int record = static_cast<int>(random());
        std::string expected = KvdValueLine(texts[0], texts[1], record, texts[2], texts[3], texts[4], texts[5]);
        KvdValueTexts given = {texts[0].c_str(), texts[1].c_str(), record, texts[2].c_str(),
                               texts[3].c_str(), texts[4].c_str(), texts[5].c_str()};
        std::vector<char> room(expected.size() + 100);
        std::string_view group, parent;
        bool high = false;
        char* end = WriteKvdValueLine(room.data(), room.data() + room.size(), given, group, parent, high);
        ASSERT_NE(end, nullptr) << "round " << round;
        EXPECT_EQ(std::string(room.data(), end), expected) << "round " << round;
        EXPECT_EQ(group, texts[0]) << "round " << round;
        EXPECT_EQ(parent, texts[1]) << "round " << round;
        bool anyHigh = false;
        for (const std::string& text : texts)
            for (char c : text)
                anyHigh = anyHigh || static_cast<unsigned char>(c) >= 0x80;
        EXPECT_EQ(high, anyHigh) << "round " << round;
        // Too little room: nothing past it, and no line.
        std::vector<char> small(expected.size() - 1);
        EXPECT_EQ(WriteKvdValueLine(small.data(), small.data() + small.size(), given, group, parent, high), nullptr)
            << "round " << round;
    }
    KvdValueTexts none = {nullptr, nullptr, -7, nullptr, nullptr, nullptr, nullptr};
    char room[64];
    std::string_view group, parent;
    bool high = true;
    char* end = WriteKvdValueLine(room, room + sizeof room, none, group, parent, high);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(std::string(room, end), KvdValueLine("", "", -7, "", ""));
    EXPECT_FALSE(high);
}

// ---- The byte checks ------------------------------------------------------------------------

TEST(KvdBytes, BareTextTestOfEveryByteInEveryPlaceOfAWord)
{
    for (int c = 0; c < 256; ++c) {
        bool bare = c > ' ' && c != '"' && c != '\\';
        for (size_t at = 0; at < 9; ++at) {
            std::string text(9, 'a');
            text[at] = static_cast<char>(c);
            EXPECT_EQ(IsBareKvdText(text), bare) << "byte " << c << " at " << at;
        }
    }
}

TEST(KvdBytes, Utf8CheckFedInAnyPieces)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"ASCII", "plain text, long enough for the eight-byte path", true},
        {"two, three and four bytes", "\xC3\xB8 \xE2\x82\xAC \xF0\x9F\x98\x80", true},
        {"Latin-1 byte", "Gr\xF6\xDF" "e", false},
        {"overlong slash", "\xC0\xAF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"cut short", "ab\xE2\x82", false},
        {"lone continuation", "\x80", false},
    };
    for (const Case& c : cases) {
        for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            Utf8Check check;
            check.Feed(c.bytes.data(), cut);
            check.Feed(c.bytes.data() + cut, c.bytes.size() - cut);
            EXPECT_EQ(check.Valid(), c.valid) << c.name << ", cut at " << cut;
        }
    }
}

TEST(KvdBytes, Utf8LeadBytesAtTheEdgesOfTheirRanges)
{
    struct Case {
        unsigned char lead;
        unsigned length;
        unsigned char low, high;  // of the second byte, when there is one
    };
    const Case cases[] = {
        {0x7F, 0, 0, 0},       {0x80, 0, 0, 0},       {0xC1, 0, 0, 0},       {0xC2, 2, 0x80, 0xBF},
        {0xDF, 2, 0x80, 0xBF}, {0xE0, 3, 0xA0, 0xBF}, {0xE1, 3, 0x80, 0xBF}, {0xED, 3, 0x80, 0x9F},
        {0xEF, 3, 0x80, 0xBF}, {0xF0, 4, 0x90, 0xBF}, {0xF3, 4, 0x80, 0xBF}, {0xF4, 4, 0x80, 0x8F},
        {0xF5, 0, 0, 0},       {0xFF, 0, 0, 0},
    };
    for (const Case& c : cases) {
        unsigned char low = 0, high = 0;
        unsigned length = Utf8Lead(c.lead, low, high);
        EXPECT_EQ(length, c.length) << "lead byte 0x" << std::hex << unsigned(c.lead);
        if (c.length != 0) {
            EXPECT_EQ(unsigned(low), unsigned(c.low)) << "lead byte 0x" << std::hex << unsigned(c.lead);
            EXPECT_EQ(unsigned(high), unsigned(c.high)) << "lead byte 0x" << std::hex << unsigned(c.lead);
        }
    }
}

TEST(KvdBytes, HexDigitsOfAnEscape)
{
    const std::pair<char, int> cases[] = {{'0', 0},  {'9', 9},   {'A', 10}, {'F', 15}, {'a', 10}, {'f', 15},
                                          {'/', -1}, {':', -1}, {'@', -1}, {'G', -1}, {'`', -1}, {'g', -1},
                                          {' ', -1}, {'\0', -1}};
    for (const auto& [digit, value] : cases)
        EXPECT_EQ(HexDigit(digit), value) << "byte " << int(digit);
}

TEST(KvdBytes, ContentHashDependsOnTheBytesNotOnThePieces)
{
    std::mt19937 random(7);
    std::string bytes(1000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    ContentHash whole;
    whole.Feed(bytes.data(), bytes.size());
    for (size_t cut : {0, 1, 31, 32, 33, 500, 999}) {
        ContentHash pieces;
        pieces.Feed(bytes.data(), cut);
        pieces.Feed(bytes.data() + cut, bytes.size() - cut);
        EXPECT_EQ(pieces.Value(), whole.Value()) << "cut at " << cut;
    }
    for (size_t at : {0, 17, 640, 999}) {
        std::string changed = bytes;
        changed[at] ^= 1;
        ContentHash other;
        other.Feed(changed.data(), changed.size());
        EXPECT_NE(other.Value(), whole.Value()) << "a bit changed at " << at;
    }
}

}  // namespace

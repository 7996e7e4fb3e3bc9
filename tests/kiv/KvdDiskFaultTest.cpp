// KvdDiskFaultTest.cpp - the disk fails at every step of a write, as SQLite's tests
// fail its pager: for every n from 1 to the number of disk calls of a whole write, the
// n-th call fails. After each, the target holds every byte it held, no temporary file
// is left, the message names what failed, and the next write succeeds.
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestFolder.h"
#include "KvdTestDisks.h"
#include "KvdWriteSession.h"
#include "KvdWriter.h"

namespace {

using kvddisk::Call;

// A file of several objects, with comments and CR LF line ends.
const std::string kTarget =
    "KVD 1\r\n"
    "# survey notes\r\n"
    "object A amy 1 W-1 \"2001-01-01 10:00\"\r\n"
    "value G \"\" 1 a 1 m \"first value\"\r\n"
    "\r\n"
    "# B follows\r\n"
    "object B bob 2 W-2 \"2001-01-02 10:00\"\r\n"
    "value G \"\" 1 b 2\r\n"
    "value H G 1 c 3\r\n"
    "object C cid 3 W-3 \"2001-01-03 10:00\"\r\n"
    "value K \"\" 4 d \"four words in it\"\r\n"
    "end\r\n"
    "# after the end\r\n";

// The write of each case: B replaced, D added, A and C kept (update); X and Y (replace).
bool PutAll(KvdWriteSession& writer, int mode)
{
    if (mode == KvdWriteSession::kUpdate)
        return writer.PutObject("B", "new", "5", "W-5", "2002-02-02 02:02") &&
               writer.PutValue("G", "", 1, "b", "22", "m", "") && writer.PutValue("J", "G", 1, "e", "5", "", "x") &&
               writer.PutObject("D", "new", "1", "W-6", "2002-02-02 02:02") &&
               writer.PutValue("L", "", 1, "f", "6", "", "");
    return writer.PutObject("X", "new", "1", "W-7", "2002-02-02 02:02") &&
           writer.PutValue("G", "", 1, "x", "7", "", "") &&
           writer.PutObject("Y", "new", "1", "W-8", "2002-02-02 02:02");
}

const std::string kNewB = KvdObjectLine("B", "new", "5", "W-5", "2002-02-02 02:02") +
                          KvdValueLine("G", "", 1, "b", "22", "m") + KvdValueLine("J", "G", 1, "e", "5", "", "x");
const std::string kNewD = KvdObjectLine("D", "new", "1", "W-6", "2002-02-02 02:02") + KvdValueLine("L", "", 1, "f", "6");

// What the write of a case leaves; `targetExists`: there was a file before.
std::string Expected(int mode, bool targetExists = true)
{
    if (mode == KvdWriteSession::kUpdate && !targetExists)
        return "KVD 1\n" + kNewB + kNewD + "end\n";
    if (mode == KvdWriteSession::kUpdate)
        return "KVD 1\r\n# survey notes\r\nobject A amy 1 W-1 \"2001-01-01 10:00\"\r\nvalue G \"\" 1 a 1 m "
               "\"first value\"\r\n\r\n# B follows\r\n" +
               kNewB + "object C cid 3 W-3 \"2001-01-03 10:00\"\r\nvalue K \"\" 4 d \"four words in it\"\r\n" +
               kNewD + "end\r\n# after the end\r\n";
    return "KVD 1\n" + KvdObjectLine("X", "new", "1", "W-7", "2002-02-02 02:02") + KvdValueLine("G", "", 1, "x", "7") +
           KvdObjectLine("Y", "new", "1", "W-8", "2002-02-02 02:02") + "end\n";
}

// Words that a message for a failed call of each kind holds (one of them).
std::vector<std::string> WordsFor(Call call)
{
    switch (call) {
    case Call::kStat: return {"examin"};
    case Call::kOpen: return {"cannot be read", "opening the file"};
    case Call::kRead: return {"read"};
    case Call::kCreate: return {"no file can be made", "making the temporary file"};
    case Call::kWrite: return {"writing"};
    case Call::kFlush: return {"flushing"};
    case Call::kRename: return {"in the place of the old one"};
    default: return {};
    }
}

// Calls whose failure cannot harm the write: a reading's close, and the removal of
// what dead writers left (after the new file is in place).
bool Harmless(Call call) { return call == Call::kClose || call == Call::kList || call == Call::kRemove; }

struct Outcome {
    bool written = false;
    std::string message;
};

Outcome WriteThrough(kvddisk::Disk& disk, const std::string& path, int mode)
{
    KvdWriteSession writer(disk);
    Outcome outcome;
    outcome.written = writer.Begin(path.c_str(), mode) && PutAll(writer, mode) && writer.Commit();
    outcome.message = writer.Message();
    return outcome;
}

using Folder = TestFolder;

struct ModeCase {
    const char* name;
    int mode;
    bool targetExists;
};

TEST(KvdDiskFaults, EveryCallOfAWholeWriteFailsOnceAndTheTargetStaysWhole)
{
    const ModeCase cases[] = {
        {"update", KvdWriteSession::kUpdate, true},
        {"replace", KvdWriteSession::kReplace, true},
        {"update of a new file", KvdWriteSession::kUpdate, false},
    };
    for (const ModeCase& c : cases) {
        Folder folder;
        const std::string path = folder.Path() + "target.kvd";
        const std::string before = c.targetExists ? kTarget : "";
        const std::vector<std::string> namesBefore =
            c.targetExists ? std::vector<std::string>{"target.kvd"} : std::vector<std::string>{};
        const std::string expected = Expected(c.mode, c.targetExists);

        // A whole write without a fault: how many calls it makes, and what it writes.
        if (c.targetExists)
            WriteBytes(path, before);
        FaultDisk disk;
        ASSERT_TRUE(WriteThrough(disk, path, c.mode).written) << c.name;
        ASSERT_EQ(ReadBytes(path), expected) << c.name;
        const int calls = disk.Count();
        ASSERT_GT(calls, 6) << c.name;

        int failedWrites = 0;
        for (int n = 1; n <= calls; ++n) {
            std::remove(path.c_str());
            if (c.targetExists)
                WriteBytes(path, before);
            disk.FailCall(n);
            Outcome outcome = WriteThrough(disk, path, c.mode);
            Call failed;
            ASSERT_TRUE(disk.Failed(failed)) << c.name << ", call " << n << " of " << calls;
            std::string where = std::string(c.name) + ", call " + std::to_string(n) + " (" +
                                kvddisk::CallName(failed) + ") failed";
            if (outcome.written) {
                EXPECT_TRUE(Harmless(failed)) << where << ", and the write was reported done";
                EXPECT_EQ(ReadBytes(path), expected) << where;
            } else {
                ++failedWrites;
                EXPECT_FALSE(Harmless(failed)) << where << ": " << outcome.message;
                if (c.targetExists) {
                    EXPECT_EQ(ReadBytes(path), before) << where;
                }
                EXPECT_EQ(NamesIn(folder.Path()), namesBefore) << where << ": a temporary file is left";
                std::vector<std::string> words = WordsFor(failed);
                bool named = std::any_of(words.begin(), words.end(), [&](const std::string& w) {
                    return outcome.message.find(w) != std::string::npos;
                });
                EXPECT_TRUE(named) << where << ", and the message does not say so: " << outcome.message;
                EXPECT_NE(outcome.message.find("target.kvd"), std::string::npos) << where << ": " << outcome.message;
            }
            // The next write, on a sound disk, succeeds.
            disk.FailCall(0);
            std::remove(path.c_str());
            if (c.targetExists)
                WriteBytes(path, before);
            ASSERT_TRUE(WriteThrough(disk, path, c.mode).written) << where << ": the next write fails";
            EXPECT_EQ(ReadBytes(path), expected) << where << ": the next write";
        }
        EXPECT_GT(failedWrites, calls / 2) << c.name;
    }
}

// The disk fails while values are put, as the calls put them (in one pass, into the
// buffer), when the buffer is handed to the disk: the write ends there, nothing is left.
TEST(KvdDiskFaults, TheDiskFailsWhileValuesArePut)
{
    for (int mode : {KvdWriteSession::kUpdate, KvdWriteSession::kReplace}) {
        Folder folder;
        const std::string path = folder.Path() + "target.kvd";
        WriteBytes(path, kTarget);
        FaultDisk disk;
        KvdWriteSession writer(disk);
        ASSERT_TRUE(writer.Begin(path.c_str(), mode)) << writer.Message();
        ASSERT_TRUE(writer.PutObject("Big", "", "", "", "2002-02-02 02:02"));
        disk.FailCall(1);  // the next disk call: the first time the full buffer is handed over
        KvdValueTexts value = {"G", "", 1, "v", "a value of some length, put again and again", "m", ""};
        KvdWriteSession::Quickly last = KvdWriteSession::Quickly::kPut;
        int put = 0;
        for (; put < 200000 && last == KvdWriteSession::Quickly::kPut; ++put)
            last = writer.PutValueQuickly(value, false);
        EXPECT_EQ(last, KvdWriteSession::Quickly::kBroken) << "mode " << mode << " after " << put << " values";
        Call failed;
        ASSERT_TRUE(disk.Failed(failed));
        EXPECT_EQ(failed, Call::kWrite);
        EXPECT_NE(writer.Message().find("writing the new file failed"), std::string::npos) << writer.Message();
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_EQ(writer.PutValueQuickly(value, false), KvdWriteSession::Quickly::kOtherWay);
        EXPECT_FALSE(writer.PutValue("G", "", 1, "v", "1", "", ""));
        EXPECT_EQ(ReadBytes(path), kTarget) << mode;
        EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"target.kvd"}) << mode;
    }
}

// Every kind of call is among those failed, in both modes.
TEST(KvdDiskFaults, AWholeWriteMakesEveryKindOfCall)
{
    for (int mode : {KvdWriteSession::kUpdate, KvdWriteSession::kReplace}) {
        Folder folder;
        const std::string path = folder.Path() + "target.kvd";
        WriteBytes(path, kTarget);
        FaultDisk disk;
        ASSERT_TRUE(WriteThrough(disk, path, mode).written);
        for (Call call : {Call::kStat, Call::kOpen, Call::kRead, Call::kClose, Call::kCreate, Call::kWrite,
                          Call::kFlush, Call::kRename, Call::kList}) {
            EXPECT_NE(std::find(disk.Calls().begin(), disk.Calls().end(), call), disk.Calls().end())
                << "mode " << mode << " makes no " << kvddisk::CallName(call) << " call";
        }
    }
}

}  // namespace

// KivSessionsTest.cpp - sessions per thread, nested: each KivAttach starts a fresh
// session on top of the thread's others, KivDetach ends the innermost, and threads never
// meet in a session, whatever the interleaving of their calls.
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "KivTestFolder.h"
#include "KivTestSupport.h"
#include "KvdWriter.h"

namespace {

using Folder = TestFolder;

// A file of `objects` objects named prefix + number, each with `values` values.
std::string Objects(const std::string& prefix, int objects, int values)
{
    std::string body;
    for (int i = 0; i < objects; ++i) {
        body += KvdObjectLine(prefix + std::to_string(i), "amy", "1", "W-1", "2001-01-01 10:00");
        for (int v = 0; v < values; ++v)
            body += KvdValueLine("G", "", v, prefix + "v" + std::to_string(v), std::to_string(i));
    }
    return KvdFile(body);
}

char* g_unset = nullptr;

int Attach() { return KivAttach(&g_unset); }

void DetachAll()
{
    for (int i = 0; i < 40; ++i)
        KivDetach();
}

std::string NextName()
{
    char* name = nullptr;
    return KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr) ? name : "-";
}

TEST(KivSessions, SixteenNestAndEachDetachEndsTheInnermost)
{
    DetachAll();
    TestFile file(Objects("N", 20, 0));
    char* message = nullptr;
    for (int depth = 1; depth <= 16; ++depth) {
        ASSERT_EQ(KivAttach(&message), 1) << "attachment " << depth << ": " << message;
        ASSERT_EQ(KivOpen(file.Path().c_str(), &message, 0), 1) << message;
        for (int skip = 0; skip < depth; ++skip)
            ASSERT_EQ(NextName(), "N" + std::to_string(skip)) << "attachment " << depth;
    }
    message = nullptr;
    EXPECT_EQ(KivAttach(&message), 0) << "a seventeenth attachment";
    ASSERT_NE(message, nullptr);
    EXPECT_NE(std::string(message).find("16 attachments are open"), std::string::npos) << message;
    EXPECT_NE(std::string(message).find("KivDetach"), std::string::npos) << message;
    // Until its detach the refused attach answers every call, with nothing; the detach
    // ends nothing. Each session is where it was, innermost first.
    EXPECT_EQ(NextName(), "-") << "the refused attach holds no file";
    EXPECT_EQ(KivAttach(&message), 0) << "an attach on a refused one";
    KivDetach();
    KivDetach();
    for (int depth = 16; depth >= 1; --depth) {
        EXPECT_EQ(NextName(), "N" + std::to_string(depth)) << "attachment " << depth << " after the refusal";
        KivDetach();
    }
    EXPECT_EQ(NextName(), "-") << "no attachment is left";
    KivDetach();  // without an attachment: harmless
    KivDetach();
    EXPECT_EQ(Attach(), 1);
    EXPECT_EQ(NextName(), "-") << "a new attachment starts empty";
    KivDetach();
}

// A host with 16 sessions open shows a dialog, whose attach is refused at the bound and
// which detaches without asking: whatever the dialog calls in between, the host's
// innermost session keeps its file, its reading position and its open write.
TEST(KivSessions, ARefusedAttachAndItsDetachLeaveTheHostsSessions)
{
    DetachAll();
    Folder folder;
    TestFile file(Objects("H", 5, 1));
    TestFile other(Objects("D", 5, 1), "other.kvd");
    std::string target = folder / "written.kvd";
    char* message = nullptr;
    for (int depth = 1; depth <= 16; ++depth)
        ASSERT_EQ(Attach(), 1) << depth;
    ASSERT_EQ(KivOpen(file.Path().c_str(), &message, 0), 1) << message;
    ASSERT_EQ(NextName(), "H0");
    ASSERT_EQ(KivBeginWrite(target.c_str(), &message, KIV_WRITE_REPLACE), 1) << message;
    ASSERT_EQ(KivPutObject("Kept", "amy", "1", "W", "2001-01-01 10:00", &message), 1) << message;

    EXPECT_EQ(KivAttach(&message), 0) << "the dialog's attach, at the bound";
    EXPECT_EQ(KivOpen(other.Path().c_str(), &message, 0), 0);
    EXPECT_NE(std::string(message).find("was refused"), std::string::npos) << message;
    EXPECT_EQ(NextName(), "-");
    EXPECT_EQ(KivBeginWrite(target.c_str(), &message, KIV_WRITE_UPDATE), 0);
    EXPECT_NE(std::string(message).find("was refused"), std::string::npos) << message;
    KivAbandonWrite();
    EXPECT_EQ(KivCommitWrite(&message), 0);
    KivDetach();  // the dialog's, as it always detaches

    EXPECT_EQ(NextName(), "H1") << "the host reads on where it was";
    ASSERT_EQ(KivCommitWrite(&message), 1) << "the host's write is still open: " << message;
    DetachAll();
    ReadResult read = ReadKvdFile(target);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 1u);
    EXPECT_EQ(read.objects[0].name, "Kept");
}

TEST(KivSessions, AHostThatForgetsToDetachInALoopMeetsTheBound)
{
    DetachAll();
    TestFile file(Objects("L", 3, 2));
    int attached = 0, refused = 0;
    for (int round = 0; round < 20000; ++round) {
        char* message = nullptr;
        if (KivAttach(&message)) {
            ++attached;
            KivOpen(file.Path().c_str(), &message, 0);
        } else {
            ++refused;
            ASSERT_NE(std::string(message).find("KivDetach"), std::string::npos) << message;
        }
    }
    EXPECT_EQ(attached, 16);
    EXPECT_EQ(refused, 20000 - 16);
    for (int round = 0; round < 20000; ++round)
        KivDetach();
    EXPECT_EQ(Attach(), 1) << "every attach, refused or not, has had its detach";
    DetachAll();
}

TEST(KivSessions, ReadingWritingAndTextsGoOnAcrossANestedAttachment)
{
    DetachAll();
    Folder folder;
    TestFile outerFile(Objects("Outer", 3, 3)), innerFile(Objects("Inner", 2, 2));
    const std::string written = folder / "written.kvd";
    char* message = nullptr;
    ASSERT_EQ(KivAttach(&message), 1);
    ASSERT_EQ(KivOpen(outerFile.Path().c_str(), &message, 0), 1) << message;
    char *name, *author, *version, *wellId, *date;
    ASSERT_EQ(KivGetNextObject(&name, &author, &version, &wellId, &date), 1);
    char *group, *valueName, *extra, *suffix, *valueText, *parent;
    int record;
    ASSERT_EQ(KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record), 1);
    ASSERT_EQ(KivBeginWrite(written.c_str(), &message, KIV_WRITE_UPDATE), 1) << message;
    ASSERT_EQ(KivPutObject("First", "amy", "1", "W", "2001-01-01 10:00", &message), 1) << message;
    char* refusal = nullptr;
    ASSERT_EQ(KivPutValue("", "", 1, "v", "1", "", "", &refusal), 0) << "a value without a group";
    const std::string refusalText = refusal;
    const std::string nameText = name, valueNameText = valueName;

    // What a dialog does, nested: its own file, its own write, every text of its own.
    ASSERT_EQ(KivAttach(&message), 1);
    EXPECT_EQ(NextName(), "-") << "the nested attachment sees the outer file";
    EXPECT_EQ(KivCommitWrite(&message), 0) << "the nested attachment commits the outer write";
    ASSERT_EQ(KivOpen(innerFile.Path().c_str(), &message, 0), 1) << message;
    int innerObjects = 0;
    char* innerName;
    while (KivGetNextObject(&innerName, nullptr, nullptr, nullptr, nullptr))
        ++innerObjects;
    EXPECT_EQ(innerObjects, 2);
    EXPECT_EQ(KivOpen((folder / "other-missing.kvd").c_str(), &message, 0), 0);
    ASSERT_EQ(KivBeginWrite((folder / "inner.kvd").c_str(), &message, KIV_WRITE_REPLACE), 1) << message;
    ASSERT_EQ(KivPutObject("Inner", "", "", "", "", &message), 1) << message;
    ASSERT_EQ(KivCommitWrite(&message), 1) << message;
    KivDetach();

    EXPECT_EQ(std::string(refusal), refusalText) << "the outer message was overwritten";
    EXPECT_EQ(std::string(name), nameText) << "the outer object's name was overwritten";
    EXPECT_EQ(std::string(valueName), valueNameText) << "the outer value's name was overwritten";
    ASSERT_EQ(KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record), 1)
        << "the outer reading lost its place";
    EXPECT_STREQ(valueName, "Outerv1");
    EXPECT_EQ(NextName(), "Outer1");
    EXPECT_EQ(NextName(), "Outer2");
    EXPECT_EQ(NextName(), "-");
    ASSERT_EQ(KivPutObject("Second", "amy", "1", "W", "2001-01-01 10:00", &message), 1) << message;
    ASSERT_EQ(KivCommitWrite(&message), 1) << message;
    KivDetach();
    ReadResult read = ReadKvdFile(written);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 2u);
    EXPECT_EQ(read.objects[0].name, "First");
    EXPECT_EQ(read.objects[1].name, "Second");
    EXPECT_EQ(ReadKvdFile(folder / "inner.kvd").objects.size(), 1u);
}

TEST(KivSessions, CallsWithoutAnAttachmentAreRefusedOrHarmless)
{
    DetachAll();
    TestFile file(Objects("F", 2, 1));
    char* message = nullptr;
    EXPECT_EQ(KivOpen(file.Path().c_str(), &message, 0), 0);
    ASSERT_NE(message, nullptr);
    EXPECT_NE(std::string(message).find("not attached"), std::string::npos) << message;
    EXPECT_EQ(NextName(), "-");
    char* text = nullptr;
    int record = 5;
    EXPECT_EQ(KivGetNextValue(&text, nullptr, nullptr, nullptr, nullptr, nullptr, &record), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(record, 0);
    int y, mo, d, h, mi;
    EXPECT_EQ(KivStringToDate("2001-01-01 10:00", &y, &mo, &d, &h, &mi), 1) << "dates need no attachment";
    KivAbandonWrite();
    KivDetach();
}

// Attach, open the thread's own file, read every object and value, check them, detach.
// The first fault is kept in `fault`.
void ReadOwnFile(const std::string& path, const std::string& prefix, int objects, int values, int rounds,
                 std::string& fault)
{
    for (int round = 0; round < rounds && fault.empty(); ++round) {
        char* message = nullptr;
        if (!KivAttach(&message)) {
            fault = "round " + std::to_string(round) + ": attach refused: " + message;
            break;
        }
        if (!KivOpen(path.c_str(), &message, 0)) {
            fault = "round " + std::to_string(round) + ": open refused: " + message;
        } else {
            char *name, *author, *version, *wellId, *date;
            int got = 0;
            while (fault.empty() && KivGetNextObject(&name, &author, &version, &wellId, &date)) {
                if (name != prefix + std::to_string(got))
                    fault = "round " + std::to_string(round) + ": object " + name + " in " + prefix + "'s file";
                char *group, *valueName, *extra, *suffix, *valueText, *parent;
                int record, valueCount = 0;
                while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record)) {
                    if (std::string(valueText) != std::to_string(got) || record != valueCount)
                        fault = "round " + std::to_string(round) + ": value " + valueText + " of " + name;
                    ++valueCount;
                }
                if (valueCount != values && fault.empty())
                    fault = "round " + std::to_string(round) + ": " + std::to_string(valueCount) + " values of " + name;
                ++got;
            }
            if (got != objects && fault.empty())
                fault = "round " + std::to_string(round) + ": " + std::to_string(got) + " objects of " +
                        std::to_string(objects);
        }
        KivDetach();
    }
}

TEST(KivSessions, TwoThreadsReadTheirOwnFilesInATightLoop)
{
    TestFile a(Objects("A", 12, 4)), b(Objects("B", 9, 5));
    std::string faultA, faultB;
    std::thread first([&] { ReadOwnFile(a.Path(), "A", 12, 4, 3000, faultA); });
    std::thread second([&] { ReadOwnFile(b.Path(), "B", 9, 5, 3000, faultB); });
    first.join();
    second.join();
    EXPECT_EQ(faultA, "");
    EXPECT_EQ(faultB, "");
}

TEST(KivSessions, AttachingAndDetachingBesideAReaderDisturbsNothing)
{
    TestFile big(Objects("O", 5000, 2));
    std::atomic<bool> reading{true};
    std::thread busy([&] {
        while (reading) {
            char* message;
            KivAttach(&message);
            KivDetach();
            KivDetach();  // one too many: harmless, and never another thread's
        }
    });
    std::string fault;
    ReadOwnFile(big.Path(), "O", 5000, 2, 3, fault);
    reading = false;
    busy.join();
    EXPECT_EQ(fault, "");
}

TEST(KivSessions, AThreadThatEndsAttachedLeavesNoTemporaryFile)
{
    Folder folder;
    const std::string path = folder / "target.kvd";
    {
        std::ofstream(path) << Objects("T", 2, 1);
    }
    const std::string before = ReadBytes(path);
    std::string fault;
    std::thread writer([&] {
        char* message = nullptr;
        KivAttach(&message);
        KivAttach(&message);
        if (!KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE) ||
            !KivPutObject("New", "", "", "", "", &message))
            fault = message;
        // The thread ends without KivDetach, with a write open in its inner attachment.
    });
    writer.join();
    EXPECT_EQ(fault, "");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.kvd"});
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(KivSessions, ThreadsUpdatingOneFileLoseNoCommit)
{
    Folder folder;
    const std::string path = folder / "shared.kvd";
    {
        std::ofstream(path) << KvdFile("");
    }
    constexpr int kThreads = 4, kRounds = 60;
    std::vector<int> lastCommitted(kThreads, -1);
    std::vector<std::string> faults(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                char* message = nullptr;
                KivAttach(&message);
                std::string name = "T" + std::to_string(t), version = std::to_string(round);
                if (KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE) &&
                    KivPutObject(name.c_str(), "", version.c_str(), "", "2001-01-01 10:00", &message)) {
                    if (KivCommitWrite(&message))
                        lastCommitted[t] = round;
                    else if (std::string(message).find("changed on the disk") == std::string::npos)
                        faults[t] = message;
                } else {
                    faults[t] = message;
                }
                KivDetach();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ReadResult read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(faults[t], "") << "thread " << t;
        if (lastCommitted[t] < 0)
            continue;
        std::string version;
        for (const ReadObject& o : read.objects)
            if (o.name == "T" + std::to_string(t))
                version = o.version;
        EXPECT_EQ(version, std::to_string(lastCommitted[t])) << "thread " << t << "'s last commit was lost";
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shared.kvd"});
}

}  // namespace

// KivProcessesTest.cpp - writers and readers of one file in several processes (fork):
// every commit that reports success is in the file, no writer is refused while others
// merely write, one that holds the file too long is refused with its own message, and
// a reader never takes a file cut short by another program for the whole file.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestFolder.h"
#include "KivTestSupport.h"
#include "KivSession.h"
#include "KvdTestDisks.h"
#include "KvdWriteSession.h"
#include "KvdWriter.h"

namespace {

struct Counts {
    int committed = 0;  // commits that reported success
    int refused = 0;    // commits or begins refused, tried again
    int gaveUp = 0;     // objects given up after kTries refusals
    char firstRefusal[240] = {};
};
constexpr int kTries = 20;

// Writer `w`: `commits` updates of `path`, each adding the object "W<w>-<i>".
Counts Write(const std::string& path, int w, int commits)
{
    WriterCounts wrote = WriteDistinctObjects(path, w, commits, kTries);
    Counts counts;
    counts.committed = wrote.committed;
    counts.refused = wrote.refused;
    counts.gaveUp = wrote.gaveUp;
    std::snprintf(counts.firstRefusal, sizeof counts.firstRefusal, "%s", wrote.firstRefusal.c_str());
    return counts;
}

// Runs `job` in `n` child processes at once and returns what each wrote back.
template <typename Job>
std::vector<Counts> InProcesses(int n, Job job)
{
    std::vector<pid_t> children;
    std::vector<int> pipes;
    for (int c = 0; c < n; ++c) {
        int ends[2];
        if (pipe(ends) != 0)
            return {};
        pid_t child = fork();
        if (child == 0) {
            close(ends[0]);
            Counts counts = job(c);
            ssize_t ignored = write(ends[1], &counts, sizeof counts);
            (void)ignored;
            _exit(0);
        }
        close(ends[1]);
        children.push_back(child);
        pipes.push_back(ends[0]);
    }
    std::vector<Counts> all(n);
    for (int c = 0; c < n; ++c) {
        if (read(pipes[c], &all[c], sizeof all[c]) != static_cast<ssize_t>(sizeof all[c]))
            all[c].gaveUp = -1;  // the child died
        close(pipes[c]);
        waitpid(children[c], nullptr, 0);
    }
    return all;
}

std::set<std::string> NamesIn(const ReadResult& read)
{
    std::set<std::string> names;
    for (const ReadObject& o : read.objects)
        names.insert(o.name);
    return names;
}

TEST(KivProcesses, WritersOfManyProcessesLoseNoCommit)
{
    struct Case {
        const char* what;
        bool fileExists;  // else the first commits race to make it
        int processes, commits;
    };
    const Case cases[] = {
        {"eight processes update a file", true, 8, 300},
        {"eight processes make the file and update it", false, 8, 40},
    };
    for (const Case& c : cases) {
        TestFolder folder;
        const std::string path = folder / "shared.kvd";
        if (c.fileExists)
            WriteBytes(path, KvdFile(KvdObjectLine("Kept", "", "", "", "2001-01-01 10:00")));
        auto begin = std::chrono::steady_clock::now();
        std::vector<Counts> counts = InProcesses(c.processes, [&](int w) { return Write(path, w, c.commits); });
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        ASSERT_EQ(counts.size(), static_cast<size_t>(c.processes)) << c.what;
        ReadResult read = ReadKvdFile(path);
        ASSERT_TRUE(read.opened) << c.what << ": " << read.message;
        std::set<std::string> names = NamesIn(read);
        int committed = 0;
        for (int w = 0; w < c.processes; ++w) {
            EXPECT_EQ(counts[w].gaveUp, 0) << c.what << ", writer " << w;
            EXPECT_EQ(counts[w].refused, 0) << c.what << ", writer " << w << ": " << counts[w].firstRefusal;
            committed += counts[w].committed;
            for (int i = 0; i < c.commits; ++i)
                EXPECT_EQ(names.count("W" + std::to_string(w) + "-" + std::to_string(i)), 1u)
                    << c.what << ": a commit of writer " << w << " is lost";
        }
        EXPECT_EQ(committed, c.processes * c.commits) << c.what;
        EXPECT_EQ(read.objects.size(), static_cast<size_t>(committed + (c.fileExists ? 1 : 0))) << c.what;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"shared.kvd"}) << c.what << ": nothing is left beside it";
        std::printf("%s: %d commits in %.2f s\n", c.what, committed, seconds);
    }
}

// A writer that keeps the file for longer than the wait: the other is refused with a
// message of its own, after the wait and not much later; then it writes.
TEST(KivProcesses, AWriterThatKeepsTheFileIsWaitedForThenRefused)
{
    for (bool exists : {true, false}) {
        TestFolder folder;
        const std::string path = folder / "held.kvd";
        if (exists)
            WriteBytes(path, KvdFile(""));
        int ready[2], release[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(release), 0);
        pid_t holder = fork();
        if (holder == 0) {
            KvdWriteSession write;
            char byte = write.Begin(path.c_str(), KvdWriteSession::kUpdate) ? 1 : 0;
            ssize_t io = ::write(ready[1], &byte, 1);
            io = ::read(release[0], &byte, 1);  // until the parent says
            (void)io;
            _exit(write.Commit() ? 0 : 1);
        }
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        ASSERT_EQ(byte, 1);

        KvdWriteSession waiter;
        waiter.SetLockWait(400);
        auto begin = std::chrono::steady_clock::now();
        EXPECT_FALSE(waiter.Begin(path.c_str(), KvdWriteSession::kReplace));
        double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        EXPECT_NE(waiter.Message().find("another program is writing the file"), std::string::npos)
            << waiter.Message();
        EXPECT_NE(waiter.Message().find("400 milliseconds"), std::string::npos) << waiter.Message();
        EXPECT_GE(waited, 0.4);
        EXPECT_LT(waited, 1.5);

        // Let go within the wait: the waiter gets the file.
        waiter.SetLockWait(5000);
        std::thread letGo([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ssize_t io = write(release[1], &byte, 1);
            (void)io;
        });
        EXPECT_TRUE(waiter.Begin(path.c_str(), KvdWriteSession::kUpdate)) << waiter.Message();
        letGo.join();
        int status = 0;
        waitpid(holder, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the holder's commit";
        EXPECT_TRUE(waiter.PutObject("After", "", "", "", "2001-01-01 10:00")) << waiter.Message();
        EXPECT_TRUE(waiter.Commit()) << waiter.Message();
        EXPECT_EQ(NamesIn(ReadKvdFile(path)), std::set<std::string>{"After"}) << exists;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"held.kvd"});
        for (int end : {ready[0], ready[1], release[0], release[1]})
            close(end);
    }
}

}  // namespace

namespace {

std::string ManyObjects(const std::string& prefix, int objects)
{
    std::string body;
    for (int i = 0; i < objects; ++i) {
        body += KvdObjectLine(prefix + std::to_string(i), "amy", "1", "W-1", "2001-01-01 10:00");
        for (int v = 0; v < 3; ++v)
            body += KvdValueLine("Survey", "", v + 1, "MD", std::to_string(i * 10 + v), "m");
    }
    return KvdFile(body);
}

// A host reads a file while another process changes it: it gets the whole file as it
// was, or the objects before the change and then the end with ERROR_READ_FAULT (EIO
// here) - never another content, never an early end that looks like the file's.
TEST(KivProcesses, AReaderGetsTheWholeFileOrAnEndThatSaysItFailed)
{
    constexpr int kObjects = 20000;  // 1.6 MB: the reader's buffer is filled six times
    struct Case {
        const char* what;
        void (*change)(const std::string& path);
        bool whole;  // the change cannot reach the reader
    };
    const Case cases[] = {
        {"truncated and written anew in place",
         [](const std::string& path) { WriteBytes(path, ManyObjects("Other", kObjects)); }, false},
        {"cut to half its length",
         [](const std::string& path) {
             int ignored = truncate(path.c_str(), static_cast<off_t>(ReadBytes(path).size() / 2));
             (void)ignored;
         },
         false},
        {"rewritten in place, the same length",
         [](const std::string& path) {
             std::string bytes = ReadBytes(path);
             bytes.replace(bytes.size() / 2, 5, "#####");
             FILE* file = std::fopen(path.c_str(), "r+");
             std::fwrite(bytes.data(), 1, bytes.size(), file);
             std::fclose(file);
         },
         false},
        {"replaced by a write of the library",
         [](const std::string& path) {
             KvdWriteSession write;
             bool done = write.Begin(path.c_str(), KvdWriteSession::kReplace) &&
                         write.PutObject("New", "", "", "", "2001-01-01 10:00") && write.Commit();
             if (!done)
                 std::fprintf(stderr, "%s\n", write.Message().c_str());
         },
         true},
    };
    for (const Case& c : cases) {
        TestFolder folder;
        const std::string path = folder / "big.kvd";
        WriteBytes(path, ManyObjects("Obj", kObjects));
        char* message = nullptr;
        ASSERT_EQ(KivAttach(&message), 1);
        ASSERT_EQ(KivOpen(path.c_str(), &message, 0), 1) << message;
        char* name = nullptr;
        int delivered = 0, foreign = 0;
        for (; delivered < 5 && KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr); ++delivered)
            foreign += std::string(name) != "Obj" + std::to_string(delivered);
        pid_t child = fork();
        if (child == 0) {
            c.change(path);
            _exit(0);
        }
        waitpid(child, nullptr, 0);
        int values = 0;
        for (;;) {
            char* value = nullptr;
            while (KivGetNextValue(nullptr, nullptr, nullptr, nullptr, &value, nullptr, nullptr))
                ++values;
            if (!KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr))
                break;
            foreign += std::string(name) != "Obj" + std::to_string(delivered);
            ++delivered;
        }
        const int endedWith = errno;
        KivDetach();
        EXPECT_EQ(foreign, 0) << c.what << ": objects of another content were delivered";
        if (c.whole || delivered == kObjects) {
            EXPECT_EQ(delivered, kObjects) << c.what;
            EXPECT_EQ(values, 3 * (kObjects - 4)) << c.what;  // the fifth one's values come after the change
            EXPECT_EQ(endedWith, 0) << c.what;
        } else {
            EXPECT_EQ(endedWith, EIO) << c.what << ": " << delivered << " objects, then an end like the file's";
        }
        std::printf("%s: %d objects delivered\n", c.what, delivered);
    }
}

}  // namespace

namespace {

// A read that the disk fails while the objects are delivered: the delivery ends there,
// and the session says that it failed; at the real end it says not.
TEST(KivProcesses, ADiskFaultInTheDeliveryIsAnEndThatSaysItFailed)
{
    TestFolder folder;
    const std::string path = folder / "big.kvd";
    WriteBytes(path, ManyObjects("Obj", 20000));
    for (int failCall : {0, 1, 3}) {  // counted from the first object on; 0: none fails
        FaultDisk disk;
        KivSession session(disk);
        ASSERT_TRUE(session.Open(path.c_str())) << session.Message();
        disk.FailCall(failCall);
        int objects = 0;
        KivSession::Object object;
        KivSession::Value value;
        while (session.NextObject(object)) {
            EXPECT_EQ(std::string(object.name), "Obj" + std::to_string(objects));
            ++objects;
            while (session.NextValue(value)) {
            }
        }
        EXPECT_EQ(session.DeliveryFailed(), failCall != 0) << failCall << ": " << objects << " objects";
        EXPECT_EQ(objects == 20000, failCall == 0) << failCall << ": " << objects << " objects";
        if (failCall != 0) {
            EXPECT_NE(session.Message().find("reading stopped"), std::string::npos) << session.Message();
        }
        EXPECT_FALSE(session.NextObject(object)) << "nothing after the end";
    }
}

}  // namespace

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
    Counts counts;
    char* message = nullptr;
    KivAttach(&message);
    for (int i = 0; i < commits; ++i) {
        const std::string name = "W" + std::to_string(w) + "-" + std::to_string(i);
        bool done = false;
        for (int attempt = 0; attempt < kTries && !done; ++attempt) {
            done = KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE) &&
                   KivPutObject(name.c_str(), "stress", "1", "", "2001-01-01 10:00", &message) &&
                   KivCommitWrite(&message);
            if (!done) {
                if (counts.refused++ == 0)
                    std::snprintf(counts.firstRefusal, sizeof counts.firstRefusal, "%s", message);
                KivAbandonWrite();
            }
        }
        counts.committed += done;
        counts.gaveUp += !done;
    }
    KivDetach();
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

// guide_messages.cpp - provokes every refusal of the write calls that the guide's table
// "What the write calls say when they refuse" lists, and prints each message on a line
// of its own, for check_guide.py to find in the table. Natively, on the library's
// portable core: the faults of a disk (full, no right, held open, folder gone) come
// from a disk that fails the call of a commit's step as a real one would.
//
//   guide_messages SCRATCH_FOLDER
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "KvdTestDisks.h"
#include "KvdWriteSession.h"
#include "kivapi.h"

namespace {

std::string g_folder;

std::string Write(const std::string& name, const std::string& content)
{
    const std::string path = g_folder + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

const char kFile[] =
    "KVD 1\n"
    "object Kept \"B. Okafor\" 1 NF-002 \"1991-11-08 07:15\"\n"
    "value Test \"\" 1 Rate 1200 m3/d\n"
    "end\n";

int g_printed = 0;

void Say(const std::string& message)
{
    std::printf("%s\n", message.c_str());
    ++g_printed;
}

// Fails the first call of one kind (or every one: a fault that stays, such as a file
// held open, which the library tries again), as a disk does with the fault of that kind.
class FailingDisk : public PassThroughDisk {
public:
    FailingDisk(kvddisk::Call call, kvddisk::Failure kind, bool every = false)
        : call_(call), kind_(kind), every_(every)
    {
    }

protected:
    bool Before(kvddisk::Call call, kvddisk::Error& error) override
    {
        if (call != call_ || done_)
            return true;
        done_ = !every_;
        error.kind = kind_;
        error.call = call;
        error.detail = "the system's words";
        return false;
    }

private:
    kvddisk::Call call_;
    kvddisk::Failure kind_;
    bool every_;
    bool done_ = false;
};

// A write of one object with one value; `before` acts on the write at its commit.
std::string CommitOf(kvddisk::Disk& disk, int mode, const std::function<void(const std::string&)>& before = {})
{
    const std::string path = Write("commit.kvd", kFile);
    KvdWriteSession writer(disk);
    if (!writer.Begin(path.c_str(), mode))
        return writer.Message();
    writer.PutObject("Survey", "A. Rahman", "1", "NF-001", "2024-01-02 03:04");
    writer.PutValue("Survey", "", 1, "MD", "0", "m", "");
    if (before)
        before(path);
    writer.Commit();
    return writer.Message();
}

// The begin of a write while another process holds a write of the same file open.
std::string BeginWhileAnotherWrites(const std::string& path)
{
    int ready[2];
    if (pipe(ready) != 0)
        return "no pipe";
    pid_t writer = fork();
    if (writer == 0) {
        KvdWriteSession other;
        other.Begin(path.c_str(), KvdWriteSession::kReplace);
        char one = 1;
        (void)!write(ready[1], &one, 1);
        pause();
        _exit(0);
    }
    char got = 0;
    (void)!read(ready[0], &got, 1);
    KvdWriteSession writer2;
    writer2.Begin(path.c_str(), KvdWriteSession::kReplace);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    return writer2.Message();
}

// A write whose begin is all that matters.
std::string BeginOf(const std::string& path, int mode, kvddisk::Disk& disk = kvddisk::SystemDisk())
{
    KvdWriteSession writer(disk);
    writer.Begin(path.c_str(), mode);
    return writer.Message();
}

// The message of a put after one object (or none) in a fresh write.
std::string PutOf(const std::function<bool(KvdWriteSession&)>& puts)
{
    KvdWriteSession writer;
    writer.Begin(Write("puts.kvd", kFile).c_str(), KvdWriteSession::kReplace);
    puts(writer);
    std::string message = writer.Message();
    writer.Abandon();
    return message;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: guide_messages SCRATCH_FOLDER\n");
        return 2;
    }
    g_folder = std::string(argv[1]) + "/";
    mkdir(argv[1], 0755);
    const int update = KvdWriteSession::kUpdate, replace = KvdWriteSession::kReplace;

    // KivBeginWrite
    const std::string readOnly = Write("read-only.kvd", kFile);
    chmod(readOnly.c_str(), 0444);
    Say(BeginOf(readOnly, update));
    mkdir((g_folder + "folder.kvd").c_str(), 0755);
    Say(BeginOf(g_folder + "folder.kvd", update));
    Say(BeginOf("/dev/null", replace));
    Say(BeginOf(g_folder + "no such folder/wells.kvd", replace));
    Say(BeginOf(Write("damaged.kvd", "KVD 1\nobject \"Survey\n"), update));
    {
        FailingDisk held(kvddisk::Call::kOpen, kvddisk::Failure::kHeldOpen, true);
        Say(BeginOf(Write("held.kvd", kFile), replace, held));
        FailingDisk unreadable(kvddisk::Call::kRead, kvddisk::Failure::kOther);
        Say(BeginOf(Write("unreadable.kvd", kFile), replace, unreadable));
        FailingDisk unexamined(kvddisk::Call::kStat, kvddisk::Failure::kNoPermission);
        Say(BeginOf(Write("unexamined.kvd", kFile), update, unexamined));
    }
    const std::string linked = Write("linked.kvd", kFile);
    link(linked.c_str(), (g_folder + "other-name.kvd").c_str());
    Say(BeginOf(linked, update));
    Say(BeginOf(g_folder + std::string(300, 'n') + ".kvd", replace));
    {
        FailingDisk tooLong(kvddisk::Call::kStat, kvddisk::Failure::kTooLong);
        Say(BeginOf(Write("too-long.kvd", kFile), replace, tooLong));
    }
    Say(BeginWhileAnotherWrites(Write("written.kvd", kFile)));
    Say(BeginOf(Write("mode.kvd", kFile), 3));
    Say(BeginOf("", update));

    // KivPutObject, KivPutValue
    const std::string longText(1048576, 'x');
    Say(PutOf([](KvdWriteSession& w) { return w.PutObject("", "A", "1", "W", ""); }));
    Say(PutOf([](KvdWriteSession& w) { return w.PutObject("Survey", "A", "1", "W", "1987-02-30 08:00"); }));
    Say(PutOf([&](KvdWriteSession& w) { return w.PutObject("Survey", longText, "1", "W", ""); }));
    Say(PutOf([&](KvdWriteSession& w) {
        return w.PutObject("Survey", "A", "1", "W", "") && w.PutValue("G", "", 1, "N", longText, "", "");
    }));
    Say(PutOf([](KvdWriteSession& w) { return w.PutValue("Survey", "", 1, "MD", "0", "m", ""); }));
    Say(PutOf([](KvdWriteSession& w) {
        return w.PutObject("", "A", "1", "W", "") || w.PutValue("Survey", "", 1, "MD", "0", "m", "");
    }));
    Say(PutOf([](KvdWriteSession& w) {
        return w.PutObject("Survey", "A", "1", "W", "") && w.PutValue("Point", "Survey", 1, "X", "1", "", "");
    }));
    Say(PutOf([](KvdWriteSession& w) {
        return w.PutObject("Survey", "A", "1", "W", "") && w.PutValue("Survey", "", 1, "MD", "0", "m", "") &&
               w.PutValue("Point", "Surveys", 1, "X", "1", "", "");
    }));
    Say(PutOf([](KvdWriteSession& w) {
        bool ok = w.PutObject("Deep", "A", "1", "W", "") && w.PutValue("G0", "", 1, "N", "1", "", "");
        for (int level = 1; ok && level <= 32; ++level)
            ok = w.PutValue("G" + std::to_string(level), "G" + std::to_string(level - 1), 1, "N", "1", "", "");
        return ok;
    }));
    Say(PutOf([](KvdWriteSession& w) {
        return w.PutObject("Survey", "A", "1", "W", "") && w.PutValue("", "", 1, "MD", "0", "m", "");
    }));

    // KivCommitWrite
    Say(CommitOf(kvddisk::SystemDisk(), update, [](const std::string& path) {
        std::ofstream(path, std::ios::app) << "# saved by someone else\n";
    }));
    for (kvddisk::Failure kind : {kvddisk::Failure::kDiskFull, kvddisk::Failure::kNoPermission,
                                  kvddisk::Failure::kHeldOpen, kvddisk::Failure::kNoFolder,
                                  kvddisk::Failure::kOther, kvddisk::Failure::kNotDurable}) {
        FailingDisk disk(kvddisk::Call::kRename, kind);
        Say(CommitOf(disk, replace));
    }
    {
        FailingDisk full(kvddisk::Call::kFlush, kvddisk::Failure::kDiskFull);
        Say(CommitOf(full, update));
    }

    // Without a write, and without an attachment: the calls as a host makes them.
    char* message = nullptr;
    KivPutObject("Survey", "A", "1", "W", "", &message);
    Say(message);
    KivAttach(&message);
    KivPutObject("Survey", "A", "1", "W", "", &message);
    Say(message);
    KivPutValue("Survey", "", 1, "MD", "0", "m", "", &message);
    Say(message);
    KivCommitWrite(&message);
    Say(message);
    for (int more = 1; more <= 16; ++more)
        if (!KivAttach(&message))
            Say(message);
    for (int more = 0; more < 17; ++more)
        KivDetach();

    std::fprintf(stderr, "guide_messages: %d messages\n", g_printed);
    return 0;
}

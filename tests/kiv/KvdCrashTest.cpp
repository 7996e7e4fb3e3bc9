// KvdCrashTest.cpp - the machine dies at every step of a write. A disk in memory keeps
// what a real one keeps: a file's bytes as of its last flush, and the folder's names as
// of the last flush of the folder. When the crash comes, each piece written after a
// file's last flush is kept or lost at random, and of the changes to the names since the
// folder's last flush a random number of the first survive (a journal keeps them in
// order). Whatever survives, the target holds the old content or the new, never a mix.
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "KvdWriteSession.h"
#include "KvdWriter.h"

namespace {

using kvddisk::Call;
using kvddisk::Error;
using kvddisk::FileHandle;

struct Crash {};  // thrown from the disk call that the machine does not live through

class CrashDisk : public kvddisk::Disk {
public:
    // A file that is on the disk for good.
    void Put(const std::string& path, const std::string& content)
    {
        int node = NewNode();
        nodes_[node].live = nodes_[node].durable = content;
        live_[path] = durable_[path] = node;
    }
    // The machine dies in the `step`-th step (counted from 1; 0: never).
    void CrashAt(int step) { crashAt_ = step; }
    int Steps() const { return steps_; }
    bool Crashed() const { return crashed_; }

    // What `path` holds after the crash, for one roll of the dice; false: it is not there.
    bool AfterCrash(const std::string& path, std::mt19937& random, std::string& content) const
    {
        std::map<std::string, int> names = durable_;
        size_t survive = journal_.empty() ? 0 : random() % (journal_.size() + 1);
        for (size_t i = 0; i < survive; ++i) {
            const NameChange& change = journal_[i];
            if (change.node < 0)
                names.erase(change.path);
            else
                names[change.path] = change.node;
            if (!change.from.empty())
                names.erase(change.from);
        }
        auto found = names.find(path);
        if (found == names.end())
            return false;
        const Node& node = nodes_.at(found->second);
        content = node.durable;
        for (const Piece& piece : node.unflushed) {
            if (random() % 2 == 0)
                continue;  // lost
            if (content.size() < piece.offset + piece.bytes.size())
                content.resize(piece.offset + piece.bytes.size(), '\0');
            content.replace(piece.offset, piece.bytes.size(), piece.bytes);
        }
        return true;
    }

    bool GetStamp(const std::string& path, kvddisk::Stamp& stamp, Error&) override
    {
        Step();
        stamp = kvddisk::Stamp();
        auto found = live_.find(path);
        if (found == live_.end())
            return true;
        const Node& node = nodes_[found->second];
        stamp.exists = stamp.regular = true;
        stamp.size = node.live.size();
        stamp.changed = node.version;
        stamp.volume = 1;
        stamp.file = static_cast<uint64_t>(found->second);
        return true;
    }
    bool OpenToRead(const std::string& path, FileHandle& file, Error& error) override
    {
        Step();
        auto found = live_.find(path);
        if (found == live_.end())
            return Fail(error, Call::kOpen);
        file.file = found->second;
        return true;
    }
    bool ReadAt(const FileHandle& file, uint64_t offset, char* data, size_t size, size_t& got, Error&) override
    {
        Step();
        const std::string& bytes = nodes_[static_cast<int>(file.file)].live;
        got = offset >= bytes.size() ? 0 : std::min<size_t>(size, bytes.size() - static_cast<size_t>(offset));
        bytes.copy(data, got, static_cast<size_t>(offset));
        return true;
    }
    bool Close(FileHandle& file, Error&) override
    {
        file = FileHandle();  // changes nothing on the disk: no step (and destructors call it)
        return true;
    }
    bool CreateTemporary(const std::string& path, FileHandle& file, Error& error) override
    {
        Step();
        if (live_.count(path) != 0) {
            Fail(error, Call::kCreate);
            error.kind = kvddisk::Failure::kExists;
            return false;
        }
        int node = NewNode();
        live_[path] = node;
        journal_.push_back({path, node, ""});
        file.file = node;
        return true;
    }
    bool Append(const FileHandle& file, const char* data, size_t size, Error&) override
    {
        Step();
        Node& node = nodes_[static_cast<int>(file.file)];
        node.unflushed.push_back({node.live.size(), std::string(data, size)});
        node.live.append(data, size);
        ++node.version;
        return true;
    }
    bool Flush(const FileHandle& file, Error&) override
    {
        Step();
        Node& node = nodes_[static_cast<int>(file.file)];
        node.durable = node.live;
        node.unflushed.clear();
        return true;
    }
    bool PutInPlace(FileHandle& file, const std::string& path, const std::string& target, Error&) override
    {
        Step();  // the rename
        int node = static_cast<int>(file.file);
        live_.erase(path);
        live_[target] = node;
        journal_.push_back({target, node, path});
        Step();  // the flush of the folder
        durable_ = live_;
        journal_.clear();
        file = FileHandle();
        return true;
    }
    void Discard(FileHandle& file, const std::string& path) override
    {
        if (crashed_)
            return;
        live_.erase(path);
        journal_.push_back({path, -1, ""});
        file = FileHandle();
    }
    bool ListBeside(const std::string& target, std::vector<std::string>& suffixes, Error&) override
    {
        Step();
        suffixes.clear();
        for (const auto& [name, node] : live_)
            if (name.compare(0, target.size() + 2, target + ".~") == 0)
                suffixes.push_back(name.substr(target.size()));
        return true;
    }
    bool RemoveLeftover(const std::string& path, unsigned long, Error&) override
    {
        Step();
        live_.erase(path);
        journal_.push_back({path, -1, ""});
        return true;
    }
    unsigned long ProcessId() override { return 4242; }

private:
    struct Piece {
        size_t offset;
        std::string bytes;
    };
    struct Node {
        std::string live;     // as the running system sees it
        std::string durable;  // as of the last flush
        std::vector<Piece> unflushed;
        int64_t version = 1;
    };
    struct NameChange {
        std::string path;
        int node;          // -1: the name was removed
        std::string from;  // a rename: the name it had
    };

    int NewNode()
    {
        nodes_[nextNode_] = Node();
        return nextNode_++;
    }
    void Step()
    {
        if (crashed_)
            throw Crash();
        if (++steps_ == crashAt_) {
            crashed_ = true;
            throw Crash();
        }
    }
    static bool Fail(Error& error, Call call)
    {
        error.kind = kvddisk::Failure::kOther;
        error.call = call;
        error.detail = "no such file";
        return false;
    }

    std::map<int, Node> nodes_;
    int nextNode_ = 1;
    std::map<std::string, int> live_;
    std::map<std::string, int> durable_;  // as of the last flush of the folder
    std::vector<NameChange> journal_;     // changes of names since then
    int crashAt_ = 0;
    int steps_ = 0;
    bool crashed_ = false;
};

const std::string kPath = "/disk/target.kvd";
const std::string kOld =
    "KVD 1\r\n# notes\r\nobject A amy 1 W \"2001-01-01 10:00\"\r\nvalue G \"\" 1 a 1\r\n"
    "object B bob 1 W \"2001-01-02 10:00\"\r\nvalue G \"\" 1 b 2\r\nend\r\n";

// Returns true when the write ran to its end; a Crash escapes when the machine died.
bool Write(kvddisk::Disk& disk, int mode)
{
    KvdWriteSession writer(disk);
    return writer.Begin(kPath.c_str(), mode) && writer.PutObject("B", "new", "2", "W", "2002-02-02 02:02") &&
           writer.PutValue("G", "", 1, "b", std::string(3000, 'b'), "", "") &&
           writer.PutObject("C", "new", "1", "W", "2002-02-02 02:02") && writer.Commit();
}

TEST(KvdCrash, AtEveryStepTheTargetIsTheOldFileOrTheNewOne)
{
    for (int mode : {KvdWriteSession::kUpdate, KvdWriteSession::kReplace}) {
        CrashDisk whole;
        whole.Put(kPath, kOld);
        ASSERT_TRUE(Write(whole, mode));
        std::mt19937 unused;
        std::string expected;
        ASSERT_TRUE(whole.AfterCrash(kPath, unused, expected));
        ASSERT_NE(expected, kOld);
        const int steps = whole.Steps();
        ASSERT_GT(steps, 8);

        int sawOld = 0, sawNew = 0;
        for (int step = 1; step <= steps; ++step) {
            CrashDisk disk;
            disk.Put(kPath, kOld);
            disk.CrashAt(step);
            try {
                Write(disk, mode);
            } catch (const Crash&) {
            }
            ASSERT_TRUE(disk.Crashed()) << "mode " << mode << ", step " << step;
            for (unsigned roll = 0; roll < 40; ++roll) {
                std::mt19937 random(step * 1000 + roll);
                std::string content;
                ASSERT_TRUE(disk.AfterCrash(kPath, random, content))
                    << "mode " << mode << ", crash at step " << step << " of " << steps << ": the target is gone";
                EXPECT_TRUE(content == kOld || content == expected)
                    << "mode " << mode << ", crash at step " << step << " of " << steps << ", roll " << roll
                    << ": the target holds neither the old file nor the new one:\n" << content;
                (content == kOld ? sawOld : sawNew)++;
            }
        }
        EXPECT_GT(sawOld, 0) << mode;
        EXPECT_GT(sawNew, 0) << mode;
    }
}

// The crash disk itself: a file written and not flushed may lose what was written.
TEST(KvdCrash, TheCrashDiskLosesWhatWasNotFlushed)
{
    CrashDisk disk;
    disk.Put(kPath, "old");
    FileHandle file;
    Error error;
    ASSERT_TRUE(disk.CreateTemporary(kPath + ".~1-1.tmp", file, error));
    ASSERT_TRUE(disk.Append(file, "new", 3, error));
    ASSERT_TRUE(disk.PutInPlace(file, kPath + ".~1-1.tmp", kPath, error));  // no flush before it
    bool lost = false, kept = false;
    for (unsigned roll = 0; roll < 40; ++roll) {
        std::mt19937 random(roll);
        std::string content;
        ASSERT_TRUE(disk.AfterCrash(kPath, random, content));
        lost = lost || content.empty();
        kept = kept || content == "new";
    }
    EXPECT_TRUE(lost && kept) << "a writer that renames before it flushes would pass unseen";
}

}  // namespace

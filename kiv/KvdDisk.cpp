// KvdDisk.cpp - what every platform shares above its Disk: the temporary file's name
// and buffering, and the removal of what dead writers left.
#include "KvdDisk.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace kvddisk {
namespace {

// The temporary files that this process's writers hold, by path: a file of this
// process's id that is not among them was left by an earlier process with that id.
std::mutex g_heldLock;
std::set<std::string>& Held()
{
    static std::set<std::string> held;
    return held;
}

void Hold(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_heldLock);
    Held().insert(path);
}

void LetGo(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_heldLock);
    Held().erase(path);
}

bool IsHeld(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_heldLock);
    return Held().count(path) != 0;
}

// A name taken by a leftover is passed over; so many in a row mean something else is wrong.
constexpr int kNameAttempts = 1000;

}  // namespace

const char* CallName(Call call)
{
    switch (call) {
    case Call::kStat: return "stat";
    case Call::kOpen: return "open";
    case Call::kRead: return "read";
    case Call::kClose: return "close";
    case Call::kCreate: return "create";
    case Call::kWrite: return "write";
    case Call::kFlush: return "flush";
    case Call::kRename: return "rename";
    case Call::kList: return "list";
    case Call::kRemove: return "remove";
    }
    return "?";
}

bool IsTemporarySuffix(const std::string& suffix, unsigned long& process)
{
    // ".~" digits "-" digits ".tmp"
    if (suffix.size() < 9 || suffix.compare(0, 2, ".~") != 0 || suffix.compare(suffix.size() - 4, 4, ".tmp") != 0)
        return false;
    size_t dash = suffix.find('-', 2);
    if (dash == std::string::npos || dash == 2 || dash - 2 > 10 || dash + 5 > suffix.size())
        return false;
    unsigned long long id = 0;
    for (size_t i = 2; i < dash; ++i) {
        if (suffix[i] < '0' || suffix[i] > '9')
            return false;
        id = id * 10 + static_cast<unsigned>(suffix[i] - '0');
    }
    for (size_t i = dash + 1; i < suffix.size() - 4; ++i)
        if (suffix[i] < '0' || suffix[i] > '9')
            return false;
    if (id > 0xFFFFFFFFull)
        return false;
    process = static_cast<unsigned long>(id);
    return true;
}

void RemoveLeftoversBeside(Disk& disk, const std::string& target)
{
    std::vector<std::string> suffixes;
    Error error;
    if (!disk.ListBeside(target, suffixes, error))
        return;
    for (const std::string& suffix : suffixes) {
        unsigned long process = 0;
        std::string path = target + suffix;
        if (IsTemporarySuffix(suffix, process) && !IsHeld(path))
            disk.RemoveLeftover(path, process, error);
    }
}

NewFile::NewFile(Disk& disk) : disk_(disk) {}

NewFile::~NewFile() { Discard(); }

bool NewFile::CreateBeside(const std::string& target, Error& error)
{
    static std::atomic<unsigned> counter{0};
    Discard();
    const std::string stem = target + ".~" + std::to_string(disk_.ProcessId()) + "-";
    for (int attempt = 0;; ++attempt) {
        std::string path = stem + std::to_string(++counter) + ".tmp";
        Hold(path);  // before it exists: no sweep of this process takes it meanwhile
        if (disk_.CreateTemporary(path, file_, error)) {
            path_ = path;
            break;
        }
        LetGo(path);
        // A leftover of an earlier process with this id has the name: take the next one.
        if (error.kind != Failure::kExists || attempt + 1 == kNameAttempts)
            return false;
    }
    if (!buffer_)
        buffer_.reset(new char[kBuffer]);
    used_ = 0;
    written_ = started_ = 0;
    return true;
}

bool NewFile::Drain(Error& error)
{
    if (used_ == 0)
        return true;
    // Start the disk on what is written so far, without waiting: the final flush
    // then finds most of a big file on the disk already, instead of all of it in
    // memory, and writing the rest overlaps with making it.
    if (written_ - started_ >= kStartEvery) {
        disk_.StartDisk(file_, started_, written_ - started_);
        started_ = written_;
    }
    if (!disk_.Append(file_, buffer_.get(), used_, error))
        return false;
    written_ += used_;
    used_ = 0;
    return true;
}

bool NewFile::WriteSlow(const char* data, size_t size, Error& error)
{
    while (size > 0) {
        if (used_ == kBuffer && !Drain(error))
            return false;
        size_t take = kBuffer - used_ < size ? kBuffer - used_ : size;
        std::memcpy(buffer_.get() + used_, data, take);
        used_ += take;
        data += take;
        size -= take;
    }
    return true;
}

bool NewFile::ReadBack(uint64_t offset, char* data, size_t size, Error& error)
{
    while (size > 0) {
        size_t got = 0;
        if (!disk_.ReadAt(file_, offset, data, size, got, error))
            return false;
        if (got == 0) {
            error.kind = Failure::kOther;
            error.call = Call::kRead;
            error.detail = "the file ends early";
            return false;
        }
        offset += got;
        data += got;
        size -= got;
    }
    return true;
}

bool NewFile::Finish(Error& error) { return Drain(error) && disk_.Flush(file_, error); }

bool NewFile::PutInPlace(const std::string& target, Error& error)
{
    if (!disk_.PutInPlace(file_, path_, target, error))
        return false;
    Forget();
    return true;
}

void NewFile::Forget()
{
    if (!path_.empty())
        LetGo(path_);
    file_ = FileHandle();
    path_.clear();
    used_ = 0;
}

void NewFile::Discard()
{
    if (file_.IsOpen())
        disk_.Discard(file_, path_);
    Forget();
}

bool OpenToReadWaiting(Disk& disk, const std::string& path, FileHandle& file, Error& error)
{
    // The moment lasts a flush and a close; a program that holds the file for longer
    // is told after a tenth of a second.
    for (int tries = 1;; ++tries) {
        if (disk.OpenToRead(path, file, error))
            return true;
        if (error.kind != Failure::kHeldOpen || tries == 50)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace kvddisk

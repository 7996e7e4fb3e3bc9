// KvdDisk.h - the exchange library's one door to the disk. Every file access of the
// reader and the writer goes through a Disk: the system's own (KvdDiskPosix.cpp,
// KvdDiskWindows.cpp) in the library, others in the tests, which fail a chosen call
// or lose what a crash would lose.
//
// Above the Disk, and the same on every platform (KvdDisk.cpp): NewFile, a temporary
// file beside a target that is written through a large buffer and then either takes
// the target's place in one step or leaves nothing; and the removal of temporary files
// that writers which died left beside a target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kvddisk {

// What a failed call ran into, as far as a message to a person needs it.
enum class Failure { kNone, kDiskFull, kNoPermission, kHeldOpen, kNoFolder, kExists, kOther };

// The calls of a Disk, by what they do.
enum class Call { kStat, kOpen, kRead, kClose, kCreate, kWrite, kFlush, kRename, kList, kRemove };
const char* CallName(Call call);  // "stat", "open", ... "remove"

struct Error {
    Failure kind = Failure::kNone;
    Call call = Call::kStat;
    std::string detail;  // the system's own words, for the message
};

// What tells whether a file changed: existence, kind, size, time of the last change
// (as fine as the system keeps it), the read-only state and the file's identity (its
// volume and its number there: another file renamed into its place has another).
struct Stamp {
    bool exists = false;
    bool directory = false;
    bool regular = false;
    bool readOnly = false;
    uint64_t size = 0;
    int64_t changed = 0;
    uint64_t volume = 0;
    uint64_t file = 0;
    bool SameFile(const Stamp& o) const
    {
        return exists == o.exists && size == o.size && changed == o.changed && volume == o.volume &&
               file == o.file && regular == o.regular && readOnly == o.readOnly;
    }
};

// A file that a Disk opened, in the terms of that Disk. `folder` is the folder that a
// temporary file holds while it lives (-1: none).
struct FileHandle {
    intptr_t file = -1;
    intptr_t folder = -1;
    bool IsOpen() const { return file != -1; }
};

class Disk {
public:
    virtual ~Disk() = default;

    // stat: false when the path cannot be examined for another reason than naming nothing.
    virtual bool GetStamp(const std::string& path, Stamp& stamp, Error& error) = 0;
    // open: an existing file, to read it.
    virtual bool OpenToRead(const std::string& path, FileHandle& file, Error& error) = 0;
    // read: up to `size` bytes from `offset`; `got` is 0 at the end of the file.
    virtual bool ReadAt(const FileHandle& file, uint64_t offset, char* data, size_t size, size_t& got,
                        Error& error) = 0;
    // The size and time of the last change of a file opened to read it, where only the
    // handle can tell them: false where the system keeps others from changing a file
    // that is read (Windows' sharing), so that nothing needs to be asked.
    virtual bool StampOfOpen(const FileHandle& /*file*/, Stamp& /*stamp*/) { return false; }
    // close: a file opened to read it. (Nothing read can be lost by a close that fails.)
    virtual bool Close(FileHandle& file, Error& error) = 0;

    // create: a new file at `path`, never an existing one (kExists), to write and to read
    // back. Until it is put in place, its folder can be neither removed nor renamed where
    // the system can hold a folder, and it goes when the process ends where the system
    // can tie a file's life to its handle.
    virtual bool CreateTemporary(const std::string& path, FileHandle& file, Error& error) = 0;
    // write: all of `size` bytes, after what was written before.
    virtual bool Append(const FileHandle& file, const char* data, size_t size, Error& error) = 0;
    // Asks the disk to start on `size` bytes from `from`, without waiting; not a step that
    // can fail, and a no-op where the platform has no such call.
    virtual void StartDisk(const FileHandle& /*file*/, uint64_t /*from*/, uint64_t /*size*/) {}
    // flush: everything written is on the disk.
    virtual bool Flush(const FileHandle& file, Error& error) = 0;
    // rename: the temporary file at `path` takes the place of `target` in one step (the old
    // target, if any, is gone at the same moment), that step is made durable, and the file
    // is closed. The new file keeps the old one's permissions. False: nothing changed, and
    // the file is still open, to be discarded.
    virtual bool PutInPlace(FileHandle& file, const std::string& path, const std::string& target,
                            Error& error) = 0;
    // Closes and removes a temporary file, through its handle (or its folder's) where the
    // system can, so that it goes even when its path no longer names it.
    virtual void Discard(FileHandle& file, const std::string& path) = 0;

    // list: what follows the file name of `target` in the names of the files beside it
    // that begin with that name and ".~" (".~12-3.tmp" for "wells.kvd.~12-3.tmp").
    virtual bool ListBeside(const std::string& target, std::vector<std::string>& suffixes, Error& error) = 0;
    // remove: a temporary file that the writer of process `process` made. It is removed
    // when no live writer can be using it; true when it is gone.
    virtual bool RemoveLeftover(const std::string& path, unsigned long process, Error& error) = 0;
    virtual unsigned long ProcessId() = 0;

    // The lock between the writers of every process (KvdLock.cpp): byte ranges far
    // beyond any data of a file, so that no read of the file meets them. A Disk without
    // locks (the default) leaves writers to the change check alone.
    // lock-open: the lock file `path`; `create`: made when missing. kHeldOpen: a writer
    // holds it so that it cannot be opened now (try again).
    virtual bool OpenLock(const std::string& /*path*/, bool /*create*/, FileHandle& /*lock*/, Error& error)
    {
        error = Error();
        return false;
    }
    // One try, never waiting: the range `slot` (0: the writer's, 1: the waiters'),
    // exclusive or shared.
    enum class Locked { kTaken, kBusy, kUnsupported };
    virtual Locked TryLock(const FileHandle& /*lock*/, int /*slot*/, bool /*exclusive*/) { return Locked::kUnsupported; }
    virtual void Unlock(const FileHandle& /*lock*/, int /*slot*/) {}
    // Does `path` name the file that `lock` has open (volume and file number), and is
    // that file still in the folder?
    virtual bool StillNames(const FileHandle& /*lock*/, const std::string& /*path*/) { return false; }
    // Closes the lock's file, which lets go of its ranges; `remove`: the file at `path`
    // goes too, before its ranges are let go where the system can remove an open file,
    // else when no other writer has it open.
    virtual void CloseLock(FileHandle& lock, const std::string& /*path*/, bool /*remove*/) { lock = FileHandle(); }
};

// The system's disk.
Disk& SystemDisk();

// The temporary file of a write: made beside its target under a name that no other file
// has, written through a large buffer, read back where update mode needs it, and finally
// put in the target's place or discarded. A NewFile that is destroyed discards its file.
class NewFile {
public:
    explicit NewFile(Disk& disk);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Makes "<target>.~<process>-<n>.tmp", the first n that names no file.
    bool CreateBeside(const std::string& target, Error& error);
    bool Write(const char* data, size_t size, Error& error)
    {
        if (size <= kBuffer - used_) {
            std::memcpy(buffer_.get() + used_, data, size);
            used_ += size;
            return true;
        }
        return WriteSlow(data, size, error);
    }
    bool Write(const std::string& text, Error& error) { return Write(text.data(), text.size(), error); }
    // Room for `size` bytes in the buffer, to be written there and then counted with
    // Wrote(size). nullptr with `error` unset: more than the buffer holds (use Write);
    // nullptr with `error` set: handing the buffer to the disk failed (as after any
    // failure here, the file is to be discarded).
    char* Room(size_t size, Error& error)
    {
        if (size <= kBuffer - used_)
            return buffer_.get() + used_;
        if (size > kBuffer || !Drain(error))
            return nullptr;
        return buffer_.get();
    }
    void Wrote(size_t size) { used_ += size; }
    // Hands what is buffered to the disk. After a failure (of this or any call that
    // writes) part of it may be on the disk: the file is to be discarded.
    bool Drain(Error& error);
    // Reads back `size` bytes written from `offset` (after a Drain).
    bool ReadBack(uint64_t offset, char* data, size_t size, Error& error);
    // Drains and flushes: all of the file is on the disk.
    bool Finish(Error& error);
    // Takes the target's place in one step (after Finish). Then nothing is left to discard.
    bool PutInPlace(const std::string& target, Error& error);
    // Closes and removes the file; harmless when there is none.
    void Discard();

    const std::string& Path() const { return path_; }
    bool IsOpen() const { return file_.IsOpen(); }

private:
    static constexpr size_t kBuffer = size_t(1) << 20;
    static constexpr uint64_t kStartEvery = uint64_t(8) << 20;  // bytes between starts of the disk
    bool WriteSlow(const char* data, size_t size, Error& error);
    void Forget();
    Disk& disk_;
    FileHandle file_;
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    uint64_t written_ = 0;  // bytes handed to the disk
    uint64_t started_ = 0;  // of them, bytes the disk was asked to start on
};

// After a successful write of `target`: removes the temporary files beside it that
// writers which are gone left behind (killed, or ended by a power cut), so that they do
// not pile up. A file that a live writer uses, in this process or another, stays; so
// does everything when the folder cannot be listed.
void RemoveLeftoversBeside(Disk& disk, const std::string& target);

// The lock that a write holds from its begin, when it reads and checks the target, until
// its new file took the target's place (or it was abandoned): writers of every process
// take turns, so that none replaces the file between another's check and rename.
//
// The lock is a byte range of "<target>.~lock", made for it beside the target and
// removed by the last writer that lets go of it. Not of the target itself: a commit
// puts a new file in the target's place, which Windows refuses while the target is
// open anywhere, and a lock on the old file would not bind the next writer. Since a
// writer may remove the lock file while another has it open, a lock taken counts only
// when the path still names the file locked; else it is opened and taken again.
//
// The writers of one process share its lock of a file: the lock is between processes,
// and within one the commit's last step goes one at a time (KvdWriteSession.cpp).
//
// A writer that meets another waits up to `wait`, trying every 0.2 ms, after 50 ms every
// millisecond. While it
// waits it holds the waiters' range (shared), and a writer that finds the lock free
// while that range is held goes behind the waiters: a program that commits in a loop
// does not shut the others out.
class WriteLock {
public:
    explicit WriteLock(Disk& disk) : disk_(disk) {}
    ~WriteLock() { Release(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    enum class Result { kHeld, kBusy, kNone };
    // kBusy: another writer held it for all of `wait`. kNone: no lock can be had for
    // this path (not a file, no folder, no locks on this disk): the change check alone
    // guards the write.
    Result Take(const std::string& target, unsigned waitMilliseconds);
    void Release();
    bool Held() const { return !path_.empty(); }
    static std::string LockPath(const std::string& target);

private:
    bool OthersWait(const FileHandle& lock);
    Disk& disk_;
    std::string path_;  // the lock file, while held
};

// open, as Disk::OpenToRead, but a file held open (kHeldOpen) is tried again for a short
// while: a commit that has just put its new file in a target's place holds it for a
// moment without sharing, until it closes it, and a begin or an open in that moment
// (of another thread, or right after the process's own commit) is not to be refused.
bool OpenToReadWaiting(Disk& disk, const std::string& path, FileHandle& file, Error& error);

// "<target>.~<process>-<n>.tmp" split: true for such a suffix, with the process id.
bool IsTemporarySuffix(const std::string& suffix, unsigned long& process);

}  // namespace kvddisk

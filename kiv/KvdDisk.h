// KvdDisk.h - the few file operations that a safe write needs: a file's stamp, a new
// file written and flushed to the disk, and one step that puts it in another's place.
// KvdDisk.cpp holds what every platform shares; the system calls under it are in one
// file per platform (KvdDiskPosix.cpp, KvdDiskWindows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace kvddisk {

// What a failed operation ran into, as far as a message to a person needs it.
enum class Failure { kNone, kDiskFull, kNoPermission, kHeldOpen, kNoFolder, kOther };

struct Error {
    Failure kind = Failure::kNone;
    std::string detail;  // the system's own words, for the message
};

// What tells whether a file changed: existence, kind, size, time of the last
// change (as fine as the system keeps it) and, where the system has one, its
// identity (another file renamed into its place has another).
struct Stamp {
    bool exists = false;
    bool directory = false;
    bool regular = false;
    bool readOnly = false;
    uint64_t size = 0;
    int64_t changed = 0;
    uint64_t identity = 0;
    bool SameFile(const Stamp& o) const
    {
        return exists == o.exists && size == o.size && changed == o.changed && identity == o.identity &&
               regular == o.regular && readOnly == o.readOnly;
    }
};

// False when the path cannot be examined for another reason than not existing.
bool GetStamp(const std::string& path, Stamp& stamp, Error& error);

// A name beside `target` (same folder) that no other writer uses: the process id
// and a counter, ending in ".tmp".
std::string TemporaryPathBeside(const std::string& target);

// A file created new (never an existing one) and written through a large buffer.
class NewFile {
public:
    NewFile();
    ~NewFile();  // closes and removes a file that was not finished
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    bool Create(const std::string& path, Error& error);
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
    // Writes what is buffered, flushes it to the disk and closes the file; it stays.
    bool Finish(Error& error);
    // Closes and removes the file (also after Finish); harmless when there is none.
    void Remove();
    // After the file took another's place: nothing of it is left to remove.
    void Forget() { path_.clear(); }
    const std::string& Path() const { return path_; }
    bool IsOpen() const { return fd_ >= 0; }

private:
    static constexpr size_t kBuffer = size_t(1) << 20;
    static constexpr uint64_t kStartEvery = uint64_t(8) << 20;  // bytes between starts of the disk
    bool WriteSlow(const char* data, size_t size, Error& error);
    bool Drain(Error& error);
    int fd_ = -1;
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    uint64_t written_ = 0;  // bytes handed to the system
    uint64_t started_ = 0;  // of them, bytes the disk was asked to write
};

// Puts `from` in the place of `to` in one step (the old `to`, if any, is gone at
// the same moment) and makes that step durable.
bool ReplaceWith(const std::string& from, const std::string& to, Error& error);

void RemoveFile(const std::string& path);

}  // namespace kvddisk

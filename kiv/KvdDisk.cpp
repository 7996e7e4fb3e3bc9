// KvdDisk.cpp - the part of the safe write's file operations that is the same on
// every platform: the temporary name and NewFile's buffering over the system calls
// of KvdDiskPosix.cpp or KvdDiskWindows.cpp.
#include "KvdDisk.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "KvdDiskSystem.h"

namespace kvddisk {

std::string TemporaryPathBeside(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    return target + ".~" + std::to_string(systemcalls::ProcessId()) + "-" + std::to_string(++counter) + ".tmp";
}

NewFile::NewFile() = default;

NewFile::~NewFile() { Remove(); }

bool NewFile::Create(const std::string& path, Error& error)
{
    Remove();
    int fd = systemcalls::CreateNew(path, error);
    if (fd < 0)
        return false;
    fd_ = fd;
    path_ = path;
    if (!buffer_)
        buffer_.reset(new char[kBuffer]);
    used_ = 0;
    written_ = started_ = 0;
    return true;
}

bool NewFile::Drain(Error& error)
{
    // Start the disk on what is written so far, without waiting: the final flush
    // then finds most of a big file on the disk already, instead of all of it in
    // memory, and writing the rest overlaps with making it.
    if (written_ - started_ >= kStartEvery) {
        systemcalls::StartDisk(fd_, started_, written_ - started_);
        started_ = written_;
    }
    written_ += used_;
    if (!systemcalls::WriteAll(fd_, buffer_.get(), used_, error))
        return false;
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

bool NewFile::Finish(Error& error)
{
    if (fd_ < 0) {
        error.kind = Failure::kOther;
        error.detail = std::strerror(EBADF);
        return false;
    }
    if (!Drain(error) || !systemcalls::Flush(fd_, error))
        return false;
    int fd = fd_;
    fd_ = -1;
    return systemcalls::Close(fd, error);
}

void NewFile::Remove()
{
    if (fd_ >= 0) {
        Error ignored;
        systemcalls::Close(fd_, ignored);
    }
    fd_ = -1;
    used_ = 0;
    if (!path_.empty())
        RemoveFile(path_);
    path_.clear();
}

}  // namespace kvddisk

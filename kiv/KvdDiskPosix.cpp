// KvdDiskPosix.cpp - the safe write's file operations on POSIX systems: open(2)
// with O_EXCL, fsync(2), rename(2) and an fsync of the folder for the rename.
#include "KvdDisk.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvddisk {
namespace {

bool Fail(Error& error, int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT: error.kind = Failure::kDiskFull; break;
    case EACCES:
    case EPERM:
    case EROFS: error.kind = Failure::kNoPermission; break;
    case ENOENT:
    case ENOTDIR: error.kind = Failure::kNoFolder; break;
    case ETXTBSY: error.kind = Failure::kHeldOpen; break;
    default: error.kind = Failure::kOther; break;
    }
    error.detail = std::strerror(code);
    return false;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool GetStamp(const std::string& path, Stamp& stamp, Error& error)
{
    stamp = Stamp();
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        return Fail(error, errno);
    }
    stamp.exists = true;
    stamp.directory = S_ISDIR(st.st_mode);
    stamp.regular = S_ISREG(st.st_mode);
    // No write permission for anyone is read-only, even for the super-user; else ask.
    stamp.readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                     (access(path.c_str(), W_OK) != 0 && errno == EACCES);
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.changed = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.identity = static_cast<uint64_t>(st.st_ino) ^ (static_cast<uint64_t>(st.st_dev) << 40);
    return true;
}

std::string TemporaryPathBeside(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    return target + ".~" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
}

NewFile::NewFile() = default;

NewFile::~NewFile() { Remove(); }

bool NewFile::Create(const std::string& path, Error& error)
{
    Remove();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return Fail(error, errno);
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
#ifdef SYNC_FILE_RANGE_WRITE
    // Start the disk on what is written so far, without waiting: the final flush
    // then finds most of a big file on the disk already, instead of all of it in
    // memory, and writing the rest overlaps with making it.
    if (written_ - started_ >= kStartEvery) {
        sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                        SYNC_FILE_RANGE_WRITE);
        started_ = written_;
    }
#endif
    written_ += used_;
    const char* p = buffer_.get();
    size_t left = used_;
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail(error, errno);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
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
    if (fd_ < 0)
        return Fail(error, EBADF);
    if (!Drain(error))
        return false;
    if (fsync(fd_) != 0)
        return Fail(error, errno);
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        return Fail(error, errno);
    return true;
}

void NewFile::Remove()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    used_ = 0;
    if (!path_.empty())
        unlink(path_.c_str());
    path_.clear();
}

bool ReplaceWith(const std::string& from, const std::string& to, Error& error)
{
    // The new file keeps the permissions of the one it replaces.
    struct stat st;
    if (stat(to.c_str(), &st) == 0)
        chmod(from.c_str(), st.st_mode & 07777);
    if (rename(from.c_str(), to.c_str()) != 0)
        return Fail(error, errno);
    int folder = open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);  // the rename itself reaches the disk
        close(folder);
    }
    return true;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

}  // namespace kvddisk

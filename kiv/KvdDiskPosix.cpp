// KvdDiskPosix.cpp - the safe write's system calls on POSIX systems: open(2)
// with O_EXCL, fsync(2), rename(2) and an fsync of the folder for the rename.
#include "KvdDisk.h"
#include "KvdDiskSystem.h"

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

namespace systemcalls {

int CreateNew(const std::string& path, Error& error)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        Fail(error, errno);
    return fd;
}

bool WriteAll(int fd, const char* data, size_t size, Error& error)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail(error, errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void StartDisk(int fd, uint64_t from, uint64_t size)
{
#ifdef SYNC_FILE_RANGE_WRITE
    sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#else
    (void)fd, (void)from, (void)size;
#endif
}

bool Flush(int fd, Error& error) { return fsync(fd) == 0 || Fail(error, errno); }

bool Close(int fd, Error& error) { return close(fd) == 0 || Fail(error, errno); }

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace systemcalls

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

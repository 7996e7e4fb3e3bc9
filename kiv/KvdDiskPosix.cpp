// KvdDiskPosix.cpp - the system's disk on POSIX systems: pread(2), open(2) with
// O_EXCL in a folder held open, fsync(2), renameat(2) and an fsync of the folder for
// the rename; a temporary file is removed through its folder (unlinkat), so that a
// folder renamed meanwhile keeps nothing of it. A temporary file is locked (flock) while
// its writer lives: a leftover that can be locked has none. Nothing is opened that could
// block the open: files to read are opened with O_NONBLOCK and must be regular files,
// a leftover must be one before it is opened.
#include "KvdDisk.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvddisk {
namespace {

bool Fail(Error& error, Call call, int code)
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
    case EEXIST: error.kind = Failure::kExists; break;
    case ENAMETOOLONG:
        error.kind = Failure::kTooLong;
        break;
    default: error.kind = Failure::kOther; break;
    }
    error.call = call;
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

std::string NameOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Fd(intptr_t handle) { return static_cast<int>(handle); }

// The text of the symbolic link at `path`, or "" when it is none.
std::string LinkText(const std::string& path)
{
    std::string text(256, '\0');
    for (;;) {
        ssize_t n = readlink(path.c_str(), &text[0], text.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < text.size()) {
            text.resize(static_cast<size_t>(n));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// The system's own limit on the number of links followed in one path.
constexpr int kMostLinks = 40;

class PosixDisk : public Disk {
public:
    bool GetStamp(const std::string& path, Stamp& stamp, Error& error) override
    {
        stamp = Stamp();
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return true;  // names nothing
            return Fail(error, Call::kStat, errno);
        }
        stamp.exists = true;
        stamp.directory = S_ISDIR(st.st_mode);
        stamp.regular = S_ISREG(st.st_mode);
        // No write permission for anyone is read-only, even for the super-user; else ask.
        stamp.readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                         (access(path.c_str(), W_OK) != 0 && errno == EACCES);
        stamp.size = static_cast<uint64_t>(st.st_size);
        stamp.changed = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        stamp.volume = static_cast<uint64_t>(st.st_dev);
        stamp.file = static_cast<uint64_t>(st.st_ino);
        stamp.links = static_cast<uint32_t>(st.st_nlink);
        return true;
    }

    std::string Resolve(const std::string& path) override
    {
        // Link by link, as the system follows them, so that a link to a file that is not
        // there yet names where that file is to be made.
        std::string at = path;
        for (int links = 0; links < kMostLinks; ++links) {
            std::string text = LinkText(at);
            if (text.empty())
                return at;
            at = text[0] == '/' ? text : FolderOf(at) + "/" + text;
        }
        return path;  // a loop: the steps after this one say so
    }

    NameRoom RoomOfName(const std::string& path) override
    {
        NameRoom room;
        size_t slash = path.find_last_of('/');
        room.at = slash == std::string::npos ? 0 : slash + 1;
        room.length = path.size() - room.at;
        long limit = pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
        room.limit = limit > 0 ? static_cast<size_t>(limit) : 255;
        return room;
    }

    bool OpenToRead(const std::string& path, FileHandle& file, Error& error) override
    {
        // O_NONBLOCK: a FIFO put in the file's place after it was examined would wait for a writer.
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return Fail(error, Call::kOpen, errno);
        struct stat st;
        if (fstat(fd, &st) != 0) {
            int code = errno;
            close(fd);
            return Fail(error, Call::kOpen, code);
        }
        if (!S_ISREG(st.st_mode)) {
            close(fd);
            error.kind = Failure::kNotAFile;
            error.call = Call::kOpen;
            error.detail = "not a regular file";
            return false;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        file.file = fd;
        return true;
    }

    // POSIX has no sharing that keeps another program from writing a file being read.
    bool StampOfOpen(const FileHandle& file, Stamp& stamp) override
    {
        struct stat st;
        if (fstat(Fd(file.file), &st) != 0)
            return false;
        stamp.exists = true;
        stamp.size = static_cast<uint64_t>(st.st_size);
        stamp.changed = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return true;
    }

    bool ReadAt(const FileHandle& file, uint64_t offset, char* data, size_t size, size_t& got,
                Error& error) override
    {
        for (;;) {
            ssize_t n = pread(Fd(file.file), data, size, static_cast<off_t>(offset));
            if (n >= 0) {
                got = static_cast<size_t>(n);
                return true;
            }
            if (errno != EINTR)
                return Fail(error, Call::kRead, errno);
        }
    }

    bool Close(FileHandle& file, Error& error) override
    {
        int fd = Fd(file.file);
        file = FileHandle();
        return close(fd) == 0 || Fail(error, Call::kClose, errno);
    }

    bool CreateTemporary(const std::string& path, FileHandle& file, Error& error) override
    {
        int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0)
            return Fail(error, Call::kCreate, errno);
        int fd = openat(folder, NameOf(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            int code = errno;
            close(folder);
            return Fail(error, Call::kCreate, code);
        }
        flock(fd, LOCK_EX | LOCK_NB);  // where locks are missing, the process id still tells
        file.file = fd;
        file.folder = folder;
        return true;
    }

    bool Append(const FileHandle& file, const char* data, size_t size, Error& error) override
    {
        while (size > 0) {
            ssize_t n = ::write(Fd(file.file), data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return Fail(error, Call::kWrite, errno);
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    void StartDisk(const FileHandle& file, uint64_t from, uint64_t size) override
    {
#ifdef SYNC_FILE_RANGE_WRITE
        sync_file_range(Fd(file.file), static_cast<off_t>(from), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#else
        (void)file, (void)from, (void)size;
#endif
    }

    bool Flush(const FileHandle& file, Error& error) override
    {
        return fsync(Fd(file.file)) == 0 || Fail(error, Call::kFlush, errno);
    }

    bool PutInPlace(FileHandle& file, const std::string& path, const std::string& target, Error& error) override
    {
        // The new file keeps the owner (where this user may give it) and the permissions of
        // the one it replaces; the owner first, as a change of owner clears the set-id bits.
        struct stat st;
        if (stat(target.c_str(), &st) == 0) {
            if (fchown(Fd(file.file), st.st_uid, st.st_gid) != 0)
                (void)!fchown(Fd(file.file), static_cast<uid_t>(-1), st.st_gid);  // the group, at least
            if (fchmod(Fd(file.file), st.st_mode & 07777) != 0)
                return Fail(error, Call::kRename, errno);
        } else if (errno != ENOENT) {
            return Fail(error, Call::kRename, errno);
        }
        if (renameat(Fd(file.folder), NameOf(path).c_str(), AT_FDCWD, target.c_str()) != 0)
            return Fail(error, Call::kRename, errno);
        // The rename itself reaches the disk. (A file system that cannot flush a folder
        // says EINVAL: it has nothing to confirm.)
        int flushed = fsync(Fd(file.folder)) == 0 || errno == EINVAL ? 0 : errno;
        close(Fd(file.file));
        close(Fd(file.folder));
        file = FileHandle();
        if (flushed != 0) {
            Fail(error, Call::kFlush, flushed);
            error.kind = Failure::kNotDurable;
            return false;
        }
        return true;
    }

    void Discard(FileHandle& file, const std::string& path) override
    {
        if (file.folder >= 0)
            unlinkat(Fd(file.folder), NameOf(path).c_str(), 0);
        else
            unlink(path.c_str());
        if (file.file >= 0)
            close(Fd(file.file));
        if (file.folder >= 0)
            close(Fd(file.folder));
        file = FileHandle();
    }

    bool ListBeside(const std::string& target, std::vector<std::string>& suffixes, Error& error) override
    {
        suffixes.clear();
        DIR* folder = opendir(FolderOf(target).c_str());
        if (folder == nullptr)
            return Fail(error, Call::kList, errno);
        const std::string prefix = NameOf(target) + ".~";
        while (dirent* entry = readdir(folder)) {
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
                suffixes.push_back(entry->d_name + prefix.size() - 2);
        }
        closedir(folder);
        return true;
    }

    bool RemoveLeftover(const std::string& path, unsigned long process, Error& error) override
    {
        // A writer of another process that still runs may be using it; and any live
        // writer, of this process too, holds the lock of its file.
        if (process != ProcessId() && (kill(static_cast<pid_t>(process), 0) == 0 || errno != ESRCH))
            return false;
        // A writer leaves regular files only: anything else of that name (a FIFO would hold
        // the open until some program writes to it) is not its, and stays.
        struct stat named, opened;
        if (lstat(path.c_str(), &named) != 0)
            return Fail(error, Call::kRemove, errno);
        if (!S_ISREG(named.st_mode))
            return false;
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0)
            return Fail(error, Call::kRemove, errno);
        if (fstat(fd, &opened) != 0 || opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
            close(fd);
            return false;  // another file took the name meanwhile
        }
        bool unused = flock(fd, LOCK_EX | LOCK_NB) == 0;
        bool removed = unused && unlink(path.c_str()) == 0;
        int code = errno;
        close(fd);
        return removed || (unused && Fail(error, Call::kRemove, code));
    }

    unsigned long ProcessId() override { return static_cast<unsigned long>(getpid()); }

    // ---- The writers' lock: open-file-description locks (F_OFD_SETLK), which belong to
    // the lock's own open file, so that no other open and close of the target in this
    // process lets go of them, and which two writers of one process also meet.
    bool OpenLock(const std::string& path, bool create, FileHandle& lock, Error& error) override
    {
        // Read and write: a write lock needs it. O_NONBLOCK: a FIFO put there meanwhile
        // does not hang the open.
        // Held by its folder, so that it is removed from that folder even after the
        // folder was renamed.
        int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0)
            return Fail(error, Call::kOpen, errno);
        const std::string name = NameOf(path);
        const int flags = O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        int fd = openat(folder, name.c_str(), flags);
        if (fd < 0 && errno == ENOENT && create) {
            fd = openat(folder, name.c_str(), flags | O_CREAT | O_EXCL, 0666);
            // Whoever may write the target may take its lock.
            struct stat target;
            const std::string suffix = ".~lock";
            if (fd >= 0 && path.size() > suffix.size() &&
                stat(path.substr(0, path.size() - suffix.size()).c_str(), &target) == 0)
                fchmod(fd, target.st_mode & 0666);
        }
        int code = errno;
        struct stat st;
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            close(fd);
            close(folder);
            error = Error();
            return false;
        }
        if (fd < 0) {
            close(folder);
            Fail(error, Call::kOpen, code);
            if (code == EEXIST)  // made meanwhile by another writer: open that one
                error.kind = Failure::kHeldOpen;
            return false;
        }
        lock.file = fd;
        lock.folder = folder;
        return true;
    }

    Locked TryLock(const FileHandle& lock, int slot, bool exclusive) override
    {
#ifdef F_OFD_SETLK
        struct flock range = {};
        range.l_type = exclusive ? F_WRLCK : F_RDLCK;
        range.l_whence = SEEK_SET;
        range.l_start = LockOffset(slot);
        range.l_len = 1;
        if (fcntl(Fd(lock.file), F_OFD_SETLK, &range) == 0)
            return Locked::kTaken;
        return errno == EAGAIN || errno == EACCES ? Locked::kBusy : Locked::kUnsupported;
#else
        (void)lock, (void)slot, (void)exclusive;
        return Locked::kUnsupported;
#endif
    }

    void Unlock(const FileHandle& lock, int slot) override
    {
#ifdef F_OFD_SETLK
        struct flock range = {};
        range.l_type = F_UNLCK;
        range.l_whence = SEEK_SET;
        range.l_start = LockOffset(slot);
        range.l_len = 1;
        fcntl(Fd(lock.file), F_OFD_SETLK, &range);
#else
        (void)lock, (void)slot;
#endif
    }

    bool StillNames(const FileHandle& lock, const std::string& path) override
    {
        struct stat held, named;
        return fstat(Fd(lock.file), &held) == 0 && held.st_nlink > 0 && stat(path.c_str(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    }

    void CloseLock(FileHandle& lock, const std::string& path, bool remove) override
    {
        struct stat held, named;
        const std::string name = NameOf(path);
        if (remove && fstat(Fd(lock.file), &held) == 0 && fstatat(Fd(lock.folder), name.c_str(), &named, 0) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            unlinkat(Fd(lock.folder), name.c_str(), 0);
        close(Fd(lock.file));
        close(Fd(lock.folder));
        lock = FileHandle();
    }

private:
    // 4 EiB: no file reaches it, so no read of the file meets the lock.
    static off_t LockOffset(int slot) { return static_cast<off_t>((uint64_t(1) << 62) + uint64_t(slot)); }
};

}  // namespace

Disk& SystemDisk()
{
    static PosixDisk disk;
    return disk;
}

}  // namespace kvddisk

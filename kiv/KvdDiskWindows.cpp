// KvdDiskWindows.cpp - the safe write's system calls on Windows: _open with
// _O_EXCL, _commit (FlushFileBuffers), and MoveFileExA with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH for the one step.
#include "KvdDisk.h"
#include "KvdDiskSystem.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

namespace kvddisk {
namespace {

bool FailErrno(Error& error, int code)
{
    switch (code) {
    case ENOSPC: error.kind = Failure::kDiskFull; break;
    case EACCES:
    case EPERM: error.kind = Failure::kNoPermission; break;
    case ENOENT: error.kind = Failure::kNoFolder; break;
    default: error.kind = Failure::kOther; break;
    }
    error.detail = std::strerror(code);
    return false;
}

std::string SystemText(DWORD code)
{
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string s = n != 0 && text != nullptr ? std::string(text, n) : "system error " + std::to_string(code);
    if (text != nullptr)
        LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s;
}

bool FailSystem(Error& error, DWORD code)
{
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: error.kind = Failure::kDiskFull; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: error.kind = Failure::kHeldOpen; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: error.kind = Failure::kNoPermission; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: error.kind = Failure::kNoFolder; break;
    default: error.kind = Failure::kOther; break;
    }
    error.detail = SystemText(code);
    return false;
}

}  // namespace

bool GetStamp(const std::string& path, Stamp& stamp, Error& error)
{
    stamp = Stamp();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return true;
        return FailSystem(error, code);
    }
    stamp.exists = true;
    stamp.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    stamp.regular = !stamp.directory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    stamp.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    stamp.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.changed = static_cast<int64_t>((uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                         data.ftLastWriteTime.dwLowDateTime);
    return true;
}

namespace systemcalls {

int CreateNew(const std::string& path, Error& error)
{
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        FailErrno(error, errno);
    return fd;
}

bool WriteAll(int fd, const char* data, size_t size, Error& error)
{
    while (size > 0) {
        unsigned piece = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
        int n = _write(fd, data, piece);
        if (n <= 0)
            return FailErrno(error, n < 0 ? errno : ENOSPC);
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// No call starts the disk without waiting for it here; the final flush does it all.
void StartDisk(int /*fd*/, uint64_t /*from*/, uint64_t /*size*/) {}

bool Flush(int fd, Error& error) { return _commit(fd) == 0 || FailErrno(error, errno); }  // FlushFileBuffers

bool Close(int fd, Error& error) { return _close(fd) == 0 || FailErrno(error, errno); }

unsigned long ProcessId() { return static_cast<unsigned long>(_getpid()); }

}  // namespace systemcalls

bool ReplaceWith(const std::string& from, const std::string& to, Error& error)
{
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED) {
        // Also what a file open without FILE_SHARE_DELETE gives: ask the file itself.
        HANDLE probe = CreateFileA(to.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
            code = ERROR_SHARING_VIOLATION;
        if (probe != INVALID_HANDLE_VALUE)
            CloseHandle(probe);
    }
    return FailSystem(error, code);
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace kvddisk

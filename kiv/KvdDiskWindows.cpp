// KvdDiskWindows.cpp - the system's disk on Windows, in Win32's own terms: CreateFileW,
// ReadFile and WriteFile (a short write is continued; the next one says why the disk
// took no more), FlushFileBuffers, and every message from GetLastError.
//
// A temporary file is made with delete access, no sharing, and marked for deletion
// (FileDispositionInfo), so that it goes with its last handle, also when the process is
// killed; the mark is cleared only for the one step that renames it over the target,
// through its own handle (FileRenameInformation). While it lives its folder is held
// open without FILE_SHARE_DELETE, so the folder can be neither renamed nor removed and
// the file is never stranded under another path.
#include "KvdDisk.h"

#include <windows.h>

namespace kvddisk {
namespace {

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const wchar_t* wide)
{
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string text(static_cast<size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], n, nullptr, nullptr);
    return text;
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

bool Fail(Error& error, Call call, DWORD code)
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
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: error.kind = Failure::kExists; break;
    default: error.kind = Failure::kOther; break;
    }
    error.call = call;
    error.detail = SystemText(code);
    return false;
}

bool FailLast(Error& error, Call call) { return Fail(error, call, GetLastError()); }

// Errors that mean: the path names nothing.
bool NamesNothing(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME ||
           code == ERROR_BAD_NETPATH || code == ERROR_BAD_NET_NAME;
}

// A device name ("NUL", "LPT1") in a folder names the device, which has no attributes.
bool IsDevice(const std::wstring& path)
{
    HANDLE device = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    DWORD type = GetFileType(device);
    CloseHandle(device);
    return type != FILE_TYPE_DISK;
}

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t Number(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

size_t LastSeparator(const std::string& path)
{
    size_t at = path.find_last_of("\\/");
    if (at == std::string::npos && path.size() >= 2 && path[1] == ':')
        return 1;  // "C:name": the drive's current folder
    return at;
}

std::wstring FolderOf(const std::string& path)
{
    size_t at = LastSeparator(path);
    if (at == std::string::npos)
        return L".";
    if (at + 1 == 2 && path[1] == ':')  // "C:name"
        return Wide(path.substr(0, 2));
    // Keep the separator of a root ("C:\", "\"), drop any other.
    bool root = at == 0 || (at == 2 && path[1] == ':');
    return Wide(path.substr(0, root ? at + 1 : at));
}

bool MarkForDeletion(HANDLE file, bool remove)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// NtSetInformationFile and its status mapping: the one way to rename an open file
// through its handle on every Windows version (SetFileInformationByHandle's
// FileRenameInfo is missing from some).
using SetInformationFile = LONG(WINAPI*)(HANDLE, void* ioStatus, void* information, ULONG length, int kind);
using StatusToError = ULONG(WINAPI*)(LONG);
constexpr int kFileRenameInformation = 10;

struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};

// The target as the native call names it: "\??\C:\..." or "\??\UNC\server\...".
std::wstring NativePath(const std::string& target)
{
    std::wstring wide = Wide(target);
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    full.resize(n);
    if (full.compare(0, 4, L"\\\\?\\") == 0)
        return L"\\??\\" + full.substr(4);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

bool RenameOver(HANDLE file, const std::string& target, Error& error)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto setInformation = reinterpret_cast<SetInformationFile>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtSetInformationFile")));
    auto toError = reinterpret_cast<StatusToError>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    std::wstring name = NativePath(target);
    if (setInformation == nullptr || toError == nullptr || name.empty())
        return Fail(error, Call::kRename, name.empty() ? GetLastError() : ERROR_CALL_NOT_IMPLEMENTED);
    size_t size = offsetof(FILE_RENAME_INFO, FileName) + (name.size() + 1) * sizeof(wchar_t);
    std::unique_ptr<char[]> block(new char[size]());
    FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(block.get());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    IoStatus io = {};
    LONG status = setInformation(file, &io, info, static_cast<ULONG>(size), kFileRenameInformation);
    if (status >= 0)
        return true;
    DWORD code = toError(status);
    if (code == ERROR_ACCESS_DENIED) {
        // Also what a target open without FILE_SHARE_DELETE gives: ask the file itself.
        HANDLE probe = CreateFileW(Wide(target).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
            code = ERROR_SHARING_VIOLATION;
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            // The target may be opened for deletion: something in it is in use (a program
            // that maps it, or reads it without letting it be replaced).
            code = ERROR_SHARING_VIOLATION;
        }
    }
    return Fail(error, Call::kRename, code);
}

class WindowsDisk : public Disk {
public:
    bool GetStamp(const std::string& path, Stamp& stamp, Error& error) override
    {
        stamp = Stamp();
        std::wstring wide = Wide(path);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
            DWORD code = GetLastError();
            if (IsDevice(wide)) {  // "NUL", "COM1": no attributes, but it opens
                stamp.exists = true;
                return true;
            }
            if (NamesNothing(code))
                return true;
            return Fail(error, Call::kStat, code);
        }
        stamp.exists = true;
        stamp.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        stamp.regular = !stamp.directory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        stamp.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        stamp.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.changed = static_cast<int64_t>((uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                             data.ftLastWriteTime.dwLowDateTime);
        if (!stamp.regular)
            return true;
        // The file's identity: opening for its attributes only conflicts with no sharing.
        HANDLE file = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return FailLast(error, Call::kStat);
        BY_HANDLE_FILE_INFORMATION info;
        bool known = GetFileInformationByHandle(file, &info) != 0;
        DWORD code = GetLastError();
        CloseHandle(file);
        if (!known)
            return Fail(error, Call::kStat, code);
        stamp.volume = info.dwVolumeSerialNumber;
        stamp.file = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        return true;
    }

    bool OpenToRead(const std::string& path, FileHandle& file, Error& error) override
    {
        // Others may read it too, but neither change it nor put another file in its place
        // while it is read: no read is cut short or mixes two files.
        HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return FailLast(error, Call::kOpen);
        file.file = Number(handle);
        return true;
    }

    bool ReadAt(const FileHandle& file, uint64_t offset, char* data, size_t size, size_t& got,
                Error& error) override
    {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD piece = size > (DWORD(1) << 30) ? (DWORD(1) << 30) : static_cast<DWORD>(size);
        DWORD read = 0;
        got = 0;
        if (!ReadFile(Handle(file.file), data, piece, &read, &at)) {
            DWORD code = GetLastError();
            if (code == ERROR_HANDLE_EOF)
                return true;
            return Fail(error, Call::kRead, code);
        }
        got = read;
        return true;
    }

    bool Close(FileHandle& file, Error& error) override
    {
        HANDLE handle = Handle(file.file);
        file = FileHandle();
        return CloseHandle(handle) != 0 || FailLast(error, Call::kClose);
    }

    bool CreateTemporary(const std::string& path, FileHandle& file, Error& error) override
    {
        HANDLE folder = CreateFileW(FolderOf(path).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE)
            return FailLast(error, Call::kCreate);
        HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            CloseHandle(folder);
            return Fail(error, Call::kCreate, code);
        }
        MarkForDeletion(handle, true);  // where it cannot be marked, Discard deletes it by name
        file.file = Number(handle);
        file.folder = Number(folder);
        return true;
    }

    bool Append(const FileHandle& file, const char* data, size_t size, Error& error) override
    {
        while (size > 0) {
            DWORD piece = size > (DWORD(1) << 30) ? (DWORD(1) << 30) : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(Handle(file.file), data, piece, &written, nullptr))
                return FailLast(error, Call::kWrite);
            // A disk that fills takes part of a write and says nothing; the next write
            // says ERROR_DISK_FULL. A write that takes nothing at all says it here.
            if (written == 0)
                return Fail(error, Call::kWrite, ERROR_DISK_FULL);
            data += written;
            size -= written;
        }
        return true;
    }

    bool Flush(const FileHandle& file, Error& error) override
    {
        return FlushFileBuffers(Handle(file.file)) != 0 || FailLast(error, Call::kFlush);
    }

    bool PutInPlace(FileHandle& file, const std::string& /*path*/, const std::string& target, Error& error) override
    {
        HANDLE handle = Handle(file.file);
        if (!MarkForDeletion(handle, false))
            return FailLast(error, Call::kRename);
        if (!RenameOver(handle, target, error)) {
            MarkForDeletion(handle, true);
            return false;
        }
        FlushFileBuffers(handle);  // the rename itself reaches the disk (MOVEFILE_WRITE_THROUGH)
        CloseHandle(handle);
        CloseHandle(Handle(file.folder));
        file = FileHandle();
        return true;
    }

    void Discard(FileHandle& file, const std::string& path) override
    {
        HANDLE handle = Handle(file.file);
        bool marked = file.IsOpen() && MarkForDeletion(handle, true);
        if (file.IsOpen())
            CloseHandle(handle);
        if (!marked)
            DeleteFileW(Wide(path).c_str());
        if (file.folder != -1)
            CloseHandle(Handle(file.folder));
        file = FileHandle();
    }

    bool ListBeside(const std::string& target, std::vector<std::string>& suffixes, Error& error) override
    {
        suffixes.clear();
        size_t at = LastSeparator(target);
        const std::string name = at == std::string::npos ? target : target.substr(at + 1);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Wide(target + ".~*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            return code == ERROR_FILE_NOT_FOUND || Fail(error, Call::kList, code);
        }
        do {
            std::string found8 = Narrow(found.cFileName);
            // The pattern also matches short 8.3 names and ignores case: keep what begins so.
            if (found8.size() > name.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, found8.data(),
                                                              static_cast<int>(name.size()), name.data(),
                                                              static_cast<int>(name.size())) == CSTR_EQUAL)
                suffixes.push_back(found8.substr(name.size()));
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return true;
    }

    bool RemoveLeftover(const std::string& path, unsigned long /*process*/, Error& error) override
    {
        // A live writer holds its file open without sharing: only a dead one's can go.
        return DeleteFileW(Wide(path).c_str()) != 0 || FailLast(error, Call::kRemove);
    }

    unsigned long ProcessId() override { return static_cast<unsigned long>(GetCurrentProcessId()); }

    // ---- The writers' lock: LockFileEx on ranges of the lock file, which work between
    // processes and on network shares alike.
    bool OpenLock(const std::string& path, bool create, FileHandle& lock, Error& error) override
    {
        // Every writer shares it whole; only the last one's removal opens it alone.
        HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    create ? OPEN_ALWAYS : OPEN_EXISTING,
                                    FILE_ATTRIBUTE_HIDDEN | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return FailLast(error, Call::kOpen);
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            CloseHandle(handle);
            error = Error();
            return false;
        }
        lock.file = Number(handle);
        return true;
    }

    Locked TryLock(const FileHandle& lock, int slot, bool exclusive) override
    {
        OVERLAPPED at = LockRange(slot);
        DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
        if (LockFileEx(Handle(lock.file), flags, 0, 1, 0, &at))
            return Locked::kTaken;
        DWORD code = GetLastError();
        return code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING || code == ERROR_SHARING_VIOLATION
                   ? Locked::kBusy
                   : Locked::kUnsupported;
    }

    void Unlock(const FileHandle& lock, int slot) override
    {
        OVERLAPPED at = LockRange(slot);
        UnlockFileEx(Handle(lock.file), 0, 1, 0, &at);
    }

    bool StillNames(const FileHandle& lock, const std::string& path) override
    {
        BY_HANDLE_FILE_INFORMATION held, named;
        if (!GetFileInformationByHandle(Handle(lock.file), &held) || held.nNumberOfLinks == 0)
            return false;
        HANDLE probe = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (probe == INVALID_HANDLE_VALUE)
            return false;
        bool known = GetFileInformationByHandle(probe, &named) != 0;
        CloseHandle(probe);
        return known && held.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
               held.nFileIndexHigh == named.nFileIndexHigh && held.nFileIndexLow == named.nFileIndexLow;
    }

    void CloseLock(FileHandle& lock, const std::string& path, bool remove) override
    {
        // Windows removes no file that others have open: the lock file goes only when
        // this writer has it alone, opened without sharing.
        Unlock(lock, 0);
        Unlock(lock, 1);
        CloseHandle(Handle(lock.file));
        lock = FileHandle();
        if (!remove)
            return;
        HANDLE alone = CreateFileW(Wide(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_DELETE_ON_CLOSE | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                   nullptr);
        if (alone != INVALID_HANDLE_VALUE)
            CloseHandle(alone);
    }

private:
    // 4 EiB: far beyond any data, as a network share's server expects of a lock.
    static OVERLAPPED LockRange(int slot)
    {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(slot);
        at.OffsetHigh = 0x40000000;
        return at;
    }
};

}  // namespace

Disk& SystemDisk()
{
    static WindowsDisk disk;
    return disk;
}

}  // namespace kvddisk

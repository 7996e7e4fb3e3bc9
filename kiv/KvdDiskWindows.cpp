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
//
// A replaced file stays the user's: the new file takes its attributes and creation time
// from its handle, and the replace itself is ReplaceFileW, which also keeps the security
// descriptor, encryption and streams, except under Wine (see ReplacesInOneStep). The
// file that a write replaces is the one its path finally names (a symbolic link stays a
// link). Every open asks for identification only: a path that names a pipe never lets
// the pipe's server act as the user, and a pipe or device is told from its handle.
// Paths longer than MAX_PATH allows reach the system with the long-path prefix.
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

// Every open of the library: a pipe server at the other end may learn who the user is,
// never act as the user.
constexpr DWORD kNoImpersonation = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

// The longest path that every call takes without the long-path prefix (a folder's
// name leaves room for an 8.3 name in it).
constexpr size_t kShortPath = MAX_PATH - 12;

bool Begins(const std::wstring& text, const wchar_t* start) { return text.compare(0, wcslen(start), start) == 0; }

// A path as the W calls take it: a long one absolute, with the long-path prefix (which
// turns off the system's tidying of the path, so GetFullPathNameW does that first).
std::wstring SystemPath(const std::string& path)
{
    std::wstring wide = Wide(path);
    if (wide.size() < kShortPath || Begins(wide, L"\\\\?\\") || Begins(wide, L"\\\\.\\"))
        return wide;
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return wide;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    full.resize(n);
    if (Begins(full, L"\\\\?\\") || Begins(full, L"\\\\.\\"))
        return full;
    if (Begins(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
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
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_USER_MAPPED_FILE: error.kind = Failure::kHeldOpen; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: error.kind = Failure::kNoPermission; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: error.kind = Failure::kNoFolder; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: error.kind = Failure::kExists; break;
    case ERROR_FILENAME_EXCED_RANGE:
        error.kind = Failure::kTooLong;
        break;
    case ERROR_PIPE_BUSY:
        error.kind = Failure::kNotAFile;
        break;  // a pipe's every instance in use
    default: error.kind = Failure::kOther; break;
    }
    error.call = call;
    error.detail = SystemText(code);
    return false;
}

bool FailLast(Error& error, Call call) { return Fail(error, call, GetLastError()); }

bool NotAFile(Error& error, Call call)
{
    error.kind = Failure::kNotAFile;
    error.call = call;
    error.detail = "a device or a pipe, not a file on a disk";
    return false;
}

// After the new file is in place: only its flush failed.
bool NotDurable(Error& error, DWORD code)
{
    Fail(error, Call::kFlush, code);
    error.kind = Failure::kNotDurable;
    return false;
}

// Errors that mean: the path names nothing.
bool NamesNothing(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME ||
           code == ERROR_BAD_NETPATH || code == ERROR_BAD_NET_NAME;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A device name ("NUL", "LPT1") in a folder names the device, which has no attributes.
bool IsDevice(const std::wstring& path)
{
    HANDLE device = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, kNoImpersonation, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_PIPE_BUSY;
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
    // Keep the separator of a root ("C:\", "\", "\\?\C:\"), drop any other.
    bool root = at == 0 || path[at - 1] == ':';
    return SystemPath(path.substr(0, root ? at + 1 : at));
}

// Wine's ReplaceFileW (Wine 8) moves the target to a name of its own, deletes it and then
// moves the new file in: two steps with no file between them (and none at all when the
// second fails), keeping nothing of the target. Under Wine the rename through the new
// file's handle stays the one step, with the attributes it took from the target.
bool ReplacesInOneStep()
{
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return !wine;
}

// The new file takes what its handle can carry of the file it replaces: the attributes
// that a person sets (hidden, system, archive, not indexed) and the creation time.
bool TakeAttributes(HANDLE file, const WIN32_FILE_ATTRIBUTE_DATA& old)
{
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
    basic.CreationTime.LowPart = old.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(old.ftCreationTime.dwHighDateTime);
    DWORD kept = old.dwFileAttributes & kKept;
    basic.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// ERROR_ACCESS_DENIED of a rename over `target` is also what a target open without
// FILE_SHARE_DELETE gives: ask the file itself.
DWORD WhyNotReplaced(const std::string& target, DWORD code)
{
    if (code != ERROR_ACCESS_DENIED)
        return code;
    HANDLE probe =
        CreateFileW(SystemPath(target).c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, kNoImpersonation, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : code;
    CloseHandle(probe);
    // The target may be opened for deletion: something in it is in use (a program that
    // maps it, or reads it without letting it be replaced).
    return ERROR_SHARING_VIOLATION;
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
    return Fail(error, Call::kRename, WhyNotReplaced(target, toError(status)));
}

// Flushes the file at `path` after it was put in place, so that the replace reaches the
// disk. A program that holds it without sharing the writing leaves nothing to ask.
bool FlushNamed(const std::string& path, Error& error)
{
    HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              kNoImpersonation, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    bool flushed = FlushFileBuffers(file) != 0;
    DWORD code = GetLastError();
    CloseHandle(file);
    return flushed || NotDurable(error, code);
}

class WindowsDisk : public Disk {
public:
    bool GetStamp(const std::string& path, Stamp& stamp, Error& error) override
    {
        stamp = Stamp();
        std::wstring wide = SystemPath(path);
        // Everything from a handle opened for the attributes only (which conflicts with no
        // sharing): the handle says what the name is, and even asking a pipe for its
        // attributes by name would connect to it without asking for identification only.
        HANDLE file = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | kNoImpersonation, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            if (IsDevice(wide)) {  // "CON", a busy pipe: it opens for no access, or is all in use
                stamp.exists = true;
                return true;
            }
            if (NamesNothing(code))
                return true;
            return Fail(error, Call::kStat, code);
        }
        stamp.exists = true;
        if (GetFileType(file) != FILE_TYPE_DISK) {  // a device or a pipe
            CloseHandle(file);
            return true;
        }
        BY_HANDLE_FILE_INFORMATION info;
        bool known = GetFileInformationByHandle(file, &info) != 0;
        DWORD code = GetLastError();
        CloseHandle(file);
        if (!known)
            return Fail(error, Call::kStat, code);
        stamp.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        stamp.regular = !stamp.directory && (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        stamp.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        stamp.size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        stamp.changed = static_cast<int64_t>((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                             info.ftLastWriteTime.dwLowDateTime);
        stamp.volume = info.dwVolumeSerialNumber;
        stamp.file = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        stamp.links = info.nNumberOfLinks;
        return true;
    }

    std::string Resolve(const std::string& path) override
    {
        HANDLE file = CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | kNoImpersonation, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return path;
        std::string resolved = path;
        if (GetFileType(file) == FILE_TYPE_DISK) {
            // "\\?\C:\..." or "\\?\UNC\server\...": the file itself, whatever links led to it.
            DWORD n = GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            std::wstring final(n, L'\0');
            DWORD got =
                n == 0 ? 0 : GetFinalPathNameByHandleW(file, &final[0], n, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (got != 0 && got < n) {
                final.resize(got);
                // Only a path that the code page can say (the library's paths are in it).
                std::string narrow = Narrow(final.c_str());
                if (!narrow.empty() && Wide(narrow) == final)
                    resolved = narrow;
            }
        }
        CloseHandle(file);
        return resolved;
    }

    NameRoom RoomOfName(const std::string& path) override
    {
        NameRoom room;
        size_t at = LastSeparator(path);
        room.at = at == std::string::npos ? 0 : at + 1;
        room.length = Wide(path.substr(room.at)).size();
        std::wstring wide = SystemPath(path);
        std::wstring volume(wide.size() + 2, L'\0');
        DWORD longest = 0;
        if (GetVolumePathNameW(wide.c_str(), &volume[0], static_cast<DWORD>(volume.size())) &&
            GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) && longest > 0)
            room.limit = longest;
        return room;
    }

    bool OpenToRead(const std::string& path, FileHandle& file, Error& error) override
    {
        // Others may read it too, but neither change it nor put another file in its place
        // while it is read: no read is cut short or mixes two files.
        HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN | kNoImpersonation, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return FailLast(error, Call::kOpen);
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            CloseHandle(handle);
            return NotAFile(error, Call::kOpen);
        }
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
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | kNoImpersonation, nullptr);
        if (folder == INVALID_HANDLE_VALUE)
            return FailLast(error, Call::kCreate);
        HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | kNoImpersonation, nullptr);
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

    bool PutInPlace(FileHandle& file, const std::string& path, const std::string& target, Error& error) override
    {
        HANDLE handle = Handle(file.file);
        WIN32_FILE_ATTRIBUTE_DATA old;
        bool replacing = GetFileAttributesExW(SystemPath(target).c_str(), GetFileExInfoStandard, &old) != 0;
        if (replacing && !TakeAttributes(handle, old))
            return FailLast(error, Call::kRename);
        if (!MarkForDeletion(handle, false))
            return FailLast(error, Call::kRename);
        if (replacing && ReplacesInOneStep())
            return Replace(file, path, target, error);
        if (!RenameOver(handle, target, error)) {
            MarkForDeletion(handle, true);
            return false;
        }
        // The rename itself reaches the disk (as MOVEFILE_WRITE_THROUGH does it).
        bool flushed = FlushFileBuffers(handle) != 0;
        DWORD code = GetLastError();
        CloseHandle(handle);
        CloseHandle(Handle(file.folder));
        file = FileHandle();
        return flushed || NotDurable(error, code);
    }

    // ReplaceFileW: the new file at `path` takes the target's name, and with it the
    // target's security descriptor, encryption, compression and streams. It opens the new
    // file without sharing, so this handle is closed for it (the folder stays held).
    bool Replace(FileHandle& file, const std::string& path, const std::string& target, Error& error)
    {
        const std::wstring wide = SystemPath(path), wideTarget = SystemPath(target);
        CloseHandle(Handle(file.file));
        file.file = -1;
        if (ReplaceFileW(wideTarget.c_str(), wide.c_str(), nullptr, 0, nullptr, nullptr)) {
            CloseHandle(Handle(file.folder));
            file = FileHandle();
            return FlushNamed(target, error);
        }
        DWORD code = GetLastError();
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
            // The old file is gone and the new one kept its own name: give it the target's.
            bool moved = MoveFileExW(wide.c_str(), wideTarget.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
            code = GetLastError();
            CloseHandle(Handle(file.folder));
            file = FileHandle();
            if (moved)
                return true;
            NotDurable(error, code);
            error.detail += "; the new content is kept as \"" + path + "\"";
            return false;
        }
        // Both files kept their names: the new one is to be discarded, as after any failure.
        HANDLE again = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                   kNoImpersonation, nullptr);
        if (again != INVALID_HANDLE_VALUE && MarkForDeletion(again, true)) {
            file.file = Number(again);
        } else {
            if (again != INVALID_HANDLE_VALUE)
                CloseHandle(again);
            DeleteFileW(wide.c_str());
            CloseHandle(Handle(file.folder));
            file = FileHandle();
        }
        return Fail(error, Call::kRename, WhyNotReplaced(target, code));
    }

    void Discard(FileHandle& file, const std::string& path) override
    {
        HANDLE handle = Handle(file.file);
        bool marked = file.IsOpen() && MarkForDeletion(handle, true);
        if (file.IsOpen())
            CloseHandle(handle);
        if (!marked)
            DeleteFileW(SystemPath(path).c_str());
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
        HANDLE search = FindFirstFileW(SystemPath(target + ".~*").c_str(), &found);
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

    bool RemoveLeftover(const std::string& path, unsigned long process, Error& error) override
    {
        // A live writer holds its file open without sharing, but for the moment that
        // ReplaceFileW takes it: a process that runs keeps its files.
        if (process != GetCurrentProcessId()) {
            HANDLE writer = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
            if (writer == nullptr && GetLastError() == ERROR_ACCESS_DENIED)
                return false;  // one that this user may not even look at
            if (writer != nullptr) {
                DWORD exit = 0;
                bool runs = GetExitCodeProcess(writer, &exit) && exit == STILL_ACTIVE;
                CloseHandle(writer);
                if (runs)
                    return false;
            }
        }
        return DeleteFileW(SystemPath(path).c_str()) != 0 || FailLast(error, Call::kRemove);
    }

    unsigned long ProcessId() override { return static_cast<unsigned long>(GetCurrentProcessId()); }

    // ---- The writers' lock: LockFileEx on ranges of the lock file, which work between
    // processes and on network shares alike.
    bool OpenLock(const std::string& path, bool create, FileHandle& lock, Error& error) override
    {
        // Every writer shares it whole; only the last one's removal opens it alone.
        HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
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
        HANDLE probe = CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
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
        HANDLE alone = CreateFileW(SystemPath(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
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

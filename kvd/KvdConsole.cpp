// KvdConsole.cpp - buffered output, consoles, closed pipes, code pages and a file's rule for its texts.
#include "KvdConsole.h"

#include "KvdBytes.h"
#include "KvdDisk.h"
#include "KvdText.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace {

const size_t kBufferSize = 64 * 1024;

#ifdef _WIN32

std::wstring WideFrom(UINT codePage, std::string_view text)
{
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide)
{
    if (wide.empty())
        return std::string();
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

HANDLE HandleOf(KvdOutput::Which which)
{
    return GetStdHandle(which == KvdOutput::Which::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR &&
           GetConsoleMode(handle, &mode);
}

[[noreturn]] void ThrowWriteFault(DWORD error)
{
    // Windows says one of three, depending on the pipe and on who closed it.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED)
        throw KvdOutput::OutputGone();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        throw KvdOutput::OutputLost("the disk is full");
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = text != nullptr ? Utf8FromWide(text) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    throw KvdOutput::OutputLost(reason.empty() ? "error " + std::to_string(error) : reason);
}

void SendToConsole(HANDLE handle, std::string_view utf8)
{
    const std::wstring wide = WideFrom(CP_UTF8, utf8);
    // Older consoles take at most about 64 KiB in one call.
    const size_t kChunk = 8192;
    for (size_t at = 0; at < wide.size(); at += kChunk) {
        const DWORD count = static_cast<DWORD>(std::min(kChunk, wide.size() - at));
        DWORD written = 0;
        if (!WriteConsoleW(handle, wide.data() + at, count, &written, nullptr))
            ThrowWriteFault(GetLastError());
    }
}

void SendBytes(HANDLE handle, std::string_view bytes)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;  // started without that stream (a window program's child): nobody reads it
    while (!bytes.empty()) {
        const DWORD count = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), count, &written, nullptr))
            ThrowWriteFault(GetLastError());
        if (written == 0)
            ThrowWriteFault(ERROR_DISK_FULL);  // a success that wrote nothing: the disk is full
        bytes.remove_prefix(written);
    }
}

#else

void SendBytes(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EPIPE)
                throw KvdOutput::OutputGone();
            if (errno == ENOSPC)
                throw KvdOutput::OutputLost("the disk is full");
            throw KvdOutput::OutputLost(std::strerror(errno));
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

#endif

}  // namespace

KvdOutput::KvdOutput(Which which, LineEnds ends) : which_(which)
{
#ifdef _WIN32
    console_ = IsConsole(HandleOf(which));
    // A console breaks lines at LF; files and pipes get Windows' line ends.
    crlf_ = ends == LineEnds::Platform && !console_;
#else
    (void)ends;
#endif
}

void KvdOutput::Write(std::string_view utf8)
{
    if (!crlf_) {
        pending_.append(utf8);
    } else {
        size_t from = 0;
        for (size_t end; (end = utf8.find('\n', from)) != std::string_view::npos; from = end + 1) {
            pending_.append(utf8.substr(from, end - from));
            pending_ += "\r\n";
        }
        pending_.append(utf8.substr(from));
    }
    if (which_ == Which::Err || pending_.size() >= kBufferSize)
        Flush();
}

void KvdOutput::Flush()
{
    if (pending_.empty())
        return;
    std::string text;
    text.swap(pending_);
    Send(text);
}

void KvdOutput::Send(std::string_view utf8)
{
#ifdef _WIN32
    HANDLE handle = HandleOf(which_);
    if (console_)
        SendToConsole(handle, utf8);
    else
        SendBytes(handle, utf8);
#else
    SendBytes(which_ == Which::Out ? STDOUT_FILENO : STDERR_FILENO, utf8);
#endif
}

std::string Utf8FromLibraryText(std::string_view text)
{
    std::string utf8;
    AppendUtf8FromLibraryText(utf8, text);
    return utf8;
}

namespace {

bool IsAscii(std::string_view text)
{
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

#ifdef _WIN32
bool ProcessSpeaksUtf8()
{
    static const bool utf8 = GetACP() == CP_UTF8;
    return utf8;
}

void AppendUtf8FromCodePage(std::string& out, std::string_view text)
{
    out += Utf8FromWide(WideFrom(CP_ACP, text));
}
#endif

// Reads the file through the library's own door to the disk and checks its bytes as
// the library's reader does. False when it cannot be read (it has gone since the
// library opened it, say).
bool ReadIsUtf8(const std::string& path, bool& utf8)
{
    kvddisk::Disk& disk = kvddisk::SystemDisk();
    kvddisk::FileHandle file;
    kvddisk::Error error;
    if (!disk.OpenToRead(path, file, error))
        return false;
    const size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    Utf8Check check;
    bool read = true;
    for (uint64_t offset = 0;;) {
        size_t got = 0;
        if (!disk.ReadAt(file, offset, buffer.get(), kChunk, got, error)) {
            read = false;
            break;
        }
        if (got == 0)
            break;
        check.Feed(buffer.get(), got);
        offset += got;
    }
    disk.Close(file, error);
    utf8 = check.Valid();
    return read;
}

}  // namespace

void AppendUtf8FromLibraryText(std::string& out, std::string_view text)
{
    if (IsAscii(text)) {  // the same in every code page
        out.append(text);
        return;
    }
#ifdef _WIN32
    if (!ProcessSpeaksUtf8()) {
        AppendUtf8FromCodePage(out, text);
        return;
    }
#endif
    if (IsUtf8(text))
        out.append(text);
    else
        AppendUtf8FromWindows1252(out, text);
}

KvdFileTexts::Kind KvdFileTexts::Decide() const
{
#ifdef _WIN32
    if (!ProcessSpeaksUtf8())
        return Kind::kCodePage;
#endif
    bool utf8 = true;
    if (!ReadIsUtf8(path_, utf8))
        return Kind::kEachText;
    return utf8 ? Kind::kUtf8 : Kind::kWestern;
}

void KvdFileTexts::Append(std::string& out, std::string_view text)
{
    if (IsAscii(text)) {
        out.append(text);
        return;
    }
    if (kind_ == Kind::kUndecided)
        kind_ = Decide();
    switch (kind_) {
    case Kind::kUtf8:
        AppendUtf8OrReplacement(out, text);
        break;
    case Kind::kWestern:
        AppendUtf8FromWindows1252(out, text);
        break;
#ifdef _WIN32
    case Kind::kCodePage:
        AppendUtf8FromCodePage(out, text);
        break;
#endif
    default:
        AppendUtf8FromLibraryText(out, text);
    }
}

// KivCodePage.cpp - MultiByteToWideChar and WideCharToMultiByte on Windows; the
// identity elsewhere.
#include "KivCodePage.h"
#include "KvdBytes.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool IsAscii(const char* text, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

#ifdef _WIN32
std::wstring Widen(UINT codePage, const char* text, size_t size)
{
    if (size == 0)
        return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text, static_cast<int>(size), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, text, static_cast<int>(size), &wide[0], n);
    return wide;
}

std::string Narrow(UINT codePage, const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    // No "best fit" (a c for a c with a caron): what the code page lacks becomes '?'.
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* unmappable = codePage == CP_UTF8 ? nullptr : "?";
    BOOL* usedDefault = nullptr;
    int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                unmappable, usedDefault);
    std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &narrow[0], n,
                            unmappable, usedDefault);
    return narrow;
}
#endif

}  // namespace

bool IsAsciiText(std::string_view text) { return IsAscii(text.data(), text.size()); }

bool AnsiIsUtf8()
{
#ifdef _WIN32
    return GetACP() == CP_UTF8;
#else
    return true;
#endif
}

std::string AnsiToUtf8(std::string_view text)
{
    if (AnsiIsUtf8() || IsAscii(text.data(), text.size()))
        return std::string(text);
#ifdef _WIN32
    return Narrow(CP_UTF8, Widen(CP_ACP, text.data(), text.size()));
#else
    return std::string(text);
#endif
}

const char* Utf8ToAnsi(const char* text, std::string& storage)
{
    size_t size = std::strlen(text);
    if (AnsiIsUtf8() || IsAscii(text, size))
        return text;
#ifdef _WIN32
    storage = Narrow(CP_ACP, Widen(CP_UTF8, text, size));
    return storage.c_str();
#else
    (void)storage;
    return text;
#endif
}

std::string MessageToAnsi(const std::string& message)
{
    std::string storage;
    const char* shown = Utf8ToAnsi(message.c_str(), storage);
    return shown == message.c_str() ? message : storage;
}

// CFile::GetStatus: does anything exist at this path, in every form the platform accepts.
#include "afx.h"

#include <string.h>

#include <string>

namespace {

std::wstring Wide(LPCSTR psz)
{
    const int nChars = MultiByteToWideChar(CP_ACP, 0, psz, -1, NULL, 0);
    if (nChars <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(nChars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, psz, -1, &wide[0], nChars);
    wide.resize(static_cast<size_t>(nChars - 1));
    return wide;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool StartsWithNoCase(const std::wstring& text, size_t nAt, const wchar_t* pszPrefix)
{
    const size_t nLength = wcslen(pszPrefix);
    return text.size() >= nAt + nLength && _wcsnicmp(text.c_str() + nAt, pszPrefix, nLength) == 0;
}

// The absolute path as the platform makes it: a reserved device name in any folder
// ("C:\data\CON", "COM1.kvd" where the platform reserves it) comes back as "\\.\CON".
std::wstring FullPath(const std::wstring& path)
{
    DWORD nChars = GetFullPathNameW(path.c_str(), 0, NULL, NULL);
    if (nChars == 0)
        return std::wstring();
    std::wstring full(nChars, L'\0');
    nChars = GetFullPathNameW(path.c_str(), nChars, &full[0], NULL);
    full.resize(nChars < full.size() ? nChars : 0);
    return full;
}

// Where the name itself begins: after "\\?\" or "\\.\" (the platform's own namespaces,
// which take the rest as it stands), else 0.
size_t NamespacePrefixLength(const std::wstring& full)
{
    if (full.size() >= 4 && IsSeparator(full[0]) && IsSeparator(full[1]) && (full[2] == L'?' || full[2] == L'.') &&
        IsSeparator(full[3]))
        return 4;
    return 0;
}

// A device or a pipe rather than a file or folder: a name in the platform's namespaces
// that is no drive path ("\\.\COM1", "\\.\pipe\x", "\\?\GLOBALROOT\..."), a reserved
// device name (which the full path turns into one), or a server's pipe or mailslot share.
// Opening one can block or talk to hardware; asking for its attributes tells nothing.
bool NamesDevice(const std::wstring& full)
{
    const size_t nPrefix = NamespacePrefixLength(full);
    if (nPrefix != 0)
    {
        const bool bDrivePath = full.size() >= nPrefix + 3 && IsAsciiLetter(full[nPrefix]) &&
                                full[nPrefix + 1] == L':' && IsSeparator(full[nPrefix + 2]);
        const bool bShare = StartsWithNoCase(full, nPrefix, L"UNC\\") || StartsWithNoCase(full, nPrefix, L"UNC/");
        const bool bVolume = StartsWithNoCase(full, nPrefix, L"Volume{");
        return !bDrivePath && !bShare && !bVolume;
    }
    if (full.size() > 2 && IsSeparator(full[0]) && IsSeparator(full[1]))
    {
        // "\\server\share\...": the shares "pipe" and "mailslot" hold the server's pipes.
        const size_t nShare = full.find_first_of(L"\\/", 2);
        if (nShare == std::wstring::npos)
            return false;
        const size_t nEnd = full.find_first_of(L"\\/", nShare + 1);
        const std::wstring share =
            full.substr(nShare + 1, nEnd == std::wstring::npos ? std::wstring::npos : nEnd - nShare - 1);
        return _wcsicmp(share.c_str(), L"pipe") == 0 || _wcsicmp(share.c_str(), L"mailslot") == 0;
    }
    return false;
}

}  // namespace

BOOL PASCAL CFile::GetStatus(LPCSTR lpszFileName, CFileStatus& rStatus)
{
    memset(&rStatus, 0, sizeof(rStatus));
    if (lpszFileName == NULL || lpszFileName[0] == '\0')
        return FALSE;
    const std::wstring path = Wide(lpszFileName);
    const std::wstring full = FullPath(path);
    if (path.empty() || full.empty())
        return FALSE;

    WIN32_FILE_ATTRIBUTE_DATA data;
    memset(&data, 0, sizeof(data));
    if (!NamesDevice(full))
    {
        // A pattern names no entry of its own; a path that ends in a separator names a
        // folder's content, not an entry (as a directory search answers for it).
        if (full.find_first_of(L"*?", NamespacePrefixLength(full)) != std::wstring::npos ||
            IsSeparator(path[path.size() - 1]))
            return FALSE;
        // The platform resolves the path as the exchange library's open will: relative
        // folders, forward slashes, trailing dots and spaces, "\\?\", "\\.\" and UNC alike.
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            return FALSE;
    }
    // A device or pipe "exists": whoever opens it says what it is, never "no file".

    const int nFull = WideCharToMultiByte(CP_ACP, 0, full.c_str(), -1, rStatus.m_szFullName, MAX_PATH, NULL, NULL);
    if (nFull == 0)
        rStatus.m_szFullName[0] = '\0';   // exists, but its absolute path does not fit
    rStatus.m_size = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    rStatus.m_attribute = (BYTE)data.dwFileAttributes;
    return TRUE;
}

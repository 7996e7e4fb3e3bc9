// The last file key, read when a browser starts without texts and written by every
// refresh that showed (or found nothing at) its path.
#include "LastFileKey.h"

#include <cstring>

namespace {

const char kLastFileKey[] = "Software\\DerAR\\LastKiv";

// No usable path is longer than 32,767 characters (the longest path the file
// functions accept), so a bigger value is not a path: it is treated as missing
// rather than sizing a buffer to whatever the registry reports.
const DWORD kMaxValueBytes = 32768;

HKEY OpenOrCreateKey()
{
    HKEY hKey = NULL;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kLastFileKey, &hKey) == ERROR_SUCCESS)
        return hKey;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kLastFileKey, &hKey) == ERROR_SUCCESS)
        return hKey;
    return NULL;
}

// Size first, then the data into a buffer of exactly that size; the text ends at
// the first zero byte, and a value stored without one is taken whole (the buffer
// keeps its own terminator past the value's bytes). The type is not examined.
void ReadValue(HKEY hKey, LPCSTR pszValueName, CString& strText)
{
    DWORD cbData = 0;
    if (RegQueryValueExA(hKey, pszValueName, NULL, NULL, NULL, &cbData) != ERROR_SUCCESS)
        return;
    if (cbData > kMaxValueBytes)
        return;
    LPSTR pszBuffer = strText.GetBufferSetLength(static_cast<int>(cbData));
    // Zeroed, so that a value that changed between the two reads leaves no stray bytes.
    std::memset(pszBuffer, 0, cbData);
    RegQueryValueExA(hKey, pszValueName, NULL, NULL, reinterpret_cast<LPBYTE>(pszBuffer), &cbData);
    strText.ReleaseBuffer(-1);
}

void StoreValue(HKEY hKey, LPCSTR pszValueName, const CString& strText)
{
    CString strCopy = strText;
    LPCSTR pszCopy = strCopy;
    RegSetValueExA(hKey, pszValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszCopy),
                   static_cast<DWORD>(lstrlenA(pszCopy) + 1));
}

}  // namespace

BOOL ReadLastFileKey(CString& strPathName, CString& strFileName)
{
    HKEY hKey = OpenOrCreateKey();
    if (hKey == NULL)
        return FALSE;
    ReadValue(hKey, "PathName", strPathName);
    ReadValue(hKey, "FileName", strFileName);
    RegCloseKey(hKey);
    return TRUE;
}

BOOL WriteLastFileKey(const CString& strPathName, const CString& strFileName)
{
    HKEY hKey = OpenOrCreateKey();
    if (hKey == NULL)
        return FALSE;
    StoreValue(hKey, "PathName", strPathName);
    StoreValue(hKey, "FileName", strFileName);
    RegCloseKey(hKey);
    return TRUE;
}

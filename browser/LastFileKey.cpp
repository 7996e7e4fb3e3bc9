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

// The key, opened or else created, for the object's lifetime. Read and Store answer
// FALSE only when there is no key; what happens to one value is not reported.
class CLastFileKey
{
public:
    CLastFileKey() : m_hKey(NULL)
    {
        if (RegOpenKeyA(HKEY_CURRENT_USER, kLastFileKey, &m_hKey) != ERROR_SUCCESS &&
            RegCreateKeyA(HKEY_CURRENT_USER, kLastFileKey, &m_hKey) != ERROR_SUCCESS)
            m_hKey = NULL;
    }
    ~CLastFileKey()
    {
        if (m_hKey != NULL)
            RegCloseKey(m_hKey);
    }

    // Size first, then the data into a buffer of exactly that size; the text ends at
    // the first zero byte, and a value stored without one is taken whole (the buffer
    // keeps its own terminator past the value's bytes). The type is not examined. A
    // missing value leaves strText as it was.
    BOOL Read(LPCSTR pszValueName, CString& strText)
    {
        if (m_hKey == NULL)
            return FALSE;
        DWORD cbData = 0;
        if (RegQueryValueExA(m_hKey, pszValueName, NULL, NULL, NULL, &cbData) != ERROR_SUCCESS ||
            cbData > kMaxValueBytes)
            return TRUE;
        LPSTR pszBuffer = strText.GetBufferSetLength(static_cast<int>(cbData));
        // Zeroed, so that a value that changed between the two reads leaves no stray bytes.
        std::memset(pszBuffer, 0, cbData);
        RegQueryValueExA(m_hKey, pszValueName, NULL, NULL, reinterpret_cast<LPBYTE>(pszBuffer), &cbData);
        strText.ReleaseBuffer(-1);
        return TRUE;
    }

    // REG_SZ from a zero-terminated copy, its size the copy's length + 1.
    BOOL Store(LPCSTR pszValueName, const CString& strText)
    {
        if (m_hKey == NULL)
            return FALSE;
        CString strCopy = strText;
        LPCSTR pszCopy = strCopy;
        RegSetValueExA(m_hKey, pszValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszCopy),
                       static_cast<DWORD>(lstrlenA(pszCopy) + 1));
        return TRUE;
    }

private:
    CLastFileKey(const CLastFileKey&);
    CLastFileKey& operator=(const CLastFileKey&);

    HKEY m_hKey;
};

}  // namespace

BOOL ReadLastFileKey(CString& strPathName, CString& strFileName)
{
    CLastFileKey key;
    return key.Read("PathName", strPathName) && key.Read("FileName", strFileName);
}

BOOL WriteLastFileKey(const CString& strPathName, const CString& strFileName)
{
    CLastFileKey key;
    return key.Store("PathName", strPathName) && key.Store("FileName", strFileName);
}

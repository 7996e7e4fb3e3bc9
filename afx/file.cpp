// CFile::GetStatus: does a directory entry exist at this path.
#include "afx.h"

#include <string.h>

BOOL PASCAL CFile::GetStatus(LPCSTR lpszFileName, CFileStatus& rStatus)
{
    memset(&rStatus, 0, sizeof(rStatus));
    if (lpszFileName == NULL || lpszFileName[0] == '\0')
        return FALSE;
    // A pattern would answer for some other entry; a path this long cannot be held.
    if (strpbrk(lpszFileName, "*?") != NULL || strlen(lpszFileName) >= MAX_PATH)
        return FALSE;

    WIN32_FIND_DATAA findData;
    HANDLE hFind = FindFirstFileA(lpszFileName, &findData);
    if (hFind == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(hFind);

    DWORD nFull = GetFullPathNameA(lpszFileName, MAX_PATH, rStatus.m_szFullName, NULL);
    if (nFull == 0 || nFull >= MAX_PATH)
        rStatus.m_szFullName[0] = '\0';   // exists, but its absolute path does not fit
    rStatus.m_size = ((ULONGLONG)findData.nFileSizeHigh << 32) | findData.nFileSizeLow;
    rStatus.m_attribute = (BYTE)findData.dwFileAttributes;
    return TRUE;
}

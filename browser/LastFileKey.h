// LastFileKey.h - the browser's only persistent state: the file it showed last,
// as the values "PathName" and "FileName" of HKEY_CURRENT_USER\Software\DerAR\LastKiv.
#ifndef DERAR_LASTFILEKEY_H
#define DERAR_LASTFILEKEY_H

#include <afxwin.h>

// Opens the key, creating it when it is missing, and reads both values into the
// two texts; a value that is missing (or unusable, see the .cpp) leaves its text
// as it was. FALSE: the key can be neither opened nor created.
BOOL ReadLastFileKey(CString& strPathName, CString& strFileName);

// Opens or creates the key and stores both texts as REG_SZ, "PathName" first.
// The results of the stores are not examined. FALSE: no key to store into.
BOOL WriteLastFileKey(const CString& strPathName, const CString& strFileName);

#endif

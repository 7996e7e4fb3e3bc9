// KivTexts.h - the exchange library's calls as both dialogs make them, its texts
// copied into dialog-owned strings at once (the library's change with its next call).
// The dialogs reach Kiv.dll through this header and KivAttachment.h only.
#ifndef DERAR_KIVTEXTS_H
#define DERAR_KIVTEXTS_H

#include <afxwin.h>

// A copy of a text that the exchange library (or a host) handed over; NULL reads as empty.
// Library texts belong to the library and change with its next call: copy them at once.
CString KivText(const char* pszText);

// An object's date text as a local time in the display date format,
// "Tuesday, December 05, 2000  14:07", through the platform's clock (Outline.h).
// Fields that form no valid time (month 13, 30 February, hour 24, ...) give the
// empty text: the object is still shown.
CString KivDisplayDate(const CString& strDate);

// One object of the open file, its texts copied as the library delivered them.
struct KivObjectTexts
{
    CString strName;
    CString strAuthor;
    CString strVersion;
    CString strWellId;
    CString strDate;
};

// KivGetNextObject into dialog-owned copies; FALSE at the end of the file or with no file open.
BOOL KivReadNextObject(KivObjectTexts& object);

// One value of the object read last, as the tree uses it (the extra text is not kept).
struct KivValueTexts
{
    CString strGroup;
    CString strName;
    CString strSuffix;
    CString strValue;
    CString strParentGroup;
    int nRecord;
};

// KivGetNextValue into copies; FALSE after the object's last value.
BOOL KivReadNextValue(KivValueTexts& value);

// KivOpen(path, message, 0). FALSE when the library refuses the file: strMessage is
// the text it left for the user, unchanged.
BOOL KivOpenFile(const CString& strPath, CString& strMessage);

#endif

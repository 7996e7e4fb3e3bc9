// kivtexts.h - texts of the exchange library as both dialogs show them.
#ifndef DERAR_KIVTEXTS_H
#define DERAR_KIVTEXTS_H

#include <afxwin.h>

// A copy of a text that the exchange library (or a host) handed over; NULL reads as empty.
// Library texts belong to the library and change with its next call: copy them at once.
CString KivText(const char* pszText);

// An object's date text as a local time in the display date format,
// "Tuesday, December 05, 2000  14:07". Fields that form no valid time
// (month 13, 30 February, hour 24, ...) make an invalid CTime, which formats
// as the empty text: the object is still shown.
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

#endif

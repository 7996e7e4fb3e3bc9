// Texts of the exchange library as both dialogs show them.
#include "kivtexts.h"

#include <kivapi.h>
#include <kivnext.h>

CString KivText(const char* pszText)
{
    return CString(pszText != NULL ? pszText : "");
}

BOOL KivReadNextObject(KivObjectTexts& object)
{
    return KivCopyNextObject(object.strName, object.strAuthor, object.strVersion, object.strWellId,
                             object.strDate)
               ? TRUE
               : FALSE;
}

CString KivDisplayDate(const CString& strDate)
{
    // Zero until the library sets them, so that a library that sets none yields no garbage.
    int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0;
    KivStringToDate(strDate, &nYear, &nMonth, &nDay, &nHour, &nMinute);
    return CTime(nYear, nMonth, nDay, nHour, nMinute, 0, -1).Format("%A, %B %d, %Y  %H:%M");
}

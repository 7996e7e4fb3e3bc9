// Texts of the exchange library as both dialogs show them.
#include "kivtexts.h"

#include <kivapi.h>

CString KivText(const char* pszText)
{
    return CString(pszText != NULL ? pszText : "");
}

BOOL KivReadNextObject(KivObjectTexts& object)
{
    char* pszName = NULL;
    char* pszAuthor = NULL;
    char* pszVersion = NULL;
    char* pszWellId = NULL;
    char* pszDate = NULL;
    if (!KivGetNextObject(&pszName, &pszAuthor, &pszVersion, &pszWellId, &pszDate))
        return FALSE;
    object.strName = KivText(pszName);
    object.strAuthor = KivText(pszAuthor);
    object.strVersion = KivText(pszVersion);
    object.strWellId = KivText(pszWellId);
    object.strDate = KivText(pszDate);
    return TRUE;
}

CString KivDisplayDate(const CString& strDate)
{
    // Zero until the library sets them, so that a library that sets none yields no garbage.
    int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0;
    KivStringToDate(strDate, &nYear, &nMonth, &nDay, &nHour, &nMinute);
    return CTime(nYear, nMonth, nDay, nHour, nMinute, 0, -1).Format("%A, %B %d, %Y  %H:%M");
}

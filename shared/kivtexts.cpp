// The exchange library's calls as both dialogs make them.
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

BOOL KivReadNextValue(KivValueTexts& value)
{
    char* pszGroup = NULL;
    char* pszName = NULL;
    char* pszExtra = NULL;
    char* pszSuffix = NULL;
    char* pszValue = NULL;
    char* pszParentGroup = NULL;
    int nRecord = 0;
    if (!KivGetNextValue(&pszGroup, &pszName, &pszExtra, &pszSuffix, &pszValue, &pszParentGroup, &nRecord))
        return FALSE;
    value.strGroup = KivText(pszGroup);
    value.strName = KivText(pszName);
    value.strSuffix = KivText(pszSuffix);
    value.strValue = KivText(pszValue);
    value.strParentGroup = KivText(pszParentGroup);
    value.nRecord = nRecord;
    return TRUE;
}

BOOL KivOpenFile(const CString& strPath, CString& strMessage)
{
    char* pszMessage = NULL;
    const BOOL bOpened = KivOpen(strPath, &pszMessage, 0) != 0;
    strMessage = bOpened ? CString() : KivText(pszMessage);
    return bOpened;
}

CString KivDisplayDate(const CString& strDate)
{
    // Zero until the library sets them, so that a library that sets none yields no garbage.
    int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0;
    KivStringToDate(strDate, &nYear, &nMonth, &nDay, &nHour, &nMinute);
    return CTime(nYear, nMonth, nDay, nHour, nMinute, 0, -1).Format("%A, %B %d, %Y  %H:%M");
}

// The exchange library's calls as both dialogs make them.
#include "KivTexts.h"

#include <kivapi.h>

CString KivText(const char* pszText)
{
    return CString(pszText != NULL ? pszText : "");
}

namespace {

// Copies the library's texts into the dialog's strings at once; NULL: a text not kept.
void CopyTexts(char* const* ppszTexts, CString* const* ppCopies, int nCount)
{
    for (int i = 0; i < nCount; ++i)
    {
        if (ppCopies[i] != NULL)
            *ppCopies[i] = KivText(ppszTexts[i]);
    }
}

}  // namespace

BOOL KivReadNextObject(KivObjectTexts& object)
{
    char* pszTexts[5] = { NULL, NULL, NULL, NULL, NULL };
    if (!KivGetNextObject(&pszTexts[0], &pszTexts[1], &pszTexts[2], &pszTexts[3], &pszTexts[4]))
        return FALSE;
    CString* const pCopies[5] = { &object.strName, &object.strAuthor, &object.strVersion, &object.strWellId,
                                  &object.strDate };
    CopyTexts(pszTexts, pCopies, 5);
    return TRUE;
}

BOOL KivReadNextValue(KivValueTexts& value)
{
    // Group, value name, extra text (not used by the tree), suffix, value, parent group.
    char* pszTexts[6] = { NULL, NULL, NULL, NULL, NULL, NULL };
    int nRecord = 0;
    if (!KivGetNextValue(&pszTexts[0], &pszTexts[1], &pszTexts[2], &pszTexts[3], &pszTexts[4], &pszTexts[5],
                         &nRecord))
        return FALSE;
    CString* const pCopies[6] = { &value.strGroup, &value.strName, NULL, &value.strSuffix, &value.strValue,
                                  &value.strParentGroup };
    CopyTexts(pszTexts, pCopies, 6);
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

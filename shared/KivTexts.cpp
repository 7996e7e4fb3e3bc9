// The exchange library's calls as both dialogs make them.
#include "KivTexts.h"

#include <kivapi.h>

#include <cstdio>

#include "Outline.h"

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

namespace {

// The platform's clock as the dialogs read dates: a CTime of the local fields with the
// daylight-saving flag -1 (the platform's time zone rules decide), read back as it shows.
bool PlatformClock(OutlineDate& local)
{
    const CString strShown =
        CTime(local.year, local.month, local.day, local.hour, local.minute, 0, -1).Format("%Y-%m-%d %H:%M");
    return !strShown.IsEmpty() && std::sscanf(strShown, "%d-%d-%d %d:%d", &local.year, &local.month, &local.day,
                                              &local.hour, &local.minute) == 5;
}

}  // namespace

CString KivDisplayDate(const CString& strDate)
{
    // Zero until the library sets them, so that a library that sets none yields no garbage.
    OutlineDate date;
    KivStringToDate(strDate, &date.year, &date.month, &date.day, &date.hour, &date.minute);
    const std::string shown = OutlineDisplayDate(date, PlatformClock);
    return CString(shown.c_str(), static_cast<int>(shown.size()));
}

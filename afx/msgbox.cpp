// AfxMessageBox: the application's message box.
#include "afximpl.h"

int AFXAPI AfxMessageBox(LPCSTR lpszText, UINT nType, UINT /*nIDHelp*/)
{
    // As MFC does, a box without an icon of its own gets the exclamation mark (OK boxes) or
    // the question mark (Yes/No boxes).
    if ((nType & MB_ICONMASK) == 0)
    {
        switch (nType & MB_TYPEMASK)
        {
        case MB_OK:
        case MB_OKCANCEL:
            nType |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            nType |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }
    return MessageBoxA(AfxGetSafeOwnerHwnd(NULL), lpszText != NULL ? lpszText : "", AfxGetAppName(), nType);
}

// CFindReplaceDialog: the platform's modeless Find dialog, with its keys inside any modal loop.
#include "afxdlgs.h"
#include "afximpl.h"

#include <string.h>

// The thread's created Find dialog objects, and the message hook that gives their windows
// the keys: the platform's modal loop (DialogBox) runs IsDialogMessage for its own dialog only.
struct AfxFindDialogs
{
    static thread_local CFindReplaceDialog* t_pFirst;
    static thread_local HHOOK t_hKeyHook;

    static LRESULT CALLBACK KeyHook(int nCode, WPARAM wParam, LPARAM lParam)
    {
        MSG* pMsg = reinterpret_cast<MSG*>(lParam);
        if (nCode == HC_ACTION && wParam == PM_REMOVE && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
        {
            for (CFindReplaceDialog* p = t_pFirst; p != NULL; p = p->m_pNextOnThread)
            {
                HWND hDlg = p->m_hWnd;
                if (hDlg == NULL || (pMsg->hwnd != hDlg && !::IsChild(hDlg, pMsg->hwnd)))
                    continue;
                // The dialog may close in here (Escape); nothing of p is used after it.
                if (::IsDialogMessageA(hDlg, pMsg))
                {
                    pMsg->message = WM_NULL;  // handled: the loop that fetched it does nothing with it
                    pMsg->wParam = 0;
                    pMsg->lParam = 0;
                }
                break;
            }
        }
        return ::CallNextHookEx(t_hKeyHook, nCode, wParam, lParam);
    }

    // The platform calls it for the dialog's messages before handling them itself.
    static UINT_PTR CALLBACK DialogHook(HWND hDlg, UINT message, WPARAM /*wParam*/, LPARAM lParam)
    {
        if (message == WM_INITDIALOG)
        {
            CFindReplaceDialog* p =
                reinterpret_cast<CFindReplaceDialog*>(reinterpret_cast<FINDREPLACEA*>(lParam)->lCustData);
            if (p != NULL)
                p->m_hWnd = hDlg;
            return TRUE;  // FALSE would keep the dialog hidden
        }
        if (message == WM_DESTROY)
        {
            for (CFindReplaceDialog* p = t_pFirst; p != NULL; p = p->m_pNextOnThread)
                if (p->m_hWnd == hDlg)
                    p->m_hWnd = NULL;
        }
        return 0;
    }

    static bool Join(CFindReplaceDialog* pDialog)
    {
        for (CFindReplaceDialog* p = t_pFirst; p != NULL; p = p->m_pNextOnThread)
            if (p == pDialog)
                return true;
        if (t_hKeyHook == NULL)
            t_hKeyHook = ::SetWindowsHookExA(WH_GETMESSAGE, &KeyHook, NULL, ::GetCurrentThreadId());
        if (t_hKeyHook == NULL)
            return false;
        pDialog->m_pNextOnThread = t_pFirst;
        t_pFirst = pDialog;
        return true;
    }

    static void Leave(CFindReplaceDialog* pDialog)
    {
        for (CFindReplaceDialog** pp = &t_pFirst; *pp != NULL; pp = &(*pp)->m_pNextOnThread)
        {
            if (*pp == pDialog)
            {
                *pp = pDialog->m_pNextOnThread;
                break;
            }
        }
        if (t_pFirst == NULL && t_hKeyHook != NULL)
        {
            ::UnhookWindowsHookEx(t_hKeyHook);
            t_hKeyHook = NULL;
        }
    }
};

thread_local CFindReplaceDialog* AfxFindDialogs::t_pFirst = NULL;
thread_local HHOOK AfxFindDialogs::t_hKeyHook = NULL;

CFindReplaceDialog::CFindReplaceDialog() : m_pNextOnThread(NULL)
{
    memset(&m_fr, 0, sizeof(m_fr));
    m_szFindWhat[0] = '\0';
    m_fr.lStructSize = sizeof(m_fr);
    m_fr.Flags = FR_ENABLEHOOK;
    m_fr.lpfnHook = &AfxFindDialogs::DialogHook;
    m_fr.lCustData = reinterpret_cast<LPARAM>(this);
    m_fr.lpstrFindWhat = m_szFindWhat;
    m_fr.wFindWhatLen = sizeof(m_szFindWhat);
}

CFindReplaceDialog::~CFindReplaceDialog()
{
    if (m_hWnd != NULL && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_hWnd = NULL;
    AfxFindDialogs::Leave(this);
}

BOOL CFindReplaceDialog::Create(BOOL bFindDialogOnly, LPCSTR lpszFindWhat, LPCSTR /*lpszReplaceWith*/, DWORD dwFlags,
                                CWnd* pParentWnd)
{
    ASSERT(bFindDialogOnly);
    if (!bFindDialogOnly || (m_hWnd != NULL && ::IsWindow(m_hWnd)))
        return FALSE;
    m_hWnd = NULL;
    HWND hWndOwner = AfxGetSafeOwnerHwnd(pParentWnd != NULL ? pParentWnd->m_hWnd : NULL);
    if (hWndOwner == NULL || !AfxFindDialogs::Join(this))
        return FALSE;
    lstrcpynA(m_szFindWhat, lpszFindWhat != NULL ? lpszFindWhat : "", sizeof(m_szFindWhat));
    m_fr.hwndOwner = hWndOwner;
    m_fr.Flags = (dwFlags & ~(FR_ENABLETEMPLATE | FR_ENABLETEMPLATEHANDLE)) | FR_ENABLEHOOK;
    m_fr.lpfnHook = &AfxFindDialogs::DialogHook;
    m_fr.lCustData = reinterpret_cast<LPARAM>(this);
    m_fr.lpstrFindWhat = m_szFindWhat;
    m_fr.wFindWhatLen = sizeof(m_szFindWhat);
    HWND hWnd = ::FindTextA(&m_fr);  // WM_INITDIALOG has set m_hWnd by now
    if (hWnd == NULL)
    {
        m_hWnd = NULL;
        return FALSE;
    }
    m_hWnd = hWnd;
    return TRUE;
}

CFindReplaceDialog* PASCAL CFindReplaceDialog::GetNotifier(LPARAM lParam)
{
    if (lParam == 0)
        return NULL;
    return reinterpret_cast<CFindReplaceDialog*>(reinterpret_cast<FINDREPLACEA*>(lParam)->lCustData);
}

CString CFindReplaceDialog::GetFindString() const
{
    return m_fr.lpstrFindWhat;
}
BOOL CFindReplaceDialog::SearchDown() const
{
    return (m_fr.Flags & FR_DOWN) != 0;
}
BOOL CFindReplaceDialog::FindNext() const
{
    return (m_fr.Flags & FR_FINDNEXT) != 0;
}
BOOL CFindReplaceDialog::MatchCase() const
{
    return (m_fr.Flags & FR_MATCHCASE) != 0;
}
BOOL CFindReplaceDialog::MatchWholeWord() const
{
    return (m_fr.Flags & FR_WHOLEWORD) != 0;
}
BOOL CFindReplaceDialog::IsTerminating() const
{
    return (m_fr.Flags & FR_DIALOGTERM) != 0;
}

// CFindReplaceDialog: the platform's modeless Find dialog, with its keys inside any modal loop.
#include "afxdlgs.h"
#include "afximpl.h"

#include <string.h>

// The objects that have been created, and the message hooks that give their windows the
// keys: the platform's modal loop (DialogBox) runs IsDialogMessage for its own dialog only.
// A list of the objects themselves, not thread-local storage: a DLL that is loaded and freed
// again and again would leave the runtime's per-thread copies behind at every load.
struct AfxFindDialogs
{
    static SRWLOCK s_lock;
    static CFindReplaceDialog* s_pFirst;

    // The open Find dialog that holds hWnd, or NULL.
    static HWND DialogOf(HWND hWnd)
    {
        HWND hDlg = NULL;
        ::AcquireSRWLockShared(&s_lock);
        for (CFindReplaceDialog* p = s_pFirst; p != NULL && hDlg == NULL; p = p->m_pNext)
            if (p->m_hWnd != NULL && (hWnd == p->m_hWnd || ::IsChild(p->m_hWnd, hWnd)))
                hDlg = p->m_hWnd;
        ::ReleaseSRWLockShared(&s_lock);
        return hDlg;
    }

    // The object whose request block lParam is, or NULL. Any window can send the registered
    // message with any number: it is compared with the blocks of ours, never read.
    static CFindReplaceDialog* Owning(LPARAM lParam)
    {
        CFindReplaceDialog* pOwner = NULL;
        if (lParam == 0)
            return NULL;
        ::AcquireSRWLockShared(&s_lock);
        for (CFindReplaceDialog* p = s_pFirst; p != NULL && pOwner == NULL; p = p->m_pNext)
            if (reinterpret_cast<LPARAM>(&p->m_fr) == lParam)
                pOwner = p;
        ::ReleaseSRWLockShared(&s_lock);
        return pOwner;
    }

    static LRESULT CALLBACK KeyHook(int nCode, WPARAM wParam, LPARAM lParam)
    {
        MSG* pMsg = reinterpret_cast<MSG*>(lParam);
        if (nCode == HC_ACTION && wParam == PM_REMOVE && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
        {
            // Outside the lock: the dialog's owner may do anything in here, close it (Escape) too.
            HWND hDlg = DialogOf(pMsg->hwnd);
            if (hDlg != NULL && ::IsDialogMessageA(hDlg, pMsg))
            {
                pMsg->message = WM_NULL;  // handled: the loop that fetched it does nothing with it
                pMsg->wParam = 0;
                pMsg->lParam = 0;
            }
        }
        return ::CallNextHookEx(NULL, nCode, wParam, lParam);
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
            ::AcquireSRWLockExclusive(&s_lock);
            for (CFindReplaceDialog* p = s_pFirst; p != NULL; p = p->m_pNext)
                if (p->m_hWnd == hDlg)
                    p->m_hWnd = NULL;
            ::ReleaseSRWLockExclusive(&s_lock);
        }
        return 0;
    }

    static bool Join(CFindReplaceDialog* pDialog)
    {
        if (pDialog->m_hKeyHook != NULL)
            return true;
        pDialog->m_hKeyHook = ::SetWindowsHookExA(WH_GETMESSAGE, &KeyHook, NULL, ::GetCurrentThreadId());
        if (pDialog->m_hKeyHook == NULL)
            return false;
        ::AcquireSRWLockExclusive(&s_lock);
        pDialog->m_pNext = s_pFirst;
        s_pFirst = pDialog;
        ::ReleaseSRWLockExclusive(&s_lock);
        return true;
    }

    static void Leave(CFindReplaceDialog* pDialog)
    {
        if (pDialog->m_hKeyHook == NULL)
            return;
        ::UnhookWindowsHookEx(pDialog->m_hKeyHook);
        pDialog->m_hKeyHook = NULL;
        ::AcquireSRWLockExclusive(&s_lock);
        for (CFindReplaceDialog** pp = &s_pFirst; *pp != NULL; pp = &(*pp)->m_pNext)
        {
            if (*pp == pDialog)
            {
                *pp = pDialog->m_pNext;
                break;
            }
        }
        ::ReleaseSRWLockExclusive(&s_lock);
    }
};

SRWLOCK AfxFindDialogs::s_lock = SRWLOCK_INIT;
CFindReplaceDialog* AfxFindDialogs::s_pFirst = NULL;

CFindReplaceDialog::CFindReplaceDialog() : m_pNext(NULL), m_hKeyHook(NULL)
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
    return AfxFindDialogs::Owning(lParam);
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

// BrowseKeys.cpp - a message hook for each browser running; each looks at every browser's windows.
#include "BrowseKeys.h"

#include "BrowserCommands.h"

namespace {

// Every browser running, in any thread: a list of the objects themselves, not thread-local
// storage, which a DLL that is loaded and freed again and again would leave behind.
SRWLOCK s_lock = SRWLOCK_INIT;
CBrowseKeys* s_pFirst = NULL;

bool MenuIsOpen()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
}

}  // namespace

CBrowseKeys::CBrowseKeys(const CWnd& dialog) : m_dialog(dialog), m_nReleaseToDrop(0), m_pNext(NULL), m_hHook(NULL)
{
    m_hHook = SetWindowsHookExA(WH_GETMESSAGE, &GetMessageHook, NULL, GetCurrentThreadId());
    AcquireSRWLockExclusive(&s_lock);
    m_pNext = s_pFirst;
    s_pFirst = this;
    ReleaseSRWLockExclusive(&s_lock);
}

CBrowseKeys::~CBrowseKeys()
{
    if (m_hHook != NULL)
        UnhookWindowsHookEx(m_hHook);
    AcquireSRWLockExclusive(&s_lock);
    for (CBrowseKeys** pp = &s_pFirst; *pp != NULL; pp = &(*pp)->m_pNext)
    {
        if (*pp == this)
        {
            *pp = m_pNext;
            break;
        }
    }
    ReleaseSRWLockExclusive(&s_lock);
}

UINT CBrowseKeys::CommandOf(UINT nVirtualKey, bool bControl, bool bShift, bool bAlt)
{
    if (bAlt)
        return 0;
    switch (nVirtualKey)
    {
    case 'F':
        return bControl && !bShift ? ID_FIND_TEXT : 0;
    case 'C':
        return bControl && !bShift ? ID_COPY_LABEL : 0;
    case VK_F3:
        return bControl ? 0 : bShift ? ID_FIND_PREVIOUS : ID_FIND_NEXT;
    default:
        return 0;
    }
}

bool CBrowseKeys::IsMenuKey(UINT nVirtualKey, bool bControl, bool bShift, bool bAlt)
{
    // Wine's controls make no WM_CONTEXTMENU of the menu key, nor of Shift+F10.
    if (bControl || bAlt)
        return false;
    return (nVirtualKey == VK_APPS && !bShift) || (nVirtualKey == VK_F10 && bShift);
}

bool CBrowseKeys::Translate(MSG& msg)
{
    HWND hDialog = m_dialog.m_hWnd;
    if (hDialog == NULL || (msg.hwnd != hDialog && !IsChild(hDialog, msg.hwnd)))
        return false;
    if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP)
    {
        if (m_nReleaseToDrop == 0 || msg.wParam != m_nReleaseToDrop)
            return false;
        // The release of a key whose press became a command is no key for the control either.
        m_nReleaseToDrop = 0;
        msg.message = WM_NULL;
        msg.wParam = 0;
        msg.lParam = 0;
        return true;
    }
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return false;
    if (!IsWindowEnabled(hDialog) || MenuIsOpen())
        return false;
    const bool bAlt = (HIWORD(msg.lParam) & KF_ALTDOWN) != 0 || GetKeyState(VK_MENU) < 0;
    const UINT nCommand =
        CommandOf(static_cast<UINT>(msg.wParam), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0, bAlt);
    if (nCommand == 0 && !IsMenuKey(static_cast<UINT>(msg.wParam), GetKeyState(VK_CONTROL) < 0,
                                    GetKeyState(VK_SHIFT) < 0, bAlt))
        return false;
    if (nCommand == 0)
    {
        // The platform gives no WM_CONTEXTMENU for this key here: the hook makes the one the
        // control's default handling would, for the window that has the key.
        m_nReleaseToDrop = static_cast<UINT>(msg.wParam);
        msg.message = WM_CONTEXTMENU;
        msg.wParam = reinterpret_cast<WPARAM>(msg.hwnd);
        msg.lParam = MAKELPARAM(-1, -1);
        return true;
    }
    // What the loop then dispatches is the command, as an accelerator's (notification code 1).
    m_nReleaseToDrop = static_cast<UINT>(msg.wParam);
    msg.hwnd = hDialog;
    msg.message = WM_COMMAND;
    msg.wParam = MAKEWPARAM(nCommand, 1);
    msg.lParam = 0;
    return true;
}

// Each browser's hook looks at every browser's windows: a press one of them turned into a
// command, or a release it dropped, is no key any more for the hooks after it.
LRESULT CALLBACK CBrowseKeys::GetMessageHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    MSG* pMsg = reinterpret_cast<MSG*>(lParam);
    if (nCode == HC_ACTION && wParam == PM_REMOVE && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
    {
        // Translating runs no handler: the command is dispatched after the hook returns.
        AcquireSRWLockExclusive(&s_lock);
        for (CBrowseKeys* p = s_pFirst; p != NULL && !p->Translate(*pMsg); p = p->m_pNext)
        {
        }
        ReleaseSRWLockExclusive(&s_lock);
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

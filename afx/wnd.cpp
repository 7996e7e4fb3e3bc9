// CWnd: handle maps, subclassing, the window trampoline and the thin wrappers.
#include "afximpl.h"

#include <map>
#include <new>

namespace {

// HWND -> wrapper. Permanent wrappers belong to their owners; temporary ones to this map.
struct HandleMaps
{
    CRITICAL_SECTION lock;
    std::map<HWND, CWnd*> permanent;
    std::map<HWND, CWnd*> temporary;

    HandleMaps() { InitializeCriticalSection(&lock); }
    ~HandleMaps()
    {
        // Process end: the temporaries still alive are freed with the map.
        for (auto& entry : temporary)
        {
            entry.second->m_hWnd = NULL;
            delete entry.second;
        }
        DeleteCriticalSection(&lock);
    }
};

HandleMaps& Maps()
{
    static HandleMaps maps;
    return maps;
}

struct Lock
{
    Lock() { EnterCriticalSection(&Maps().lock); }
    ~Lock() { LeaveCriticalSection(&Maps().lock); }
};

void ReportHandlerException(HWND hWnd, UINT message)
{
    char sz[128];
    wsprintfA(sz, "derafx: a handler of message 0x%04X for window %p raised an exception\n", message, (void*)hWnd);
    OutputDebugStringA(sz);
}

}  // namespace

/////////////////////////////////////////////////////////////////////////////
// Trampolines

int AfxWndInternals::Dispatch(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    int nResult;
    try
    {
        nResult = pWnd->AfxGuardedWndMsg(message, wParam, lParam, pResult);
    }
    catch (...)   // raised inside derafx itself
    {
        nResult = -1;
    }
    if (nResult < 0)
        ReportHandlerException(pWnd->m_hWnd, message);
    return nResult;
}

LRESULT CALLBACK AfxWndInternals::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == NULL || pWnd->m_pfnSuper == NULL)
        return DefWindowProcA(hWnd, message, wParam, lParam);
    WNDPROC pfnSuper = pWnd->m_pfnSuper;
    LRESULT lResult = 0;
    if (Dispatch(pWnd, message, wParam, lParam, &lResult) != 1)
        lResult = CallWindowProcA(pfnSuper, hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
    {
        // The window is gone: give it back its own procedure and free the object of it.
        pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != NULL)
            pWnd->UnsubclassWindow();
    }
    return lResult;
}

INT_PTR CALLBACK AfxWndInternals::DlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd;
    if (message == WM_INITDIALOG)
    {
        // DoModal passes the object; from here until WM_NCDESTROY it is attached.
        pWnd = reinterpret_cast<CWnd*>(lParam);
        if (pWnd == NULL || (pWnd->m_hWnd != hWnd && !pWnd->Attach(hWnd)))
        {
            ::EndDialog(hWnd, -1);
            return FALSE;
        }
    }
    else
    {
        pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd == NULL)
            return FALSE;   // messages before WM_INITDIALOG get the default handling
    }

    LRESULT lResult = 0;
    int nHandled = Dispatch(pWnd, message, wParam, lParam, &lResult);
    INT_PTR nReturn = FALSE;
    if (nHandled < 0 && message == WM_INITDIALOG)
        ::EndDialog(hWnd, -1);   // a dialog that failed to initialise is never shown
    else if (message == WM_INITDIALOG)
        nReturn = nHandled == 1 ? (INT_PTR)lResult : TRUE;
    else if (nHandled == 1)
    {
        switch (message)
        {
        // These return their result directly; every other message through DWLP_MSGRESULT.
        case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
        case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
            nReturn = (INT_PTR)lResult;
            break;
        default:
            SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, (LONG_PTR)lResult);
            nReturn = TRUE;
            break;
        }
    }

    if (message == WM_NCDESTROY)
    {
        pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != NULL)
            pWnd->Detach();
        SweepTemporaries();   // the dialog's controls are gone by now
    }
    return nReturn;
}

void AfxWndInternals::SweepTemporaries()
{
    Lock lock;
    auto& temporary = Maps().temporary;
    for (auto it = temporary.begin(); it != temporary.end();)
    {
        if (::IsWindow(it->first))
        {
            ++it;
            continue;
        }
        CWnd* pWnd = it->second;
        it = temporary.erase(it);
        pWnd->m_hWnd = NULL;
        delete pWnd;
    }
}

HWND AfxGetSafeOwnerHwnd(HWND hWndParent)
{
    HWND hWnd = hWndParent != NULL ? hWndParent : GetActiveWindow();
    if (hWnd == NULL)
        return NULL;
    hWnd = GetAncestor(hWnd, GA_ROOT);
    HWND hPopup = hWnd != NULL ? GetLastActivePopup(hWnd) : NULL;
    return hPopup != NULL ? hPopup : hWnd;
}

/////////////////////////////////////////////////////////////////////////////
// Message map of the root class

const AFX_MSGMAP* PASCAL CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, 0, AfxSig_end, (AFX_PMSG)0 } };
    static const AFX_MSGMAP map = { NULL, &entries[0] };
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

int CWnd::AfxGuardedWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return AfxGuardedDispatch(this, GetMessageMap(), message, wParam, lParam, pResult);
}

/////////////////////////////////////////////////////////////////////////////
// Construction, handle maps

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL) {}

CWnd::~CWnd()
{
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this)
    {
        if (m_pfnSuper != NULL)
            UnsubclassWindow();
        else
            Detach();
    }
}


CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == NULL)
        return NULL;
    Lock lock;
    auto& permanent = Maps().permanent;
    auto it = permanent.find(hWnd);
    return it != permanent.end() ? it->second : NULL;
}

CWnd* PASCAL CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == NULL)
        return NULL;
    Lock lock;
    HandleMaps& maps = Maps();
    auto it = maps.permanent.find(hWnd);
    if (it != maps.permanent.end())
        return it->second;
    it = maps.temporary.find(hWnd);
    if (it != maps.temporary.end())
        return it->second;
    CWnd* pWnd = new (std::nothrow) CWnd;
    if (pWnd == NULL)
        return NULL;
    try
    {
        maps.temporary[hWnd] = pWnd;
    }
    catch (...)
    {
        delete pWnd;
        return NULL;
    }
    pWnd->m_hWnd = hWnd;
    return pWnd;
}

BOOL CWnd::Attach(HWND hWndNew)
{
    ASSERT(m_hWnd == NULL);
    if (hWndNew == NULL || m_hWnd != NULL)
        return FALSE;
    Lock lock;
    auto& permanent = Maps().permanent;
    if (permanent.count(hWndNew) != 0)
        return FALSE;   // one permanent wrapper per window
    try
    {
        permanent[hWndNew] = this;
    }
    catch (...)
    {
        return FALSE;
    }
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != NULL)
    {
        Lock lock;
        auto& permanent = Maps().permanent;
        auto it = permanent.find(hWnd);
        if (it != permanent.end() && it->second == this)
            permanent.erase(it);
    }
    m_hWnd = NULL;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    WNDPROC pfnOld = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndInternals::WndProc)));
    if (pfnOld == NULL)
    {
        Detach();
        return FALSE;
    }
    m_pfnSuper = pfnOld;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    ASSERT(pParent != NULL && ::IsWindow(pParent->m_hWnd));
    if (pParent == NULL)
        return FALSE;
    HWND hWndControl = ::GetDlgItem(pParent->m_hWnd, (int)nID);
    return hWndControl != NULL && SubclassWindow(hWndControl);
}

HWND CWnd::UnsubclassWindow()
{
    if (m_hWnd != NULL && m_pfnSuper != NULL &&
        GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AfxWndInternals::WndProc))
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = NULL;
    return Detach();
}

/////////////////////////////////////////////////////////////////////////////
// Thin wrappers

CWnd* CWnd::GetDlgItem(int nID) const
{
    ASSERT(::IsWindow(m_hWnd));
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

CWnd* CWnd::GetParent() const
{
    ASSERT(::IsWindow(m_hWnd));
    return FromHandle(::GetParent(m_hWnd));
}

void CWnd::SetWindowText(LPCSTR lpszString)
{
    ASSERT(::IsWindow(m_hWnd));
    ::SetWindowTextA(m_hWnd, lpszString);
}

void CWnd::GetWindowText(CString& rString) const
{
    ASSERT(::IsWindow(m_hWnd));
    // The length is a hint (it may count more than the text has); grow while the text fills the buffer.
    int nSize = ::GetWindowTextLengthA(m_hWnd) + 1;
    for (;;)
    {
        int nCopied = ::GetWindowTextA(m_hWnd, rString.GetBuffer(nSize), nSize + 1);
        if (nCopied < nSize || nSize > 0x1000000)
        {
            rString.ReleaseBuffer(nCopied > 0 ? nCopied : 0);
            return;
        }
        nSize *= 2;
    }
}

BOOL CWnd::EnableWindow(BOOL bEnable) { ASSERT(::IsWindow(m_hWnd)); return ::EnableWindow(m_hWnd, bEnable); }
BOOL CWnd::IsWindowVisible() const { ASSERT(::IsWindow(m_hWnd)); return ::IsWindowVisible(m_hWnd); }
DWORD CWnd::GetStyle() const { ASSERT(::IsWindow(m_hWnd)); return (DWORD)::GetWindowLongA(m_hWnd, GWL_STYLE); }

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    ASSERT(::IsWindow(m_hWnd));
    const DWORD dwStyle = GetStyle();
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, (LONG)dwNewStyle);
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::WinHelp(LPCSTR lpszHelp, UINT nCmd, DWORD_PTR dwData)
{
    ASSERT(::IsWindow(m_hWnd));
    return ::WinHelpA(m_hWnd, lpszHelp, nCmd, dwData);
}
BOOL CWnd::ShowWindow(int nCmdShow) { ASSERT(::IsWindow(m_hWnd)); return ::ShowWindow(m_hWnd, nCmdShow); }

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString)
{
    ASSERT(::IsWindow(m_hWnd));
    ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}

void CWnd::SetRedraw(BOOL bRedraw)
{
    ASSERT(::IsWindow(m_hWnd));
    ::SendMessageA(m_hWnd, WM_SETREDRAW, (WPARAM)bRedraw, 0);
}

void CWnd::Invalidate(BOOL bErase)
{
    ASSERT(::IsWindow(m_hWnd));
    ::InvalidateRect(m_hWnd, NULL, bErase);
}

CWnd* CWnd::SetFocus()
{
    ASSERT(::IsWindow(m_hWnd));
    return FromHandle(::SetFocus(m_hWnd));
}

CWnd* CWnd::SetCapture()
{
    ASSERT(::IsWindow(m_hWnd));
    return FromHandle(::SetCapture(m_hWnd));
}

CWnd* PASCAL CWnd::GetCapture()
{
    return FromHandle(::GetCapture());
}

void CWnd::GetWindowRect(LPRECT lpRect) const
{
    ASSERT(::IsWindow(m_hWnd));
    ::GetWindowRect(m_hWnd, lpRect);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    ASSERT(::IsWindow(m_hWnd));
    const bool bChild = (GetWindowLongPtrA(m_hWnd, GWL_STYLE) & WS_CHILD) != 0;
    HWND hWndCenter = pAlternateOwner != NULL ? pAlternateOwner->m_hWnd
                      : bChild               ? ::GetParent(m_hWnd)
                                             : ::GetWindow(m_hWnd, GW_OWNER);
    RECT rcArea, rcCenter, rcWindow;
    ::GetWindowRect(m_hWnd, &rcWindow);
    if (bChild)
    {
        // A child is placed in its parent's client coordinates.
        HWND hWndParent = ::GetParent(m_hWnd);
        ::GetClientRect(hWndParent, &rcArea);
        rcCenter = rcArea;
        if (hWndCenter != NULL && hWndCenter != hWndParent)
        {
            ::GetWindowRect(hWndCenter, &rcCenter);
            ::MapWindowPoints(NULL, hWndParent, reinterpret_cast<POINT*>(&rcCenter), 2);
        }
    }
    else
    {
        // An owner that cannot be seen is no reference: use the monitor's work area.
        if (hWndCenter != NULL && (!::IsWindowVisible(hWndCenter) || ::IsIconic(hWndCenter)))
            hWndCenter = NULL;
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        HMONITOR hMonitor = MonitorFromWindow(hWndCenter != NULL ? hWndCenter : m_hWnd, MONITOR_DEFAULTTOPRIMARY);
        if (!GetMonitorInfoA(hMonitor, &mi))
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
        rcArea = mi.rcWork;
        if (hWndCenter != NULL)
            ::GetWindowRect(hWndCenter, &rcCenter);
        else
            rcCenter = rcArea;
    }

    const int cx = rcWindow.right - rcWindow.left, cy = rcWindow.bottom - rcWindow.top;
    int x = (rcCenter.left + rcCenter.right - cx) / 2;
    int y = (rcCenter.top + rcCenter.bottom - cy) / 2;
    if (x + cx > rcArea.right)
        x = rcArea.right - cx;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y + cy > rcArea.bottom)
        y = rcArea.bottom - cy;
    if (y < rcArea.top)
        y = rcArea.top;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == NULL)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::OnHelpInfo(HELPINFO* /*pHelpInfo*/) { return FALSE; }

BOOL CWnd::OnChildNotify(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT* /*pResult*/)
{
    return FALSE;
}

// RowDrag.cpp - the mouse loop of a drag between the transfer lists.
#include "RowDrag.h"

#include <windowsx.h>

CRowDrag::CRowDrag(CWnd* pDialog, CWnd* pTarget) : m_pDialog(pDialog), m_pTarget(pTarget) {}

BOOL CRowDrag::Track()
{
    HCURSOR hDrop = ::LoadCursor(NULL, IDC_ARROW);
    HCURSOR hNoDrop = ::LoadCursor(NULL, IDC_NO);
    m_pDialog->SetCapture();
    ::SetCursor(hNoDrop);  // the rows are still over the list they came from
    BOOL bDropped = FALSE;
    for (;;)
    {
        // A message box, a window of another program or the dialog's end takes the mouse away.
        if (CWnd::GetCapture() != m_pDialog || !m_pDialog->IsWindowVisible())
            break;
        MSG msg;
        const BOOL bGot = ::GetMessageA(&msg, NULL, 0, 0);
        if (bGot <= 0)
        {
            if (bGot == 0)
                ::PostQuitMessage((int)msg.wParam);  // for the loop that owns the thread
            break;
        }
        if (msg.message == WM_MOUSEMOVE)
        {
            // A button released where the drag did not see it ends the drag with no drop.
            if (!(msg.wParam & MK_LBUTTON))
                break;
            ::SetCursor(IsOverTarget(msg) ? hDrop : hNoDrop);
            continue;
        }
        if (msg.message == WM_LBUTTONUP)
        {
            bDropped = IsOverTarget(msg);
            break;
        }
        if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_RBUTTONDOWN)
            break;
        // Typing and clicking have no meaning in the middle of a drag.
        if ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
            (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST))
            continue;
        ::DispatchMessageA(&msg);
    }
    if (CWnd::GetCapture() == m_pDialog)
        ::ReleaseCapture();
    return bDropped;
}

BOOL CRowDrag::IsOverTarget(const MSG& msg) const
{
    // Mouse messages carry client coordinates of the window they are for (the dialog,
    // while it holds the capture).
    POINT pt = { GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam) };
    ::ClientToScreen(msg.hwnd, &pt);
    RECT rcTarget;
    m_pTarget->GetWindowRect(&rcTarget);
    return ::PtInRect(&rcTarget, pt);
}

// CToolTipCtrl: tooltips for a dialog's controls.
#include "afxcmn.h"
#include "afximpl.h"

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    ASSERT(pParentWnd != NULL && ::IsWindow(pParentWnd->m_hWnd));
    if (pParentWnd == NULL || m_hWnd != NULL)
        return FALSE;
    AfxInitCommonControlsOnce();
    HWND hWnd =
        ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL, WS_POPUP | TTS_ALWAYSTIP | dwStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd->m_hWnd, NULL, NULL, NULL);
    if (hWnd == NULL)
        return FALSE;
    if (!Attach(hWnd))
    {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR lpszText)
{
    ASSERT(::IsWindow(m_hWnd) && pWnd != NULL && ::IsWindow(pWnd->m_hWnd));
    TTTOOLINFOA ti = {};
    // The size that every version of the control knows (version 6 adds a field that version 5 refuses).
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(pWnd->m_hWnd);
    ti.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
    ti.lpszText = const_cast<LPSTR>(lpszText);
    return (BOOL)::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

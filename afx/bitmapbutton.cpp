// CBitmapButton: an owner-drawn button painted from bitmaps named by its caption.
#include "afxext.h"

CBitmapButton::CBitmapButton() {}
CBitmapButton::~CBitmapButton() {}   // the four CBitmap members delete their bitmaps

BOOL CBitmapButton::LoadBitmaps(LPCSTR lpszBitmapResource, LPCSTR lpszBitmapResourceSel,
                                LPCSTR lpszBitmapResourceFocus, LPCSTR lpszBitmapResourceDisabled)
{
    m_bitmap.DeleteObject();
    m_bitmapSel.DeleteObject();
    m_bitmapFocus.DeleteObject();
    m_bitmapDisabled.DeleteObject();

    if (lpszBitmapResource == NULL || !m_bitmap.LoadBitmap(lpszBitmapResource))
        return FALSE;
    BOOL bAllLoaded = TRUE;
    if (lpszBitmapResourceSel != NULL && !m_bitmapSel.LoadBitmap(lpszBitmapResourceSel))
        bAllLoaded = FALSE;
    if (lpszBitmapResourceFocus != NULL && !m_bitmapFocus.LoadBitmap(lpszBitmapResourceFocus))
        bAllLoaded = FALSE;
    if (lpszBitmapResourceDisabled != NULL && !m_bitmapDisabled.LoadBitmap(lpszBitmapResourceDisabled))
        bAllLoaded = FALSE;
    return bAllLoaded;
}

BOOL CBitmapButton::AutoLoad(UINT nID, CWnd* pParent)
{
    if (!SubclassDlgItem(nID, pParent))
        return FALSE;
    CString strName;
    GetWindowText(strName);
    if (strName.IsEmpty())
        return FALSE;
    BOOL bLoaded = LoadBitmaps(strName + "U", strName + "D", strName + "F");
    m_bitmapDisabled.LoadBitmap(strName + "X");   // optional: the normal image stands in
    if (m_bitmap.m_hObject != NULL)
        SizeToContent();
    return bLoaded;
}

void CBitmapButton::SizeToContent()
{
    ASSERT(::IsWindow(m_hWnd) && m_bitmap.m_hObject != NULL);
    BITMAP bm;
    if (m_bitmap.m_hObject == NULL || !m_bitmap.GetBitmap(&bm))
        return;
    ::SetWindowPos(m_hWnd, NULL, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    // Pressed beats focused; a missing special image falls back to the normal one.
    const CBitmap* pBitmap = &m_bitmap;
    if ((lpDIS->itemState & ODS_SELECTED) && m_bitmapSel.m_hObject != NULL)
        pBitmap = &m_bitmapSel;
    else if ((lpDIS->itemState & ODS_FOCUS) && m_bitmapFocus.m_hObject != NULL)
        pBitmap = &m_bitmapFocus;
    else if ((lpDIS->itemState & ODS_DISABLED) && m_bitmapDisabled.m_hObject != NULL)
        pBitmap = &m_bitmapDisabled;
    if (pBitmap->m_hObject == NULL)
        return;

    HDC hdcMem = CreateCompatibleDC(lpDIS->hDC);
    if (hdcMem == NULL)
        return;
    HGDIOBJ hOld = SelectObject(hdcMem, pBitmap->m_hObject);
    const RECT& rc = lpDIS->rcItem;
    BitBlt(lpDIS->hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hdcMem, 0, 0, SRCCOPY);
    SelectObject(hdcMem, hOld);
    DeleteDC(hdcMem);
}

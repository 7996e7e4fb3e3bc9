// CBitmapButton: an owner-drawn button painted from bitmaps named by its caption.
#include "afxext.h"
#include "afximpl.h"

#include <new>
#include <stdio.h>

int AFXAPI AfxBitmapScaleForDpi(int nDpi)
{
    if (nDpi >= 192)
        return 200;
    if (nDpi >= 144)
        return 150;
    return 100;
}

CBitmapButton::CBitmapButton() : m_pAccessibleName(NULL) {}

// The four CBitmap members delete their bitmaps.
CBitmapButton::~CBitmapButton()
{
    delete m_pAccessibleName;
}

BEGIN_MESSAGE_MAP(CBitmapButton, CButton)
    ON_MESSAGE(WM_GETOBJECT, OnGetObject)
END_MESSAGE_MAP()

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
    // The DPI the dialog was laid out for: its font's size comes from the same figure.
    HDC hdc = ::GetDC(m_hWnd);
    const int nDpi = hdc != NULL ? ::GetDeviceCaps(hdc, LOGPIXELSY) : 96;
    if (hdc != NULL)
        ::ReleaseDC(m_hWnd, hdc);
    const int nScale = AfxBitmapScaleForDpi(nDpi);
    if (nScale > 100)
    {
        char szScale[8];
        sprintf(szScale, "%d", nScale);
        if (LoadBitmaps(strName + "U" + szScale, strName + "D" + szScale, strName + "F" + szScale))
        {
            m_bitmapDisabled.LoadBitmap(strName + "X" + szScale);
            SizeToContent();
            return TRUE;
        }
        // Not all three for this scale: the images for 96 DPI, as below.
    }
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

void CBitmapButton::SetAccessibleName(LPCSTR lpszName)
{
    const CString strName(lpszName != NULL ? lpszName : "");
    if (m_pAccessibleName != NULL)
        m_pAccessibleName->SetName(strName);
    else if (!strName.IsEmpty())
        m_pAccessibleName = new (std::nothrow) CAccessibleName(strName);   // none: the text stays the name
}

LRESULT CBitmapButton::OnGetObject(WPARAM wParam, LPARAM lParam)
{
    // Only the client object has our name; everything else is the button's own answer.
    if ((LONG)lParam == (LONG)OBJID_CLIENT && m_pAccessibleName != NULL && m_pAccessibleName->HasName())
    {
        const LRESULT lResult = m_pAccessibleName->Answer(m_hWnd, wParam);
        if (lResult != 0)
            return lResult;
    }
    return ::CallWindowProcA(m_pfnSuper, m_hWnd, WM_GETOBJECT, wParam, lParam);
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

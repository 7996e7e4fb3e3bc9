// derafx extensions: CBitmapButton.
#ifndef DERAFX_AFXEXT_H
#define DERAFX_AFXEXT_H

#include "afxwin.h"

class CAccessibleName;  // afx/accessible.cpp

// The scale, in percent, of the bitmaps that fit a window of nDpi dots per inch: the
// largest of 100, 150 and 200 that does not exceed nDpi / 96 (ours, not MFC's).
AFX_API int AFXAPI AfxBitmapScaleForDpi(int nDpi);

// An owner-drawn button showing one of up to four bitmaps: normal ("U"), pressed ("D"),
// focused ("F") and disabled ("X"; the normal image when absent).
class AFX_CLASS_EXPORT CBitmapButton : public CButton
{
public:
    CBitmapButton();
    virtual ~CBitmapButton();

    // Loads the images through AfxFindResourceHandle. FALSE when the normal image or any
    // other named image is missing; what did load is kept.
    BOOL LoadBitmaps(LPCSTR lpszBitmapResource, LPCSTR lpszBitmapResourceSel = NULL,
                     LPCSTR lpszBitmapResourceFocus = NULL, LPCSTR lpszBitmapResourceDisabled = NULL);
    // Subclasses the dialog's button nID, loads the bitmaps named by its caption followed by
    // "U", "D" and "F" (and "X" when it exists) and sizes the button to the normal image.
    // FALSE when the button is missing or one of the three images cannot be loaded.
    // On a window above 96 DPI the images drawn for its scale come first, named with the
    // scale appended ("ADDU150", "ADDU200", see AfxBitmapScaleForDpi), when all three exist.
    BOOL AutoLoad(UINT nID, CWnd* pParent);
    void SizeToContent();   // the size of the normal image

    // Ours, not MFC's: the name that assistive programs read for the button (through
    // WM_GETOBJECT, as an IAccessible that is the platform's own for the button but for
    // its name) instead of its window text, which stays as it is. Empty: the window text.
    void SetAccessibleName(LPCSTR lpszName);

    virtual void DrawItem(LPDRAWITEMSTRUCT lpDIS);

protected:
    afx_msg LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    CBitmap m_bitmap;           // normal
    CBitmap m_bitmapSel;        // pressed
    CBitmap m_bitmapFocus;      // focused
    CBitmap m_bitmapDisabled;   // disabled

private:
    CAccessibleName* m_pAccessibleName;  // NULL until SetAccessibleName
};

#endif

// derafx extensions: CBitmapButton.
#ifndef DERAFX_AFXEXT_H
#define DERAFX_AFXEXT_H

#include "afxwin.h"

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
    BOOL AutoLoad(UINT nID, CWnd* pParent);
    void SizeToContent();   // the size of the normal image

    virtual void DrawItem(LPDRAWITEMSTRUCT lpDIS);

protected:
    CBitmap m_bitmap;           // normal
    CBitmap m_bitmapSel;        // pressed
    CBitmap m_bitmapFocus;      // focused
    CBitmap m_bitmapDisabled;   // disabled
};

#endif

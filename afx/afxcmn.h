// derafx common controls: CListCtrl and CTreeCtrl. The dialogs drive the controls with
// SendMessageA; these wrappers add only what reads text back.
#ifndef DERAFX_AFXCMN_H
#define DERAFX_AFXCMN_H

#include "afxwin.h"
#include <commctrl.h>

class AFX_CLASS_EXPORT CListCtrl : public CWnd
{
public:
    // The whole text of one cell, however long (empty for a row or column that does not exist).
    CString GetItemText(int nItem, int nSubItem) const;
};

class AFX_CLASS_EXPORT CTreeCtrl : public CWnd
{
};

#endif

// derafx common controls: CListCtrl (report list view), CToolTipCtrl and CTreeCtrl, thin wrappers with
// MFC's names: each method asserts the window, sends one message and returns the API's type.
#ifndef DERAFX_AFXCMN_H
#define DERAFX_AFXCMN_H

#include "afxwin.h"
#include <commctrl.h>

class AFX_CLASS_EXPORT CListCtrl : public CWnd
{
public:
    int GetItemCount() const;
    // The next row after nItem (-1: from the top) that has the LVNI_* flags, or -1.
    int GetNextItem(int nItem, int nFlags) const;
    // A text-only row; the index it got, or -1. A sorted list puts the row at its text's place
    // whatever nItem says (Wine finds that place by a linear scan from row 0; Windows by halving).
    int InsertItem(int nItem, LPCSTR lpszItem);
    // LVM_SETITEMA with LVIF_TEXT, as MFC 4.2 sets a cell (not LVM_SETITEMTEXTA). Setting a
    // sub-item's text never re-sorts, and the sub-item's column must exist (Wine refuses it otherwise).
    BOOL SetItemText(int nItem, int nSubItem, LPCSTR lpszText);
    // The whole text of one cell, however long (empty for a row or column that does not exist).
    CString GetItemText(int nItem, int nSubItem) const;
    // Each insert or delete in a visible list repaints its scroll bar: suspend redrawing around many.
    BOOL DeleteItem(int nItem);
    // LVCF_FMT | LVCF_TEXT, with LVCF_WIDTH unless nWidth is -1 and LVCF_SUBITEM unless nSubItem is -1.
    int InsertColumn(int nCol, LPCSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
};

// A tooltip control (TOOLTIPS_CLASS) owned by a dialog, one tool per control.
class AFX_CLASS_EXPORT CToolTipCtrl : public CWnd
{
public:
    // A popup tooltip window owned by pParentWnd (TTS_ALWAYSTIP | dwStyle); it is destroyed
    // with its owner.
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // Shows lpszText while the pointer rests on pWnd. The tool subclasses pWnd to see its mouse
    // messages (TTF_SUBCLASS): a modal dialog has no message loop of ours to relay them from.
    BOOL AddTool(CWnd* pWnd, LPCSTR lpszText);
};

// Every call that takes an item handle makes Wine's tree view validate it by a linear scan
// of all items in creation order: a handle made early is found at once, a late one costs a
// scan of the whole tree. TVI_ROOT, TVI_FIRST and TVI_LAST are not looked up.
class AFX_CLASS_EXPORT CTreeCtrl : public CWnd
{
public:
    UINT GetCount() const;
    // A text-only item after hInsertAfter among the children of hParent (TVI_ROOT: top level).
    // Inserts recompute the visible rows of a redrawing tree: suspend redrawing around many.
    HTREEITEM InsertItem(LPCSTR lpszItem, HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
    BOOL DeleteAllItems();

    // NULL when there is no such item.
    HTREEITEM GetRootItem() const;
    HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const;
    HTREEITEM GetParentItem(HTREEITEM hItem) const;
    // The item displayed directly below hItem: pre-order over the open branches.
    HTREEITEM GetNextVisibleItem(HTREEITEM hItem) const;
    HTREEITEM GetSelectedItem() const;

    // Expand and EnsureVisible ignore WM_SETREDRAW: on a visible item each walks
    // the visible items, updates the scroll bars and repaints. Hide the tree around many.
    BOOL Expand(HTREEITEM hItem, UINT nCode);   // TVE_EXPAND or TVE_COLLAPSE
    BOOL EnsureVisible(HTREEITEM hItem);

    // TVM_SELECTITEM: TVGN_CARET (selects, opening the item's closed parents and scrolling it
    // into view) and TVGN_DROPHILITE (drawn as a drop target; NULL: none).
    BOOL SelectItem(HTREEITEM hItem);
    BOOL SelectDropTarget(HTREEITEM hItem);
    // The item's row (bTextOnly: its label only) in client coordinates; FALSE when it is
    // not displayed (under a closed parent).
    BOOL GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL bTextOnly) const;
    // The item on the row at pt (client coordinates), or NULL; *pFlags: where on it (TVHT_*).
    HTREEITEM HitTest(POINT pt, UINT* pFlags = NULL) const;

private:
    HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const;   // nCode: a TVGN_* relation
};

#endif

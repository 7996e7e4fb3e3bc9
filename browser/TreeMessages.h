// TreeMessages.h - the tree view messages the browser sends, one function each.
// Every call that takes an item handle makes Wine's tree view look the handle up
// among all items, so each of these costs time in proportion to the tree's size.
#ifndef DERAR_TREEMESSAGES_H
#define DERAR_TREEMESSAGES_H

#include <afxwin.h>
#include <commctrl.h>

inline HTREEITEM TreeGetNextItem(CWnd* pTree, HTREEITEM hItem, UINT nCode)
{
    return reinterpret_cast<HTREEITEM>(
        pTree->SendMessage(TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
}

inline HTREEITEM TreeGetRootItem(CWnd* pTree) { return TreeGetNextItem(pTree, NULL, TVGN_ROOT); }

// The item that a user clicked last, or NULL when none is selected.
inline HTREEITEM TreeGetSelectedItem(CWnd* pTree) { return TreeGetNextItem(pTree, NULL, TVGN_CARET); }

inline HTREEITEM TreeGetParentItem(CWnd* pTree, HTREEITEM hItem)
{
    return TreeGetNextItem(pTree, hItem, TVGN_PARENT);
}

inline HTREEITEM TreeGetNextSiblingItem(CWnd* pTree, HTREEITEM hItem)
{
    return TreeGetNextItem(pTree, hItem, TVGN_NEXT);
}

// The item displayed directly below hItem (pre-order over the open branches).
inline HTREEITEM TreeGetNextVisibleItem(CWnd* pTree, HTREEITEM hItem)
{
    return TreeGetNextItem(pTree, hItem, TVGN_NEXTVISIBLE);
}

// nCode: TVE_EXPAND or TVE_COLLAPSE.
inline void TreeExpand(CWnd* pTree, HTREEITEM hItem, UINT nCode)
{
    pTree->SendMessage(TVM_EXPAND, nCode, reinterpret_cast<LPARAM>(hItem));
}

inline void TreeEnsureVisible(CWnd* pTree, HTREEITEM hItem)
{
    pTree->SendMessage(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(hItem));
}

// A text-only item after the last child of hParent (TVI_ROOT: the top level).
inline HTREEITEM TreeInsertItem(CWnd* pTree, HTREEITEM hParent, LPCSTR pszText)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPSTR>(pszText);
    return reinterpret_cast<HTREEITEM>(
        pTree->SendMessage(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

inline void TreeDeleteAllItems(CWnd* pTree)
{
    pTree->SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

#endif

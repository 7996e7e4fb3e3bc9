// CTreeCtrl: the tree view, one message per method.
#include "afxcmn.h"

#include <string.h>

UINT CTreeCtrl::GetCount() const
{
    ASSERT(::IsWindow(m_hWnd));
    return (UINT)::SendMessageA(m_hWnd, TVM_GETCOUNT, 0, 0);
}

HTREEITEM CTreeCtrl::InsertItem(LPCSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    ASSERT(::IsWindow(m_hWnd));
    TVINSERTSTRUCTA insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPSTR>(lpszItem);
    return reinterpret_cast<HTREEITEM>(::SendMessageA(m_hWnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

BOOL CTreeCtrl::DeleteAllItems()
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const
{
    ASSERT(::IsWindow(m_hWnd));
    return reinterpret_cast<HTREEITEM>(::SendMessageA(m_hWnd, TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
}

HTREEITEM CTreeCtrl::GetRootItem() const { return GetNextItem(NULL, TVGN_ROOT); }
HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXT); }
HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PARENT); }
HTREEITEM CTreeCtrl::GetNextVisibleItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXTVISIBLE); }
HTREEITEM CTreeCtrl::GetSelectedItem() const { return GetNextItem(NULL, TVGN_CARET); }

BOOL CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode)
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_EXPAND, nCode, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::EnsureVisible(HTREEITEM hItem)
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::SelectItem(HTREEITEM hItem)
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::SelectDropTarget(HTREEITEM hItem)
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL bTextOnly) const
{
    ASSERT(::IsWindow(m_hWnd) && lpRect != NULL);
    // The item goes in where the rectangle comes out.
    memcpy(lpRect, &hItem, sizeof(hItem));
    return (BOOL)::SendMessageA(m_hWnd, TVM_GETITEMRECT, (WPARAM)bTextOnly, reinterpret_cast<LPARAM>(lpRect));
}

HTREEITEM CTreeCtrl::HitTest(POINT pt, UINT* pFlags) const
{
    ASSERT(::IsWindow(m_hWnd));
    TVHITTESTINFO hit = {};
    hit.pt = pt;
    HTREEITEM hItem =
        reinterpret_cast<HTREEITEM>(::SendMessageA(m_hWnd, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (pFlags != NULL)
        *pFlags = hit.flags;
    return hItem;
}

// CTreeCtrl: the tree view, one message per method.
#include "afxcmn.h"

UINT CTreeCtrl::GetCount() const
{
    ASSERT(::IsWindow(m_hWnd));
    return (UINT)::SendMessageA(m_hWnd, TVM_GETCOUNT, 0, 0);
}

HTREEITEM CTreeCtrl::InsertItem(LPTVINSERTSTRUCTA lpInsertStruct)
{
    ASSERT(::IsWindow(m_hWnd));
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageA(m_hWnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(lpInsertStruct)));
}

HTREEITEM CTreeCtrl::InsertItem(LPCSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPSTR>(lpszItem);
    return InsertItem(&insert);
}

BOOL CTreeCtrl::DeleteAllItems()
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

BOOL CTreeCtrl::GetItem(TVITEMA* pItem) const
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(pItem));
}

BOOL CTreeCtrl::SetItem(TVITEMA* pItem)
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(pItem));
}

CString CTreeCtrl::GetItemText(HTREEITEM hItem) const
{
    ASSERT(::IsWindow(m_hWnd));
    CString strText;
    if (hItem == NULL)
        return strText;
    // TVM_GETITEM copies at most cchTextMax - 1 bytes and gives no length: grow until the
    // text ends before the buffer does.
    for (int nSize = 256;; nSize *= 2)
    {
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = hItem;
        item.cchTextMax = nSize;
        LPSTR pszBuffer = strText.GetBuffer(nSize);
        pszBuffer[0] = '\0';
        item.pszText = pszBuffer;
        if (!::SendMessageA(m_hWnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
            pszBuffer[0] = '\0';
        int nLength = lstrlenA(pszBuffer);
        if (nLength < nSize - 1 || nSize >= 0x1000000)
        {
            strText.ReleaseBuffer(nLength);
            return strText;
        }
    }
}

UINT CTreeCtrl::GetItemState(HTREEITEM hItem, UINT nStateMask) const
{
    ASSERT(::IsWindow(m_hWnd));
    return (UINT)::SendMessageA(m_hWnd, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem), (LPARAM)nStateMask);
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const
{
    ASSERT(::IsWindow(m_hWnd));
    return reinterpret_cast<HTREEITEM>(::SendMessageA(m_hWnd, TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
}

HTREEITEM CTreeCtrl::GetRootItem() const { return GetNextItem(NULL, TVGN_ROOT); }
HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_CHILD); }
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

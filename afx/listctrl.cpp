// CListCtrl: the report list view, one message per method.
#include "afxcmn.h"

int CListCtrl::GetItemCount() const
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0);
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, LVM_GETNEXTITEM, (WPARAM)nItem, MAKELPARAM(nFlags, 0));
}

int CListCtrl::InsertItem(int nItem, LPCSTR lpszItem)
{
    ASSERT(::IsWindow(m_hWnd));
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<LPSTR>(lpszItem);
    return (int)::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCSTR lpszText)
{
    ASSERT(::IsWindow(m_hWnd));
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPSTR>(lpszText);
    return (BOOL)::SendMessageA(m_hWnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    ASSERT(::IsWindow(m_hWnd));
    CString strText;
    // LVM_GETITEMTEXT copies at most cchTextMax - 1 bytes: grow until the text is shorter.
    for (int nSize = 256;; nSize *= 2)
    {
        LVITEMA lvi = {};
        lvi.iSubItem = nSubItem;
        lvi.cchTextMax = nSize;
        lvi.pszText = strText.GetBuffer(nSize);
        lvi.pszText[0] = '\0';
        int nCopied = (int)::SendMessageA(m_hWnd, LVM_GETITEMTEXTA, (WPARAM)nItem, reinterpret_cast<LPARAM>(&lvi));
        if (nCopied < nSize - 1 || nSize >= 0x1000000)
        {
            strText.ReleaseBuffer(nCopied >= 0 && nCopied < nSize ? nCopied : -1);
            return strText;
        }
    }
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    ASSERT(::IsWindow(m_hWnd));
    return (BOOL)::SendMessageA(m_hWnd, LVM_DELETEITEM, (WPARAM)nItem, 0);
}

int CListCtrl::InsertColumn(int nCol, LPCSTR lpszColumnHeading, int nFormat, int nWidth, int nSubItem)
{
    ASSERT(::IsWindow(m_hWnd));
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = nFormat;
    column.pszText = const_cast<LPSTR>(lpszColumnHeading);
    if (nWidth != -1)
    {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    if (nSubItem != -1)
    {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = nSubItem;
    }
    return (int)::SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, (WPARAM)nCol, reinterpret_cast<LPARAM>(&column));
}

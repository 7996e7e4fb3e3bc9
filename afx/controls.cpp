// CButton, CComboBox and CListCtrl: the few control wrappers the dialogs read through.
#include "afxcmn.h"

#include <string.h>

void CButton::DrawItem(LPDRAWITEMSTRUCT /*lpDrawItemStruct*/) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM /*wParam*/, LPARAM lParam, LRESULT* pResult)
{
    if (message != WM_DRAWITEM)
        return FALSE;
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *pResult = TRUE;
    return TRUE;
}

int CComboBox::GetCount() const
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0);
}

int CComboBox::GetCurSel() const
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0);
}

int CComboBox::GetLBTextLen(int nIndex) const
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, (WPARAM)nIndex, 0);
}

int CComboBox::GetLBText(int nIndex, CString& rString) const
{
    ASSERT(::IsWindow(m_hWnd));
    int nLength = GetLBTextLen(nIndex);
    if (nLength == CB_ERR)
    {
        rString.Empty();
        return CB_ERR;
    }
    // CB_GETLBTEXTLEN may count more than CB_GETLBTEXT copies (multi-byte texts): keep what came.
    int nCopied = (int)::SendMessageA(m_hWnd, CB_GETLBTEXT, (WPARAM)nIndex,
                                      reinterpret_cast<LPARAM>(rString.GetBuffer(nLength)));
    rString.ReleaseBuffer(nCopied >= 0 && nCopied <= nLength ? nCopied : 0);
    return nCopied;
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

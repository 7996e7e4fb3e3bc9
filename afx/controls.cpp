// CButton and CComboBox.
#include "afxwin.h"

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

int CComboBox::GetCurSel() const
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0);
}

int CComboBox::AddString(LPCSTR lpszString)
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString));
}

void CComboBox::ResetContent()
{
    ASSERT(::IsWindow(m_hWnd));
    ::SendMessageA(m_hWnd, CB_RESETCONTENT, 0, 0);
}

int CComboBox::SelectString(int nStartAfter, LPCSTR lpszString)
{
    ASSERT(::IsWindow(m_hWnd));
    return (int)::SendMessageA(m_hWnd, CB_SELECTSTRING, (WPARAM)nStartAfter, reinterpret_cast<LPARAM>(lpszString));
}

int CComboBox::GetLBText(int nIndex, CString& rString) const
{
    ASSERT(::IsWindow(m_hWnd));
    int nLength = (int)::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, (WPARAM)nIndex, 0);
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

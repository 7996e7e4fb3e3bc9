// Copy (Ctrl+C) and the menu of an item: the tree's WM_CONTEXTMENU, for a right click on an
// item, or the menu key or Shift+F10 for the selected item.
#include "BrowseDialog.h"

#include <windowsx.h>

#include <cstring>

#include "BrowserCommands.h"

namespace {

// A movable global block holding the bytes; NULL when memory runs out.
HGLOBAL GlobalCopy(const void* pData, size_t nBytes)
{
    HGLOBAL hMemory = GlobalAlloc(GMEM_MOVEABLE, nBytes);
    void* pMemory = hMemory != NULL ? GlobalLock(hMemory) : NULL;
    if (pMemory == NULL)
    {
        if (hMemory != NULL)
            GlobalFree(hMemory);
        return NULL;
    }
    std::memcpy(pMemory, pData, nBytes);
    GlobalUnlock(hMemory);
    return hMemory;
}

}  // namespace

void CBrowseDialog::OnCopyLabel()
{
    const int nItem = m_pTree != NULL ? m_model.IndexOf(m_pTree->GetSelectedItem()) : -1;
    if (nItem >= 0)
        CopyToClipboard(m_model.GetLabel(nItem));
}

// The text as CF_TEXT, byte for byte as the tree shows it, and as CF_UNICODETEXT by the code
// page, so that a program of either kind pastes the same characters.
void CBrowseDialog::CopyToClipboard(const CString& strText)
{
    const int nBytes = strText.GetLength();
    const int nWide = nBytes > 0 ? MultiByteToWideChar(CP_ACP, 0, strText, nBytes, NULL, 0) : 0;
    std::wstring wide(static_cast<size_t>(nWide), L'\0');
    if (nWide > 0)
        MultiByteToWideChar(CP_ACP, 0, strText, nBytes, &wide[0], nWide);
    HGLOBAL hText = GlobalCopy(static_cast<LPCSTR>(strText), static_cast<size_t>(nBytes) + 1);
    HGLOBAL hWide = GlobalCopy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    if (hText == NULL || hWide == NULL)
    {
        if (hText != NULL)
            GlobalFree(hText);
        if (hWide != NULL)
            GlobalFree(hWide);
        AfxMessageBox("There is not enough memory to copy this text. Close other programs and try again.", MB_OK, 0);
        return;
    }
    // Another program may hold the clipboard for a moment.
    BOOL bOpen = FALSE;
    for (int nTry = 0; nTry < 5 && !(bOpen = OpenClipboard(m_hWnd)); ++nTry)
        Sleep(20);
    if (!bOpen)
    {
        GlobalFree(hText);
        GlobalFree(hWide);
        AfxMessageBox("Another program is using the clipboard, so nothing was copied. Try again.", MB_OK, 0);
        return;
    }
    EmptyClipboard();
    // The clipboard owns each block it takes; one it refuses is still ours.
    const bool bWide = SetClipboardData(CF_UNICODETEXT, hWide) != NULL;
    const bool bText = SetClipboardData(CF_TEXT, hText) != NULL;
    if (!bWide)
        GlobalFree(hWide);
    if (!bText)
        GlobalFree(hText);
    CloseClipboard();
    if (!bWide || !bText)
        AfxMessageBox("The clipboard did not take the text. Try again.", MB_OK, 0);
}

// WM_CONTEXTMENU, passed up from the control by the platform: at a point for a right click on
// the tree, at -1, -1 for the menu key and Shift+F10 in any control (the selected item's menu).
LRESULT CBrowseDialog::OnContextMenu(WPARAM wParam, LPARAM lParam)
{
    if (m_pTree == NULL)
        return 0;
    POINT ptScreen = { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
    if (ptScreen.x != -1 || ptScreen.y != -1)
    {
        if (reinterpret_cast<HWND>(wParam) != m_pTree->m_hWnd)
            return 0;  // a right click on another control: the dialog has no menu of its own
        POINT ptTree = ptScreen;
        ::ScreenToClient(m_pTree->m_hWnd, &ptTree);
        // Anywhere on an item's row: that item's menu; below the last row: the menu without one.
        ShowItemMenu(m_pTree->HitTest(ptTree), ptScreen);
        return 0;
    }
    HTREEITEM hItem = m_pTree->GetSelectedItem();
    RECT rcTree, rcItem;
    ::GetClientRect(m_pTree->m_hWnd, &rcTree);
    POINT pt = { rcTree.left, rcTree.top };
    // Under the item's label when it is in view, else at the top of the tree.
    if (hItem != NULL && m_pTree->GetItemRect(hItem, &rcItem, TRUE) && rcItem.top >= rcTree.top &&
        rcItem.bottom <= rcTree.bottom)
    {
        pt.x = rcItem.left;
        pt.y = rcItem.bottom;
    }
    ::ClientToScreen(m_pTree->m_hWnd, &pt);
    ShowItemMenu(hItem, pt);
    return 0;
}

void CBrowseDialog::ShowItemMenu(HTREEITEM hItem, POINT ptScreen)
{
    const int nItem = m_model.IndexOf(hItem);
    auto state = [](bool bApplies) { return bApplies ? MF_STRING : MF_STRING | MF_GRAYED; };
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    menu.AppendMenu(state(nItem >= 0), ID_MENU_COPY_LABEL, "&Copy\tCtrl+C");
    menu.AppendMenu(state(nItem >= 0), ID_MENU_COPY_BRANCH, "Copy with &Everything Under It");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, ID_FIND_TEXT, "&Find...\tCtrl+F");
    menu.AppendMenu(MF_STRING, ID_FIND_NEXT, "Find &Next\tF3");
    menu.AppendMenu(MF_STRING, ID_FIND_PREVIOUS, "Find &Previous\tShift+F3");
    menu.AppendMenu(MF_SEPARATOR);
    // Expand Tree and Collapse Tree on one item's branch: everything in it open (which is
    // Expand Node), or the item open with its children closed.
    menu.AppendMenu(state(nItem >= 0 && m_model.HasChildren(nItem)), ID_MENU_EXPAND_NODE, "E&xpand Node");
    menu.AppendMenu(state(nItem >= 0 && m_model.HasGrandchildren(nItem)), ID_MENU_COLLAPSE_NODE, "C&ollapse Node");

    // The item the menu is for is marked while the menu is open, as a drop target is.
    if (nItem >= 0)
        m_pTree->SelectDropTarget(hItem);
    const UINT nCommand = static_cast<UINT>(menu.TrackPopupMenu(
        TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, ptScreen.x, ptScreen.y, this));
    if (nItem >= 0)
        m_pTree->SelectDropTarget(NULL);

    switch (nCommand)
    {
    case ID_MENU_COPY_LABEL:
        CopyToClipboard(m_model.GetLabel(nItem));
        break;
    case ID_MENU_COPY_BRANCH:
        CopyToClipboard(m_model.GetBranchText(nItem));
        break;
    case ID_FIND_TEXT:
        OnFindText();
        break;
    case ID_FIND_NEXT:
        OnFindNext();
        break;
    case ID_FIND_PREVIOUS:
        OnFindPrevious();
        break;
    case ID_MENU_EXPAND_NODE:
        ExpandNodeAt(hItem);
        break;
    case ID_MENU_COLLAPSE_NODE:
        CollapseNodeAt(hItem);
        break;
    default:
        break;  // closed without a choice
    }
}

// CMenu: a popup menu owned by a C++ object.
#include "afxwin.h"

CMenu::CMenu() : m_hMenu(NULL) {}
CMenu::~CMenu()
{
    DestroyMenu();
}

BOOL CMenu::CreatePopupMenu()
{
    DestroyMenu();
    m_hMenu = ::CreatePopupMenu();
    return m_hMenu != NULL;
}

BOOL CMenu::DestroyMenu()
{
    if (m_hMenu == NULL)
        return FALSE;
    HMENU hMenu = m_hMenu;
    m_hMenu = NULL;
    return ::DestroyMenu(hMenu);
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    ASSERT(m_hMenu != NULL);
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    ASSERT(m_hMenu != NULL && pWnd != NULL && ::IsWindow(pWnd->m_hWnd));
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd->m_hWnd, lpRect);
}

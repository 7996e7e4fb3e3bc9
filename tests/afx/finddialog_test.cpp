// The platform's modeless Find dialog inside a modal dialog's loop (its keys, its requests
// through ON_REGISTERED_MESSAGE, its end), and a popup menu that returns its choice.
#include "test_dialog.h"

#include <gtest/gtest.h>

#include <afxdlgs.h>
#include <dlgs.h>

#include <string>
#include <vector>

#include <dialog_driver.h>

namespace {

const UINT ID_MENU_FIRST = 40001;
const UINT ID_MENU_GREYED = 40002;

UINT FindMessage()
{
    static const UINT nMessage = ::RegisterWindowMessageA(FINDMSGSTRINGA);
    return nMessage;
}

// Owns a Find dialog and records every request it sends; IDC_CLICK shows a popup menu.
class CFindOwner : public CTestDialog
{
public:
    CFindReplaceDialog m_find;
    std::vector<std::string> m_requests;   // "next <text> down|up", "term"
    UINT m_nMenuChoice = 0;
    int m_nMenuCommands = 0;

protected:
    afx_msg LRESULT OnFindReplace(WPARAM, LPARAM lParam)
    {
        CFindReplaceDialog* pDialog = CFindReplaceDialog::GetNotifier(lParam);
        if (pDialog != &m_find)
            m_requests.push_back("from another dialog");
        else if (pDialog->IsTerminating())
            m_requests.push_back("term");
        else if (pDialog->FindNext())
            m_requests.push_back("next " + std::string(pDialog->GetFindString()) + (pDialog->SearchDown() ? " down" : " up")
                                 + (pDialog->MatchCase() ? " case" : "") + (pDialog->MatchWholeWord() ? " word" : ""));
        return 0;
    }
    afx_msg void OnShowMenu()
    {
        CMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        menu.AppendMenu(MF_STRING, ID_MENU_FIRST, "&First");
        menu.AppendMenu(MF_SEPARATOR);
        menu.AppendMenu(MF_STRING | MF_GRAYED, ID_MENU_GREYED, "&Greyed");
        m_nMenuChoice = (UINT)menu.TrackPopupMenu(TPM_RETURNCMD | TPM_NONOTIFY, 20, 20, this);
    }
    afx_msg void OnMenuCommand() { ++m_nMenuCommands; }
    DECLARE_MESSAGE_MAP()
};

}  // namespace

BEGIN_MESSAGE_MAP(CFindOwner, CTestDialog)
    ON_REGISTERED_MESSAGE(FindMessage(), OnFindReplace)
    ON_BN_CLICKED(IDC_CLICK, OnShowMenu)
    ON_COMMAND(ID_MENU_FIRST, OnMenuCommand)
END_MESSAGE_MAP()

namespace {

using dialog_driver::ScriptedUser;

// A key press and release posted to the focused window, as the keyboard sends them.
void PostKey(UINT nKey)
{
    HWND hWnd = GetFocus();
    PostMessageA(hWnd, WM_KEYDOWN, nKey, 1);
    PostMessageA(hWnd, WM_KEYUP, nKey, 0xC0000001);
}

int FocusId(HWND hDlg)
{
    HWND hFocus = GetFocus();
    return hFocus != NULL && IsChild(hDlg, hFocus) ? GetDlgCtrlID(hFocus) : 0;
}

TEST(FindReplaceDialog, TakesItsKeysInsideTheModalLoopAndReportsThroughItsOwner)
{
    CFindOwner dlg;
    ScriptedUser user;
    auto step = [&user](const char* what, std::function<bool()> poll) { user.Until(what, poll); };
    step("the dialog shown", [&] { return dlg.m_hWnd != NULL && IsWindowVisible(dlg.m_hWnd); });
    step("the Find dialog created", [&] {
        EXPECT_EQ(CFindReplaceDialog::GetNotifier(0), nullptr);
        EXPECT_TRUE(dlg.m_find.Create(TRUE, "abc", NULL, FR_DOWN | FR_MATCHCASE, &dlg));
        EXPECT_FALSE(dlg.m_find.Create(TRUE, "again", NULL, FR_DOWN, &dlg)) << "open already";
        return true;
    });
    step("the text box focused, Tab pressed", [&] {
        HWND hFind = dlg.m_find.m_hWnd;
        if (hFind == NULL || !IsWindowVisible(hFind))
            return false;
        EXPECT_EQ(GetWindow(hFind, GW_OWNER), dlg.m_hWnd);
        EXPECT_EQ(FocusId(hFind), edt1);
        char szText[16] = "";
        GetDlgItemTextA(hFind, edt1, szText, sizeof szText);
        EXPECT_STREQ(szText, "abc");
        EXPECT_EQ(SendDlgItemMessageA(hFind, chx2, BM_GETCHECK, 0, 0), BST_CHECKED) << "Match case, as created";
        PostKey(VK_TAB);
        return true;
    });
    step("Tab moved on, Enter pressed", [&] {
        EXPECT_NE(FocusId(dlg.m_find.m_hWnd), edt1) << "Tab left the text box";
        PostKey(VK_RETURN);
        return true;
    });
    step("Escape pressed", [&] {
        EXPECT_EQ(dlg.m_requests, (std::vector<std::string>{ "next abc down case" })) << "Enter is Find Next";
        PostKey(VK_ESCAPE);
        return true;
    });
    step("the Find dialog closed, opened again", [&] {
        EXPECT_EQ(dlg.m_requests, (std::vector<std::string>{ "next abc down case", "term" }));
        EXPECT_EQ(dlg.m_find.m_hWnd, (HWND)NULL) << "the object forgets its window";
        EXPECT_TRUE(dlg.m_find.Create(TRUE, "xyz", NULL, 0, &dlg));
        return true;
    });
    step("the owner ended with the Find dialog open", [&] {
        if (dlg.m_find.m_hWnd == NULL || !IsWindowVisible(dlg.m_find.m_hWnd))
            return false;
        dlg.EndDialog(IDOK);
        return true;
    });
    int nResult = 0;
    user.Run([&] { nResult = dlg.DoModal(); });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(dlg.m_find.m_hWnd, (HWND)NULL) << "closed with its owner";
    EXPECT_EQ(dlg.m_requests.size(), 2u) << "a window closed with its owner sends nothing";
}

TEST(Menu, TrackPopupMenuReturnsTheChoiceWithoutACommand)
{
    CFindOwner dlg;
    ScriptedUser user;
    user.Until("the dialog shown", [&] { return dlg.m_hWnd != NULL && IsWindowVisible(dlg.m_hWnd); });
    user.Until("the button clicked", [&] { return dialog_driver::Dialog(dlg.m_hWnd).PostClick(IDC_CLICK); });
    user.Until("the menu open", [&] {
        HWND hMenu = NULL;
        for (HWND hWnd : dialog_driver::VisibleThreadWindows())
        {
            char szClass[16] = "";
            GetClassNameA(hWnd, szClass, sizeof szClass);
            if (std::string(szClass) == "#32768")
                hMenu = hWnd;
        }
        if (hMenu == NULL)
            return false;
        HMENU menu = (HMENU)SendMessageA(hMenu, 0x01E1 /* MN_GETHMENU */, 0, 0);
        EXPECT_EQ(GetMenuItemCount(menu), 3);
        EXPECT_TRUE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_TRUE(GetMenuState(menu, ID_MENU_GREYED, MF_BYCOMMAND) & MF_GRAYED);
        PostKey('F');
        return true;
    });
    user.Until("the menu closed", [&] {
        if (dlg.m_nMenuChoice == 0)
            return false;
        dlg.EndDialog(IDOK);
        return true;
    });
    user.Run([&] { dlg.DoModal(); });
    EXPECT_EQ(dlg.m_nMenuChoice, ID_MENU_FIRST);
    EXPECT_EQ(dlg.m_nMenuCommands, 0) << "TPM_RETURNCMD: the choice comes back, no WM_COMMAND";
}

}  // namespace

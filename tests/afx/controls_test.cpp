// Control wrappers: whole texts of any length, CB_ERR for bad indexes, and a table per
// wrapper that plays one control through a sequence of calls, checking each call's result
// and what the control shows afterwards, read with the platform's own messages.
#include "test_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <dialog_driver.h>

namespace {

// Runs the test dialog, calls body during OnInitDialog and ends the run before it is shown.
void DuringInitialisation(const std::function<void(CTestDialog&)>& body)
{
    CTestDialog dlg;
    dlg.m_init = [&](CTestDialog& d) {
        body(d);
        d.EndDialog(IDOK);
        return TRUE;
    };
    dialog_driver::ScriptedUser user;   // only its watchdog
    int nResult = 0;
    user.Run([&] { nResult = dlg.DoModal(); });
    EXPECT_EQ(nResult, IDOK);
}

// One call of a wrapper: its result, and what the control shows afterwards.
template <typename Control, typename Result>
struct WrapperCall
{
    const char* name;
    std::function<Result(Control&)> call;
    Result expectedResult;
    std::string expectedShown;
};

// Plays the calls in order on one control; shown reads the control without the wrapper.
template <typename Control, typename Result>
void PlayCalls(Control& control, const std::vector<WrapperCall<Control, Result>>& calls,
               const std::function<std::string(HWND)>& shown)
{
    for (const WrapperCall<Control, Result>& c : calls)
    {
        EXPECT_EQ(c.call(control), c.expectedResult) << c.name;
        EXPECT_EQ(shown(control.m_hWnd), c.expectedShown) << c.name;
    }
}

TEST(ListCtrl, GetItemTextReadsTheWholeCell)
{
    const std::vector<int> lengths = { 0, 1, 254, 255, 256, 257, 1000, 5000 };
    DuringInitialisation([&](CTestDialog& dlg) {
        CWnd* pList = dlg.GetDlgItem(IDC_LIST);
        for (int nColumn = 0; nColumn < 2; ++nColumn)
        {
            LVCOLUMNA col = {};
            col.mask = LVCF_WIDTH | LVCF_SUBITEM;
            col.cx = 50;
            col.iSubItem = nColumn;
            SendMessageA(pList->m_hWnd, LVM_INSERTCOLUMNA, nColumn, (LPARAM)&col);
        }
        for (size_t i = 0; i < lengths.size(); ++i)
        {
            std::string text(lengths[i], (char)('a' + i)), sub = "sub" + std::to_string(i) + "\xE9";
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = (int)i;
            item.pszText = const_cast<char*>(text.c_str());
            SendMessageA(pList->m_hWnd, LVM_INSERTITEMA, 0, (LPARAM)&item);
            item.iSubItem = 1;
            item.pszText = const_cast<char*>(sub.c_str());
            SendMessageA(pList->m_hWnd, LVM_SETITEMA, 0, (LPARAM)&item);
        }
        CListCtrl* pListCtrl = (CListCtrl*)pList;
        for (size_t i = 0; i < lengths.size(); ++i)
        {
            EXPECT_EQ(std::string(pListCtrl->GetItemText((int)i, 0)), std::string(lengths[i], (char)('a' + i)))
                << "length " << lengths[i];
            EXPECT_EQ(std::string(pListCtrl->GetItemText((int)i, 1)), "sub" + std::to_string(i) + "\xE9")
                << "sub-item of row " << i;
        }
        EXPECT_EQ(std::string(pListCtrl->GetItemText(99, 0)), "") << "a row that does not exist";
        EXPECT_EQ(std::string(pListCtrl->GetItemText(0, 7)), "") << "a column that does not exist";
    });
}

TEST(ComboBox, GetLBTextAndSelection)
{
    DuringInitialisation([](CTestDialog& dlg) {
        CComboBox* pCombo = (CComboBox*)dlg.GetDlgItem(IDC_COMBO);
        EXPECT_EQ(pCombo->GetCurSel(), CB_ERR) << "nothing selected";
        const std::string longName(600, 'n');
        SendMessageA(pCombo->m_hWnd, CB_ADDSTRING, 0, (LPARAM) "first.kvd");
        SendMessageA(pCombo->m_hWnd, CB_ADDSTRING, 0, (LPARAM)longName.c_str());
        SendMessageA(pCombo->m_hWnd, CB_SETCURSEL, 1, 0);
        EXPECT_EQ(pCombo->GetCurSel(), 1);

        struct Case
        {
            const char* name;
            int nIndex;
            int nExpectedResult;
            std::string expectedText;
        } cases[] = {
            { "first entry", 0, 9, "first.kvd" },
            { "long entry", 1, 600, longName },
            { "index -1", -1, CB_ERR, "" },
            { "index past the end", 2, CB_ERR, "" },
        };
        for (const Case& c : cases)
        {
            CString text("previous");
            EXPECT_EQ(pCombo->GetLBText(c.nIndex, text), c.nExpectedResult) << c.name;
            EXPECT_EQ(std::string(text), c.expectedText) << c.name;
        }
    });
}

TEST(Wnd, TextAndStateWrappers)
{
    DuringInitialisation([](CTestDialog& dlg) {
        CWnd* pLabel = dlg.GetDlgItem(IDC_LABEL);
        const std::string longText(3000, 'L');
        pLabel->SetWindowText(longText.c_str());
        CString text;
        pLabel->GetWindowText(text);
        EXPECT_EQ(std::string(text), longText);

        pLabel->SetWindowText("");
        pLabel->GetWindowText(text);
        EXPECT_TRUE(text.IsEmpty());

        CWnd* pOK = dlg.GetDlgItem(IDOK);
        EXPECT_FALSE(pOK->EnableWindow(FALSE)) << "was enabled";
        EXPECT_FALSE(IsWindowEnabled(pOK->m_hWnd));
        EXPECT_TRUE(pOK->EnableWindow(TRUE)) << "was disabled";
        EXPECT_TRUE(IsWindowEnabled(pOK->m_hWnd));
        EXPECT_EQ(pOK->GetParent(), &dlg) << "the dialog's own object, not a temporary";

        EXPECT_FALSE(dlg.IsWindowVisible()) << "a dialog is shown after its initialisation";
        EXPECT_EQ(pOK->GetStyle() & (WS_CHILD | WS_VISIBLE), (DWORD)(WS_CHILD | WS_VISIBLE));
        pOK->ShowWindow(SW_HIDE);
        EXPECT_EQ(pOK->GetStyle() & (WS_CHILD | WS_VISIBLE), (DWORD)WS_CHILD) << "the style as the window has it";
        EXPECT_FALSE(pOK->IsWindowVisible());
        pOK->ShowWindow(SW_SHOW);

        CWnd* pTree = dlg.GetDlgItem(IDC_TREE);
        EXPECT_TRUE(pTree->ModifyStyle(0, TVS_SHOWSELALWAYS)) << "changed";
        EXPECT_TRUE(pTree->GetStyle() & TVS_SHOWSELALWAYS);
        EXPECT_FALSE(pTree->ModifyStyle(0, TVS_SHOWSELALWAYS)) << "the style was so already";
        EXPECT_TRUE(pTree->ModifyStyle(TVS_SHOWSELALWAYS, 0));
        EXPECT_EQ(pTree->GetStyle() & (TVS_SHOWSELALWAYS | TVS_HASBUTTONS | WS_CHILD), (DWORD)(TVS_HASBUTTONS | WS_CHILD))
            << "only what was asked changed";
    });
}

// "text|sub;text|sub" for every row, with "*" after a selected row, read without the wrapper.
std::string ListRows(HWND hList)
{
    std::string rows;
    int nCount = (int)SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0);
    for (int nRow = 0; nRow < nCount; ++nRow)
    {
        if (nRow > 0)
            rows += ";";
        for (int nSub = 0; nSub < 2; ++nSub)
        {
            char szText[64] = "";
            LVITEMA item = {};
            item.iSubItem = nSub;
            item.pszText = szText;
            item.cchTextMax = sizeof(szText);
            SendMessageA(hList, LVM_GETITEMTEXTA, (WPARAM)nRow, (LPARAM)&item);
            rows += (nSub > 0 ? "|" : "") + std::string(szText);
        }
        if (SendMessageA(hList, LVM_GETITEMSTATE, (WPARAM)nRow, LVIS_SELECTED) & LVIS_SELECTED)
            rows += "*";
    }
    return rows;
}

// Selects or deselects a row with the list's own message, as a click does.
int SetSelected(HWND hList, int nRow, bool bSelected)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = bSelected ? LVIS_SELECTED : 0;
    return (int)SendMessageA(hList, LVM_SETITEMSTATE, (WPARAM)nRow, (LPARAM)&item);
}

TEST(ListCtrl, EachWrapperSendsItsMessage)
{
    DuringInitialisation([](CTestDialog& dlg) {
        CListCtrl* pList = static_cast<CListCtrl*>(dlg.GetDlgItem(IDC_LIST));
        ASSERT_NE(pList, nullptr);
        PlayCalls<CListCtrl, int>(*pList, {
            { "InsertColumn first", [&](CListCtrl& l) { return l.InsertColumn(0, "Name", LVCFMT_LEFT, 60); }, 0, "" },
            { "InsertColumn past the end lands last",
              [&](CListCtrl& l) { return l.InsertColumn(7, "Name", LVCFMT_LEFT, 60); }, 1, "" },
            { "InsertItem into an empty list", [](CListCtrl& l) { return l.InsertItem(0, "b"); }, 0, "b|" },
            { "InsertItem past the last row appends", [](CListCtrl& l) { return l.InsertItem(99, "d"); }, 1, "b|;d|" },
            { "InsertItem between rows", [](CListCtrl& l) { return l.InsertItem(1, "c"); }, 1, "b|;c|;d|" },
            { "GetItemCount", [](CListCtrl& l) { return l.GetItemCount(); }, 3, "b|;c|;d|" },
            { "SetItemText on a sub-item", [](CListCtrl& l) { return l.SetItemText(1, 1, "c1"); }, TRUE, "b|;c|c1;d|" },
            { "SetItemText on another row", [](CListCtrl& l) { return l.SetItemText(0, 1, "b1"); }, TRUE,
              "b|b1;c|c1;d|" },
            { "SetItemText on a row that does not exist", [](CListCtrl& l) { return l.SetItemText(9, 0, "x"); }, FALSE,
              "b|b1;c|c1;d|" },
            { "SetItemText on a column that does not exist", [](CListCtrl& l) { return l.SetItemText(0, 5, "x"); },
              FALSE, "b|b1;c|c1;d|" },
            { "a row selected as a click selects it", [](CListCtrl& l) { return SetSelected(l.m_hWnd, 2, true); }, TRUE,
              "b|b1;c|c1;d|*" },
            { "GetNextItem selected from the top", [](CListCtrl& l) { return l.GetNextItem(-1, LVNI_SELECTED); }, 2,
              "b|b1;c|c1;d|*" },
            { "GetNextItem selected after the last one", [](CListCtrl& l) { return l.GetNextItem(2, LVNI_SELECTED); }, -1,
              "b|b1;c|c1;d|*" },
            { "GetNextItem all from the top", [](CListCtrl& l) { return l.GetNextItem(-1, LVNI_ALL); }, 0, "b|b1;c|c1;d|*" },
            { "GetNextItem all after row 0", [](CListCtrl& l) { return l.GetNextItem(0, LVNI_ALL); }, 1, "b|b1;c|c1;d|*" },
            { "the row deselected", [](CListCtrl& l) { return SetSelected(l.m_hWnd, 2, false); }, TRUE, "b|b1;c|c1;d|" },
            { "DeleteItem renumbers the rows below", [](CListCtrl& l) { return l.DeleteItem(0); }, TRUE, "c|c1;d|" },
            { "DeleteItem of a row that does not exist", [](CListCtrl& l) { return l.DeleteItem(5); }, FALSE, "c|c1;d|" },
            { "DeleteItem of the last row", [](CListCtrl& l) { return l.DeleteItem(1); }, TRUE, "c|c1" },
            { "DeleteItem of the only row", [](CListCtrl& l) { return l.DeleteItem(0); }, TRUE, "" },
            { "GetNextItem in an empty list", [](CListCtrl& l) { return l.GetNextItem(-1, LVNI_ALL); }, -1, "" },
        }, ListRows);
    });
}

TEST(ListCtrl, InsertColumnSetsWhatItIsGiven)
{
    DuringInitialisation([](CTestDialog& dlg) {
        CListCtrl* pList = static_cast<CListCtrl*>(dlg.GetDlgItem(IDC_LIST));
        ASSERT_NE(pList, nullptr);
        struct Case
        {
            const char* name;
            int nFormat, nWidth, nSubItem;
            int expectedWidth;     // -1: whatever the list view chose
            int expectedSubItem;
        } cases[] = {
            { "every field given", LVCFMT_LEFT, 125, 0, 125, 0 },
            { "a sub-item other than the index", LVCFMT_RIGHT, 40, 3, 40, 3 },
            { "no width, no sub-item", LVCFMT_LEFT, -1, -1, -1, 0 },
        };
        int nColumn = 0;
        for (const Case& c : cases)
        {
            EXPECT_EQ(pList->InsertColumn(nColumn, "Title", c.nFormat, c.nWidth, c.nSubItem), nColumn) << c.name;
            char szText[16] = "";
            LVCOLUMNA col = {};
            col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
            col.pszText = szText;
            col.cchTextMax = sizeof(szText);
            ASSERT_TRUE(SendMessageA(pList->m_hWnd, LVM_GETCOLUMNA, nColumn, (LPARAM)&col)) << c.name;
            EXPECT_EQ(std::string(szText), "Title") << c.name;
            EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, c.nFormat) << c.name;
            if (c.expectedWidth >= 0)
                EXPECT_EQ(col.cx, c.expectedWidth) << c.name;
            EXPECT_EQ(col.iSubItem, c.expectedSubItem) << c.name;
            ++nColumn;
        }
    });
}

// The tree as a person sees it: "name" per item in pre-order, "+" after an open one,
// children in brackets, read without the wrapper.
std::string TreeShape(HWND hTree, HTREEITEM hFirst)
{
    std::string shape;
    for (HTREEITEM hItem = hFirst; hItem != NULL;
         hItem = (HTREEITEM)SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)hItem))
    {
        char szText[64] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT | TVIF_STATE;
        item.hItem = hItem;
        item.stateMask = TVIS_EXPANDED;
        item.pszText = szText;
        item.cchTextMax = sizeof(szText);
        SendMessageA(hTree, TVM_GETITEMA, 0, (LPARAM)&item);
        if (!shape.empty())
            shape += " ";
        shape += szText;
        if (item.state & TVIS_EXPANDED)
            shape += "+";
        HTREEITEM hChild = (HTREEITEM)SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)hItem);
        if (hChild != NULL)
            shape += "(" + TreeShape(hTree, hChild) + ")";
    }
    return shape;
}

TEST(TreeCtrl, EachWrapperSendsItsMessage)
{
    DuringInitialisation([](CTestDialog& dlg) {
        CTreeCtrl* pTree = static_cast<CTreeCtrl*>(dlg.GetDlgItem(IDC_TREE));
        ASSERT_NE(pTree, nullptr);
        std::map<HTREEITEM, std::string> names = { { (HTREEITEM)NULL, "NULL" } };
        std::map<std::string, HTREEITEM> items;
        auto Insert = [&](const char* pszName, HTREEITEM hParent, HTREEITEM hAfter) {
            HTREEITEM hItem = pTree->InsertItem(pszName, hParent, hAfter);
            names[hItem] = pszName;
            items[pszName] = hItem;
            return std::string(hItem != NULL ? pszName : "NULL");
        };
        auto Name = [&](HTREEITEM hItem) { return names.count(hItem) ? names[hItem] : std::string("unknown"); };
        PlayCalls<CTreeCtrl, std::string>(*pTree, {
            { "GetRootItem of an empty tree", [&](CTreeCtrl&) { return Name(pTree->GetRootItem()); }, "NULL", "" },
            { "GetSelectedItem of an empty tree", [&](CTreeCtrl&) { return Name(pTree->GetSelectedItem()); }, "NULL", "" },
            { "InsertItem at the top level", [&](CTreeCtrl&) { return Insert("A", TVI_ROOT, TVI_LAST); }, "A", "A" },
            { "InsertItem last by default",
              [&](CTreeCtrl&) {
                  HTREEITEM hItem = pTree->InsertItem("C");
                  names[hItem] = "C";
                  items["C"] = hItem;
                  return Name(hItem);
              },
              "C", "A C" },
            { "InsertItem first", [&](CTreeCtrl&) { return Insert("0", TVI_ROOT, TVI_FIRST); }, "0", "0 A C" },
            { "InsertItem after a sibling", [&](CTreeCtrl&) { return Insert("B", TVI_ROOT, items["A"]); }, "B", "0 A B C" },
            { "InsertItem as a child", [&](CTreeCtrl&) { return Insert("A1", items["A"], TVI_LAST); }, "A1", "0 A(A1) B C" },
            { "InsertItem as a grandchild", [&](CTreeCtrl&) { return Insert("A11", items["A1"], TVI_LAST); }, "A11",
              "0 A(A1(A11)) B C" },
            { "InsertItem of a second child", [&](CTreeCtrl&) { return Insert("A2", items["A"], TVI_LAST); }, "A2",
              "0 A(A1(A11) A2) B C" },
            { "GetCount", [&](CTreeCtrl&) { return std::to_string(pTree->GetCount()); }, "7", "0 A(A1(A11) A2) B C" },
            { "GetRootItem", [&](CTreeCtrl&) { return Name(pTree->GetRootItem()); }, "0", "0 A(A1(A11) A2) B C" },
            { "GetNextSiblingItem", [&](CTreeCtrl&) { return Name(pTree->GetNextSiblingItem(items["A1"])); }, "A2",
              "0 A(A1(A11) A2) B C" },
            { "GetNextSiblingItem of a last child", [&](CTreeCtrl&) { return Name(pTree->GetNextSiblingItem(items["A2"])); }, "NULL",
              "0 A(A1(A11) A2) B C" },
            { "GetParentItem", [&](CTreeCtrl&) { return Name(pTree->GetParentItem(items["A11"])); }, "A1", "0 A(A1(A11) A2) B C" },
            { "GetParentItem of a top-level item", [&](CTreeCtrl&) { return Name(pTree->GetParentItem(items["B"])); }, "NULL",
              "0 A(A1(A11) A2) B C" },
            { "GetNextVisibleItem skips a closed branch", [&](CTreeCtrl&) { return Name(pTree->GetNextVisibleItem(items["A"])); },
              "B", "0 A(A1(A11) A2) B C" },
            { "Expand opens", [&](CTreeCtrl&) { return std::to_string(pTree->Expand(items["A"], TVE_EXPAND)); }, "1",
              "0 A+(A1(A11) A2) B C" },
            { "GetNextVisibleItem enters an open branch", [&](CTreeCtrl&) { return Name(pTree->GetNextVisibleItem(items["A"])); },
              "A1", "0 A+(A1(A11) A2) B C" },
            { "GetNextVisibleItem after the last displayed item",
              [&](CTreeCtrl&) { return Name(pTree->GetNextVisibleItem(items["C"])); }, "NULL", "0 A+(A1(A11) A2) B C" },
            { "Expand of a leaf opens nothing", [&](CTreeCtrl&) { return std::to_string(pTree->Expand(items["B"], TVE_EXPAND)); },
              "0", "0 A+(A1(A11) A2) B C" },
            { "EnsureVisible opens the ancestors",
              [&](CTreeCtrl&) {
                  pTree->EnsureVisible(items["A11"]);
                  return std::string();
              },
              "", "0 A+(A1+(A11) A2) B C" },
            { "Expand collapses and keeps the deeper state",
              [&](CTreeCtrl&) { return std::to_string(pTree->Expand(items["A"], TVE_COLLAPSE)); }, "1", "0 A(A1+(A11) A2) B C" },
            { "an item selected as a click selects it",
              [&](CTreeCtrl&) {
                  SendMessageA(pTree->m_hWnd, TVM_SELECTITEM, TVGN_CARET, (LPARAM)items["B"]);
                  return std::string();
              },
              "", "0 A(A1+(A11) A2) B C" },
            { "GetSelectedItem", [&](CTreeCtrl&) { return Name(pTree->GetSelectedItem()); }, "B", "0 A(A1+(A11) A2) B C" },
            { "SelectItem opens the item's closed parents",
              [&](CTreeCtrl&) {
                  const std::string result = std::to_string(pTree->SelectItem(items["A11"]));
                  return result + " " + Name(pTree->GetSelectedItem());
              },
              "1 A11", "0 A+(A1+(A11) A2) B C" },
            { "SelectDropTarget marks an item",
              [&](CTreeCtrl&) {
                  const std::string result = std::to_string(pTree->SelectDropTarget(items["C"]));
                  return result + " " + Name((HTREEITEM)SendMessageA(pTree->m_hWnd, TVM_GETNEXTITEM, TVGN_DROPHILITE, 0));
              },
              "1 C", "0 A+(A1+(A11) A2) B C" },
            { "SelectDropTarget NULL takes the mark away",
              [&](CTreeCtrl&) {
                  const std::string result = std::to_string(pTree->SelectDropTarget(NULL));
                  return result + " " + Name((HTREEITEM)SendMessageA(pTree->m_hWnd, TVM_GETNEXTITEM, TVGN_DROPHILITE, 0));
              },
              "1 NULL", "0 A+(A1+(A11) A2) B C" },
            { "GetItemRect of a displayed item, and HitTest in the middle of its label",
              [&](CTreeCtrl&) {
                  RECT rc = {};
                  BOOL bShown = pTree->GetItemRect(items["A"], &rc, TRUE);
                  POINT pt = { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
                  UINT nFlags = 0;
                  HTREEITEM hHit = pTree->HitTest(pt, &nFlags);
                  return std::to_string(bShown) + " " + Name(hHit) + ((nFlags & TVHT_ONITEM) ? " on" : " off")
                         + (rc.right > rc.left && rc.bottom > rc.top ? "" : " empty");
              },
              "1 A on", "0 A+(A1+(A11) A2) B C" },
            { "GetItemRect of an item under a closed parent",
              [&](CTreeCtrl&) {
                  pTree->Expand(items["A1"], TVE_COLLAPSE);
                  RECT rc = {};
                  return std::to_string(pTree->GetItemRect(items["A11"], &rc, FALSE));
              },
              "0", "0 A+(A1(A11) A2) B C" },
            { "DeleteAllItems", [&](CTreeCtrl&) { return std::to_string(pTree->DeleteAllItems()); }, "1", "" },
            { "GetCount of an empty tree", [&](CTreeCtrl&) { return std::to_string(pTree->GetCount()); }, "0", "" },
            { "HitTest of an empty tree",
              [&](CTreeCtrl&) {
                  UINT nFlags = 0;
                  HTREEITEM hHit = pTree->HitTest(POINT{ 5, 5 }, &nFlags);
                  return Name(hHit) + ((nFlags & TVHT_NOWHERE) ? " nowhere" : "");
              },
              "NULL nowhere", "" },
        }, [](HWND hTree) {
            return TreeShape(hTree, (HTREEITEM)SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        });
    });
}

// "entry;entry" with "*" after the selected one, read without the wrapper.
std::string ComboEntries(HWND hCombo)
{
    std::string entries;
    int nCount = (int)SendMessageA(hCombo, CB_GETCOUNT, 0, 0);
    int nSelected = (int)SendMessageA(hCombo, CB_GETCURSEL, 0, 0);
    for (int i = 0; i < nCount; ++i)
    {
        char szText[64] = "";
        SendMessageA(hCombo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)szText);
        entries += (i > 0 ? ";" : "") + std::string(szText) + (i == nSelected ? "*" : "");
    }
    return entries;
}

TEST(ComboBox, EachWrapperSendsItsMessage)
{
    DuringInitialisation([](CTestDialog& dlg) {
        CComboBox* pCombo = static_cast<CComboBox*>(dlg.GetDlgItem(IDC_COMBO));
        ASSERT_NE(pCombo, nullptr);
        PlayCalls<CComboBox, int>(*pCombo, {
            { "AddString to an empty box", [](CComboBox& c) { return c.AddString("first.kvd"); }, 0, "first.kvd" },
            { "AddString appends to an unsorted box", [](CComboBox& c) { return c.AddString("Second.kvd"); }, 1,
              "first.kvd;Second.kvd" },
            { "AddString of an empty text", [](CComboBox& c) { return c.AddString(""); }, 2, "first.kvd;Second.kvd;" },
            { "SelectString is a prefix match", [](CComboBox& c) { return c.SelectString(-1, "fir"); }, 0,
              "first.kvd*;Second.kvd;" },
            { "SelectString ignores case", [](CComboBox& c) { return c.SelectString(-1, "SECOND"); }, 1,
              "first.kvd;Second.kvd*;" },
            { "SelectString starts after nStartAfter and wraps", [](CComboBox& c) { return c.SelectString(0, "f"); }, 0,
              "first.kvd*;Second.kvd;" },
            { "SelectString without a match keeps the selection",
              [](CComboBox& c) { return c.SelectString(-1, "third"); }, CB_ERR, "first.kvd*;Second.kvd;" },
            { "GetCurSel", [](CComboBox& c) { return c.GetCurSel(); }, 0, "first.kvd*;Second.kvd;" },
            { "the selection cleared as the list's own message does",
              [](CComboBox& c) { return (int)SendMessageA(c.m_hWnd, CB_SETCURSEL, (WPARAM)-1, 0); }, CB_ERR,
              "first.kvd;Second.kvd;" },
            { "GetCurSel with nothing selected", [](CComboBox& c) { return c.GetCurSel(); }, CB_ERR,
              "first.kvd;Second.kvd;" },
            { "ResetContent",
              [](CComboBox& c) {
                  c.ResetContent();
                  return (int)SendMessageA(c.m_hWnd, CB_GETCOUNT, 0, 0);
              },
              0, "" },
        }, ComboEntries);
    });
}

// The platform's own WM_SETREDRAW FALSE takes WS_VISIBLE off a window without hiding it (the
// list and tree views keep their flag to themselves): the guard must give it back on every
// way out of its scope.
TEST(RedrawGuard, SuspendsForItsScopeOnly)
{
    DuringInitialisation([](CTestDialog& dlg) {
        CWnd* pLabel = dlg.GetDlgItem(IDC_LABEL);
        ASSERT_NE(pLabel, nullptr);
        auto Redrawing = [&] { return (GetWindowLongA(pLabel->m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0; };
        ASSERT_TRUE(Redrawing());
        {
            CRedrawGuard guard(pLabel);
            EXPECT_FALSE(Redrawing()) << "inside the guard";
        }
        EXPECT_TRUE(Redrawing()) << "after the guard";
        try
        {
            CRedrawGuard guard(pLabel);
            throw 1;
        }
        catch (int)
        {
        }
        EXPECT_TRUE(Redrawing()) << "after an exception";
        CRedrawGuard nothing(NULL);   // a missing control is left be
    });
}

}  // namespace

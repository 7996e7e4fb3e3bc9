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
            pList->SendMessage(LVM_INSERTCOLUMNA, nColumn, (LPARAM)&col);
        }
        for (size_t i = 0; i < lengths.size(); ++i)
        {
            std::string text(lengths[i], (char)('a' + i)), sub = "sub" + std::to_string(i) + "\xE9";
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = (int)i;
            item.pszText = const_cast<char*>(text.c_str());
            pList->SendMessage(LVM_INSERTITEMA, 0, (LPARAM)&item);
            item.iSubItem = 1;
            item.pszText = const_cast<char*>(sub.c_str());
            pList->SendMessage(LVM_SETITEMA, 0, (LPARAM)&item);
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
        EXPECT_EQ(pCombo->GetCount(), 0);
        EXPECT_EQ(pCombo->GetCurSel(), CB_ERR) << "nothing selected";
        const std::string longName(600, 'n');
        pCombo->SendMessage(CB_ADDSTRING, 0, (LPARAM) "first.kvd");
        pCombo->SendMessage(CB_ADDSTRING, 0, (LPARAM)longName.c_str());
        pCombo->SendMessage(CB_SETCURSEL, 1, 0);
        EXPECT_EQ(pCombo->GetCount(), 2);
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
        EXPECT_EQ(pLabel->GetWindowTextLength(), 3000);

        pLabel->SetWindowText("");
        pLabel->GetWindowText(text);
        EXPECT_TRUE(text.IsEmpty());

        CWnd* pOK = dlg.GetDlgItem(IDOK);
        EXPECT_FALSE(pOK->EnableWindow(FALSE)) << "was enabled";
        EXPECT_FALSE(pOK->IsWindowEnabled());
        EXPECT_TRUE(pOK->EnableWindow(TRUE)) << "was disabled";
        EXPECT_TRUE(pOK->IsWindowEnabled());
        EXPECT_EQ(pOK->GetDlgCtrlID(), IDOK);
        EXPECT_EQ(pOK->GetParent(), &dlg) << "the dialog's own object, not a temporary";

        CWnd* volatile pNull = NULL;   // hidden from the compiler, as a pointer read at run time
        EXPECT_EQ(pNull->GetSafeHwnd(), (HWND)NULL);
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

LVITEMA TextItem(int nItem, int nSubItem, const char* pszText)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.iSubItem = nSubItem;
    item.pszText = const_cast<char*>(pszText);
    return item;
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
            { "InsertItem past the last row appends",
              [](CListCtrl& l) {
                  LVITEMA item = TextItem(99, 0, "d");
                  return l.InsertItem(&item);
              },
              1, "b|;d|" },
            { "InsertItem between rows", [](CListCtrl& l) { return l.InsertItem(1, "c"); }, 1, "b|;c|;d|" },
            { "GetItemCount", [](CListCtrl& l) { return l.GetItemCount(); }, 3, "b|;c|;d|" },
            { "SetItemText on a sub-item", [](CListCtrl& l) { return l.SetItemText(1, 1, "c1"); }, TRUE, "b|;c|c1;d|" },
            { "SetItem on a sub-item",
              [](CListCtrl& l) {
                  LVITEMA item = TextItem(0, 1, "b1");
                  return l.SetItem(&item);
              },
              TRUE, "b|b1;c|c1;d|" },
            { "SetItem on a row that does not exist",
              [](CListCtrl& l) {
                  LVITEMA item = TextItem(9, 0, "x");
                  return l.SetItem(&item);
              },
              FALSE, "b|b1;c|c1;d|" },
            { "GetItem reads text and state",
              [](CListCtrl& l) {
                  char szText[16] = "";
                  LVITEMA item = {};
                  item.mask = LVIF_TEXT | LVIF_STATE;
                  item.iItem = 2;
                  item.stateMask = LVIS_SELECTED;
                  item.pszText = szText;
                  item.cchTextMax = sizeof(szText);
                  return l.GetItem(&item) && std::string(szText) == "d" && item.state == 0 ? 1 : 0;
              },
              1, "b|b1;c|c1;d|" },
            { "SetItemState selects a row", [](CListCtrl& l) { return l.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED); },
              TRUE, "b|b1;c|c1;d|*" },
            { "GetItemState of the selected row", [](CListCtrl& l) { return (int)l.GetItemState(2, LVIS_SELECTED); },
              LVIS_SELECTED, "b|b1;c|c1;d|*" },
            { "GetItemState masks what it reports", [](CListCtrl& l) { return (int)l.GetItemState(2, LVIS_FOCUSED); },
              0, "b|b1;c|c1;d|*" },
            { "GetNextItem selected from the top", [](CListCtrl& l) { return l.GetNextItem(-1, LVNI_SELECTED); }, 2,
              "b|b1;c|c1;d|*" },
            { "GetNextItem selected after the last one", [](CListCtrl& l) { return l.GetNextItem(2, LVNI_SELECTED); }, -1,
              "b|b1;c|c1;d|*" },
            { "GetNextItem all from the top", [](CListCtrl& l) { return l.GetNextItem(-1, LVNI_ALL); }, 0, "b|b1;c|c1;d|*" },
            { "GetNextItem all after row 0", [](CListCtrl& l) { return l.GetNextItem(0, LVNI_ALL); }, 1, "b|b1;c|c1;d|*" },
            { "SetItemState clears a row", [](CListCtrl& l) { return l.SetItemState(2, 0, LVIS_SELECTED); }, TRUE,
              "b|b1;c|c1;d|" },
            { "DeleteItem renumbers the rows below", [](CListCtrl& l) { return l.DeleteItem(0); }, TRUE, "c|c1;d|" },
            { "DeleteItem of a row that does not exist", [](CListCtrl& l) { return l.DeleteItem(5); }, FALSE, "c|c1;d|" },
            { "DeleteAllItems", [](CListCtrl& l) { return l.DeleteAllItems(); }, TRUE, "" },
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
        const std::string longText(700, 'L');

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
            { "InsertItem with a structure",
              [&](CTreeCtrl&) {
                  TVINSERTSTRUCTA insert = {};
                  insert.hParent = items["A1"];
                  insert.hInsertAfter = TVI_LAST;
                  insert.item.mask = TVIF_TEXT;
                  insert.item.pszText = const_cast<char*>("A11");
                  HTREEITEM hItem = pTree->InsertItem(&insert);
                  names[hItem] = "A11";
                  items["A11"] = hItem;
                  return Name(hItem);
              },
              "A11", "0 A(A1(A11)) B C" },
            { "InsertItem of a second child", [&](CTreeCtrl&) { return Insert("A2", items["A"], TVI_LAST); }, "A2",
              "0 A(A1(A11) A2) B C" },
            { "GetCount", [&](CTreeCtrl&) { return std::to_string(pTree->GetCount()); }, "7", "0 A(A1(A11) A2) B C" },
            { "GetRootItem", [&](CTreeCtrl&) { return Name(pTree->GetRootItem()); }, "0", "0 A(A1(A11) A2) B C" },
            { "GetChildItem", [&](CTreeCtrl&) { return Name(pTree->GetChildItem(items["A"])); }, "A1", "0 A(A1(A11) A2) B C" },
            { "GetChildItem of a leaf", [&](CTreeCtrl&) { return Name(pTree->GetChildItem(items["B"])); }, "NULL",
              "0 A(A1(A11) A2) B C" },
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
            { "GetItemState reports the open state",
              [&](CTreeCtrl&) { return std::to_string(pTree->GetItemState(items["A"], TVIS_EXPANDED)); },
              std::to_string(TVIS_EXPANDED), "0 A+(A1(A11) A2) B C" },
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
            { "SelectItem", [&](CTreeCtrl&) { return std::to_string(pTree->SelectItem(items["B"])); }, "1", "0 A(A1+(A11) A2) B C" },
            { "GetSelectedItem", [&](CTreeCtrl&) { return Name(pTree->GetSelectedItem()); }, "B", "0 A(A1+(A11) A2) B C" },
            { "SelectItem NULL clears the selection",
              [&](CTreeCtrl&) {
                  pTree->SelectItem(NULL);
                  return Name(pTree->GetSelectedItem());
              },
              "NULL", "0 A(A1+(A11) A2) B C" },
            { "SetItem renames",
              [&](CTreeCtrl&) {
                  TVITEMA item = {};
                  item.mask = TVIF_TEXT;
                  item.hItem = items["0"];
                  item.pszText = const_cast<char*>("Z");
                  return std::to_string(pTree->SetItem(&item));
              },
              "1", "Z A(A1+(A11) A2) B C" },
            { "GetItem reads the text",
              [&](CTreeCtrl&) {
                  char szText[8] = "";
                  TVITEMA item = {};
                  item.mask = TVIF_TEXT;
                  item.hItem = items["A2"];
                  item.pszText = szText;
                  item.cchTextMax = sizeof(szText);
                  return pTree->GetItem(&item) ? std::string(szText) : std::string("failed");
              },
              "A2", "Z A(A1+(A11) A2) B C" },
            { "GetItemText of a long item",
              [&](CTreeCtrl&) {
                  HTREEITEM hItem = pTree->InsertItem(longText.c_str(), items["C"]);
                  bool bWhole = std::string(pTree->GetItemText(hItem)) == longText;
                  TVITEMA item = {};
                  item.mask = TVIF_TEXT;
                  item.hItem = hItem;
                  item.pszText = const_cast<char*>("L");
                  pTree->SetItem(&item);
                  return bWhole ? std::string("whole") : std::string("cut");
              },
              "whole", "Z A(A1+(A11) A2) B C(L)" },
            { "GetItemText of NULL", [&](CTreeCtrl&) { return std::string(pTree->GetItemText(NULL)); }, "",
              "Z A(A1+(A11) A2) B C(L)" },
            { "DeleteAllItems", [&](CTreeCtrl&) { return std::to_string(pTree->DeleteAllItems()); }, "1", "" },
            { "GetCount of an empty tree", [&](CTreeCtrl&) { return std::to_string(pTree->GetCount()); }, "0", "" },
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
            { "SetCurSel", [](CComboBox& c) { return c.SetCurSel(2); }, 2, "first.kvd;Second.kvd;*" },
            { "SetCurSel -1 clears the selection", [](CComboBox& c) { return c.SetCurSel(-1); }, CB_ERR,
              "first.kvd;Second.kvd;" },
            { "GetCurSel with nothing selected", [](CComboBox& c) { return c.GetCurSel(); }, CB_ERR,
              "first.kvd;Second.kvd;" },
            { "GetCount", [](CComboBox& c) { return c.GetCount(); }, 3, "first.kvd;Second.kvd;" },
            { "ResetContent",
              [](CComboBox& c) {
                  c.ResetContent();
                  return c.GetCount();
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

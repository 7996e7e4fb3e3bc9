// Control wrappers that read text back: whole texts of any length, CB_ERR for bad indexes.
#include "test_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modal_script.h"

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
    ModalScript script({});
    EXPECT_EQ(dlg.DoModal(), IDOK);
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

}  // namespace

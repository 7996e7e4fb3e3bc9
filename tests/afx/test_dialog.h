// A dialog of the test program with one handler of each message-map kind; every handler
// records what it saw so that tests can assert on it.
#ifndef AFX_TEST_DIALOG_H
#define AFX_TEST_DIALOG_H

#include <afxext.h>
#include <afxcmn.h>

#include <functional>

#include "afx_test_res.h"

class CTestDialog : public CDialog
{
public:
    explicit CTestDialog(UINT nIDTemplate = IDD_AFXTEST, CWnd* pParent = NULL) : CDialog(nIDTemplate, pParent) {}

    // Runs at the end of OnInitDialog; its result is OnInitDialog's.
    std::function<BOOL(CTestDialog&)> m_init;

    HWND m_hWndDuringRun = NULL;
    HWND m_hWndOwner = NULL;
    CWnd* m_pListAtInit = NULL;
    int m_nClicks = 0;
    int m_nOK = 0;
    int m_nCancel = 0;
    int m_nHelp = 0;
    UINT_PTR m_nNotifyFrom = 0;
    CString m_strSelected;

    virtual BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_hWndDuringRun = m_hWnd;
        m_hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
        m_pListAtInit = GetDlgItem(IDC_LIST);
        return m_init ? m_init(*this) : TRUE;
    }

protected:
    virtual void OnOK() override
    {
        ++m_nOK;
        CDialog::OnOK();
    }
    virtual void OnCancel() override
    {
        ++m_nCancel;
        CDialog::OnCancel();
    }
    afx_msg void OnClick() { ++m_nClicks; }
    afx_msg void OnThrow();
    afx_msg void OnDblclkList(NMHDR* pNMHDR, LRESULT* pResult)
    {
        m_nNotifyFrom = pNMHDR->idFrom;
        *pResult = 5;
    }
    afx_msg BOOL OnHelpInfo(HELPINFO*)
    {
        ++m_nHelp;
        return TRUE;
    }
    afx_msg LRESULT OnAppMessage(WPARAM wParam, LPARAM lParam) { return (LRESULT)(wParam + 10 * lParam); }
    afx_msg void OnSelchangeCombo()
    {
        CComboBox* pCombo = (CComboBox*)GetDlgItem(IDC_COMBO);
        pCombo->GetLBText(pCombo->GetCurSel(), m_strSelected);
    }
    DECLARE_MESSAGE_MAP()
};

#endif

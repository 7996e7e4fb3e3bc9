// WarningDialog.cpp - the overwrite warning dialog (template 131).
#include "WarningDialog.h"

#include "resource.h"
#include "ResourceRule.h"

CWarningDialog::CWarningDialog(const CString& message, CWnd* pParent)
    : CDialog(IDD_WARNING, pParent), m_strMessage(message), m_nResult(answerCancel)
{
}

CWarningDialog::~CWarningDialog()
{
}

int CWarningDialog::DoModal()
{
    // What CDialog::DoModal returns does not matter: a dialog that could not be
    // created leaves the answer at Cancel.
    DoModalWithOwnResources(*this);
    return m_nResult;
}

BOOL CWarningDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CWnd* pText = GetDlgItem(IDC_WARNING_TEXT);
    if (pText != NULL)
        pText->SetWindowText(m_strMessage);
    CenterWindow();
    return TRUE;
}

BEGIN_MESSAGE_MAP(CWarningDialog, CDialog)
    ON_BN_CLICKED(IDYES, OnYes)
    ON_BN_CLICKED(IDNO, OnNo)
    ON_BN_CLICKED(IDC_YESALL, OnYesAll)
    ON_BN_CLICKED(IDC_NOALL, OnNoAll)
END_MESSAGE_MAP()

void CWarningDialog::OnYes() { EndWithAnswer(answerYes); }
void CWarningDialog::OnNo() { EndWithAnswer(answerNo); }
void CWarningDialog::OnYesAll() { EndWithAnswer(answerYesAll); }
void CWarningDialog::OnNoAll() { EndWithAnswer(answerNoAll); }

void CWarningDialog::EndWithAnswer(int nAnswer)
{
    m_nResult = nAnswer;
    CDialog::OnOK();
}

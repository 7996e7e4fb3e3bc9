// WarningDialog.h - the overwrite warning: one text and five answers.
//
// The OK pass of the transfer dialog creates one for each warning, runs it and
// takes the answer that DoModal returns. Esc, the close box, and a dialog that
// cannot be created at all answer Cancel.
#ifndef DERAR_WARNINGDIALOG_H
#define DERAR_WARNINGDIALOG_H

#include <afxwin.h>

class CWarningDialog : public CDialog
{
public:
    // The answer codes that DoModal returns. Yes, No and Cancel equal IDYES, IDNO and
    // IDCANCEL; Yes All and No All are 0 and 1, not their control ids.
    enum Answer
    {
        answerYesAll = 0,
        answerNoAll = 1,
        answerCancel = 2,
        answerYes = 6,
        answerNo = 7
    };

    CWarningDialog(const CString& message, CWnd* pParent = NULL);
    virtual ~CWarningDialog();

    // Runs the dialog with the library's own resources current; returns the answer.
    virtual int DoModal();

protected:
    // Shows the text and centres the dialog; the focus goes to "&Yes".
    virtual BOOL OnInitDialog();

    afx_msg void OnYes();
    afx_msg void OnNo();
    afx_msg void OnYesAll();
    afx_msg void OnNoAll();
    DECLARE_MESSAGE_MAP()

private:
    // Every answer button stores its answer and ends the dialog.
    void EndWithAnswer(int nAnswer);

    CString m_strMessage;   // the warning text, shown in control 1001
    int m_nResult;          // the answer; Cancel until an answer button sets it
};

#endif

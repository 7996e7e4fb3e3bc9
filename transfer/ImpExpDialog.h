// ImpExpDialog.h - the transfer dialog behind KivImpExpDialog.
//
// The dialog reads the exchange file once, while it initialises, and spreads the
// host's candidate names over two sorted report lists: the available list (upper,
// the candidates the file holds) and the selected list (lower, what will be
// transferred; in export mode it starts with the candidates the file lacks, marked
// "New"). The user moves rows between the lists; OK walks the selected list, warns
// before data of another author or well is overwritten, and puts the accepted names
// into the object name list that the host gets back.
#ifndef DERAR_IMPEXPDIALOG_H
#define DERAR_IMPEXPDIALOG_H

#include <afxwin.h>
#include <afxcmn.h>
#include <afxext.h>

#include <vector>

class CKivAttachment;

class CImpExpDialog : public CDialog
{
public:
    // pNameList holds the candidates; the dialog empties it while it initialises and
    // refills it with the accepted names when OK ends it. It is not owned.
    CImpExpDialog(int modeFlag, CString directory, CString fileName, CString currentAuthor,
                  CString currentWellId, CStringList* pNameList, CWnd* pParent = NULL);
    virtual ~CImpExpDialog();

    // Runs the dialog with the library's own resources current.
    virtual int DoModal();

protected:
    // Lists the file's objects that are candidates; ends the dialog unseen with IDOK
    // when none is available, or with IDCANCEL after a failure of the exchange library.
    virtual BOOL OnInitDialog();
    // The OK pass: warns where data would be overwritten and collects the accepted names.
    virtual void OnOK();

    // Puts one text into a list: sub-item 0 inserts a new row (at its sorted place)
    // and returns its index; sub-items 1 to 4 set that column of row nRow.
    int InsertItemText(CListCtrl* pList, int nRow, int nSubItem, CString text);

    afx_msg void OnAdd();
    afx_msg void OnAddAll();
    afx_msg void OnRemove();
    afx_msg void OnRemoveAll();
    afx_msg void OnDblclkAvailableList(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnDblclkSelectedList(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnHelp();
    afx_msg BOOL OnHelpInfo(HELPINFO* pHelpInfo);

    // Beyond the buttons: keys and drags in the lists for the four commands. Insert and
    // Delete run Add and Remove, with Shift Add all and Remove all, in either list; rows
    // dragged from one list and dropped on the other move as Add or Remove moves them.
    afx_msg void OnKeydownList(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnBegindragAvailableList(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnBegindragSelectedList(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

private:
    // The five texts of one object row, column 0 first.
    struct ObjectRowTexts
    {
        CString texts[5];
    };

    // The steps of OnInitDialog, in their order.
    void ShowModeCaptions();
    void AttachButtonsAndLists();
    BOOL OpenExchangeFile(CKivAttachment& kiv);
    void InsertColumns();
    void ListFileObjects();
    void ListNewObjects();

    // The buttons' names for assistive programs and their tooltips: what each does, and its key.
    void NameTheButtons();
    // Follows a drag of pSource's selected rows; a drop on pTarget runs pfnCommand.
    void DragRows(CListCtrl* pSource, CListCtrl* pTarget, void (CImpExpDialog::*pfnCommand)());

    void MoveRows(CListCtrl* pSource, CListCtrl* pTarget, UINT nFlags, BOOL bDisableOkFirst = FALSE);
    void UpdateOkButton();
    void EnableOkButton(BOOL bEnable);
    void AddObjectRow(CListCtrl* pList, const CString& name, const CString& author,
                      const CString& version, const CString& date, const CString& wellId);
    void AddObjectRows(CListCtrl* pList, const std::vector<ObjectRowTexts>& rows);

    BOOL m_bImport;                 // nonzero: import mode; never changes
    CStringList* m_pNameList;       // the host's object name list; not owned
    CBitmapButton m_btnAddAll;      // 3554
    CBitmapButton m_btnAdd;         // 3553
    CBitmapButton m_btnRemove;      // 3555
    CBitmapButton m_btnRemoveAll;   // 3556
    CListCtrl* m_pSelectedList;     // 3551, lower list; not owned
    CListCtrl* m_pAvailableList;    // 3552, upper list; not owned
    CString m_strDirectory;         // ends with its separator: the path is directory + file name
    CString m_strFileName;
    CString m_strCurrentAuthor;
    CString m_strCurrentWellId;

    CToolTipCtrl m_toolTips;        // the four buttons' tooltips, while the dialog is shown
};

#endif

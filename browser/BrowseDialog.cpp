// The browser dialog: its lifetime with the exchange library, which file it shows
// at start, the two ways of picking another file, and help.
#include "BrowseDialog.h"

#include <afxdlgs.h>

#include "BrowseKeys.h"
#include "BrowserCommands.h"
#include "LastFileKey.h"
#include "resource.h"
#include "ResourceRule.h"

namespace {

// The message the Find dialog sends its owner, numbered when the map is first made.
UINT FindDialogMessage()
{
    static const UINT nMessage = ::RegisterWindowMessageA(FINDMSGSTRINGA);
    return nMessage;
}

}  // namespace

BEGIN_MESSAGE_MAP(CBrowseDialog, CDialog)
    ON_CBN_SELCHANGE(IDC_FILE_COMBO, OnSelchangeFileName)
    ON_BN_CLICKED(IDC_BROWSE_FILE, OnBrowseFile)
    ON_BN_CLICKED(ID_COLLAPSE_TREE, OnCollapseTree)
    ON_BN_CLICKED(ID_EXPAND_TREE, OnExpandTree)
    ON_BN_CLICKED(ID_EXPAND_NODE, OnExpandNode)
    ON_BN_CLICKED(ID_HELP, OnHelp)
    ON_WM_HELPINFO()
    ON_COMMAND(ID_FIND_TEXT, OnFindText)
    ON_COMMAND(ID_FIND_NEXT, OnFindNext)
    ON_COMMAND(ID_FIND_PREVIOUS, OnFindPrevious)
    ON_REGISTERED_MESSAGE(FindDialogMessage(), OnFindReplace)
    ON_COMMAND(ID_COPY_LABEL, OnCopyLabel)
    ON_MESSAGE(WM_CONTEXTMENU, OnContextMenu)
END_MESSAGE_MAP()

CBrowseDialog::CBrowseDialog(CString strPathName, CString strFileName, CWnd* pParent)
    : CDialog(IDD_BROWSE, pParent),
      m_pTree(NULL),
      m_strPathName(strPathName),
      m_strFileName(strFileName),
      m_pFileCombo(NULL),
      m_bMatchCase(false),
      m_bWholeWord(false),
      m_kiv(CKivAttachment::detachAlways)
{
}

CBrowseDialog::~CBrowseDialog()
{
}

int CBrowseDialog::DoModal()
{
    // Ctrl+F, F3 and Ctrl+C become the browser's commands while it runs.
    CBrowseKeys keys(*this);
    return DoModalWithOwnResources(*this);
}

BOOL CBrowseDialog::OnInitDialog()
{
    CString strMessage;
    if (!m_kiv.Attach(strMessage))
    {
        AfxMessageBox(strMessage, MB_OK, 0);
        CDialog::OnCancel();
        return FALSE;
    }

    m_pTree = static_cast<CTreeCtrl*>(GetDlgItem(IDC_TREE));
    m_pFileCombo = static_cast<CComboBox*>(GetDlgItem(IDC_FILE_COMBO));
    // Without the tree or the combo box there is nothing to show a file in: end unseen.
    if (m_pTree == NULL || m_pFileCombo == NULL)
    {
        CDialog::OnCancel();
        return FALSE;
    }

    // The host's pair is used as given, even when only one of the two texts is set.
    if (m_strPathName.IsEmpty() && m_strFileName.IsEmpty())
    {
        if (!ReadLastFileKey(m_strPathName, m_strFileName))
        {
            AfxMessageBox("Registry problems.", MB_OK, 0);
            return FALSE;
        }
    }

    CFileStatus status;
    if (CFile::GetStatus(m_strPathName + m_strFileName, status))
        RefreshFile();

    CDialog::OnInitDialog();
    CenterWindow(NULL);
    return TRUE;
}

void CBrowseDialog::OnSelchangeFileName()
{
    int nIndex = m_pFileCombo->GetCurSel();
    if (nIndex < 0)
        return;
    m_pFileCombo->GetLBText(nIndex, m_strFileName);
    RefreshFile();
}

void CBrowseDialog::OnBrowseFile()
{
    if (m_strFileName.IsEmpty())
        m_strFileName = "*.kvd";

    // OFN_FILEMUSTEXIST is left out on purpose: a new name in an existing directory is accepted.
    CFileDialog dlgFile(TRUE, "kvd", m_strPathName + m_strFileName,
                        OFN_HIDEREADONLY | OFN_PATHMUSTEXIST,
                        "Data Exchange Files (*.kvd)|*.kvd||", NULL);
    if (dlgFile.DoModal() != IDOK)
        return;

    m_strPathName = dlgFile.GetPathName();
    m_strFileName = dlgFile.GetFileName();
    // What is left of the full path after the name is the directory with its separator.
    m_strPathName = m_strPathName.Left(m_strPathName.GetLength() - m_strFileName.GetLength());
    RefreshFile();
}

void CBrowseDialog::OnHelp()
{
    WinHelp(DERAR_HELP_FILE, HELP_CONTEXT, HELP_CONTEXT_BROWSE);
}

BOOL CBrowseDialog::OnHelpInfo(HELPINFO* /*pHelpInfo*/)
{
    OnHelp();
    return TRUE;
}

// Find: the platform's Find dialog (Ctrl+F), F3 and Shift+F3, over the browser's model of the
// tree, so that a search reads no label through the tree view.
#include "BrowseDialog.h"

#include <dlgs.h>

namespace {

const char kPassedTheEnd[] = "Passed the end of the tree; the search went on from the top.";
const char kPassedTheTop[] = "Passed the top of the tree; the search went on from the bottom.";

}  // namespace

void CBrowseDialog::OnFindText()
{
    if (m_pTree == NULL)
        return;
    if (m_findDialog.m_hWnd != NULL)
    {
        // Open already: forward, with its text chosen, to be typed over.
        ::SetActiveWindow(m_findDialog.m_hWnd);
        HWND hText = ::GetDlgItem(m_findDialog.m_hWnd, edt1);
        ::SetFocus(hText);
        ::SendMessageA(hText, EM_SETSEL, 0, -1);
        return;
    }
    const DWORD dwFlags = FR_DOWN | (m_bMatchCase ? FR_MATCHCASE : 0) | (m_bWholeWord ? FR_WHOLEWORD : 0);
    if (!m_findDialog.Create(TRUE, m_strFindText, NULL, dwFlags, this))
        return;
    // While the Find dialog has the keys, the tree would hide its selection: it shows the
    // match (greyed) until the dialog closes, and then takes its own style back.
    m_pTree->ModifyStyle(0, TVS_SHOWSELALWAYS);
    m_pTree->Invalidate();
}

void CBrowseDialog::OnFindNext()
{
    if (m_strFindText.IsEmpty())
        OnFindText();
    else
        FindAndShow(true);
}

void CBrowseDialog::OnFindPrevious()
{
    if (m_strFindText.IsEmpty())
        OnFindText();
    else
        FindAndShow(false);
}

LRESULT CBrowseDialog::OnFindReplace(WPARAM /*wParam*/, LPARAM lParam)
{
    CFindReplaceDialog* pDialog = CFindReplaceDialog::GetNotifier(lParam);
    if (pDialog != &m_findDialog || m_pTree == NULL)
        return 0;
    m_bMatchCase = pDialog->MatchCase() != FALSE;
    m_bWholeWord = pDialog->MatchWholeWord() != FALSE;
    if (pDialog->IsTerminating())
    {
        m_pTree->ModifyStyle(TVS_SHOWSELALWAYS, 0);
        m_pTree->Invalidate();
        return 0;
    }
    if (pDialog->FindNext())
    {
        m_strFindText = pDialog->GetFindString();
        FindAndShow(pDialog->SearchDown() != FALSE);
    }
    return 0;
}

// From the selected item (none: from the top, or up from the bottom) to the next label
// that holds the text, round the end when it must, with a note when it went round.
void CBrowseDialog::FindAndShow(bool bDown)
{
    if (m_pTree == NULL)
        return;
    bool bWrapped = false;
    const int nFound =
        m_model.Find(m_strFindText, m_bMatchCase, m_bWholeWord, m_model.IndexOf(m_pTree->GetSelectedItem()), bDown, &bWrapped);
    if (nFound < 0)
    {
        CString strMessage;
        strMessage.Format("Cannot find \"%s\".", m_strFindText);
        AfxMessageBox(strMessage, MB_OK | MB_ICONINFORMATION, 0);
        return;
    }
    ShowFoundItem(nFound);
    if (bWrapped)
        AfxMessageBox(bDown ? kPassedTheEnd : kPassedTheTop, MB_OK | MB_ICONINFORMATION, 0);
}

void CBrowseDialog::ShowFoundItem(int nItem)
{
    // The ancestors open deepest first: an item whose parent is closed opens without any
    // window work, so only the outermost one that was closed recounts the rows on screen.
    for (int nParent = m_model.GetParent(nItem); nParent >= 0; nParent = m_model.GetParent(nParent))
        m_pTree->Expand(m_model.GetHandle(nParent), TVE_EXPAND);
    HTREEITEM hItem = m_model.GetHandle(nItem);
    m_pTree->SelectItem(hItem);
    m_pTree->EnsureVisible(hItem);
}

// The refresh: one exchange file read into the tree in a single pass, the last
// file key rewritten, the directory shown and the file name combo box refilled.
#include "BrowseDialog.h"

#include <cstring>
#include <string>
#include <string_view>
#include <io.h>

#include "LastFileKey.h"
#include "KivTexts.h"
#include "Outline.h"
#include "resource.h"

namespace {

std::string_view View(const CString& str)
{
    return std::string_view(static_cast<LPCSTR>(str), static_cast<size_t>(str.GetLength()));
}

// The directory search matches long names by their short 8.3 name too (three.kvdx
// is THREE~1.KVD): only names that themselves end in ".kvd" are exchange files.
bool HasExchangeExtension(const char* pszName)
{
    size_t nLength = std::strlen(pszName);
    return nLength >= 4 && _stricmp(pszName + nLength - 4, ".kvd") == 0;
}

// The exchange files of the folder where a name from the combo box is opened: the
// directory text with the name put right after it. An empty text is the current folder
// and "C:" the drive's current folder, as for the open, not the drive's root. A text
// without its separator keeps the one put between (its folder is listed, as always).
// No separator is doubled: a "\\?\" path is taken as it stands, with no doubled one read
// as one.
CString ExchangeFilePattern(const CString& strDirectory)
{
    const int nLength = strDirectory.GetLength();
    const char cLast = nLength > 0 ? strDirectory[nLength - 1] : '\0';
    if (nLength == 0 || cLast == '\\' || cLast == '/' || cLast == ':')
        return strDirectory + "*.kvd";
    return strDirectory + "\\*.kvd";
}

}  // namespace

void CBrowseDialog::RefreshFile()
{
    m_pTree->DeleteAllItems();
    m_model.Clear();

    CString strPath = m_strPathName + m_strFileName;

    CFileStatus status;
    if (CFile::GetStatus(strPath, status))
    {
        CString strError;
        if (!KivOpenFile(strPath, strError))
        {
            AfxMessageBox(strError, MB_OK, 0);
            return;
        }
    }

    if (!WriteLastFileKey(m_strPathName, m_strFileName))
    {
        AfxMessageBox("Registry problems.", MB_OK, 0);
        return;
    }

    // The walk places every item in the model; the tree gets them all at once after.
    auto addItem = [this](int nDepth, const std::string& label) { m_model.Add(label.c_str(), label.size(), nDepth); };
    KivObjectTexts object;
    OutlineWalk walk;
    while (KivReadNextObject(object))
    {
        addItem(0, OutlineObjectLabel(View(object.strName), View(object.strAuthor), View(object.strVersion),
                                      View(object.strWellId), View(KivDisplayDate(object.strDate))));
        walk.BeginObject();
        KivValueTexts value;
        while (KivReadNextValue(value))
        {
            walk.AddValue({ View(value.strGroup), View(value.strParentGroup), View(value.strName),
                            View(value.strValue), View(value.strSuffix), value.nRecord },
                          addItem);
        }
    }
    {
        // A visible tree repaints and recounts its rows on every insert; the whole file
        // goes in with redrawing suspended and is drawn once.
        CRedrawGuard redrawGuard(m_pTree);
        m_model.InsertInto(m_pTree);
    }

    ShowOpeningView();
    SetDlgItemText(IDC_DIRECTORY, m_strPathName);
    RefillFileCombo();
}

void CBrowseDialog::ShowOpeningView()
{
    HTREEITEM hItem = m_pTree->GetRootItem();
    if (hItem == NULL)
    {
        m_pTree->SetFocus();
        return;
    }
    // Opening or scrolling an item of a tree on screen repaints it at once, whatever
    // WM_SETREDRAW says (tens of milliseconds each under Wine): the objects are opened
    // with the tree hidden, and it is shown once, as the walk left it.
    m_pTree->ShowWindow(SW_HIDE);
    m_pTree->Expand(hItem, TVE_EXPAND);
    m_pTree->EnsureVisible(hItem);
    // Every object item opens one level, so its top-level groups show, closed.
    while ((hItem = m_pTree->GetNextVisibleItem(hItem)) != NULL)
    {
        if (m_pTree->GetParentItem(hItem) == NULL)
        {
            m_pTree->Expand(hItem, TVE_EXPAND);
            m_pTree->EnsureVisible(hItem);
        }
    }
    m_pTree->ShowWindow(SW_SHOW);
    m_pTree->SetFocus();
}

void CBrowseDialog::RefillFileCombo()
{
    m_pFileCombo->ResetContent();

    CString strPattern = ExchangeFilePattern(m_strPathName);
    struct _finddata_t found;
    intptr_t hFind = _findfirst(strPattern, &found);
    if (hFind != -1)
    {
        do
        {
            if (HasExchangeExtension(found.name))
                m_pFileCombo->AddString(found.name);
        } while (_findnext(hFind, &found) == 0);
        _findclose(hFind);
    }

    // A case-insensitive prefix match over the whole list; no match selects nothing.
    m_pFileCombo->SelectString(-1, m_strFileName);
}

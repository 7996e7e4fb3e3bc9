// The refresh: one exchange file read into the tree in a single pass, the last
// file key rewritten, the directory shown and the file name combo box refilled.
#include "BrowseDialog.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <io.h>

#include <kivapi.h>

#include "LastFileKey.h"
#include "kivtexts.h"
#include "resource.h"

namespace {

// Name, ": ", value, one blank, and "[suffix]" only when there is a suffix; built in
// one piece, as it is made for every value of the file.
CString ValueLabel(const CString& strName, const char* pszValue, const char* pszSuffix)
{
    std::string label(static_cast<LPCSTR>(strName), static_cast<size_t>(strName.GetLength()));
    label += ": ";
    label += pszValue != NULL ? pszValue : "";
    label += ' ';
    if (pszSuffix != NULL && *pszSuffix != '\0')
    {
        label += '[';
        label += pszSuffix;
        label += ']';
    }
    return CString(label.c_str(), static_cast<int>(label.size()));
}

CString RecordLabel(int nRecord)
{
    char szLabel[256];
    std::sprintf(szLabel, "%d", nRecord);
    return CString(szLabel);
}

// The directory search matches long names by their short 8.3 name too (three.kvdx
// is THREE~1.KVD): only names that themselves end in ".kvd" are exchange files.
bool HasExchangeExtension(const char* pszName)
{
    size_t nLength = std::strlen(pszName);
    return nLength >= 4 && _stricmp(pszName + nLength - 4, ".kvd") == 0;
}

}  // namespace

void CBrowseDialog::RefreshFile()
{
    m_pTree->DeleteAllItems();
    m_treeItems.clear();
    m_fileItems.Clear();

    CString strPath = m_strPathName + m_strFileName;

    CFileStatus status;
    if (CFile::GetStatus(strPath, status))
    {
        char* pszError = NULL;
        if (!KivOpen(strPath, &pszError, 0))
        {
            AfxMessageBox(KivText(pszError), MB_OK, 0);
            return;
        }
    }

    if (!WriteLastFileKey(m_strPathName, m_strFileName))
    {
        AfxMessageBox("Registry problems.", MB_OK, 0);
        return;
    }

    // The walk places every item in m_fileItems; the tree gets them all at once after.
    HTREEITEM hLastItem = NULL;
    int nLastDepth = 0;
    KivObjectTexts object;
    while (KivReadNextObject(object))
    {
        CString strLabel = object.strName + " - " + object.strAuthor + " - " + object.strVersion
                           + " - " + object.strWellId + " - " + KivDisplayDate(object.strDate);
        hLastItem = InsertTreeItem(hLastItem, strLabel, 0, &nLastDepth);
        WalkObjectValues(hLastItem);
    }
    {
        // A visible tree repaints and recounts its rows on every insert; the whole file
        // goes in with redrawing suspended and is drawn once.
        CRedrawGuard redrawGuard(m_pTree);
        std::vector<HTREEITEM> handles = m_fileItems.InsertInto(m_pTree);
        for (int nItem = 0; nItem < m_fileItems.GetCount(); ++nItem)
        {
            if (handles[static_cast<size_t>(nItem)] == NULL)
                continue;
            TreeItemRecord record = { handles[static_cast<size_t>(nItem)], m_fileItems.GetDepth(nItem) };
            m_treeItems.push_back(record);
        }
        m_fileItems.Clear();
    }

    ShowOpeningView();
    SetDlgItemText(IDC_DIRECTORY, m_strPathName);
    RefillFileCombo();
}

// Places the values of one object under its item. The group path holds the groups
// from the top-level group of the last value down to the last value's own group;
// a value item sits at depth 2k+3 when its group is at nesting level k.
void CBrowseDialog::WalkObjectValues(HTREEITEM hObjectItem)
{
    CStringList groupPath(10);
    CString strPreviousGroup;
    CString strFirstValueName;
    int nValueDepth = 0;
    HTREEITEM hLastItem = hObjectItem;
    int nLastDepth = 0;

    char* pszGroup = NULL;
    char* pszValueName = NULL;
    char* pszExtra = NULL;
    char* pszSuffix = NULL;
    char* pszValue = NULL;
    char* pszParentGroup = NULL;
    int nRecord = 0;
    while (KivGetNextValue(&pszGroup, &pszValueName, &pszExtra, &pszSuffix, &pszValue,
                           &pszParentGroup, &nRecord))
    {
        CString strGroup = KivText(pszGroup);
        CString strValueName = KivText(pszValueName);
        CString strParentGroup = KivText(pszParentGroup);
        CString strValueLabel = ValueLabel(strValueName, pszValue, pszSuffix);

        const bool bOnPath = groupPath.Find(strGroup) != NULL;
        const bool bParentOnPath = groupPath.Find(strParentGroup) != NULL;
        // A value the walk cannot place (the first one of an object naming a parent
        // group, or one whose parent group is not on the path) opens a new top-level group.
        const bool bUnplaceable = !strParentGroup.IsEmpty() && !bOnPath
                                  && (groupPath.IsEmpty() || !bParentOnPath);

        if ((strParentGroup.IsEmpty() && !bOnPath) || bUnplaceable || groupPath.IsEmpty())
        {
            // A new top-level group.
            hLastItem = InsertTreeItem(hLastItem, strGroup, 1, &nLastDepth);
            hLastItem = InsertTreeItem(hLastItem, RecordLabel(nRecord), 2, &nLastDepth);
            hLastItem = InsertTreeItem(hLastItem, strValueLabel, 3, &nLastDepth);
            groupPath.RemoveAll();
            groupPath.AddTail(strGroup);
            strFirstValueName = strValueName;
            nValueDepth = 3;
        }
        else if (strGroup == strPreviousGroup || strGroup == groupPath.GetTail())
        {
            // The same group: the value that opened the record opens the next one.
            if (strValueName == strFirstValueName)
                hLastItem = InsertTreeItem(hLastItem, RecordLabel(nRecord), nValueDepth - 1, &nLastDepth);
            hLastItem = InsertTreeItem(hLastItem, strValueLabel, nValueDepth, &nLastDepth);
        }
        else if (!bOnPath)
        {
            // A nested group, inside the current record of its parent group.
            int nDepth = nValueDepth - 1;
            while (groupPath.GetTail() != strParentGroup)
            {
                groupPath.RemoveTail();
                nDepth -= 2;
            }
            hLastItem = InsertTreeItem(hLastItem, strGroup, nDepth + 1, &nLastDepth);
            hLastItem = InsertTreeItem(hLastItem, RecordLabel(nRecord), nDepth + 2, &nLastDepth);
            hLastItem = InsertTreeItem(hLastItem, strValueLabel, nDepth + 3, &nLastDepth);
            groupPath.AddTail(strGroup);
            strFirstValueName = strValueName;
            nValueDepth = nDepth + 3;
        }
        else
        {
            // Back to an enclosing group: its values go under a new record item.
            int nDepth = nValueDepth - 1;
            while (groupPath.GetTail() != strGroup)
            {
                groupPath.RemoveTail();
                nDepth -= 2;
            }
            hLastItem = InsertTreeItem(hLastItem, RecordLabel(nRecord), nDepth, &nLastDepth);
            hLastItem = InsertTreeItem(hLastItem, strValueLabel, nDepth + 1, &nLastDepth);
            strFirstValueName = strValueName;
            nValueDepth = nDepth + 1;
        }
        strPreviousGroup = strGroup;
    }
}

HTREEITEM CBrowseDialog::InsertTreeItem(HTREEITEM hLastItem, const CString& strText, int nDepth,
                                        int* pnLastDepth)
{
    // The items go to m_fileItems, and the handles handed out here are their places
    // there (one up, so that none is NULL): the parent is found by climbing from the
    // last item in that record, never by asking the tree view.
    const int nLastDepth = *pnLastDepth;
    const int nLastItem = static_cast<int>(reinterpret_cast<INT_PTR>(hLastItem)) - 1;
    int nParent = -1;
    if (nDepth > 0)
    {
        nParent = nLastItem;
        if (nDepth <= nLastDepth)
        {
            for (int nStep = 0; nStep < nLastDepth - nDepth + 1 && nParent >= 0; ++nStep)
                nParent = m_fileItems.GetParent(nParent);
        }
    }
    *pnLastDepth = nDepth;
    const int nItem = m_fileItems.Add(strText, nParent);
    return reinterpret_cast<HTREEITEM>(static_cast<INT_PTR>(nItem) + 1);
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

    // The directory already ends with its separator; the search reads the doubled one as one.
    CString strPattern = m_strPathName + "\\*.kvd";
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

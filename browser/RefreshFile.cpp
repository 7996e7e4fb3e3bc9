// The refresh: one exchange file read into the tree in a single pass, the last
// file key rewritten, the directory shown and the file name combo box refilled.
#include "BrowseDialog.h"

#include <cstdlib>
#include <cstring>
#include <new>
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

// What one refresh may take of the process's memory, and what happens when an allocation
// fails on the way. The budget is three quarters of what the process can still commit and
// address when the refresh starts (DERAR_BROWSER_MEMORY_MB, in megabytes, lowers it, for
// tests), counted per item as the model and the tree view keep it. While the refresh runs,
// the class layer's allocations that fail first give back a reserve, so that the refresh can
// stop and say so instead of the process ending; C++ allocations throw std::bad_alloc.
class CRefreshMemory
{
public:
    CRefreshMemory()
    {
        MEMORYSTATUSEX status = {};
        status.dwLength = sizeof(status);
        ULONGLONG nFree = ~0ULL;
        if (GlobalMemoryStatusEx(&status))
            nFree = status.ullAvailVirtual < status.ullAvailPageFile ? status.ullAvailVirtual : status.ullAvailPageFile;
        m_nBudget = nFree / 4 * 3;
        char szLimit[32];
        const DWORD nLength = GetEnvironmentVariableA("DERAR_BROWSER_MEMORY_MB", szLimit, sizeof(szLimit));
        if (nLength > 0 && nLength < sizeof(szLimit))
        {
            const ULONGLONG nLimit = _strtoui64(szLimit, NULL, 10) * 1024 * 1024;
            if (nLimit > 0 && nLimit < m_nBudget)
                m_nBudget = nLimit;
        }
        s_pReserve = std::malloc(kReserveBytes);
        s_bRanOut = false;
        m_pfnPrevious = AfxSetNewHandler(&GiveBackReserve);
        m_bActive = true;
    }
    ~CRefreshMemory() { End(); }

    // Counts an item with a label of nLength bytes; false when the file goes past the budget.
    bool Take(size_t nLength)
    {
        // The model: the label, its zero, its place, its depth and its handle. The tree view
        // (Wine's): its item, about two dozen pointers, and the label in UTF-16.
        m_nTaken += nLength + 1 + 8 + sizeof(HTREEITEM) + 24 * sizeof(void*) + 2 * (nLength + 1);
        return m_nTaken <= m_nBudget;
    }
    bool RanOut() const { return s_bRanOut; }

    void End()
    {
        if (!m_bActive)
            return;
        AfxSetNewHandler(m_pfnPrevious);
        std::free(s_pReserve);
        s_pReserve = NULL;
        m_bActive = false;
    }

private:
    static const size_t kReserveBytes = 1024 * 1024;

    static int __cdecl GiveBackReserve(size_t /*nBytes*/)
    {
        s_bRanOut = true;
        if (s_pReserve == NULL)
            return 0;
        std::free(s_pReserve);
        s_pReserve = NULL;
        return 1;
    }

    ULONGLONG m_nBudget = 0;
    ULONGLONG m_nTaken = 0;
    _PNH m_pfnPrevious = NULL;
    bool m_bActive = false;
    // One refresh at a time runs in a process in practice; a second one at once shares the
    // reserve and the flag, which can only make it stop early.
    static void* s_pReserve;
    static volatile bool s_bRanOut;
};

void* CRefreshMemory::s_pReserve = NULL;
volatile bool CRefreshMemory::s_bRanOut = false;

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

    // The walk places every item in the model; the tree gets them all at once after. A file
    // that needs more memory than the browser may take is refused, the model and the tree
    // emptied, and the dialog goes on with the directory and the names as after any refresh.
    CRefreshMemory memory;
    bool bFits = true;
    auto addItem = [&](int nDepth, const std::string& label) {
        if (bFits && memory.Take(label.size()))
            m_model.Add(label.c_str(), label.size(), nDepth);
        else
            bFits = false;
    };
    try
    {
        KivObjectTexts object;
        OutlineWalk walk;
        while (bFits && KivReadNextObject(object) && !memory.RanOut())
        {
            addItem(0, OutlineObjectLabel(View(object.strName), View(object.strAuthor), View(object.strVersion),
                                          View(object.strWellId), View(KivDisplayDate(object.strDate))));
            walk.BeginObject();
            KivValueTexts value;
            while (bFits && KivReadNextValue(value) && !memory.RanOut())
            {
                walk.AddValue({ View(value.strGroup), View(value.strParentGroup), View(value.strName),
                                View(value.strValue), View(value.strSuffix), value.nRecord },
                              addItem);
            }
        }
        if (bFits && !memory.RanOut())
        {
            // A visible tree repaints and recounts its rows on every insert; the whole file
            // goes in with redrawing suspended and is drawn once.
            CRedrawGuard redrawGuard(m_pTree);
            bFits = m_model.InsertInto(m_pTree) == 0;
        }
    }
    catch (const std::bad_alloc&)
    {
        bFits = false;
    }
    if (!bFits || memory.RanOut())
    {
        m_model.Release();
        m_pTree->DeleteAllItems();
        memory.End();
        CString strMessage;
        strMessage.Format("The file %s is too big to show: it needs more memory than this program has free. "
                          "Close other programs and try again, or open a smaller file.",
                          static_cast<LPCSTR>(strPath));
        AfxMessageBox(strMessage, MB_OK | MB_ICONEXCLAMATION, 0);
    }
    memory.End();

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

// ImpExpDialog.cpp - the transfer dialog (template 22677): listing, commands, OK pass.
#include "ImpExpDialog.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "RowDrag.h"
#include "SortedListOrder.h"
#include "WarningDialog.h"
#include "KivAttachment.h"
#include "KivTexts.h"
#include "resource.h"
#include "ResourceRule.h"

namespace {

const int kColumnCount = 5;

// Header texts, in column order; every row shows its five texts in this order.
const char kColumnHeaders[kColumnCount][20] = { "Object", "Author", "Version", "Date", "Well ID" };

// Column widths as shares of the available list's outer width W: 5W/28, 3W/28, W/14,
// W/4 and 110W/280, together the whole of W less rounding.
struct ColumnShare
{
    int numerator;
    int denominator;
};
const ColumnShare kColumnShares[kColumnCount] = { { 5, 28 }, { 3, 28 }, { 1, 14 }, { 1, 4 }, { 110, 280 } };

enum Column
{
    columnObject = 0,
    columnAuthor = 1,
    columnVersion = 2,
    columnDate = 3,
    columnWellId = 4
};

const char kNewAuthor[] = "New";

// Where each candidate name sits in the object name list, so that an object of the
// file finds the first unconsumed candidate of its name without walking the list.
class CCandidateIndex
{
public:
    explicit CCandidateIndex(CStringList& names)
    {
        for (POSITION pos = names.GetHeadPosition(); pos != NULL;)
        {
            POSITION here = pos;
            const CString& name = names.GetNext(pos);
            m_entries[Key(name)].positions.push_back(here);
        }
    }

    // The first candidate of this name that no earlier object has consumed, or NULL.
    POSITION Consume(const CString& name)
    {
        auto found = m_entries.find(Key(name));
        if (found == m_entries.end())
            return NULL;
        Entry& entry = found->second;
        if (entry.nextUnconsumed == entry.positions.size())
            return NULL;
        return entry.positions[entry.nextUnconsumed++];
    }

private:
    struct Entry
    {
        std::vector<POSITION> positions;  // in list order
        size_t nextUnconsumed = 0;
    };

    // Names compare byte for byte, case-sensitive, as CStringList::Find does.
    static std::string Key(const CString& name)
    {
        return std::string(static_cast<LPCSTR>(name), static_cast<size_t>(name.GetLength()));
    }

    std::unordered_map<std::string, Entry> m_entries;
};

}  // namespace

CImpExpDialog::CImpExpDialog(int modeFlag, CString directory, CString fileName, CString currentAuthor,
                             CString currentWellId, CStringList* pNameList, CWnd* pParent)
    : CDialog(IDD_IMPEXP, pParent),
      m_bImport(modeFlag),
      m_pNameList(pNameList),
      m_pSelectedList(NULL),
      m_pAvailableList(NULL),
      m_strDirectory(directory),
      m_strFileName(fileName),
      m_strCurrentAuthor(currentAuthor),
      m_strCurrentWellId(currentWellId)
{
}

CImpExpDialog::~CImpExpDialog()
{
}

int CImpExpDialog::DoModal()
{
    return DoModalWithOwnResources(*this);
}

BOOL CImpExpDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    ShowModeCaptions();
    AttachButtonsAndLists();
    // Without both lists there is nothing to show or choose: end unseen, names untouched.
    if (m_pSelectedList == NULL || m_pAvailableList == NULL)
    {
        CDialog::OnCancel();
        return FALSE;
    }

    // Ends the attachment on every way out of here, an exception included.
    CKivAttachment kiv;
    if (!OpenExchangeFile(kiv))
    {
        CDialog::OnCancel();
        return FALSE;
    }
    InsertColumns();
    ListFileObjects();
    EnableOkButton(FALSE);
    ListNewObjects();
    kiv.Detach();

    // Nothing to choose from: end at once, before the dialog is ever shown.
    if (m_pAvailableList->GetItemCount() == 0)
        CDialog::OnOK();
    else
        NameTheButtons();

    CenterWindow();
    return TRUE;
}

// Export mode names the lists and the dialog for the export; import keeps the template's.
void CImpExpDialog::ShowModeCaptions()
{
    if (m_bImport)
        return;
    SetDlgItemText(IDC_AVAILABLE_GROUP, "Objects Which Already Exists in the Export File");
    SetDlgItemText(IDC_SELECTED_GROUP, "Objects Selected for Export");
    SetWindowText("Kiv Export");
}

void CImpExpDialog::AttachButtonsAndLists()
{
    m_btnAdd.AutoLoad(IDC_ADD, this);
    m_btnAddAll.AutoLoad(IDC_ADDALL, this);
    m_btnRemove.AutoLoad(IDC_REMOVE, this);
    m_btnRemoveAll.AutoLoad(IDC_REMOVEALL, this);
    m_pSelectedList = static_cast<CListCtrl*>(GetDlgItem(IDC_SELECTED_LIST));
    m_pAvailableList = static_cast<CListCtrl*>(GetDlgItem(IDC_AVAILABLE_LIST));
}

// Attaches the exchange library and opens the file if it exists. FALSE after a refusal,
// which the user has been shown; the attachment is then ended.
BOOL CImpExpDialog::OpenExchangeFile(CKivAttachment& kiv)
{
    CString strMessage;
    if (!kiv.Attach(strMessage))
    {
        AfxMessageBox(strMessage, MB_OK, 0);
        return FALSE;
    }
    // A file that does not exist yet is no error: no object is listed from it.
    CString strPath = m_strDirectory + m_strFileName;
    CFileStatus status;
    if (CFile::GetStatus(strPath, status) && !KivOpenFile(strPath, strMessage))
    {
        AfxMessageBox(strMessage, MB_OK, 0);
        kiv.Detach();
        return FALSE;
    }
    return TRUE;
}

// The same five columns in both lists, their widths shares of the available list's outer width.
void CImpExpDialog::InsertColumns()
{
    RECT rcAvailable;
    m_pAvailableList->GetWindowRect(&rcAvailable);
    const int nListWidth = rcAvailable.right - rcAvailable.left;
    for (int nColumn = 0; nColumn < kColumnCount; ++nColumn)
    {
        const int nWidth = kColumnShares[nColumn].numerator * nListWidth / kColumnShares[nColumn].denominator;
        m_pAvailableList->InsertColumn(nColumn, kColumnHeaders[nColumn], LVCFMT_LEFT, nWidth, nColumn);
        m_pSelectedList->InsertColumn(nColumn, kColumnHeaders[nColumn], LVCFMT_LEFT, nWidth, nColumn);
    }
}

// The candidates left are those the file does not hold: dropped in import mode, "New"
// rows of the selected list in export mode (which enable OK).
void CImpExpDialog::ListNewObjects()
{
    if (m_bImport)
    {
        m_pNameList->RemoveAll();
        return;
    }
    // Taken from the tail, as the rows of new objects are listed.
    std::vector<ObjectRowTexts> newRows;
    while (!m_pNameList->IsEmpty())
    {
        ObjectRowTexts row;
        row.texts[columnObject] = m_pNameList->RemoveTail();
        row.texts[columnAuthor] = kNewAuthor;
        newRows.push_back(row);
    }
    {
        CRedrawGuard redrawGuard(m_pSelectedList);
        AddObjectRows(m_pSelectedList, newRows);
    }
    if (!newRows.empty())
        EnableOkButton(TRUE);
}

// Lists every object of the open file that is a candidate, in the available list.
// Each object consumes the first candidate of its name that is still in the list,
// so a name given k times matches at most the file's first k objects of that name.
void CImpExpDialog::ListFileObjects()
{
    CCandidateIndex candidates(*m_pNameList);
    std::vector<ObjectRowTexts> rows;
    KivObjectTexts object;
    while (KivReadNextObject(object))
    {
        POSITION candidate = candidates.Consume(object.strName);
        if (candidate == NULL)
            continue;  // not a candidate: neither shown nor its date converted
        m_pNameList->RemoveAt(candidate);
        ObjectRowTexts row;
        row.texts[columnObject] = object.strName;
        row.texts[columnAuthor] = object.strAuthor;
        row.texts[columnVersion] = object.strVersion;
        row.texts[columnDate] = KivDisplayDate(object.strDate);
        row.texts[columnWellId] = object.strWellId;
        rows.push_back(row);
    }
    // Not on screen yet, but a redrawing list view still recounts its scroll bars on
    // every insert.
    CRedrawGuard redrawGuard(m_pAvailableList);
    AddObjectRows(m_pAvailableList, rows);
}

// Adds rows to a sorted list so that it ends exactly as adding them one by one in
// the given order leaves it (equal names included), in the order that costs the
// list view least: the greatest name first, so each row lands at the top at once.
void CImpExpDialog::AddObjectRows(CListCtrl* pList, const std::vector<ObjectRowTexts>& rows)
{
    std::vector<CString> names;
    names.reserve(rows.size());
    for (const ObjectRowTexts& row : rows)
        names.push_back(row.texts[columnObject]);
    for (size_t nIndex : CheapestSortedInsertOrder(names))
    {
        const ObjectRowTexts& row = rows[nIndex];
        AddObjectRow(pList, row.texts[columnObject], row.texts[columnAuthor], row.texts[columnVersion],
                     row.texts[columnDate], row.texts[columnWellId]);
    }
}

void CImpExpDialog::AddObjectRow(CListCtrl* pList, const CString& name, const CString& author,
                                 const CString& version, const CString& date, const CString& wellId)
{
    int nRow = InsertItemText(pList, 0, columnObject, name);
    InsertItemText(pList, nRow, columnAuthor, author);
    InsertItemText(pList, nRow, columnVersion, version);
    InsertItemText(pList, nRow, columnDate, date);
    InsertItemText(pList, nRow, columnWellId, wellId);
}

int CImpExpDialog::InsertItemText(CListCtrl* pList, int nRow, int nSubItem, CString text)
{
    // Past the last row: the sorted list puts the row at its name's place anyway.
    if (nSubItem == 0)
        return pList->InsertItem(pList->GetItemCount() + 1, text);
    pList->SetItemText(nRow, nSubItem, text);
    return nRow;
}

// ---------------------------------------------------------------------------
// Moving rows between the lists, and help.

BEGIN_MESSAGE_MAP(CImpExpDialog, CDialog)
    ON_BN_CLICKED(IDC_ADD, OnAdd)
    ON_BN_CLICKED(IDC_ADDALL, OnAddAll)
    ON_BN_CLICKED(IDC_REMOVE, OnRemove)
    ON_BN_CLICKED(IDC_REMOVEALL, OnRemoveAll)
    ON_BN_CLICKED(ID_HELP, OnHelp)
    ON_WM_HELPINFO()
    ON_NOTIFY(NM_DBLCLK, IDC_AVAILABLE_LIST, OnDblclkAvailableList)
    ON_NOTIFY(NM_DBLCLK, IDC_SELECTED_LIST, OnDblclkSelectedList)
    ON_NOTIFY(LVN_KEYDOWN, IDC_AVAILABLE_LIST, OnKeydownList)
    ON_NOTIFY(LVN_KEYDOWN, IDC_SELECTED_LIST, OnKeydownList)
    ON_NOTIFY(LVN_BEGINDRAG, IDC_AVAILABLE_LIST, OnBegindragAvailableList)
    ON_NOTIFY(LVN_BEGINDRAG, IDC_SELECTED_LIST, OnBegindragSelectedList)
END_MESSAGE_MAP()

void CImpExpDialog::OnAdd()
{
    MoveRows(m_pAvailableList, m_pSelectedList, LVNI_SELECTED);
    UpdateOkButton();
}

void CImpExpDialog::OnAddAll()
{
    MoveRows(m_pAvailableList, m_pSelectedList, LVNI_ALL);
    UpdateOkButton();
}

void CImpExpDialog::OnRemove()
{
    MoveRows(m_pSelectedList, m_pAvailableList, LVNI_SELECTED);
    UpdateOkButton();
}

void CImpExpDialog::OnRemoveAll()
{
    // The selected list is about to be empty: OK goes off before any row moves.
    MoveRows(m_pSelectedList, m_pAvailableList, LVNI_ALL, TRUE);
}

void CImpExpDialog::OnDblclkAvailableList(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/)
{
    OnAdd();
}

void CImpExpDialog::OnDblclkSelectedList(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/)
{
    OnRemove();
}

// Moves the source rows that nFlags picks (the selected ones, or all) to the target
// list. Each row keeps its five texts and lands unselected at its name's place.
void CImpExpDialog::MoveRows(CListCtrl* pSource, CListCtrl* pTarget, UINT nFlags, BOOL bDisableOkFirst)
{
    int nRow = pSource->GetNextItem(-1, nFlags);

    if (!m_bImport)
        SetDlgItemText(IDC_AVAILABLE_GROUP, "Objects Available for Export");
    if (bDisableOkFirst)
        EnableOkButton(FALSE);

    if (nRow < 0)
        return;

    CRedrawGuard sourceGuard(pSource);
    CRedrawGuard targetGuard(pTarget);
    // Moving the rows one at a time, top row first, each searched for again from the
    // top, costs a scan of the source per row and of the target per insert. The same
    // end state comes from one pass that collects them, the cheapest insert order
    // into the target, and the deletions in the same order as one at a time: the top
    // row first, so that the focus, when its row goes, passes over the same rows and
    // scrolls the list as far.
    std::vector<int> movingRows;
    std::vector<ObjectRowTexts> movingTexts;
    for (; nRow >= 0; nRow = pSource->GetNextItem(nRow, nFlags))
    {
        ObjectRowTexts row;
        for (int nColumn = columnObject; nColumn < kColumnCount; ++nColumn)
            row.texts[nColumn] = pSource->GetItemText(nRow, nColumn);
        movingRows.push_back(nRow);
        movingTexts.push_back(row);
    }
    AddObjectRows(pTarget, movingTexts);
    int nDeleted = 0;
    for (int nMovingRow : movingRows)
        pSource->DeleteItem(nMovingRow - nDeleted++);
}

// OK is enabled exactly when the selected list holds a row.
void CImpExpDialog::UpdateOkButton()
{
    EnableOkButton(m_pSelectedList->GetNextItem(-1, LVNI_ALL) > -1);
}

void CImpExpDialog::EnableOkButton(BOOL bEnable)
{
    CWnd* pOK = GetDlgItem(IDOK);
    if (pOK != NULL)
        pOK->EnableWindow(bEnable);
}

void CImpExpDialog::OnHelp()
{
    WinHelp(DERAR_HELP_FILE, HELP_CONTEXT, m_bImport ? HELP_CONTEXT_IMPORT : HELP_CONTEXT_EXPORT);
}

BOOL CImpExpDialog::OnHelpInfo(HELPINFO* /*pHelpInfo*/)
{
    OnHelp();
    return TRUE;
}

// ---------------------------------------------------------------------------
// Keys, drags, and the buttons' names.

namespace {

// What each button does and its key: its tooltip, and its name for assistive programs
// (its window text names its bitmaps and stays).
struct ButtonName
{
    int nID;
    const char* pszText;
};
const ButtonName kButtonNames[] = {
    { IDC_ADD, "Add the selected objects (Insert)" },
    { IDC_ADDALL, "Add all objects (Shift+Insert)" },
    { IDC_REMOVE, "Remove the selected objects (Delete)" },
    { IDC_REMOVEALL, "Remove all objects (Shift+Delete)" },
};

}  // namespace

void CImpExpDialog::NameTheButtons()
{
    CBitmapButton* const buttons[] = { &m_btnAdd, &m_btnAddAll, &m_btnRemove, &m_btnRemoveAll };
    const BOOL bTips = m_toolTips.Create(this);
    for (CBitmapButton* pButton : buttons)
    {
        if (pButton->m_hWnd == NULL)
            continue;  // its AutoLoad found no button
        const int nID = ::GetDlgCtrlID(pButton->m_hWnd);
        for (const ButtonName& name : kButtonNames)
        {
            if (name.nID != nID)
                continue;
            pButton->SetAccessibleName(name.pszText);
            if (bTips)
                m_toolTips.AddTool(pButton, name.pszText);
        }
    }
}

// Keys that neither the list view nor the dialog uses: Insert and Delete, with Shift for
// every row. With Ctrl or Alt they stay free.
void CImpExpDialog::OnKeydownList(NMHDR* pNMHDR, LRESULT* /*pResult*/)
{
    const NMLVKEYDOWN* pKey = reinterpret_cast<const NMLVKEYDOWN*>(pNMHDR);
    if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0)
        return;
    const bool bShift = ::GetKeyState(VK_SHIFT) < 0;
    if (pKey->wVKey == VK_INSERT)
        bShift ? OnAddAll() : OnAdd();
    else if (pKey->wVKey == VK_DELETE)
        bShift ? OnRemoveAll() : OnRemove();
}

void CImpExpDialog::OnBegindragAvailableList(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/)
{
    DragRows(m_pAvailableList, m_pSelectedList, &CImpExpDialog::OnAdd);
}

void CImpExpDialog::OnBegindragSelectedList(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/)
{
    DragRows(m_pSelectedList, m_pAvailableList, &CImpExpDialog::OnRemove);
}

// The rows that move are those selected when the drag begins, which a drop then moves
// by the command itself: the same end state as its button, caption and OK included.
void CImpExpDialog::DragRows(CListCtrl* pSource, CListCtrl* pTarget, void (CImpExpDialog::*pfnCommand)())
{
    if (pSource->GetNextItem(-1, LVNI_SELECTED) < 0)
        return;  // nothing to carry (a Ctrl+click took the row out of the selection)
    CRowDrag drag(this, pTarget);
    if (drag.Track())
        (this->*pfnCommand)();
}

// ---------------------------------------------------------------------------
// The OK pass.

namespace {

const int kNoAnswer = -1;

// The texts of one row of the selected list that the OK pass reads.
struct SelectedRow
{
    CString object;
    CString author;
    CString date;
    CString wellId;
};

// Builds the warning that the row draws, if any. The author is compared first; the
// well identifier only in export mode and only when the authors are equal. In import
// mode every row draws a warning.
bool BuildWarning(const SelectedRow& row, BOOL bImport, const CString& currentAuthor,
                  const CString& currentWellId, CString& message)
{
    if (row.author != currentAuthor)
    {
        message = "Object = " + row.object + "\nObject date = " + row.date + "\nAuthor = " + row.author +
                  " does not match the\nCurrent Author = " + currentAuthor +
                  ".\nThis may result in the incorrect overwriting of the data.\n\nDo you wish to overwrite data?";
        return true;
    }
    if (bImport)
    {
        message = "Object = " + row.object + "\nObject date = " + row.date +
                  ".\nThis may result in the incorrect overwriting of current data.\n\nDo you wish to overwrite Data?";
        return true;
    }
    if (row.wellId != currentWellId)
    {
        message = "Object = " + row.object + "\nObject date = " + row.date + "\nWell Identifier = " +
                  row.wellId + " does not match the\nCurrent Well Identifier = " + currentWellId +
                  ".\nThis may result in the incorrect overwriting of data.\n\nDo you wish to overwrite data?";
        return true;
    }
    return false;
}

int AskWarning(const CString& message)
{
    CWarningDialog warning(message, NULL);
    return warning.DoModal();
}

}  // namespace

// Walks the selected list top to bottom and appends the accepted names to the
// object name list. Cancel withdraws this pass's names and keeps the dialog open;
// every pass starts afresh.
void CImpExpDialog::OnOK()
{
    int nRow = m_pSelectedList->GetNextItem(-1, LVNI_ALL);
    if (nRow < 0)
    {
        CDialog::OnOK();
        return;
    }

    const INT_PTR nWithdrawalMark = m_pNameList->GetCount();
    int nAnswer = kNoAnswer;
    CListCtrl* pList = m_pSelectedList;
    while (nRow >= 0)
    {
        SelectedRow row;
        row.object = pList->GetItemText(nRow, columnObject);
        row.author = pList->GetItemText(nRow, columnAuthor);
        row.date = pList->GetItemText(nRow, columnDate);
        row.wellId = pList->GetItemText(nRow, columnWellId);

        // No holds for its own row only; Yes All spares every later row the test.
        bool bTest = true;
        if (nAnswer == CWarningDialog::answerNo)
            nAnswer = kNoAnswer;
        else if (nAnswer == CWarningDialog::answerYesAll)
            bTest = false;

        CString strMessage;
        if (bTest && BuildWarning(row, m_bImport, m_strCurrentAuthor, m_strCurrentWellId, strMessage))
            nAnswer = AskWarning(strMessage);

        if (nAnswer == CWarningDialog::answerNoAll)
        {
            CDialog::OnOK();
            return;
        }
        if (nAnswer == CWarningDialog::answerCancel)
        {
            while (m_pNameList->GetCount() > nWithdrawalMark)
                m_pNameList->RemoveTail();
            return;
        }
        if (nAnswer != CWarningDialog::answerNo)
            m_pNameList->AddTail(row.object);

        nRow = m_pSelectedList->GetNextItem(nRow, LVNI_ALL);
    }
    CDialog::OnOK();
}

// Reading and driving the common controls the way a person's eyes and hands do.
// Every text is read with a buffer that grows until the whole text fits.
#include "scripted_user.h"

#include <cstring>
#include <functional>

namespace hostkit {

namespace {

// A text whose length is not known beforehand: read(buffer, size) fills the buffer
// with a zero-terminated text of at most size - 1 bytes, false when there is none.
// A text that fills the buffer may have been cut: it is read again with twice the room.
std::string ReadGrowing(const std::function<bool(char*, int)>& read)
{
    for (size_t size = 64;; size *= 2) {
        std::vector<char> buffer(size, '\0');
        if (!read(buffer.data(), int(size)))
            return std::string();
        size_t n = strnlen(buffer.data(), size);
        if (n < size - 1)
            return std::string(buffer.data(), n);
    }
}

// Sends message with a descriptor (LVCOLUMNA, LVITEMA, TVITEMA) whose text is wanted;
// a zero answer: no text.
template <typename Descriptor>
std::string DescriptorText(HWND hwnd, UINT message, WPARAM wParam, Descriptor descriptor)
{
    return ReadGrowing([&](char* buffer, int size) {
        descriptor.pszText = buffer;
        descriptor.cchTextMax = size;
        return SendMessageA(hwnd, message, wParam, reinterpret_cast<LPARAM>(&descriptor)) != 0;
    });
}

}  // namespace

// ---------------------------------------------------------------------------
// List view

int ListView::RowCount() const
{
    return int(SendMessageA(m_hwnd, LVM_GETITEMCOUNT, 0, 0));
}

int ListView::ColumnCount() const
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(m_hwnd, LVM_GETHEADER, 0, 0));
    return header ? int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int ListView::ColumnWidth(int column) const
{
    return int(SendMessageA(m_hwnd, LVM_GETCOLUMNWIDTH, column, 0));
}

std::string ListView::ColumnTitle(int column) const
{
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT;
    return DescriptorText(m_hwnd, LVM_GETCOLUMNA, column, col);
}

std::string ListView::Cell(int row, int column) const
{
    LVITEMA item = {};
    item.iSubItem = column;
    return DescriptorText(m_hwnd, LVM_GETITEMTEXTA, row, item);   // answers the length copied
}

ListRow ListView::Row(int row) const
{
    ListRow result;
    int columns = ColumnCount();
    for (int c = 0; c < (columns > 0 ? columns : 1); ++c)
        result.cells.push_back(Cell(row, c));
    UINT state = UINT(SendMessageA(m_hwnd, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED));
    result.selected = (state & LVIS_SELECTED) != 0;
    result.focused = (state & LVIS_FOCUSED) != 0;
    return result;
}

std::vector<ListRow> ListView::Rows() const
{
    std::vector<ListRow> rows;
    for (int r = 0, n = RowCount(); r < n; ++r)
        rows.push_back(Row(r));
    return rows;
}

std::vector<std::string> ListView::Column(int column) const
{
    std::vector<std::string> texts;
    for (int r = 0, n = RowCount(); r < n; ++r)
        texts.push_back(Cell(r, column));
    return texts;
}

std::vector<int> ListView::SelectedRows() const
{
    std::vector<int> rows;
    for (int r = 0, n = RowCount(); r < n; ++r) {
        if (SendMessageA(m_hwnd, LVM_GETITEMSTATE, r, LVIS_SELECTED) & LVIS_SELECTED)
            rows.push_back(r);
    }
    return rows;
}

int ListView::FocusedRow() const
{
    return int(SendMessageA(m_hwnd, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
}

int ListView::FindRow(const std::string& name) const
{
    for (int r = 0, n = RowCount(); r < n; ++r) {
        if (Cell(r, 0) == name)
            return r;
    }
    return -1;
}

namespace {
void SetRowState(HWND list, int row, UINT state, UINT mask)
{
    LVITEMA item = {};
    item.stateMask = mask;
    item.state = state;
    SendMessageA(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}
}  // namespace

void ListView::Select(int row) const
{
    SetRowState(m_hwnd, row, LVIS_SELECTED, LVIS_SELECTED);
}

void ListView::Deselect(int row) const
{
    SetRowState(m_hwnd, row, 0, LVIS_SELECTED);
}

void ListView::ClearSelection() const
{
    SetRowState(m_hwnd, -1, 0, LVIS_SELECTED);  // row -1: every row
}

void ListView::SelectOnly(const std::vector<int>& rows) const
{
    ClearSelection();
    for (int row : rows)
        Select(row);
}

void ListView::FocusRow(int row) const
{
    SetRowState(m_hwnd, row, LVIS_FOCUSED, LVIS_FOCUSED);
}

void ListView::DoubleClick(int row) const
{
    SendMessageA(m_hwnd, LVM_ENSUREVISIBLE, row, FALSE);
    RECT rect = {};
    rect.left = LVIR_LABEL;
    if (!SendMessageA(m_hwnd, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect))) {
        Failure() << "row " << row << " of the list cannot be double-clicked: it does not exist";
        return;
    }
    // The mouse's messages for a double-click in the middle of the row's label.
    LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageA(m_hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(m_hwnd, WM_LBUTTONUP, 0, at);
    SendMessageA(m_hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(m_hwnd, WM_LBUTTONUP, 0, at);
}

// ---------------------------------------------------------------------------
// Tree view

int TreeView::Count() const
{
    return int(SendMessageA(m_hwnd, TVM_GETCOUNT, 0, 0));
}

std::string TreeView::Text(HTREEITEM item) const
{
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    return DescriptorText(m_hwnd, TVM_GETITEMA, 0, tv);
}

HTREEITEM TreeView::Root() const
{
    return TreeView_GetRoot(m_hwnd);
}

std::vector<HTREEITEM> TreeView::Children(HTREEITEM parent) const
{
    std::vector<HTREEITEM> items;
    HTREEITEM item = parent ? TreeView_GetChild(m_hwnd, parent) : TreeView_GetRoot(m_hwnd);
    for (; item; item = TreeView_GetNextSibling(m_hwnd, item))
        items.push_back(item);
    return items;
}

HTREEITEM TreeView::Selected() const
{
    return TreeView_GetSelection(m_hwnd);
}

HTREEITEM TreeView::FirstVisible() const
{
    return TreeView_GetFirstVisible(m_hwnd);
}

bool TreeView::IsExpanded(HTREEITEM item) const
{
    return (SendMessageA(m_hwnd, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

namespace {
void Walk(const TreeView& tree, HTREEITEM parent, int depth, bool onlyVisible, HTREEITEM selected,
          std::vector<TreeItem>& out)
{
    for (HTREEITEM h : tree.Children(parent)) {
        TreeItem item;
        item.handle = h;
        item.text = tree.Text(h);
        item.depth = depth;
        item.expanded = tree.IsExpanded(h);
        item.selected = h == selected;
        item.hasChildren = TreeView_GetChild(tree.Handle(), h) != nullptr;
        out.push_back(item);
        if (item.hasChildren && (item.expanded || !onlyVisible))
            Walk(tree, h, depth + 1, onlyVisible, selected, out);
    }
}
}  // namespace

std::vector<TreeItem> TreeView::Items() const
{
    std::vector<TreeItem> items;
    Walk(*this, nullptr, 0, false, Selected(), items);
    return items;
}

std::vector<TreeItem> TreeView::VisibleItems() const
{
    std::vector<TreeItem> items;
    Walk(*this, nullptr, 0, true, Selected(), items);
    return items;
}

std::string TreeView::Outline(bool onlyVisible) const
{
    std::string text;
    for (const TreeItem& item : onlyVisible ? VisibleItems() : Items()) {
        text += std::string(size_t(item.depth) * 2, ' ');
        text += !item.hasChildren ? "  " : item.expanded ? "- " : "+ ";
        text += item.text + "\n";
    }
    return text;
}

HTREEITEM TreeView::Find(const std::vector<std::string>& labels) const
{
    HTREEITEM parent = nullptr;
    for (const std::string& label : labels) {
        HTREEITEM match = nullptr;
        for (HTREEITEM h : Children(parent)) {
            if (Text(h) == label) {
                match = h;
                break;
            }
        }
        if (!match)
            return nullptr;
        parent = match;
    }
    return parent;
}

void TreeView::Select(HTREEITEM item) const
{
    SendMessageA(m_hwnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

// ---------------------------------------------------------------------------
// Combo box

std::vector<std::string> ComboBox::Items() const
{
    std::vector<std::string> items;
    for (int i = 0, n = int(SendMessageA(m_hwnd, CB_GETCOUNT, 0, 0)); i < n; ++i) {
        LRESULT length = SendMessageA(m_hwnd, CB_GETLBTEXTLEN, i, 0);
        std::vector<char> buffer(size_t(length > 0 ? length : 0) + 1, '\0');
        SendMessageA(m_hwnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
        items.emplace_back(buffer.data());
    }
    return items;
}

int ComboBox::SelectedIndex() const
{
    return int(SendMessageA(m_hwnd, CB_GETCURSEL, 0, 0));
}

std::string ComboBox::SelectedText() const
{
    int index = SelectedIndex();
    if (index < 0)
        return std::string();
    return Items().at(size_t(index));
}

void ComboBox::Pick(int index) const
{
    SendMessageA(m_hwnd, CB_SETCURSEL, index, 0);
    // CB_SETCURSEL notifies nobody; a user's pick makes the box tell its parent.
    SendMessageA(GetParent(m_hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hwnd), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(m_hwnd));
}

bool ComboBox::Pick(const std::string& text) const
{
    std::vector<std::string> items = Items();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == text) {
            Pick(int(i));
            return true;
        }
    }
    return false;
}

}  // namespace hostkit

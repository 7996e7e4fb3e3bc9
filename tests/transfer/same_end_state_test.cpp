// The transfer dialog against the plain way of filling and moving rows, side by
// side on random inputs: the dialog takes the cheapest order through the list
// views, and must leave exactly what adding and moving the rows one by one leaves.
//
// The reference below is that plain way, written out with raw list view messages
// on two list views of the same styles: every object of the file in file order,
// each row inserted past the last row and placed by the list's own sorting; the new
// rows of export mode from the tail of the candidates; a move takes the lowest
// selected row (or row 0), copies it to the other list and deletes it, and searches
// again from the top. After the opening and after every command, both sides must
// show the same rows with the same five texts in the same order, the same selected
// and focused rows, the same selection mark and the same top row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>

#include <afxwin.h>
#include <derar.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ListView;
using dialog_driver::ScriptedUser;
using transfer_host::Call;
using transfer_host::FileObject;
using transfer_host::kExport;
using transfer_host::kImport;

namespace {

// ---------------------------------------------------------------------------
// What a person sees of one list.

struct ListState {
    std::vector<dialog_driver::ListRow> rows;
    int selectionMark = -1;
    int topIndex = 0;
};

ListState StateOf(HWND list)
{
    ListState state;
    state.rows = ListView(list).Rows();
    state.selectionMark = static_cast<int>(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0));
    state.topIndex = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    return state;
}

// The first difference between two states, or "" when there is none.
std::string Difference(const ListState& expected, const ListState& actual)
{
    std::ostringstream out;
    if (expected.rows.size() != actual.rows.size()) {
        out << expected.rows.size() << " rows expected, " << actual.rows.size() << " shown";
        return out.str();
    }
    for (size_t i = 0; i < expected.rows.size(); ++i) {
        const auto& e = expected.rows[i];
        const auto& a = actual.rows[i];
        if (e.cells != a.cells) {
            out << "row " << i << ": \"" << e.cells[0] << "\" / \"" << e.cells[1] << "\" expected, \"" << a.cells[0]
                << "\" / \"" << a.cells[1] << "\" shown";
            return out.str();
        }
        if (e.selected != a.selected || e.focused != a.focused) {
            out << "row " << i << " (" << e.cells[0] << "): selected " << e.selected << " focused " << e.focused
                << " expected, selected " << a.selected << " focused " << a.focused << " shown";
            return out.str();
        }
    }
    if (expected.selectionMark != actual.selectionMark)
        out << "selection mark " << expected.selectionMark << " expected, " << actual.selectionMark << " shown";
    else if (expected.topIndex != actual.topIndex)
        out << "top row " << expected.topIndex << " expected, " << actual.topIndex << " shown";
    return out.str();
}

// "YYYY-MM-DD HH:MM" as the Date column shows it.
std::string ShownDate(const std::string& date)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::sscanf(date.c_str(), "%d-%d-%d %d:%d", &year, &month, &day, &hour, &minute);
    return static_cast<LPCSTR>(CTime(year, month, day, hour, minute, 0, -1).Format("%A, %B %d, %Y  %H:%M"));
}

// ---------------------------------------------------------------------------
// The reference: two list views of the dialog's styles, filled and moved the plain way.

class ReferenceLists {
public:
    // Lists of the same size as the dialog's, so that both scroll alike.
    explicit ReferenceLists(HWND dialogList)
    {
        RECT rect = {};
        GetWindowRect(dialogList, &rect);
        m_size = { rect.right - rect.left, rect.bottom - rect.top };
        m_frame = CreateWindowExA(0, "STATIC", "reference", WS_POPUP, 0, 0, m_size.cx + 40, 2 * m_size.cy + 60,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        // The dialog's font gives the rows and the header their height, and so the rows per page.
        m_font = static_cast<WPARAM>(SendMessageA(dialogList, WM_GETFONT, 0, 0));
        // Its column widths, which decide whether a horizontal scroll bar takes a row's room.
        for (int column = 0; column < 5; ++column)
            m_widths[column] = static_cast<int>(SendMessageA(dialogList, LVM_GETCOLUMNWIDTH, column, 0));
        // The dialog's styles exactly (its border may have become a 3-D edge).
        m_style = static_cast<DWORD>(GetWindowLongA(dialogList, GWL_STYLE));
        m_exStyle = static_cast<DWORD>(GetWindowLongA(dialogList, GWL_EXSTYLE));
        if ((m_style & (LVS_TYPEMASK | LVS_SORTASCENDING)) != (LVS_REPORT | LVS_SORTASCENDING))
            ADD_FAILURE() << "the dialog's list is not a sorted report list";
        available = MakeList(10);
        selected = MakeList(m_size.cy + 30);
    }
    ~ReferenceLists() { DestroyWindow(m_frame); }

    // One row: its name inserted past the last row, then columns 1 to 4.
    static void AddRow(HWND list, const std::vector<std::string>& texts)
    {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) + 1;
        item.pszText = const_cast<char*>(texts[0].c_str());
        int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column < 5; ++column) {
            item.iItem = row;
            item.iSubItem = column;
            item.pszText = const_cast<char*>(texts[static_cast<size_t>(column)].c_str());
            SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }

    // The opening: each object of the file that takes the first unused candidate of
    // its name, in file order; in export mode, the rest from the tail as "New" rows.
    void Open(int mode, const std::vector<FileObject>& file, std::vector<std::string> candidates)
    {
        for (const FileObject& object : file) {
            auto found = std::find(candidates.begin(), candidates.end(), object.name);
            if (found == candidates.end())
                continue;
            candidates.erase(found);
            AddRow(available, { object.name, object.author, object.version, ShownDate(object.date),
                                object.wellId });
        }
        if (mode == kExport)
            for (auto it = candidates.rbegin(); it != candidates.rend(); ++it)
                AddRow(selected, { *it, "New", "", "", "" });
    }

    // The move one row at a time, the top row first, searching from the top each time.
    static void Move(HWND source, HWND target, UINT flags)
    {
        ListView from(source);
        SendMessageA(source, WM_SETREDRAW, FALSE, 0);
        SendMessageA(target, WM_SETREDRAW, FALSE, 0);
        for (int row = NextRow(source, flags); row >= 0; row = NextRow(source, flags)) {
            dialog_driver::ListRow texts = from.Row(row);
            AddRow(target, texts.cells);
            SendMessageA(source, LVM_DELETEITEM, row, 0);
        }
        SendMessageA(source, WM_SETREDRAW, TRUE, 0);
        SendMessageA(target, WM_SETREDRAW, TRUE, 0);
    }

    HWND available = nullptr;
    HWND selected = nullptr;

private:
    static int NextRow(HWND list, UINT flags)
    {
        return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(flags, 0)));
    }

    HWND MakeList(int y)
    {
        HWND list = CreateWindowExA(m_exStyle, WC_LISTVIEWA, "", m_style, 10, y, m_size.cx, m_size.cy, m_frame,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
        SendMessageA(list, WM_SETFONT, m_font, FALSE);
        for (int column = 0; column < 5; ++column) {
            LVCOLUMNA header = {};
            header.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
            header.cx = m_widths[column];
            header.pszText = const_cast<char*>("column");
            header.iSubItem = column;
            SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
        }
        return list;
    }

    HWND m_frame = nullptr;
    SIZE m_size = {};
    WPARAM m_font = 0;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
    int m_widths[5] = {};
};

// ---------------------------------------------------------------------------
// Random inputs.

// Names from a small stock, so that they repeat, differ only in case, and hold
// digits, punctuation and bytes above 127.
std::string RandomName(std::mt19937& random)
{
    static const char* const kStems[] = { "Gamma", "gamma", "GAMMA", "Log-1", "Log-10", "Log-2", "log_2", "a b",
                                          "A.B", "Dichte\xE4", "Dichte\xC4", "\xC9tude", "etude", "\xDF", "ss",
                                          "Z", "z", "[x]", "-x", "x-", "'quote", "9", "10", "~" };
    std::string name = kStems[random() % (sizeof kStems / sizeof kStems[0])];
    if (random() % 3 == 0)
        name += static_cast<char>('0' + random() % 10);
    return name;
}

FileObject RandomObject(std::mt19937& random)
{
    static const char* const kAuthors[] = { "jdoe", "asmith", "kim", "" };
    FileObject object;
    object.name = RandomName(random);
    object.author = kAuthors[random() % 4];
    object.version = std::to_string(random() % 20);
    object.wellId = "W-" + std::to_string(random() % 30);
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d", 1990 + static_cast<int>(random() % 30),
                  1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 28),
                  static_cast<int>(random() % 24), static_cast<int>(random() % 60));
    object.date = date;
    return object;
}

std::vector<int> RandomRows(std::mt19937& random, int rowCount, int oneIn)
{
    std::vector<int> rows;
    for (int row = 0; row < rowCount; ++row)
        if (random() % static_cast<unsigned>(oneIn) == 0)
            rows.push_back(row);
    return rows;
}

struct SideBySideCase {
    const char* name;
    int mode;
    unsigned seed;
    int objects;      // in the file
    int candidates;   // names the host asks for
    int commands;     // random commands after the opening
};

class SideBySide : public ::testing::TestWithParam<SideBySideCase> {};

TEST_P(SideBySide, TheDialogEndsWhereMovingOneRowAtATimeEnds)
{
    const SideBySideCase& c = GetParam();
    std::mt19937 random(c.seed);
    std::vector<FileObject> file;
    for (int i = 0; i < c.objects; ++i)
        file.push_back(RandomObject(random));
    Call call;
    call.mode = c.mode;
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", transfer_host::KvdText(file));
    call.directory = folder.Path();
    call.fileName = "wells.kvd";
    call.currentAuthor = "jdoe";
    call.currentWellId = "W-1";
    for (int i = 0; i < c.candidates; ++i)
        call.candidates.push_back(random() % 4 == 0 ? RandomName(random)
                                                    : file[random() % file.size()].name);

    int commandsPlayed = 0;
    auto PlayAndCompare = [&](Dialog& d) {
        HWND available = d.Item(IDC_AVAILABLE_LIST);
        HWND selected = d.Item(IDC_SELECTED_LIST);
        ReferenceLists reference(available);
        reference.Open(c.mode, file, call.candidates);
        auto compare = [&](const std::string& step) {
            std::string upper = Difference(StateOf(reference.available), StateOf(available));
            std::string lower = Difference(StateOf(reference.selected), StateOf(selected));
            EXPECT_EQ(upper, "") << c.name << ", upper list after " << step;
            EXPECT_EQ(lower, "") << c.name << ", lower list after " << step;
            return upper.empty() && lower.empty();
        };
        if (!compare("the opening"))
            return;
        for (int i = 0; i < c.commands; ++i) {
            // A person's selection and focus in both lists, the same on both sides.
            for (auto lists : { std::make_pair(available, reference.available),
                                std::make_pair(selected, reference.selected) }) {
                int rowCount = ListView(lists.first).RowCount();
                std::vector<int> rows = RandomRows(random, rowCount, 1 + static_cast<int>(random() % 4));
                ListView(lists.first).SelectOnly(rows);
                ListView(lists.second).SelectOnly(rows);
                if (rowCount > 0 && random() % 2 == 0) {
                    int focus = static_cast<int>(random() % static_cast<unsigned>(rowCount));
                    ListView(lists.first).FocusRow(focus);
                    ListView(lists.second).FocusRow(focus);
                }
            }
            if (!compare("the selection before command " + std::to_string(i + 1)))
                return;
            // Mostly the commands that move the selected rows: they leave both lists mixed.
            static const int kCommands[] = { IDC_ADD, IDC_ADD, IDC_REMOVE, IDC_REMOVE, IDC_ADDALL, IDC_REMOVEALL };
            int command = kCommands[random() % 6];
            std::string step;
            switch (command) {
            case IDC_ADD:
                step = "Add";
                ReferenceLists::Move(reference.available, reference.selected, LVNI_SELECTED);
                break;
            case IDC_ADDALL:
                step = "Add all";
                ReferenceLists::Move(reference.available, reference.selected, LVNI_ALL);
                break;
            case IDC_REMOVE:
                step = "Remove";
                ReferenceLists::Move(reference.selected, reference.available, LVNI_SELECTED);
                break;
            default:
                step = "Remove all";
                ReferenceLists::Move(reference.selected, reference.available, LVNI_ALL);
                break;
            }
            d.Click(command);
            ++commandsPlayed;
            if (!compare(step + " (command " + std::to_string(i + 1) + ")"))
                return;
        }
    };
    ScriptedUser user;
    user.When(c.mode == kImport ? "Kiv Import" : "Kiv Export", [&](Dialog& d) {
        PlayAndCompare(d);
        d.Click(IDCANCEL);
    });
    user.Run([&] { transfer_host::CallImpExp(call); });
    // Inputs that list nothing end the dialog unseen; every case here shows it.
    EXPECT_EQ(commandsPlayed, c.commands) << c.name;
}

const SideBySideCase kSideBySideCases[] = {
    { "import, a few rows", kImport, 1, 8, 10, 12 },
    { "export, a few rows", kExport, 2, 8, 12, 12 },
    { "import, many repeated names", kImport, 3, 120, 140, 16 },
    { "export, many repeated names", kExport, 4, 120, 160, 16 },
    { "import, one object", kImport, 5, 1, 3, 6 },
    { "export, every candidate twice", kExport, 6, 60, 130, 14 },
    { "import, large", kImport, 7, 250, 270, 8 },
    { "export, large", kExport, 8, 250, 290, 8 },
};

INSTANTIATE_TEST_SUITE_P(RandomInputs, SideBySide, ::testing::ValuesIn(kSideBySideCases),
                         [](const ::testing::TestParamInfo<SideBySideCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

}  // namespace

// bench_transfer: how fast the transfer dialog lists and moves rows, as a ratio to
// the plain way of doing the same with the platform's list view, measured in the same run.
//
// The plain way (the floor the ratios are taken against) adds and moves one row at a
// time, as the dialog's commands are told: rows inserted in file order past the last
// row, each placed by the list's own sorting; a move takes the lowest row to move,
// inserts it into the other list, deletes it, and searches again from the top. Wine's
// sorted list view places a row by comparing it with the rows from the top, so that
// way is quadratic; the dialog reaches the same end state in the order that costs the
// list view least.
//
//   open:        KivImpExpDialog (import, every candidate in the file) from the call
//                until the dialog is idle, against the documented message order on the
//                same control: the dialog's own available list, hidden again as it is
//                while the dialog initialises, emptied, redrawing suspended as the dialog
//                suspends it, and the same rows put in one by one in file order, each as
//                the row helper puts a row (the row count, LVM_INSERTITEMA past the last
//                row, four LVM_SETITEMA). Target: at most 0.08 of that floor at 5,000 rows.
//   Add all,     the command in the visible dialog until it has repainted, against the
//   Remove all,  plain move between two visible list views, redrawing suspended.
//   Add 1/3:     Add with every third row of the available list selected.
//
// Above 10,000 rows the plain way takes many minutes; there only the dialog is
// measured, to show how its time grows.
//
// The dialog's owner is a host window of this program; the dialog loop tells it
// with WM_ENTERIDLE when the dialog has nothing left to do.
#include <windows.h>
#include <commctrl.h>

#include <afxwin.h>
#include <derar.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "../common/bench_host.h"
#include "KvdWriter.h"
#include "resource.h"

namespace {

struct Row {
    std::string name, author, version, wellId, fileDate, shownDate;
};

// Wall-clock time and this thread's CPU time, in ms. The rest of a busy machine
// stretches wall-clock time unevenly; the thread's CPU time is what the work costs
// here (drawing in the X server is not in it, for floor and dialog alike).
struct Stamp {
    double wall = 0;
    double cpu = 0;
};

Stamp operator-(const Stamp& a, const Stamp& b)
{
    return { a.wall - b.wall, a.cpu - b.cpu };
}

Stamp Best(const Stamp& a, const Stamp& b)
{
    return { std::min(a.wall, b.wall), std::min(a.cpu, b.cpu) };
}

Stamp Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return { 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart),
             ms(kernel) + ms(user) };
}

const Stamp kNever = { 1e30, 1e30 };

// n objects in a shuffled file order, with authors, versions, wells and dates.
std::vector<Row> MakeRows(int n)
{
    std::mt19937 random(12345 + n);
    const char* const authors[] = { "jdoe", "asmith", "kim", "mueller", "ortega" };
    std::vector<Row> rows;
    for (int i = 0; i < n; ++i) {
        Row row;
        char text[64];
        std::snprintf(text, sizeof text, "Log-%05d-%c", i, 'A' + static_cast<int>(random() % 26));
        row.name = text;
        row.author = authors[random() % 5];
        row.version = std::to_string(1 + random() % 9);
        std::snprintf(text, sizeof text, "W-%03u", static_cast<unsigned>(random() % 400));
        row.wellId = text;
        int year = 1950 + static_cast<int>(random() % 70), month = 1 + static_cast<int>(random() % 12),
            day = 1 + static_cast<int>(random() % 28), hour = static_cast<int>(random() % 24),
            minute = static_cast<int>(random() % 60);
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", year, month, day, hour, minute);
        row.fileDate = text;
        row.shownDate = CTime(year, month, day, hour, minute, 0, -1).Format("%A, %B %d, %Y  %H:%M");
        rows.push_back(row);
    }
    std::shuffle(rows.begin(), rows.end(), random);
    return rows;
}

// ---------------------------------------------------------------------------
// The floor: the platform's list view alone.

const DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SORTASCENDING;

HWND MakeList(HWND parent, int x, int y, int width, int height)
{
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", kListStyle, x, y, width, height, parent, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    const char* const titles[] = { "Object", "Author", "Version", "Date", "Well ID" };
    for (int c = 0; c < 5; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = width / 5;
        column.pszText = const_cast<char*>(titles[c]);
        column.iSubItem = c;
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    return list;
}

void InsertRow(HWND list, const Row& row)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) + 1;
    item.pszText = const_cast<char*>(row.name.c_str());
    int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    const std::string* texts[] = { &row.author, &row.version, &row.shownDate, &row.wellId };
    for (int c = 1; c < 5; ++c) {
        item.iItem = index;
        item.iSubItem = c;
        item.pszText = const_cast<char*>(texts[c - 1]->c_str());
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

HWND MakeFrame(bool visible, int width, int height)
{
    HWND frame = CreateWindowExA(0, "STATIC", "floor", WS_POPUP | WS_CAPTION, 0, 0, width, height, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (visible) {
        ShowWindow(frame, SW_SHOW);
        UpdateWindow(frame);
    }
    return frame;
}

Row ReadRow(HWND list, int index)
{
    Row row;
    std::string* texts[] = { &row.name, &row.author, &row.version, &row.shownDate, &row.wellId };
    for (int c = 0; c < 5; ++c) {
        char buffer[512] = {};
        LVITEMA item = {};
        item.iSubItem = c;
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        *texts[c] = buffer;
    }
    return row;
}

// The plain move: the lowest row that flags pick (LVNI_ALL or LVNI_SELECTED) goes to
// the other list, is deleted, and the search starts again from the top; redrawing
// suspended, until the lists have repainted.
Stamp MovePlainly(HWND frame, HWND source, HWND target, UINT flags)
{
    Stamp start = Now();
    SendMessageA(source, WM_SETREDRAW, FALSE, 0);
    SendMessageA(target, WM_SETREDRAW, FALSE, 0);
    for (;;) {
        int index = static_cast<int>(SendMessageA(source, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(flags, 0)));
        if (index < 0)
            break;
        InsertRow(target, ReadRow(source, index));
        SendMessageA(source, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
    }
    SendMessageA(source, WM_SETREDRAW, TRUE, 0);
    SendMessageA(target, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return Now() - start;
}

void SelectEveryThirdRow(HWND list)
{
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    for (int index = 0; index < count; index += 3)
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

struct FloorMoves {
    Stamp down;   // as Add all: upper list to lower list
    Stamp up;     // as Remove all: back again
    Stamp third;  // as Add with every third row selected
};

// The upper list is filled in file order, as the dialog fills its own: Wine's list
// view keeps its items where they were allocated, and a list filled in sorted
// order would make every later scan of the floor cheaper than the dialog's.
FloorMoves FloorMove(const std::vector<Row>& rows, SIZE listSize)
{
    HWND frame = MakeFrame(true, listSize.cx + 40, 2 * listSize.cy + 80);
    HWND upper = MakeList(frame, 10, 10, listSize.cx, listSize.cy);
    HWND lower = MakeList(frame, 10, listSize.cy + 30, listSize.cx, listSize.cy);
    SendMessageA(upper, WM_SETREDRAW, FALSE, 0);
    for (const Row& row : rows)
        InsertRow(upper, row);
    SendMessageA(upper, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    FloorMoves moves;
    moves.down = MovePlainly(frame, upper, lower, LVNI_ALL);
    moves.up = MovePlainly(frame, lower, upper, LVNI_ALL);
    SelectEveryThirdRow(upper);
    moves.third = MovePlainly(frame, upper, lower, LVNI_SELECTED);
    DestroyWindow(frame);
    return moves;
}

// ---------------------------------------------------------------------------
// The dialog, played from its owner's WM_ENTERIDLE.

struct DialogRun {
    bool measureMoves = false;
    const std::vector<Row>* floorRows = nullptr;  // the open's floor on the dialog's own list, after the moves
    Stamp floorOpen = kNever;
    bool idleSeen = false;
    Stamp start;
    Stamp idle;
    Stamp addAll;
    Stamp removeAll;
    Stamp addThird;
    int rowsAfterAdd = -1;
    int rowsAfterRemove = -1;
    int rowsAfterThird = -1;
    SIZE listSize = {};
    bool done = false;
};
DialogRun* g_run = nullptr;

Stamp Command(HWND dialog, int id)
{
    Stamp start = Now();
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return Now() - start;
}

// The open's floor on the dialog's own available list (see the top of this file).
Stamp FloorOpenOnTheDialogsList(HWND dialog, const std::vector<Row>& rows)
{
    HWND available = GetDlgItem(dialog, IDC_AVAILABLE_LIST);
    ShowWindow(dialog, SW_HIDE);
    SendMessageA(available, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(GetDlgItem(dialog, IDC_SELECTED_LIST), LVM_DELETEALLITEMS, 0, 0);
    Stamp start = Now();
    SendMessageA(available, WM_SETREDRAW, FALSE, 0);
    for (const Row& row : rows)
        InsertRow(available, row);
    SendMessageA(available, WM_SETREDRAW, TRUE, 0);
    return Now() - start;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && g_run && !g_run->done) {
        HWND dialog = reinterpret_cast<HWND>(lParam);
        if (GetDlgItem(dialog, IDC_AVAILABLE_LIST) == nullptr)
            return 0;
        g_run->done = true;
        g_run->idle = Now() - g_run->start;
        g_run->idleSeen = true;
        RECT rc;
        GetWindowRect(GetDlgItem(dialog, IDC_AVAILABLE_LIST), &rc);
        g_run->listSize = { rc.right - rc.left, rc.bottom - rc.top };
        if (g_run->measureMoves) {
            HWND selected = GetDlgItem(dialog, IDC_SELECTED_LIST);
            g_run->addAll = Command(dialog, IDC_ADDALL);
            g_run->rowsAfterAdd = static_cast<int>(SendMessageA(selected, LVM_GETITEMCOUNT, 0, 0));
            g_run->removeAll = Command(dialog, IDC_REMOVEALL);
            g_run->rowsAfterRemove = static_cast<int>(SendMessageA(selected, LVM_GETITEMCOUNT, 0, 0));
            SelectEveryThirdRow(GetDlgItem(dialog, IDC_AVAILABLE_LIST));
            g_run->addThird = Command(dialog, IDC_ADD);
            g_run->rowsAfterThird = static_cast<int>(SendMessageA(selected, LVM_GETITEMCOUNT, 0, 0));
        }
        if (g_run->floorRows != nullptr)
            g_run->floorOpen = FloorOpenOnTheDialogsList(dialog, *g_run->floorRows);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// floorOpen: the open's floor is measured on the dialog's list after the rest.
DialogRun RunDialog(const std::string& folder, const std::vector<Row>& rows, bool measureMoves, bool floorOpen)
{
    // Candidates in an order of their own.
    std::vector<std::string> candidates;
    for (const Row& row : rows)
        candidates.push_back(row.name);
    std::reverse(candidates.begin(), candidates.end());
    std::vector<std::vector<char>> buffers;
    std::vector<char*> names;
    buffers.reserve(candidates.size());
    for (const std::string& name : candidates) {
        buffers.emplace_back(name.begin(), name.end());
        buffers.back().resize(256, '\0');
        names.push_back(buffers.back().data());
    }
    int count = static_cast<int>(names.size());

    DialogRun run;
    run.measureMoves = measureMoves;
    run.floorRows = floorOpen ? &rows : nullptr;
    g_run = &run;
    ActivateBenchHost();
    run.start = Now();
    KivImpExpDialog(1, folder.c_str(), "bench.kvd", "jdoe", "W-001", names.data(), &count);
    g_run = nullptr;
    return run;
}

// "floor, dialog, ratio" as wall-clock (CPU) figures; a floor not measured is "-".
std::string Cell(const Stamp& floor, const Stamp& dialog)
{
    char text[128];
    if (floor.wall >= kNever.wall) {
        std::snprintf(text, sizeof text, "%6s (%5s) %6.0f (%5.0f) %5s (%5s) ", "-", "-", dialog.wall, dialog.cpu,
                      "-", "-");
        return text;
    }
    std::snprintf(text, sizeof text, "%6.0f (%5.0f) %6.0f (%5.0f) %4.2fx (%4.2fx)", floor.wall, floor.cpu, dialog.wall,
                  dialog.cpu, dialog.wall / floor.wall, dialog.cpu / floor.cpu);
    return text;
}

}  // namespace

// Arguments: the row counts to measure (default 1000 5000 10000 30000).
int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        if (int n = std::atoi(argv[i]); n > 0)
            sizes.push_back(n);
    if (sizes.empty())
        sizes = { 1000, 5000, 10000, 30000 };

    StartBenchWatchdog();
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&icc);

    // The host: a visible, active top-level window that owns the dialog.
    HWND host = MakeBenchHost(HostProc);

    const std::string folder = BenchTempFolder("derar-bench-transfer");
    const std::string file = folder + "bench.kvd";

    // A first small run loads and warms what every later run uses.
    {
        std::vector<Row> rows = MakeRows(50);
        std::string text = std::string(kKvdHeader) + "\n";
        for (const Row& row : rows)
            text += KvdObjectLine(row.name, row.author, row.version, row.wellId, row.fileDate);
        text += "end\n";
        WriteFileBytes(file, text);
        DialogRun warm = RunDialog(folder, rows, true, true);
        if (!warm.idleSeen) {
            std::fprintf(stderr, "bench_transfer: the dialog never reported idle to its owner\n");
            return 1;
        }
    }

    std::printf("Best of a few runs; ms of wall-clock time (CPU time of the thread), ratio dialog/plain way.\n");
    std::printf("%6s | %-44s | %-44s | %-44s | %-44s\n", "rows", "open: plain, dialog, ratio",
                "Add all: plain, dialog, ratio", "Remove all: plain, dialog, ratio", "Add 1/3: plain, dialog, ratio");
    struct Opened {
        int rows;
        Stamp time;
    };
    std::vector<Opened> opened;
    struct OpenRatio {
        int rows;
        Stamp floor, dialog;
    };
    std::vector<OpenRatio> openRatios;
    for (int n : sizes) {
        std::vector<Row> rows = MakeRows(n);
        std::string text = std::string(kKvdHeader) + "\n";
        for (const Row& row : rows) {
            text += KvdObjectLine(row.name, row.author, row.version, row.wellId, row.fileDate);
            text += KvdValueLine("Header", "", 1, "Depth", "1520.5", "m");
        }
        text += "end\n";
        WriteFileBytes(file, text);

        // Best of three runs of the dialog; the plain way, quadratic here, runs fewer
        // times (its 10,000-row runs take minutes) and not at all above 10,000 rows.
        const int reps = 3;
        const int floorReps = n >= 10000 ? 1 : n >= 3000 ? 2 : 3;
        const bool measureFloor = n <= 10000;
        Stamp floorOpen = kNever, open = kNever, floorDown = kNever, floorUp = kNever, floorThird = kNever,
              addAll = kNever, removeAll = kNever, addThird = kNever;
        for (int rep = 0; rep < reps; ++rep) {
            const bool measureFloorNow = measureFloor && rep < floorReps;
            DialogRun run = RunDialog(folder, rows, true, measureFloorNow);
            if (!run.idleSeen || run.rowsAfterAdd != n || run.rowsAfterRemove != 0
                || run.rowsAfterThird != (n + 2) / 3) {
                std::fprintf(stderr, "bench_transfer: the dialog did not list or move %d rows (%d, %d, %d)\n", n,
                             run.rowsAfterAdd, run.rowsAfterRemove, run.rowsAfterThird);
                return 1;
            }
            open = Best(open, run.idle);
            addAll = Best(addAll, run.addAll);
            removeAll = Best(removeAll, run.removeAll);
            addThird = Best(addThird, run.addThird);
            if (measureFloorNow) {
                floorOpen = Best(floorOpen, run.floorOpen);
                FloorMoves moves = FloorMove(rows, run.listSize);
                floorDown = Best(floorDown, moves.down);
                floorUp = Best(floorUp, moves.up);
                floorThird = Best(floorThird, moves.third);
            }
        }
        std::printf("%6d | %s | %s | %s | %s\n", n, Cell(floorOpen, open).c_str(), Cell(floorDown, addAll).c_str(),
                    Cell(floorUp, removeAll).c_str(), Cell(floorThird, addThird).c_str());
        std::fflush(stdout);
        opened.push_back({ n, open });
        if (measureFloor)
            openRatios.push_back({ n, floorOpen, open });
    }
    // How the open grows: time ~ n^k between consecutive sizes.
    for (size_t i = 1; i < opened.size(); ++i) {
        const double sizeRatio = static_cast<double>(opened[i].rows) / opened[i - 1].rows;
        std::printf("open from %d to %d rows: n^%.2f wall, n^%.2f CPU\n", opened[i - 1].rows, opened[i].rows,
                    std::log(opened[i].time.wall / opened[i - 1].time.wall) / std::log(sizeRatio),
                    std::log(opened[i].time.cpu / opened[i - 1].time.cpu) / std::log(sizeRatio));
    }
    for (const OpenRatio& r : openRatios)
        std::printf("open at %d rows: %.3f of the floor wall-clock, %.3f CPU%s\n", r.rows, r.dialog.wall / r.floor.wall,
                    r.dialog.cpu / r.floor.cpu, r.rows == 5000 ? " (target: at most 0.08)" : "");
    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
    DestroyWindow(host);
    return 0;
}

// bench_transfer: how fast the transfer dialog lists and moves rows, as a ratio to
// what the platform's list view needs for the same rows, measured in the same run.
//
//   open:        KivImpExpDialog (import, every candidate in the file) from the call
//                until the dialog is idle, against inserting the same rows with the
//                same five texts into a hidden list view with the same styles.
//   Add all,     the command in the visible dialog until it has repainted, against
//   Remove all:  inserting the rows into one visible list view and deleting them from
//                another, redrawing suspended (the fastest the platform does it).
//
// The dialog's owner is a host window of this program; the dialog loop tells it
// with WM_ENTERIDLE when the dialog has nothing left to do.
#include <windows.h>
#include <commctrl.h>

#include <afxwin.h>
#include <derar.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

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

// Inserting the rows in file order into a hidden list.
Stamp FloorOpen(const std::vector<Row>& rows, SIZE listSize)
{
    HWND frame = MakeFrame(false, listSize.cx + 40, listSize.cy + 60);
    HWND list = MakeList(frame, 10, 10, listSize.cx, listSize.cy);
    Stamp start = Now();
    for (const Row& row : rows)
        InsertRow(list, row);
    Stamp elapsed = Now() - start;
    DestroyWindow(frame);
    return elapsed;
}

// Moves every row from one visible list to the other, top row first, redrawing
// suspended, until it has repainted.
Stamp MoveAll(HWND frame, HWND source, HWND target, const std::vector<Row>& sortedRows)
{
    Stamp start = Now();
    SendMessageA(source, WM_SETREDRAW, FALSE, 0);
    SendMessageA(target, WM_SETREDRAW, FALSE, 0);
    for (const Row& row : sortedRows) {
        InsertRow(target, row);
        SendMessageA(source, LVM_DELETEITEM, 0, 0);
    }
    SendMessageA(source, WM_SETREDRAW, TRUE, 0);
    SendMessageA(target, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return Now() - start;
}

struct FloorMoves {
    Stamp down;   // as Add all: upper list to lower list
    Stamp up;     // as Remove all: back again
};

// The upper list is filled in file order, as the dialog fills its own: Wine's list
// view keeps its items where they were allocated, and a list filled in sorted
// order would make every later scan of the floor cheaper than the dialog's.
FloorMoves FloorMove(const std::vector<Row>& rows, const std::vector<Row>& sortedRows, SIZE listSize)
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
    moves.down = MoveAll(frame, upper, lower, sortedRows);
    moves.up = MoveAll(frame, lower, upper, sortedRows);
    DestroyWindow(frame);
    return moves;
}

// ---------------------------------------------------------------------------
// The dialog, played from its owner's WM_ENTERIDLE.

struct DialogRun {
    bool measureMoves = false;
    bool idleSeen = false;
    Stamp start;
    Stamp idle;
    Stamp addAll;
    Stamp removeAll;
    int rowsAfterAdd = -1;
    int rowsAfterRemove = -1;
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
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

DialogRun RunDialog(const std::string& folder, const std::vector<Row>& rows, bool measureMoves)
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
    g_run = &run;
    run.start = Now();
    KivImpExpDialog(1, folder.c_str(), "bench.kvd", "jdoe", "W-001", names.data(), &count);
    g_run = nullptr;
    return run;
}

// "floor, dialog, ratio" as wall-clock (CPU) figures.
std::string Cell(const Stamp& floor, const Stamp& dialog)
{
    char text[128];
    std::snprintf(text, sizeof text, "%6.0f (%5.0f) %6.0f (%5.0f) %4.2fx (%4.2fx)", floor.wall, floor.cpu, dialog.wall,
                  dialog.cpu, dialog.wall / floor.wall, dialog.cpu / floor.cpu);
    return text;
}

DWORD WINAPI Watchdog(LPVOID)
{
    Sleep(60 * 60 * 1000);
    std::fprintf(stderr, "bench_transfer: no end after an hour\n");
    ExitProcess(3);
}

}  // namespace

// Arguments: the row counts to measure (default 1000 3000 10000).
int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        if (int n = std::atoi(argv[i]); n > 0)
            sizes.push_back(n);
    if (sizes.empty())
        sizes = { 1000, 3000, 10000 };

    CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&icc);

    // The host: a visible, active top-level window that owns the dialog.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DerarBenchHost";
    RegisterClassA(&wc);
    HWND host = CreateWindowExA(0, wc.lpszClassName, "bench host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ShowWindow(host, SW_SHOW);
    SetActiveWindow(host);

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "derar-bench-transfer\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string file = folder + "bench.kvd";

    // A first small run loads and warms what every later run uses.
    {
        std::vector<Row> rows = MakeRows(50);
        std::string text = std::string(kKvdHeader) + "\n";
        for (const Row& row : rows)
            text += KvdObjectLine(row.name, row.author, row.version, row.wellId, row.fileDate);
        text += "end\n";
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
        DialogRun warm = RunDialog(folder, rows, true);
        if (!warm.idleSeen) {
            std::fprintf(stderr, "bench_transfer: the dialog never reported idle to its owner\n");
            return 1;
        }
    }

    std::printf("Best of a few runs; ms of wall-clock time (CPU time of the thread), ratio dialog/floor.\n");
    std::printf("%6s | %-44s | %-44s | %-44s\n", "rows", "open: floor, dialog, ratio", "Add all: floor, dialog, ratio",
                "Remove all: floor, dialog, ratio");
    for (int n : sizes) {
        std::vector<Row> rows = MakeRows(n);
        std::string text = std::string(kKvdHeader) + "\n";
        for (const Row& row : rows) {
            text += KvdObjectLine(row.name, row.author, row.version, row.wellId, row.fileDate);
            text += KvdValueLine("Header", "", 1, "Depth", "1520.5", "m");
        }
        text += "end\n";
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);

        std::vector<Row> sorted = rows;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Row& a, const Row& b) { return lstrcmpA(a.name.c_str(), b.name.c_str()) < 0; });

        // Best of a few runs each, floor and dialog taking turns.
        // (Wine's sorted list view inserts in linear time: the 10,000-row runs take minutes.)
        const int reps = n >= 10000 ? 1 : n >= 3000 ? 2 : 3;
        Stamp floorOpen = kNever, open = kNever, floorDown = kNever, floorUp = kNever, addAll = kNever,
              removeAll = kNever;
        for (int rep = 0; rep < reps; ++rep) {
            DialogRun run = RunDialog(folder, rows, true);
            if (!run.idleSeen || run.rowsAfterAdd != n || run.rowsAfterRemove != 0) {
                std::fprintf(stderr, "bench_transfer: the dialog did not list or move %d rows (%d, %d)\n", n,
                             run.rowsAfterAdd, run.rowsAfterRemove);
                return 1;
            }
            open = Best(open, run.idle);
            addAll = Best(addAll, run.addAll);
            removeAll = Best(removeAll, run.removeAll);
            floorOpen = Best(floorOpen, FloorOpen(rows, run.listSize));
            FloorMoves moves = FloorMove(rows, sorted, run.listSize);
            floorDown = Best(floorDown, moves.down);
            floorUp = Best(floorUp, moves.up);
        }
        std::printf("%6d | %s | %s | %s\n", n, Cell(floorOpen, open).c_str(), Cell(floorDown, addAll).c_str(),
                    Cell(floorUp, removeAll).c_str());
        std::fflush(stdout);
    }
    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
    DestroyWindow(host);
    return 0;
}

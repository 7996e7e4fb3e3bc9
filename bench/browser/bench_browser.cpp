// bench_browser: how fast the browser shows a large exchange file and runs its tree
// commands, against what the platform needs for the same work, in the same run.
//
//   refresh:   a pick in the file name combo box of the visible browser, from the
//              WM_COMMAND until the dialog has repainted, against the floor: the same
//              file read through Kiv.dll plus the same items inserted straight into a
//              tree view of the same styles and size in a visible window, redrawing
//              suspended (the fastest the platform does it). A second floor adds one
//              TVGN_PARENT request per item, the price of finding each parent by
//              asking the tree view for it.
//   commands:  Expand Tree and Expand Node (on the one object of a file) in the
//              visible browser, scrolling item by item with redrawing on as they are
//              meant to, beside the bare TVM_EXPAND of every item with redrawing suspended.
//
// Files hold objects of 100 values: a top-level group with records of four values,
// a group nested in each record, and a group nested in that, so the refresh climbs
// and descends on every record.
//
// Wine's tree view looks every item handle up by a linear scan of all items, so each
// insert under a parent costs O(items) and filling a tree is quadratic for the
// platform itself; the ratios say what the browser adds to that. The commands take
// tens of milliseconds per item on a visible tree (each open and scroll repaints),
// so on a loaded machine the command part runs for many minutes.
//
//   bench_browser                  everything: refresh at 10,000, 30,000, 100,000 values,
//                                  commands at 10,000 and 30,000 items
//   bench_browser quick            refresh at 10,000 and 30,000, the commands
//   bench_browser refresh N...     the refresh at these sizes only
//   bench_browser trace N          N values (and N/15 records for the commands), each phase on stderr
#include <windows.h>
#include <commctrl.h>

#include <derar.h>
#include <kivapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "KvdWriter.h"
#include "resource.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

const char kDateText[] = "2024-03-05 14:07";
const char kDateShown[] = "Tuesday, March 05, 2024  14:07";

// One item of the tree the browser builds: its label and the index of its parent (-1: top level).
struct Item {
    std::string text;
    int parent;
};

// An exchange file and the items the browser shows for it, in insertion order.
struct Workload {
    std::string kvd;
    std::vector<Item> items;
    int values = 0;
};

void AddValue(Workload& w, const char* group, const char* parent, int record, const std::string& name,
              const std::string& value, const char* suffix, int parentItem)
{
    w.kvd += KvdValueLine(group, parent, record, name, value, suffix);
    std::string label = name + ": " + value + " ";
    if (*suffix)
        label += std::string("[") + suffix + "]";
    w.items.push_back({ label, parentItem });
    ++w.values;
}

int AddItem(Workload& w, const std::string& text, int parent)
{
    w.items.push_back({ text, parent });
    return static_cast<int>(w.items.size()) - 1;
}

// objects objects, each with records records of ten values: four in Survey, three in
// Point (nested in Survey), three in Sample (nested in Point).
Workload MakeWorkload(int objects, int records)
{
    Workload w;
    w.kvd = std::string(kKvdHeader) + "\n";
    for (int o = 0; o < objects; ++o) {
        char name[32];
        std::snprintf(name, sizeof name, "Log-%05d", o);
        w.kvd += KvdObjectLine(name, "jdoe", "3", "W-017", kDateText);
        int object = AddItem(w, std::string(name) + " - jdoe - 3 - W-017 - " + kDateShown, -1);
        int survey = AddItem(w, "Survey", object);
        for (int r = 1; r <= records; ++r) {
            std::string number = std::to_string(r);
            std::string depth = std::to_string(1000 + r) + ".5";
            int surveyRecord = AddItem(w, number, survey);
            AddValue(w, "Survey", "", r, "Depth", depth, "m", surveyRecord);
            AddValue(w, "Survey", "", r, "Angle", "3.25", "deg", surveyRecord);
            AddValue(w, "Survey", "", r, "Azimuth", "127.5", "deg", surveyRecord);
            AddValue(w, "Survey", "", r, "Tool", "gyro", "", surveyRecord);
            int point = AddItem(w, "Point", surveyRecord);
            int pointRecord = AddItem(w, number, point);
            AddValue(w, "Point", "Survey", r, "X", "10.5", "m", pointRecord);
            AddValue(w, "Point", "Survey", r, "Y", "-4.25", "m", pointRecord);
            AddValue(w, "Point", "Survey", r, "Z", depth, "m", pointRecord);
            int sample = AddItem(w, "Sample", pointRecord);
            int sampleRecord = AddItem(w, number, sample);
            AddValue(w, "Sample", "Point", r, "Density", "2.65", "g/cc", sampleRecord);
            AddValue(w, "Sample", "Point", r, "Porosity", "0.18", "", sampleRecord);
            AddValue(w, "Sample", "Point", r, "Lithology", "sandstone", "", sampleRecord);
        }
    }
    w.kvd += "end\n";
    return w;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

// ---------------------------------------------------------------------------
// The floor.

// Every object and value of the file through the exchange library, texts copied.
double FloorRead(const std::string& path, int* valuesRead)
{
    double start = Now();
    char* message = nullptr;
    KivAttach(&message);
    KivOpen(path.c_str(), &message, 0);
    char *name, *author, *version, *wellId, *date;
    char *group, *valueName, *extra, *suffix, *valueText, *parent;
    int record = 0, values = 0;
    std::string copies[6];
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        copies[0] = name; copies[1] = author; copies[2] = version; copies[3] = wellId; copies[4] = date;
        int y, m, d, h, mi;
        KivStringToDate(date, &y, &m, &d, &h, &mi);
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record)) {
            copies[0] = group; copies[1] = valueName; copies[2] = suffix; copies[3] = valueText; copies[4] = parent;
            ++values;
        }
    }
    KivDetach();
    *valuesRead = values;
    return Now() - start;
}

const DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES
                         | TVS_LINESATROOT;

struct FloorWindow {
    HWND frame = nullptr;
    HWND tree = nullptr;
};

FloorWindow MakeFloorWindow(SIZE treeSize)
{
    FloorWindow w;
    w.frame = CreateWindowExA(0, "STATIC", "floor", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, treeSize.cx + 40,
                              treeSize.cy + 60, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    w.tree = CreateWindowExA(0, WC_TREEVIEWA, "", kTreeStyle, 10, 10, treeSize.cx, treeSize.cy, w.frame, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(w.frame);
    return w;
}

HTREEITEM Insert(HWND tree, HTREEITEM parent, const std::string& text)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(text.c_str());
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

// The items into a visible tree, redrawing suspended; askParent adds a TVGN_PARENT
// request per item, as finding each parent through the tree view would.
double FloorInsert(const Workload& w, SIZE treeSize, bool askParent, FloorWindow* keep = nullptr)
{
    FloorWindow window = MakeFloorWindow(treeSize);
    std::vector<HTREEITEM> handles(w.items.size());
    double start = Now();
    SendMessageA(window.tree, WM_SETREDRAW, FALSE, 0);
    HTREEITEM last = nullptr;
    for (size_t i = 0; i < w.items.size(); ++i) {
        HTREEITEM parent = w.items[i].parent < 0 ? TVI_ROOT : handles[static_cast<size_t>(w.items[i].parent)];
        if (askParent && last)
            SendMessageA(window.tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(last));
        last = handles[i] = Insert(window.tree, parent, w.items[i].text);
    }
    SendMessageA(window.tree, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    double elapsed = Now() - start;
    if (keep)
        *keep = window;
    else
        DestroyWindow(window.frame);
    return elapsed;
}

// TVM_EXPAND of every item with redrawing suspended: what opening them costs at least.
double FloorExpandAll(const Workload& w, SIZE treeSize)
{
    FloorWindow window;
    std::vector<HTREEITEM> handles;
    {
        window = MakeFloorWindow(treeSize);
        SendMessageA(window.tree, WM_SETREDRAW, FALSE, 0);
        handles.resize(w.items.size());
        for (size_t i = 0; i < w.items.size(); ++i) {
            HTREEITEM parent = w.items[i].parent < 0 ? TVI_ROOT : handles[static_cast<size_t>(w.items[i].parent)];
            handles[i] = Insert(window.tree, parent, w.items[i].text);
        }
        SendMessageA(window.tree, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(window.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    double start = Now();
    SendMessageA(window.tree, WM_SETREDRAW, FALSE, 0);
    for (HTREEITEM item : handles)
        SendMessageA(window.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    SendMessageA(window.tree, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    double elapsed = Now() - start;
    DestroyWindow(window.frame);
    return elapsed;
}

// ---------------------------------------------------------------------------
// The browser, played from its owner's WM_ENTERIDLE.

enum class Play { PickBig, Commands };

struct BrowserRun {
    Play play = Play::PickBig;
    bool done = false;
    double refresh = -1;
    double expandTree = -1;
    double expandNode = -1;
    int items = -1;
    int expandedItems = -1;
    SIZE treeSize = {};
};
BrowserRun* g_run = nullptr;

double Timed(HWND dialog, WPARAM command, LPARAM control)
{
    double start = Now();
    SendMessageA(dialog, WM_COMMAND, command, control);
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return Now() - start;
}

double Click(HWND dialog, int id)
{
    return Timed(dialog, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Picks a name in the combo box as a user does: the selection, then CBN_SELCHANGE.
double Pick(HWND dialog, const char* name)
{
    HWND combo = GetDlgItem(dialog, IDC_FILE_COMBO);
    LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return Timed(dialog, MAKEWPARAM(IDC_FILE_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

int CountExpanded(HWND tree)
{
    // Walks the open items only through TVGN_NEXTVISIBLE: after Expand Tree that is all of them.
    int n = 0;
    for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextVisible(tree, item))
        ++n;
    return n;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && g_run && !g_run->done) {
        HWND dialog = reinterpret_cast<HWND>(lParam);
        HWND tree = GetDlgItem(dialog, IDC_TREE);
        if (tree == nullptr)
            return 0;
        g_run->done = true;
        RECT rc;
        GetWindowRect(tree, &rc);
        g_run->treeSize = { rc.right - rc.left, rc.bottom - rc.top };
        if (g_run->play == Play::PickBig) {
            g_run->refresh = Pick(dialog, "big.kvd");
            g_run->items = static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
        } else {
            g_run->items = static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
            g_run->expandTree = Click(dialog, ID_EXPAND_TREE);
            g_run->expandedItems = CountExpanded(tree);
            Pick(dialog, "big.kvd");   // back to the opening view
            TreeView_SelectItem(tree, TreeView_GetRoot(tree));
            g_run->expandNode = Click(dialog, ID_EXPAND_NODE);
        }
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

BrowserRun RunBrowser(const std::string& folder, const char* fileName, Play play)
{
    BrowserRun run;
    run.play = play;
    g_run = &run;
    KivBrowseDialog(folder.c_str(), fileName);
    g_run = nullptr;
    return run;
}

DWORD WINAPI Watchdog(LPVOID)
{
    Sleep(60 * 60 * 1000);
    std::fprintf(stderr, "bench_browser: no end after 60 minutes\n");
    ExitProcess(3);
}

void RemoveLastFileKey()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\DerAR\\LastKiv");
}

}  // namespace

int main(int argc, char** argv)
{
    CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_TREEVIEW_CLASSES };
    InitCommonControlsEx(&icc);
    // "bench_browser quick" measures the two smaller sizes only; "bench_browser trace N"
    // measures N values and reports each phase on stderr.
    bool quick = argc > 1 && std::string(argv[1]) == "quick";
    bool trace = argc > 2 && std::string(argv[1]) == "trace";
    // "bench_browser refresh N..." measures the refresh at these sizes and no commands.
    bool refreshOnly = argc > 2 && std::string(argv[1]) == "refresh";
    std::vector<int> sizes = { 10000, 30000, 100000 };
    if (quick)
        sizes = { 10000, 30000 };
    if (trace)
        sizes = { std::atoi(argv[2]) };
    if (refreshOnly) {
        sizes.clear();
        for (int i = 2; i < argc; ++i)
            sizes.push_back(std::atoi(argv[i]));
    }

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
    std::string folder = std::string(temp) + "derar-bench-browser\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteFileBytes(folder + "a-start.kvd", MakeWorkload(1, 1).kvd);

    // A first small run loads and warms what every later run uses.
    {
        Workload warm = MakeWorkload(2, 10);
        WriteFileBytes(folder + "big.kvd", warm.kvd);
        BrowserRun run = RunBrowser(folder, "a-start.kvd", Play::PickBig);
        if (run.items != static_cast<int>(warm.items.size())) {
            std::fprintf(stderr, "bench_browser: the browser showed %d items, expected %zu\n", run.items,
                         warm.items.size());
            return 1;
        }
    }

    std::printf("Refresh from a combo box pick (best of the runs, ms)\n");
    std::fflush(stdout);
    std::printf("%7s %7s | %9s %9s %9s | %9s %6s | %11s %6s\n", "values", "items", "Kiv read", "inserts",
                "floor", "refresh", "ratio", "floor+climb", "ratio");
    for (int values : sizes) {
        Workload w = MakeWorkload(values / 100, 10);
        WriteFileBytes(folder + "big.kvd", w.kvd);
        const int reps = values >= 100000 ? 1 : 2;
        double read = 1e30, inserts = 1e30, refresh = 1e30, climb = 1e30;
        for (int rep = 0; rep < reps; ++rep) {
            BrowserRun run = RunBrowser(folder, "a-start.kvd", Play::PickBig);
            if (run.items != static_cast<int>(w.items.size())) {
                std::fprintf(stderr, "bench_browser: the browser showed %d items, expected %zu\n", run.items,
                             w.items.size());
                return 1;
            }
            refresh = std::min(refresh, run.refresh);
            if (trace)
                std::fprintf(stderr, "refresh %.1f ms\n", run.refresh);
            int valuesRead = 0;
            read = std::min(read, FloorRead(folder + "big.kvd", &valuesRead));
            if (trace)
                std::fprintf(stderr, "read %.1f ms\n", read);
            if (valuesRead != w.values) {
                std::fprintf(stderr, "bench_browser: read %d values, expected %d\n", valuesRead, w.values);
                return 1;
            }
            inserts = std::min(inserts, FloorInsert(w, run.treeSize, false));
            climb = std::min(climb, FloorInsert(w, run.treeSize, true));
            if (trace)
                std::fprintf(stderr, "inserts %.1f ms, with climbing %.1f ms\n", inserts, climb);
        }
        double floor = read + inserts;
        std::printf("%7d %7zu | %9.1f %9.1f %9.1f | %9.1f %5.2fx | %11.1f %5.2fx\n", w.values, w.items.size(), read,
                    inserts, floor, refresh, refresh / floor, read + climb, (read + climb) / floor);
        std::fflush(stdout);
    }

    if (refreshOnly)
        sizes = {};
    std::printf("\nTree commands on one object, item by item with redrawing on (ms)\n");
    std::printf("%7s | %11s %9s | %11s %9s | %14s\n", "items", "Expand Tree", "us/item", "Expand Node", "us/item",
                "TVM_EXPAND all");
    for (int records : { 666, 2000 }) {
        if (refreshOnly)
            break;
        if (trace)
            records = sizes[0] / 15;
        Workload w = MakeWorkload(1, records);
        WriteFileBytes(folder + "big.kvd", w.kvd);
        BrowserRun run = RunBrowser(folder, "big.kvd", Play::Commands);
        if (run.items != static_cast<int>(w.items.size()) || run.expandedItems != run.items) {
            std::fprintf(stderr, "bench_browser: %d items, %d open after Expand Tree, expected %zu\n", run.items,
                         run.expandedItems, w.items.size());
            return 1;
        }
        double floor = FloorExpandAll(w, run.treeSize);
        std::printf("%7zu | %11.1f %9.1f | %11.1f %9.1f | %14.1f\n", w.items.size(), run.expandTree,
                    1000.0 * run.expandTree / static_cast<double>(w.items.size()), run.expandNode,
                    1000.0 * run.expandNode / static_cast<double>(w.items.size()), floor);
        std::fflush(stdout);
        if (trace)
            break;
    }

    RemoveLastFileKey();
    DeleteFileA((folder + "big.kvd").c_str());
    DeleteFileA((folder + "a-start.kvd").c_str());
    RemoveDirectoryA(folder.c_str());
    DestroyWindow(host);
    return 0;
}

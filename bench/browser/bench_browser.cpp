// bench_browser: how fast the browser shows a large exchange file and runs its tree
// commands, against the plain way of doing the same work with the platform's tree
// view, in the same run.
//
//   refresh:   a pick in the file name combo box of the visible browser, from the
//              WM_COMMAND until the dialog has repainted, against the floor: the same
//              file read through Kiv.dll plus the same items inserted straight into a
//              tree view of the same styles and size in a visible window, each after
//              the one before in the order of the file, redrawing suspended. The
//              second, "floor+climb", adds one TVGN_PARENT request per item: the
//              refresh as it was first written, which found each parent by asking the
//              tree view. The third, "tree alone", is the tree view filled in the
//              browser's own order by its model of the tree, and nothing else: the part of
//              the refresh that no order of asking can save.
//   away:      the pick of a small file right after the large one: the time to let go
//              of the large tree, beside the refresh that showed it, and beside what
//              the floors' trees take to let go of their items: made in the order of
//              the file (the cheapest to delete: each item is found at once) and in
//              the browser's order.
//   find:      a search that runs from the first item to the last (the only label that
//              holds the text) in the visible browser at 100,000 values: the platform's
//              Find dialog's Find Next, the first search after the refresh (when the
//              browser turns its copy of the labels into UTF-16) and F3 again, from the
//              moment of the request until the dialog has repainted with the match
//              selected, its ancestors open and in view. Against two floors in the same
//              run: that opening and scrolling alone, done straight on the tree view
//              (what every search must do, however it finds the match), and the walk
//              that finds the match through the control: every item in pre-order with
//              TVM_GETNEXTITEM and its label with TVM_GETITEMA.
//   commands:  Expand Tree and Expand Node (on the one object of a file) in the
//              visible browser, against the plain walk that the commands are told:
//              every item in display order opened and scrolled into view in turn, on
//              the same dialog's tree, with redrawing on (Wine's tree view ignores
//              WM_SETREDRAW there). Above 10,000 items the plain walk takes many
//              minutes; there only the commands are measured.
//
// Files hold objects of 100 values: a top-level group with records of four values,
// a group nested in each record, and a group nested in that, so the refresh climbs
// and descends on every record.
//
// Wine's tree view looks every item handle up by a linear scan of all items, so each
// insert under a parent costs O(items) and filling a tree is quadratic for the
// platform itself; the ratios say what the browser adds to that, or saves.
//
//   memory:    the heap a file costs the process while the browser shows it: every heap's
//              busy bytes with the small file shown and with the large one, per item,
//              against the same items inserted into a tree view alone (what the control
//              keeps, whatever the browser does), and the working set's peak over the
//              refresh. Run alone in a fresh process ("memory N...") for a peak of its own.
//
//   bench_browser                  everything: refresh at 30,000, 100,000, 300,000 values,
//                                  find at 100,000 values, commands at 3,000, 10,000 and
//                                  30,000 items
//   bench_browser quick            refresh at 10,000 and 30,000, find at 30,000, commands at
//                                  3,000 and 10,000
//   bench_browser refresh N...     the refresh at these sizes only
//   bench_browser find N...        find at these sizes (values) only
//   bench_browser commands N...    the commands at these item counts only
//   bench_browser memory N...      the memory at these sizes (values) only
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <derar.h>
#include <kivapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <psapi.h>

#include "../common/bench_host.h"
#include "process_counters.h"
#include "BrowserCommands.h"
#include "KvdWriter.h"
#include "TreeModel.h"
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

const char kMarker[] = "end-of-file";

// objects objects, each with records records of ten values: four in Survey, three in
// Point (nested in Survey), three in Sample (nested in Point). With marked, the very last
// value holds kMarker, which no other label holds.
Workload MakeWorkload(int objects, int records, bool marked = false)
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
            const bool last = marked && o == objects - 1 && r == records;
            AddValue(w, "Sample", "Point", r, "Lithology", last ? kMarker : "sandstone", "", sampleRecord);
        }
    }
    w.kvd += "end\n";
    return w;
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

// A bare tree view of the dialog's tree's size in a visible window, filled by fill
// with redrawing suspended and drawn once: the time to fill and draw it, and in
// *destroyed the time the tree view then takes to let go of its items (children
// first, one by one).
template <typename Fill>
double FloorTree(SIZE treeSize, Fill fill, double* destroyed = nullptr)
{
    FloorWindow window = MakeFloorWindow(treeSize);
    double start = Now();
    SendMessageA(window.tree, WM_SETREDRAW, FALSE, 0);
    fill(window.tree);
    SendMessageA(window.tree, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    double elapsed = Now() - start;
    double destroyStart = Now();
    DestroyWindow(window.frame);
    if (destroyed)
        *destroyed = Now() - destroyStart;
    return elapsed;
}

// The items in the order of the file, each after the one before; askParent adds a
// TVGN_PARENT request per item, as finding each parent through the tree view would.
double FloorInsert(const Workload& w, SIZE treeSize, bool askParent, double* destroyed = nullptr)
{
    return FloorTree(treeSize, [&](HWND tree) {
        std::vector<HTREEITEM> handles(w.items.size());
        HTREEITEM last = nullptr;
        for (size_t i = 0; i < w.items.size(); ++i) {
            HTREEITEM parent = w.items[i].parent < 0 ? TVI_ROOT : handles[static_cast<size_t>(w.items[i].parent)];
            if (askParent && last)
                SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(last));
            last = handles[i] = Insert(tree, parent, w.items[i].text);
        }
    }, destroyed);
}

// The items in the order the browser makes them (its own model of the tree), and nothing
// else: what the tree view alone costs for that order.
double FloorInsertInBrowserOrder(const Workload& w, SIZE treeSize, double* destroyed)
{
    CTreeModel builder;
    std::vector<int> depths;
    for (const Item& item : w.items) {
        depths.push_back(item.parent < 0 ? 0 : depths[static_cast<size_t>(item.parent)] + 1);
        builder.Add(item.text.c_str(), depths.back());
    }
    return FloorTree(treeSize, [&](HWND tree) {
        CTreeCtrl control;
        control.Attach(tree);
        builder.InsertInto(&control);
        control.Detach();
    }, destroyed);
}

// The busy heap bytes a tree view alone keeps for the items, inserted in the browser's order
// (in the order of the file each insert would scan the whole tree).
double TreeViewHeap(const Workload& w, SIZE treeSize)
{
    FloorWindow window = MakeFloorWindow(treeSize);
    double grown = 0;
    {
        CTreeModel builder;
        std::vector<int> depths;
        for (const Item& item : w.items) {
            depths.push_back(item.parent < 0 ? 0 : depths[static_cast<size_t>(item.parent)] + 1);
            builder.Add(item.text.c_str(), depths.back());
        }
        std::vector<int>().swap(depths);
        CTreeCtrl control;
        {
            // A first insert into a tree let go of at once: the model then holds what it keeps
            // (the insert gives back what it reserved), and the next insert's growth is the
            // tree view's alone.
            FloorWindow scratch = MakeFloorWindow(treeSize);
            SendMessageA(scratch.tree, WM_SETREDRAW, FALSE, 0);
            control.Attach(scratch.tree);
            builder.InsertInto(&control);
            control.Detach();
            DestroyWindow(scratch.frame);
        }
        SendMessageA(window.tree, WM_SETREDRAW, FALSE, 0);
        control.Attach(window.tree);
        const size_t before = ProcessCounters::Take().processHeapsInUse;
        builder.InsertInto(&control);
        grown = static_cast<double>(ProcessCounters::Take().processHeapsInUse) - before;
        control.Detach();
    }
    DestroyWindow(window.frame);
    return grown;
}

// ---------------------------------------------------------------------------
// The browser, played from its owner's WM_ENTERIDLE.

enum class Play { PickBig, Commands, Find, Memory };

struct BrowserRun {
    Play play = Play::PickBig;
    bool plainWalks = true;   // also time the plain walks (for Find: the walk through the control)
    bool floorFirst = false;  // Find: only the opening and scrolling, on items never opened
    bool done = false;
    double refresh = -1;
    double away = -1;           // the pick of the small file after the big one
    double expandTree = -1;
    double expandNode = -1;
    double plainExpandTree = -1;
    double plainExpandNode = -1;
    int items = -1;
    int expandedItems = -1;
    int plainExpandedItems = -1;
    double firstSearch = -1;    // Find Next in the Find dialog, the first search after the refresh
    double againSearch = -1;    // F3 from the first item again
    double openAndScroll = -1;  // the match's ancestors opened, it selected and scrolled into view
    double walk = -1;           // the match found through the control, item by item
    std::string found;          // the label each search selected, when they agree
    SIZE treeSize = {};
    double heapGrowth = -1;     // bytes: every heap's busy bytes with the large file, less with the small
    double peakGrowth = -1;     // bytes: the working set's peak over the refresh, less before it
};

size_t PeakWorkingSet(size_t* now = nullptr)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    if (now)
        *now = counters.WorkingSetSize;
    return counters.PeakWorkingSetSize;
}
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

// The plain walk the commands are told: open first, scroll it into view, focus the
// tree, then every next visible item opened and scrolled into view, up to stop.
double PlainWalk(HWND dialog, HTREEITEM first, HTREEITEM stop)
{
    HWND tree = GetDlgItem(dialog, IDC_TREE);
    double start = Now();
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(first));
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(first));
    SetFocus(tree);
    for (HTREEITEM item = first; (item = TreeView_GetNextVisible(tree, item)) != nullptr && item != stop;) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    }
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return Now() - start;
}

int CountExpanded(HWND tree)
{
    // Walks the open items only through TVGN_NEXTVISIBLE: after Expand Tree that is all of them.
    int n = 0;
    for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextVisible(tree, item))
        ++n;
    return n;
}

std::string LabelOf(HWND tree, HTREEITEM item)
{
    char text[512] = "";
    TVITEMA tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
    return text;
}

BOOL CALLBACK IsFindDialog(HWND hwnd, LPARAM lParam)
{
    char caption[16] = "";
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (std::string(caption) != "Find" || !IsWindowVisible(hwnd))
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hwnd;
    return FALSE;
}

// (A named WINAPI function: in 32 bits a lambda converts only to one of the C convention.)
HWND FindDialogOfThread()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), IsFindDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The pre-order walk through the control: first child, else next sibling, else the next
// sibling of the nearest ancestor that has one; each label read until one holds the text.
HTREEITEM WalkToText(HWND tree, const char* text)
{
    HTREEITEM item = TreeView_GetRoot(tree);
    while (item != nullptr) {
        if (LabelOf(tree, item).find(text) != std::string::npos)
            return item;
        HTREEITEM next = TreeView_GetChild(tree, item);
        while (next == nullptr && item != nullptr) {
            next = TreeView_GetNextSibling(tree, item);
            if (next == nullptr)
                item = TreeView_GetParent(tree, item);
        }
        item = next;
    }
    return nullptr;
}

// The last item of the tree in display order with every branch open, through the control.
HTREEITEM LastItem(HWND tree)
{
    HTREEITEM item = TreeView_GetRoot(tree);
    for (HTREEITEM next; item != nullptr && (next = TreeView_GetNextSibling(tree, item)) != nullptr;)
        item = next;
    for (HTREEITEM child; item != nullptr && (child = TreeView_GetChild(tree, item)) != nullptr;) {
        item = child;
        for (HTREEITEM next; (next = TreeView_GetNextSibling(tree, item)) != nullptr;)
            item = next;
    }
    return item;
}

// What every search must do with the match it found, straight on the tree view: its
// ancestors opened, the deepest first, the match selected and scrolled into view.
double OpenAndScroll(HWND dialog, HWND tree, HTREEITEM match, const std::vector<HTREEITEM>& ancestors)
{
    double start = Now();
    for (HTREEITEM item : ancestors)
        TreeView_Expand(tree, item, TVE_EXPAND);
    TreeView_SelectItem(tree, match);
    TreeView_EnsureVisible(tree, match);
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return Now() - start;
}

// The searches (or, with floorFirst, the opening and scrolling alone on items never
// opened before, as the first search meets them). Each starts from the first item,
// selected at the top, with the match's ancestors closed but its object open.
void PlayFind(HWND dialog, HWND tree, bool floorFirst, bool walk)
{
    auto redraw = [dialog] { RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); };
    HTREEITEM root = TreeView_GetRoot(tree);
    std::vector<HTREEITEM> ancestors;
    auto reset = [&] {
        for (size_t i = 0; i + 1 < ancestors.size(); ++i)
            TreeView_Expand(tree, ancestors[i], TVE_COLLAPSE);
        TreeView_SelectItem(tree, root);
        TreeView_EnsureVisible(tree, root);
        redraw();
    };
    auto ancestorsOf = [&](HTREEITEM match) {
        ancestors.clear();
        for (HTREEITEM item = TreeView_GetParent(tree, match); item != nullptr; item = TreeView_GetParent(tree, item))
            ancestors.push_back(item);
    };
    reset();
    if (floorFirst) {
        HTREEITEM match = LastItem(tree);
        ancestorsOf(match);
        g_run->openAndScroll = OpenAndScroll(dialog, tree, match, ancestors);
        g_run->found = LabelOf(tree, match);
        return;
    }

    // Ctrl+F, the text typed, Find Next pressed.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(ID_FIND_TEXT, 1), 0);
    HWND find = FindDialogOfThread();
    if (find == nullptr)
        return;
    SetDlgItemTextA(find, edt1, kMarker);
    double start = Now();
    SendMessageA(find, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(find, IDOK)));
    redraw();
    g_run->firstSearch = Now() - start;
    HTREEITEM match = TreeView_GetSelection(tree);
    std::string found = LabelOf(tree, match);
    ancestorsOf(match);

    reset();
    start = Now();
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(ID_FIND_NEXT, 1), 0);
    redraw();
    g_run->againSearch = Now() - start;
    if (TreeView_GetSelection(tree) != match)
        found = "(F3 found another item)";

    // The same opening and scrolling, on items opened once before, as F3 met them.
    reset();
    g_run->openAndScroll = OpenAndScroll(dialog, tree, match, ancestors);

    if (walk) {
        reset();
        start = Now();
        if (WalkToText(tree, kMarker) != match)
            found = "(the walk found another item)";
        g_run->walk = Now() - start;
    }
    g_run->found = found;
    SendMessageA(find, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(find, IDCANCEL)));
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
        if (g_run->play == Play::Find) {
            g_run->items = static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
            PlayFind(dialog, tree, g_run->floorFirst, g_run->plainWalks);
        } else if (g_run->play == Play::Memory) {
            const size_t before = ProcessCounters::Take().processHeapsInUse;
            size_t workingSet = 0;
            const size_t peakBefore = PeakWorkingSet(&workingSet);
            Pick(dialog, "big.kvd");
            g_run->items = static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
            g_run->heapGrowth = static_cast<double>(ProcessCounters::Take().processHeapsInUse) - before;
            const size_t peakAfter = PeakWorkingSet();
            g_run->peakGrowth = peakAfter > peakBefore ? static_cast<double>(peakAfter - workingSet) : 0;
            Pick(dialog, "a-start.kvd");
        } else if (g_run->play == Play::PickBig) {
            g_run->refresh = Pick(dialog, "big.kvd");
            g_run->items = static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
            g_run->away = Pick(dialog, "a-start.kvd");
        } else {
            g_run->items = static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
            if (g_run->plainWalks) {
                g_run->plainExpandTree = PlainWalk(dialog, TreeView_GetRoot(tree), nullptr);
                g_run->plainExpandedItems = CountExpanded(tree);
                Pick(dialog, "big.kvd");   // back to the opening view
            }
            g_run->expandTree = Click(dialog, ID_EXPAND_TREE);
            g_run->expandedItems = CountExpanded(tree);
            if (g_run->plainWalks) {
                Pick(dialog, "big.kvd");
                TreeView_SelectItem(tree, TreeView_GetRoot(tree));
                // The one object is the last subtree: the walk runs to the end of the tree.
                g_run->plainExpandNode = PlainWalk(dialog, TreeView_GetRoot(tree), nullptr);
            }
            Pick(dialog, "big.kvd");
            TreeView_SelectItem(tree, TreeView_GetRoot(tree));
            g_run->expandNode = Click(dialog, ID_EXPAND_NODE);
        }
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

BrowserRun RunBrowser(const std::string& folder, const char* fileName, Play play, bool plainWalks = true,
                      bool floorFirst = false)
{
    BrowserRun run;
    run.play = play;
    run.plainWalks = plainWalks;
    run.floorFirst = floorFirst;
    g_run = &run;
    ActivateBenchHost();
    KivBrowseDialog(folder.c_str(), fileName);
    g_run = nullptr;
    return run;
}

void RemoveLastFileKey()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\DerAR\\LastKiv");
}

}  // namespace

int main(int argc, char** argv)
{
    StartBenchWatchdog();
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_TREEVIEW_CLASSES };
    InitCommonControlsEx(&icc);
    std::string mode = argc > 1 ? argv[1] : "";
    std::vector<int> sizes = { 30000, 100000, 300000 };
    std::vector<int> commandItems = { 3000, 10000, 30000 };
    std::vector<int> findSizes = { 100000 };
    std::vector<int> memorySizes = { 30000, 100000 };
    if (mode == "quick") {
        sizes = { 10000, 30000 };
        commandItems = { 3000, 10000 };
        findSizes = { 30000 };
        memorySizes = { 30000 };
    }
    std::vector<int> listed;
    for (int i = 2; i < argc; ++i)
        listed.push_back(std::atoi(argv[i]));
    if (mode == "refresh") {
        sizes = listed;
        commandItems.clear();
        findSizes.clear();
        memorySizes.clear();
    }
    if (mode == "memory") {
        memorySizes = listed;
        sizes.clear();
        commandItems.clear();
        findSizes.clear();
    }
    if (mode == "commands") {
        commandItems = listed;
        sizes.clear();
        findSizes.clear();
        memorySizes.clear();
    }
    if (mode == "find") {
        findSizes = listed;
        sizes.clear();
        commandItems.clear();
        memorySizes.clear();
    }

    HWND host = MakeBenchHost(HostProc);

    const std::string folder = BenchTempFolder("derar-bench-browser");
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

    // First, while the working set's peak is still the warm-up's.
    if (!memorySizes.empty()) {
        std::printf("Memory while the browser shows the file (bytes per item)\n");
        std::printf("%7s %7s %9s | %11s %11s %11s | %11s\n", "values", "items", "file", "process", "tree view",
                    "browser", "peak");
        std::fflush(stdout);
    }
    for (int values : memorySizes) {
        Workload w = MakeWorkload(values / 100, 10);
        WriteFileBytes(folder + "big.kvd", w.kvd);
        BrowserRun run = RunBrowser(folder, "a-start.kvd", Play::Memory);
        if (run.items != static_cast<int>(w.items.size())) {
            std::fprintf(stderr, "bench_browser: the browser showed %d items, expected %zu\n", run.items,
                         w.items.size());
            return 1;
        }
        const double items = static_cast<double>(w.items.size());
        const double control = TreeViewHeap(w, run.treeSize);
        std::printf("%7d %7zu %9zu | %11.1f %11.1f %11.1f | %11.1f\n", w.values, w.items.size(), w.kvd.size(),
                    run.heapGrowth / items, control / items, (run.heapGrowth - control) / items,
                    run.peakGrowth / items);
        std::fflush(stdout);
    }
    if (!memorySizes.empty())
        std::printf("\n");

    if (!sizes.empty())
        std::printf("Refresh from a combo box pick (best of the runs, ms)\n");
    std::fflush(stdout);
    if (!sizes.empty())
        std::printf("%7s %7s | %9s %9s %9s | %9s %6s | %11s %6s | %11s %6s | %9s %11s %11s\n", "values", "items",
                "Kiv read", "inserts", "floor", "refresh", "ratio", "floor+climb", "ratio", "tree alone", "ratio",
                "away", "floor away", "alone away");
    for (int values : sizes) {
        Workload w = MakeWorkload(values / 100, 10);
        WriteFileBytes(folder + "big.kvd", w.kvd);
        const int reps = values >= 100000 ? 1 : 2;
        double read = 1e30, inserts = 1e30, refresh = 1e30, climb = 1e30, away = 1e30, floorAway = 1e30,
               alone = 1e30, aloneAway = 1e30;
        for (int rep = 0; rep < reps; ++rep) {
            BrowserRun run = RunBrowser(folder, "a-start.kvd", Play::PickBig);
            if (run.items != static_cast<int>(w.items.size())) {
                std::fprintf(stderr, "bench_browser: the browser showed %d items, expected %zu\n", run.items,
                             w.items.size());
                return 1;
            }
            refresh = std::min(refresh, run.refresh);
            away = std::min(away, run.away);
            int valuesRead = 0;
            read = std::min(read, FloorRead(folder + "big.kvd", &valuesRead));
            if (valuesRead != w.values) {
                std::fprintf(stderr, "bench_browser: read %d values, expected %d\n", valuesRead, w.values);
                return 1;
            }
            double destroyed = 0;
            inserts = std::min(inserts, FloorInsert(w, run.treeSize, false, &destroyed));
            floorAway = std::min(floorAway, destroyed);
            alone = std::min(alone, FloorInsertInBrowserOrder(w, run.treeSize, &destroyed));
            aloneAway = std::min(aloneAway, destroyed);
            // The refresh as it was first written: the same inserts, each parent asked from the tree.
            climb = std::min(climb, FloorInsert(w, run.treeSize, true));
        }
        double floor = read + inserts;
        std::printf("%7d %7zu | %9.1f %9.1f %9.1f | %9.1f %5.2fx | %11.1f %5.2fx | %11.1f %5.2fx | %9.1f %11.1f %11.1f\n",
                    w.values, w.items.size(), read, inserts, floor, refresh, refresh / floor,
                    read + climb, (read + climb) / floor, read + alone,
                    (read + alone) / floor, away, floorAway, aloneAway);
        std::fflush(stdout);
    }

    if (!findSizes.empty()) {
        std::printf("\nFind from the first item to the last, visible tree (ms)\n");
        std::printf("%7s %7s | %11s %11s | %11s %11s | %11s %11s | %11s %9s\n", "values", "items", "first find",
                    "F3 again", "open 1st", "open again", "beyond 1st", "beyond F3", "walk", "walk/F3");
        std::fflush(stdout);
    }
    for (int values : findSizes) {
        Workload w = MakeWorkload(values / 100, 10, true);
        WriteFileBytes(folder + "big.kvd", w.kvd);
        const std::string expected = std::string("Lithology: ") + kMarker + " ";
        double first = 1e30, again = 1e30, floorAgain = 1e30, floorFirst = 1e30, walk = -1;
        // Best of three: the machine is shared. Each browser starts from a fresh tree.
        for (int rep = 0; rep < 3; ++rep) {
            BrowserRun run = RunBrowser(folder, "big.kvd", Play::Find, rep == 0, false);
            BrowserRun floorRun = RunBrowser(folder, "big.kvd", Play::Find, false, true);
            if (run.items != static_cast<int>(w.items.size()) || run.found != expected || floorRun.found != expected) {
                std::fprintf(stderr,
                             "bench_browser: %d items, found \"%s\" and \"%s\", expected %zu items and \"%s\"\n",
                             run.items, run.found.c_str(), floorRun.found.c_str(), w.items.size(), expected.c_str());
                return 1;
            }
            first = std::min(first, run.firstSearch);
            again = std::min(again, run.againSearch);
            floorAgain = std::min(floorAgain, run.openAndScroll);
            floorFirst = std::min(floorFirst, floorRun.openAndScroll);
            if (rep == 0)
                walk = run.walk;
        }
        std::printf("%7d %7zu | %11.1f %11.1f | %11.1f %11.1f | %11.1f %11.1f | %11.1f %8.0fx\n", w.values,
                    w.items.size(), first, again, floorFirst, floorAgain, first - floorFirst, again - floorAgain, walk,
                    walk / again);
        std::fflush(stdout);
    }

    std::printf("\nTree commands on one object, visible tree (ms; ratio command/plain walk)\n");
    std::printf("%7s | %11s %11s %7s | %11s %11s %7s\n", "items", "plain walk", "Expand Tree", "ratio",
                "plain walk", "Expand Node", "ratio");
    for (int items : commandItems) {
        Workload w = MakeWorkload(1, std::max(1, items / 15));
        WriteFileBytes(folder + "big.kvd", w.kvd);
        const bool plain = items <= 10000;
        BrowserRun run = RunBrowser(folder, "big.kvd", Play::Commands, plain);
        if (run.items != static_cast<int>(w.items.size()) || run.expandedItems != run.items
            || (plain && run.plainExpandedItems != run.items)) {
            std::fprintf(stderr, "bench_browser: %d items, %d open after Expand Tree (%d after the walk), expected %zu\n",
                         run.items, run.expandedItems, run.plainExpandedItems, w.items.size());
            return 1;
        }
        if (plain)
            std::printf("%7zu | %11.1f %11.1f %6.3fx | %11.1f %11.1f %6.3fx\n", w.items.size(), run.plainExpandTree,
                        run.expandTree, run.expandTree / run.plainExpandTree, run.plainExpandNode, run.expandNode,
                        run.expandNode / run.plainExpandNode);
        else
            std::printf("%7zu | %11s %11.1f %7s | %11s %11.1f %7s\n", w.items.size(), "-", run.expandTree, "-", "-",
                        run.expandNode, "-");
        std::fflush(stdout);
    }

    RemoveLastFileKey();
    DeleteFileA((folder + "big.kvd").c_str());
    DeleteFileA((folder + "a-start.kvd").c_str());
    RemoveDirectoryA(folder.c_str());
    DestroyWindow(host);
    return 0;
}

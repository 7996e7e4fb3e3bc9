// Long sessions: each dialog is run many times through a typical use, and a host
// loads and frees derar.dll a thousand times; the process must afterwards hold what
// it held before: kernel handles, top-level windows, GDI and USER objects, heap,
// loaded modules and the class layer's chain of extension modules (derar.dll stays
// loaded once loaded, so a thousand loads hold what the first one took).
//
//   robustness_long_session [--runs=N] [gtest options]
//
// The number of runs per dialog is --runs, else the environment's DERAR_SOAK_RUNS,
// else 25. The soak runs it with DERAR_SOAK_RUNS=1000. The load count is fixed.
//
// What Wine 8 does not report: GetGuiResources returns 0 for GDI and USER objects
// and GetProcessHandleCount returns 0 handles. The program finds this out by
// taking resources on purpose, says so in its output and relies on the counters
// that do move: the thread's top-level windows, _heapwalk and HeapWalk.
#include <gtest/gtest.h>

#include <afxwin.h>
#include <commctrl.h>
#include <derar.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "browser_host.h"
#include "dialog_driver.h"
#include "process_counters.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

namespace {

int g_runs = 25;
const int kWarmUpRuns = 3;

// How far a counter may end from where it started: caches of the platform (fonts,
// the registry, the list view's image lists) settle during the warm-up, so the
// allowances are small and independent of the number of runs. The heaps may also grow
// by what the same Wine keeps of a plain Win32 dialog (PlainDialogFloor) for each dialog
// that a run shows: Wine 8 keeps nothing, Wine 10 some bytes of every dialog.
const long kHandleAllowance = 4;
const long kGuiObjectAllowance = 8;
const long long kHeapAllowance = 16 * 1024;

// Which counters this platform really reports, found by taking resources on
// purpose (see CountersSeeWhatALeakTakes); a counter that does not move is
// printed but cannot be relied on.
struct Reported {
    bool guiObjects = true, handles = true, windows = true, crtHeap = true, processHeaps = true;
} g_reported;

// A plain Win32 dialog of the controls the library's dialogs are made of (a label, an edit
// box, a combo box, a list box, a list view, a tree view, OK), from a template in memory
// and with no part of derar, closed by the scripted user as the sessions' dialogs are.
const wchar_t kPlainCaption[] = L"Plain dialog";

INT_PTR CALLBACK PlainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SendDlgItemMessageW(dialog, 103, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"first.kvd"));
        SendDlgItemMessageW(dialog, 104, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Alpha"));
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 80;
        column.pszText = const_cast<wchar_t*>(L"Name");
        SendDlgItemMessageW(dialog, 105, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<wchar_t*>(L"Alpha");
        SendDlgItemMessageW(dialog, 105, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        TVINSERTSTRUCTW node = {};
        node.hInsertAfter = TVI_LAST;
        node.item.mask = TVIF_TEXT;
        node.item.pszText = const_cast<wchar_t*>(L"Alpha - jdoe");
        SendDlgItemMessageW(dialog, 106, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&node));
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// The template: DLGTEMPLATE, then each DLGITEMTEMPLATE on a DWORD boundary.
std::vector<WORD> PlainDialogTemplate()
{
    std::vector<WORD> t;
    auto add = [&t](const wchar_t* text) {
        for (; *text; ++text)
            t.push_back(static_cast<WORD>(*text));
        t.push_back(0);
    };
    auto dword = [&t](DWORD value) {
        t.push_back(LOWORD(value));
        t.push_back(HIWORD(value));
    };
    struct Control {
        const wchar_t* windowClass;
        WORD id;
        DWORD style;
        short x, y, cx, cy;
    };
    const Control controls[] = {
        { L"STATIC", 101, SS_LEFT, 4, 4, 100, 8 },
        { L"EDIT", 102, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 4, 14, 100, 12 },
        { L"COMBOBOX", 103, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 4, 30, 100, 60 },
        { L"LISTBOX", 104, WS_BORDER | LBS_NOTIFY | WS_TABSTOP, 4, 46, 100, 30 },
        { L"SysListView32", 105, LVS_REPORT | WS_BORDER | WS_TABSTOP, 110, 4, 100, 50 },
        { L"SysTreeView32", 106, TVS_HASBUTTONS | TVS_HASLINES | WS_BORDER | WS_TABSTOP, 110, 58, 100, 50 },
        { L"BUTTON", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 4, 90, 50, 14 },
    };
    dword(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    dword(0);
    t.push_back(static_cast<WORD>(sizeof controls / sizeof controls[0]));
    for (short v : { 0, 0, 220, 110 })
        t.push_back(static_cast<WORD>(v));
    t.push_back(0);  // no menu
    t.push_back(0);  // the dialog class
    add(kPlainCaption);
    t.push_back(8);
    add(L"MS Shell Dlg");
    for (const Control& c : controls) {
        if (t.size() % 2)
            t.push_back(0);
        dword(WS_CHILD | WS_VISIBLE | c.style);
        dword(0);
        for (short v : { c.x, c.y, c.cx, c.cy })
            t.push_back(static_cast<WORD>(v));
        t.push_back(c.id);
        add(c.windowClass);
        add(L"");
        t.push_back(0);  // no creation data
    }
    return t;
}

void PlainDialogOnce()
{
    static const std::vector<WORD> dialogTemplate = PlainDialogTemplate();
    INT_PTR result = -1;
    ScriptedUser user;
    user.When("Plain dialog", [](Dialog& d) { d.Click(IDOK); });
    user.Run([&] {
        result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                         reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), nullptr,
                                         PlainDialogProc, 0);
    });
    EXPECT_EQ(result, IDOK) << "the plain dialog, error " << GetLastError();
}

// What this Wine keeps of one plain dialog, in bytes of each heap counter: sampled over
// enough dialogs (kFloorDialogs) that the odd block of a cache growing in steps of some
// hundred bytes averages out. Measured once, the first time a session asks.
struct Floor {
    double crtHeap = 0, processHeaps = 0;
};
const int kFloorDialogs = 50;

const Floor& PlainDialogFloor()
{
    static Floor floor;
    static bool measured = false;
    if (measured)
        return floor;
    measured = true;
    INITCOMMONCONTROLSEX classes = { sizeof classes, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES };
    InitCommonControlsEx(&classes);
    for (int i = 0; i < kWarmUpRuns; ++i)
        PlainDialogOnce();
    HeapBlocks blocksBefore = HeapBlocks::Take();
    ProcessCounters before = ProcessCounters::Take();
    for (int i = 0; i < kFloorDialogs; ++i)
        PlainDialogOnce();
    ProcessCounters after = ProcessCounters::Take();
    HeapBlocks blocksAfter = HeapBlocks::Take();
    HeapBlocks::Growth growth = HeapBlocks::NewBlocks(blocksBefore, blocksAfter, 0);
    floor.crtHeap = std::max(0.0, (static_cast<double>(after.crtHeapInUse) - before.crtHeapInUse -
                                   growth.crtEmptyGroupBytes) /
                                      kFloorDialogs);
    floor.processHeaps = std::max(0.0, (static_cast<double>(after.processHeapsInUse) - before.processHeapsInUse -
                                        growth.emptyGroupBytes) /
                                           kFloorDialogs);
    printf("  a plain Win32 dialog keeps %.1f bytes of the C runtime heap and %.1f of the process's heaps "
           "(%d dialogs; the heap's own empty groups, %zu of %lld bytes, not counted)\n",
           floor.crtHeap, floor.processHeaps, kFloorDialogs, growth.emptyGroups, growth.emptyGroupBytes);
    return floor;
}

// The counters before and after `runs` runs that show `dialogs` dialogs in all; the heap
// blocks are for the report of where a heap's growth went.
struct Session {
    const char* name;
    int runs;
    int dialogs;
};

void ExpectReturnedToStart(const Session& session, const ProcessCounters& before, const ProcessCounters& after,
                           const HeapBlocks& blocksBefore, const HeapBlocks& blocksAfter)
{
    const char* dialog = session.name;
    printf("[ %s ] %d runs\n  before: %s\n  after:  %s\n", dialog, session.runs, before.Describe().c_str(),
           after.Describe().c_str());
    const HeapBlocks::Growth growth = HeapBlocks::NewBlocks(blocksBefore, blocksAfter, 6);
    if (after.processHeapsInUse != before.processHeapsInUse || after.crtHeapInUse != before.crtHeapInUse)
        printf("%s", growth.text.c_str());
    if (!g_reported.guiObjects)
        printf("  GetGuiResources does not count GDI/USER objects here (Wine reports 0): not relied on\n");
    if (!g_reported.handles)
        printf("  GetProcessHandleCount does not count kernel handles here (Wine reports 0): not relied on\n");
    fflush(stdout);
    if (g_reported.handles) {
        EXPECT_LE(static_cast<long>(after.handles) - static_cast<long>(before.handles), kHandleAllowance)
            << dialog << ": kernel handles";
    }
    EXPECT_EQ(after.threadWindows, before.threadWindows) << dialog << ": top-level windows of the thread";
    if (g_reported.guiObjects) {
        EXPECT_LE(static_cast<long>(after.gdiObjects) - static_cast<long>(before.gdiObjects), kGuiObjectAllowance)
            << dialog << ": GDI objects";
        EXPECT_LE(static_cast<long>(after.userObjects) - static_cast<long>(before.userObjects), kGuiObjectAllowance)
            << dialog << ": USER objects";
    }
    const Floor& floor = PlainDialogFloor();
    const double dialogs = session.dialogs;
    const long long crtAllowance = kHeapAllowance + static_cast<long long>(dialogs * floor.crtHeap);
    const long long heapsAllowance = kHeapAllowance + static_cast<long long>(dialogs * floor.processHeaps);
    // The heap's own empty groups are no growth of the session's.
    const long long crtGrowth =
        static_cast<long long>(after.crtHeapInUse) - before.crtHeapInUse - growth.crtEmptyGroupBytes;
    const long long heapsGrowth =
        static_cast<long long>(after.processHeapsInUse) - before.processHeapsInUse - growth.emptyGroupBytes;
    printf("  heaps: %.1f bytes a run (C runtime %.1f) besides the heap's own empty groups; a plain dialog keeps "
           "%.1f; allowance %lld bytes\n",
           static_cast<double>(heapsGrowth) / session.runs, static_cast<double>(crtGrowth) / session.runs,
           floor.processHeaps, heapsAllowance);
    fflush(stdout);
    EXPECT_LE(crtGrowth, crtAllowance) << dialog << ": C runtime heap";
    EXPECT_LE(heapsGrowth, heapsAllowance) << dialog << ": heaps of the process";
}

// The instrument first: a window, an event, a brush and a heap block taken on
// purpose must show in the counters, or the long session would pass blind.
TEST(Counters, SeeWhatALeakTakes)
{
    HeapBlocks blocksBefore = HeapBlocks::Take();
    ProcessCounters before = ProcessCounters::Take();
    HWND window = CreateWindowA("STATIC", "leak", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    // A hundred blocks of 1,000 bytes, as a leak in a loop looks; volatile so the
    // compiler cannot drop the allocations it sees unused.
    std::vector<char*> blocks;
    for (int i = 0; i < 100; ++i) {
        char* volatile block = static_cast<char*>(malloc(1000));
        block[0] = 1;
        blocks.push_back(static_cast<char*>(block));
    }
    // And 2,000 small ones, of a size that Wine 10's low-fragmentation heap serves from its
    // groups: a leak of those must not pass for the heap's own empty groups.
    for (int i = 0; i < 2000; ++i) {
        char* volatile block = static_cast<char*>(malloc(40));
        block[0] = 1;
        blocks.push_back(static_cast<char*>(block));
    }
    ProcessCounters during = ProcessCounters::Take();
    HeapBlocks blocksDuring = HeapBlocks::Take();
    HeapBlocks::Growth growth = HeapBlocks::NewBlocks(blocksBefore, blocksDuring, 0);
    EXPECT_GE(growth.crtBytes - growth.crtEmptyGroupBytes, 100 * 1000 + 2000 * 40)
        << "the new blocks of the C runtime's heap, besides the heap's own empty groups";
    for (char* block : blocks)
        free(block);
    DeleteObject(brush);
    CloseHandle(event);
    DestroyWindow(window);
    printf("  before: %s\n  taken:  %s\n", before.Describe().c_str(), during.Describe().c_str());
    g_reported.guiObjects = during.gdiObjects > before.gdiObjects && during.userObjects > before.userObjects;
    g_reported.handles = during.handles > before.handles;
    g_reported.windows = during.threadWindows > before.threadWindows;
    g_reported.crtHeap = during.crtHeapInUse >= before.crtHeapInUse + 100000;
    g_reported.processHeaps = during.processHeapsInUse >= before.processHeapsInUse + 100000;
    // Under Wine 8 GetGuiResources and GetProcessHandleCount report 0; the other
    // counters must see the leak, or the long session proves nothing.
    EXPECT_TRUE(g_reported.windows) << "EnumThreadWindows misses a window";
    EXPECT_TRUE(g_reported.crtHeap || g_reported.processHeaps) << "neither heap walk sees 100,000 bytes in 100 blocks";
    ProcessCounters after = ProcessCounters::Take();
    EXPECT_EQ(after.threadWindows, before.threadWindows);
}

class LongSession : public ::testing::Test {
protected:
    void SetUp() override { fixtures::last_file_key::Remove(); }
    void TearDown() override { fixtures::last_file_key::Remove(); }
    fixtures::TempFolder folder;
};

// Export of two objects of the file and one new one: Add all, OK, the author
// warnings for Beta and the New row answered Yes; all three names come back in
// row order.
void TransferTypicalUse(const std::string& directory, int run)
{
    transfer_host::Call call;
    call.mode = transfer_host::kExport;
    call.directory = directory;
    call.fileName = "session.kvd";
    call.currentAuthor = "jdoe";
    call.currentWellId = "W-17";
    call.candidates = { "NewOne", "Beta", "Alpha" };
    std::vector<std::string> warnings;
    transfer_host::Outcome outcome;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    for (int i = 0; i < 2; ++i) {
        user.When("Warning", [&](Dialog& w) {
            warnings.push_back(w.Text(IDC_WARNING_TEXT));
            w.Click(IDYES);
        });
    }
    user.Run([&] { outcome = transfer_host::CallImpExp(call); });
    ASSERT_EQ(warnings.size(), 2u) << "run " << run;
    EXPECT_EQ(warnings[0].rfind("Object = Beta\n", 0), 0u) << "run " << run << ": " << warnings[0];
    EXPECT_EQ(warnings[1].rfind("Object = NewOne\n", 0), 0u) << "run " << run << ": " << warnings[1];
    EXPECT_EQ(outcome.result, 1) << "run " << run;
    EXPECT_EQ(outcome.names, (std::vector<std::string>{ "Alpha", "Beta", "NewOne" })) << "run " << run;
}

TEST_F(LongSession, TransferDialogGivesBackWhatItTakes)
{
    folder.Write("session.kvd", transfer_host::KvdText({ { "Alpha", "jdoe", "1", "W-17", "2000-12-05 14:07" },
                                                         { "Beta", "kim", "1", "W-17", "2000-12-05 14:07" } }));
    for (int i = 0; i < kWarmUpRuns; ++i)
        TransferTypicalUse(folder.Path(), -1 - i);
    PlainDialogFloor();
    HeapBlocks blocksBefore = HeapBlocks::Take();
    ProcessCounters before = ProcessCounters::Take();
    for (int i = 0; i < g_runs && !HasFatalFailure(); ++i)
        TransferTypicalUse(folder.Path(), i);
    ProcessCounters after = ProcessCounters::Take();
    HeapBlocks blocksAfter = HeapBlocks::Take();
    // The dialog and its two author warnings.
    ExpectReturnedToStart({ "transfer dialog", g_runs, 3 * g_runs }, before, after, blocksBefore, blocksAfter);
}

browser_host::FileObject SessionObject(const std::string& name)
{
    return { name, "Smith", "1", "W-17", "2024-03-05 14:07",
             { { "A", "", 1, "a", "1", "" }, { "B", "A", 1, "b", "2", "" }, { "C", "", 1, "c", "3", "" } } };
}

// Opens one file, picks the other in the combo box (a refresh), runs the three
// tree commands on it, and closes.
void BrowserTypicalUse(const std::string& directory, int run)
{
    std::string afterPick, afterExpand;
    int itemsAfterPick = 0, itemsAfterCommands = 0;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_TRUE(d.Combo(IDC_FILE_COMBO).Pick("second.kvd")) << "run " << run;
        dialog_driver::TreeView tree = d.Tree(IDC_TREE);
        afterPick = tree.Text(tree.Root());
        itemsAfterPick = tree.Count();
        d.Click(ID_EXPAND_TREE);
        afterExpand = browser_host::MarkedTree(tree);
        d.Click(ID_COLLAPSE_TREE);
        tree.Select(tree.Root());
        d.Click(ID_EXPAND_NODE);
        itemsAfterCommands = tree.Count();
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, directory, "first.kvd");
    EXPECT_EQ(afterPick.rfind("Second - Smith", 0), 0u) << "run " << run << ": " << afterPick;
    EXPECT_EQ(afterExpand.find("+ "), std::string::npos) << "run " << run << ": everything open\n" << afterExpand;
    EXPECT_GT(itemsAfterPick, 0) << "run " << run;
    EXPECT_EQ(itemsAfterCommands, itemsAfterPick) << "run " << run << ": the commands add or lose no item";
}

TEST_F(LongSession, BrowserGivesBackWhatItTakes)
{
    folder.Write("first.kvd", browser_host::KvdText({ SessionObject("First") }));
    folder.Write("second.kvd", browser_host::KvdText({ SessionObject("Second"), SessionObject("Third") }));
    for (int i = 0; i < kWarmUpRuns; ++i)
        BrowserTypicalUse(folder.Path(), -1 - i);
    PlainDialogFloor();
    HeapBlocks blocksBefore = HeapBlocks::Take();
    ProcessCounters before = ProcessCounters::Take();
    for (int i = 0; i < g_runs && !HasFailure(); ++i)
        BrowserTypicalUse(folder.Path(), i);
    ProcessCounters after = ProcessCounters::Take();
    HeapBlocks blocksAfter = HeapBlocks::Take();
    ExpectReturnedToStart({ "browser", g_runs, g_runs }, before, after, blocksBefore, blocksAfter);
}

// Find, Copy and the item menu: Ctrl+F, a text and Enter in the Find dialog, Escape;
// Ctrl+C; a right click on the first object and its Copy with Everything Under It. The
// clipboard is read once the browser has closed: Wine 8 keeps 2 KB of the process heap each
// time a program replaces clipboard data that it has read itself while it owned it (a plain
// Win32 program that does just that shows the same).
void BrowserFindAndCopy(const std::string& directory, int run)
{
    std::string found;
    ScriptedUser user;
    user.When(browser_host::kCaption, [](Dialog& d) { browser_host::PressKeyWith(d, 'F', browser_host::kControl); });
    user.When("Find", [](Dialog& f) {
        browser_host::Type(f, "b: 2");
        browser_host::PressKeyWith(f, VK_RETURN, browser_host::kNoModifier);
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        dialog_driver::TreeView tree = d.Tree(IDC_TREE);
        found = tree.Selected() ? tree.Text(tree.Selected()) : "";
        browser_host::PressKeyWith(Dialog(dialog_driver::FindThreadDialog(dialog_driver::Caption("Find"))), VK_ESCAPE,
                                   browser_host::kNoModifier);
    });
    user.When(browser_host::kCaption, [](Dialog& d) {
        d.SetFocus(IDC_TREE);
        browser_host::PressKeyWith(d, 'C', browser_host::kControl);
    });
    user.When(browser_host::kCaption,
              [](Dialog& d) { browser_host::RightClick(d.Tree(IDC_TREE), d.Tree(IDC_TREE).Root()); });
    user.Until("the item menu", [] {
        if (!browser_host::OpenMenuWindow())
            return false;
        browser_host::ChooseFromMenu('E');
        return true;
    });
    user.When(browser_host::kCaption, [](Dialog& d) { d.Click(IDOK); });
    browser_host::RunBrowser(user, directory, "first.kvd");
    EXPECT_EQ(found, "b: 2 ") << "run " << run;
    EXPECT_EQ(browser_host::ReadClipboard().ansi.rfind("First - Smith", 0), 0u) << "run " << run;
}

TEST_F(LongSession, BrowserFindCopyAndMenuGiveBackWhatTheyTake)
{
    folder.Write("first.kvd", browser_host::KvdText({ SessionObject("First") }));
    for (int i = 0; i < kWarmUpRuns; ++i)
        BrowserFindAndCopy(folder.Path(), -1 - i);
    PlainDialogFloor();
    HeapBlocks blocksBefore = HeapBlocks::Take();
    ProcessCounters before = ProcessCounters::Take();
    for (int i = 0; i < g_runs && !HasFailure(); ++i)
        BrowserFindAndCopy(folder.Path(), i);
    ProcessCounters after = ProcessCounters::Take();
    HeapBlocks blocksAfter = HeapBlocks::Take();
    // The browser, its Find dialog and the item menu.
    ExpectReturnedToStart({ "browser's Find, Copy and menu", g_runs, 3 * g_runs }, before, after, blocksBefore, blocksAfter);
}

// The loaded modules by path, lower case.
std::set<std::string> LoadedModules()
{
    std::vector<HMODULE> modules(512);
    DWORD cbNeeded = 0;
    EnumProcessModules(GetCurrentProcess(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                       &cbNeeded);
    modules.resize(std::min<size_t>(cbNeeded / sizeof(HMODULE), modules.size()));
    std::set<std::string> paths;
    for (HMODULE module : modules) {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(module, path, MAX_PATH);
        std::string lower(path);
        for (char& c : lower)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        paths.insert(lower);
    }
    return paths;
}

int ExtensionModulesInChain()
{
    int count = 0;
    for (CDynLinkLibrary* dll = AfxGetModuleState()->m_pFirstDLL; dll != nullptr; dll = dll->m_pNextDLL)
        ++count;
    return count;
}

bool IsLoaded(HMODULE module)
{
    HMODULE found = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(module), &found) && found == module;
}

const int kLoads = 1000;
const int kDialogEvery = 100;

typedef int(__cdecl* BrowseProc)(const char*, const char*);
typedef int(__cdecl* ImpExpProc)(int, const char*, const char*, const char*, const char*, char**, int*);

// A host built on the class layer that loads derar.dll for one call and frees it again.
// This program imports derar.dll itself, so it loads a copy from a folder of its own:
// the copy is a module of its own, loaded at the first load and kept from then on (every
// later load is that module again), while it shares the class layer and Kiv.dll with the
// rest of the process, as a host's would.
TEST_F(LongSession, LoadingAndFreeingTheLibraryGivesBackWhatItTakes)
{
    char importedPath[MAX_PATH] = "";
    ASSERT_GT(GetModuleFileNameA(GetModuleHandleA("derar.dll"), importedPath, MAX_PATH), 0u);
    folder.MakeFolder("reload");
    std::string library = folder.CopyIn(importedPath, "reload\\derar.dll");
    folder.Write("session.kvd", transfer_host::KvdText({ { "Alpha", "jdoe", "1", "W-17", "2000-12-05 14:07" } }));

    HMODULE first = nullptr;
    auto RunOnce = [&](int load) {
        HMODULE module = LoadLibraryA(library.c_str());
        if (module == nullptr) {
            ADD_FAILURE() << "load " << load << ": LoadLibrary failed, error " << GetLastError();
            return;
        }
        EXPECT_NE(module, GetModuleHandleA(importedPath)) << "load " << load << ": the copy is a module of its own";
        if (first == nullptr)
            first = module;
        EXPECT_EQ(module, first) << "load " << load << ": the copy kept from its first load";
        auto browse = reinterpret_cast<BrowseProc>(reinterpret_cast<void*>(GetProcAddress(module, "KivBrowseDialog")));
        auto impExp = reinterpret_cast<ImpExpProc>(reinterpret_cast<void*>(GetProcAddress(module, "KivImpExpDialog")));
        EXPECT_TRUE(browse != nullptr && impExp != nullptr) << "load " << load;
        if (load % kDialogEvery == 0 && browse != nullptr && impExp != nullptr) {
            // The dialogs of the copy, with the copy's own templates and bitmaps.
            std::string seen;
            int result = -1;
            ScriptedUser user;
            if (load % (2 * kDialogEvery) == 0) {
                user.When(browser_host::kCaption, [&](Dialog& d) {
                    seen = d.Tree(IDC_TREE).Text(d.Tree(IDC_TREE).Root());
                    d.Click(IDOK);
                });
                user.Run([&] { result = browse(folder.Path().c_str(), "session.kvd"); });
                EXPECT_EQ(seen.rfind("Alpha - jdoe", 0), 0u) << "load " << load << ": " << seen;
                EXPECT_EQ(result, 1) << "load " << load;
            } else {
                char buffer[256] = "Alpha";
                char* names[] = { buffer };
                int count = 1;
                user.When("Kiv Export", [&](Dialog& d) {
                    seen = d.Text(IDC_AVAILABLE_GROUP);
                    d.Click(IDCANCEL);
                });
                user.Run([&] { result = impExp(0, folder.Path().c_str(), "session.kvd", "jdoe", "W-17", names, &count); });
                EXPECT_EQ(seen, "Objects Which Already Exists in the Export File") << "load " << load;
                EXPECT_EQ(result, 0) << "load " << load << ": cancelled";
            }
        }
        EXPECT_TRUE(FreeLibrary(module)) << "load " << load;
        EXPECT_TRUE(IsLoaded(module)) << "load " << load << ": the copy stays loaded after FreeLibrary";
    };

    // Both dialogs once before counting: the platform loads what they draw with on first use.
    for (int i = 0; i < kWarmUpRuns; ++i)
        RunOnce(i * kDialogEvery);
    PlainDialogFloor();
    std::set<std::string> modulesBefore = LoadedModules();
    int chainBefore = ExtensionModulesInChain();
    HeapBlocks blocksBefore = HeapBlocks::Take();
    ProcessCounters before = ProcessCounters::Take();
    DWORD start = GetTickCount();
    for (int load = 1; load <= kLoads && !HasFailure(); ++load)
        RunOnce(load);
    printf("  %d loads and frees, a dialog every %d: %lu ms\n", kLoads, kDialogEvery,
           static_cast<unsigned long>(GetTickCount() - start));
    ProcessCounters after = ProcessCounters::Take();
    HeapBlocks blocksAfter = HeapBlocks::Take();
    EXPECT_EQ(ExtensionModulesInChain(), chainBefore) << "extension modules left in the class layer's chain";
    EXPECT_EQ(LoadedModules(), modulesBefore);
    // A dialog every kDialogEvery loads; the loads of a module that stays loaded keep nothing.
    ExpectReturnedToStart({ "load and free", kLoads, kLoads / kDialogEvery }, before, after, blocksBefore, blocksAfter);
}

int RunsFrom(int argc, char** argv)
{
    int runs = 25;
    if (const char* env = getenv("DERAR_SOAK_RUNS"))
        runs = atoi(env);
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--runs=", 7) == 0)
            runs = atoi(argv[i] + 7);
    }
    return runs > 0 ? runs : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    g_runs = RunsFrom(argc, argv);
    return RUN_ALL_TESTS();
}

/* msvc_host.c - a host built with Microsoft's ABI from the kit alone: its include/,
 * lib/derar.lib, lib/Kiv.lib and src/derarhelp.c, compiled by clang for
 * *-windows-msvc and linked by lld-link, with no C runtime at all. It plays its own
 * user, as a person would, with a thread timer that runs inside every modal loop:
 *
 *   1. the export dialog shows the candidate that the file holds above and the new one
 *      below, "New"; F1 asks the help window for context 4; the person moves the row
 *      down, presses OK and answers the new row's author warning with Yes; both names
 *      come back, in the lower list's order;
 *   2. the host writes them through Kiv.dll's write calls, in update mode;
 *   3. the browser shows the written file: the kept object, then the two written ones.
 *
 * Each check that fails prints a line; the last line is "msvc host: N of M checks
 * passed". A step that waits too long for its window fails and ends every dialog.
 *
 *   msvc_host.exe     (DERAR_DRIVER_TIME_SCALE stretches the waits, as for the tests)
 */
#include <windows.h>
#include <commctrl.h>

#include "derar.h"
#include "derarhelp.h"
#include "kivapi.h"

/* The control ids of the dialogs' templates, as a person finds them on the screen. */
#define ID_UPPER_LIST 3552
#define ID_LOWER_LIST 3551
#define ID_ADD 3553
#define ID_WARNING_TEXT 1001
#define ID_TREE 3559

/* No C runtime: what the compiler may call for a struct copy or a zeroed array.
 * volatile keeps it from turning these loops into calls of themselves. */
void* __cdecl memset(void* target, int value, size_t size)
{
    volatile unsigned char* p = (volatile unsigned char*)target;
    while (size--)
        *p++ = (unsigned char)value;
    return target;
}

void* __cdecl memcpy(void* target, const void* source, size_t size)
{
    volatile unsigned char* p = (volatile unsigned char*)target;
    const unsigned char* q = (const unsigned char*)source;
    while (size--)
        *p++ = *q++;
    return target;
}

/* ---- reporting ------------------------------------------------------------------ */

static int g_checks, g_failures;

static void Say(const char* text)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)lstrlenA(text), &written, NULL);
}

static void Check(int ok, const char* what, const char* seen)
{
    static char line[1024];
    ++g_checks;
    if (ok)
        return;
    ++g_failures;
    wsprintfA(line, "FAILED: %s%s%s\n", what, seen ? ", seen: " : "", seen ? seen : "");
    Say(line);
}

static int StartsWith(const char* text, const char* prefix)
{
    while (*prefix)
        if (*text++ != *prefix++)
            return 0;
    return 1;
}

static int Same(const char* a, const char* b) { return lstrcmpA(a, b) == 0; }

/* ---- the help window ------------------------------------------------------------- */

static HWND g_helpCaller;
static UINT g_helpCommand;
static DWORD g_helpContext;
static char g_helpFile[64];
static int g_helpCount;

static void OnHelp(const DerarHelpRequest* request, void* context)
{
    (void)context;
    g_helpCaller = request->caller;
    g_helpCommand = request->command;
    g_helpContext = request->data;
    lstrcpynA(g_helpFile, request->file, sizeof g_helpFile);
    ++g_helpCount;
}

/* F1 as the keyboard gives it: WM_HELP about the focused control, which hands it up
 * to the dialog (a posted VK_F1 becomes no WM_HELP under Wine). */
static void PressF1(HWND dialog, DWORD context, const char* what)
{
    HELPINFO info;
    HWND target = GetFocus();
    if (target == NULL || (target != dialog && !IsChild(dialog, target)))
        target = dialog;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = target == dialog ? 0 : GetDlgCtrlID(target);
    info.hItemHandle = target;
    g_helpCount = 0;
    SendMessageA(target, WM_HELP, 0, (LPARAM)&info);
    Check(g_helpCount == 1, what, NULL);
    Check(g_helpCaller == dialog && g_helpCommand == HELP_CONTEXT && g_helpContext == context &&
              Same(g_helpFile, DERAR_HELP_FILE_NAME),
          what, g_helpFile);
}

/* ---- what a person sees ------------------------------------------------------------ */

static char g_text[512];

static const char* CellText(HWND dialog, int list, int row, int column)
{
    LVITEMA item;
    memset(&item, 0, sizeof item);
    item.iSubItem = column;
    item.pszText = g_text;
    item.cchTextMax = sizeof g_text;
    g_text[0] = '\0';
    SendMessageA(GetDlgItem(dialog, list), LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return g_text;
}

static int RowCount(HWND dialog, int list)
{
    return (int)SendMessageA(GetDlgItem(dialog, list), LVM_GETITEMCOUNT, 0, 0);
}

static const char* TreeText(HWND tree, HTREEITEM handle)
{
    TVITEMA item;
    memset(&item, 0, sizeof item);
    item.mask = TVIF_TEXT;
    item.hItem = handle;
    item.pszText = g_text;
    item.cchTextMax = sizeof g_text;
    g_text[0] = '\0';
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&item);
    return g_text;
}

/* Clicks are posted, as the mouse's are: a click that opens a nested dialog returns
 * to the loop first, and the next step plays that dialog. */
static void PostClick(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

/* ---- the scripted person ----------------------------------------------------------- */

typedef void (*StepAction)(HWND window);
typedef struct Step {
    const char* caption;  /* the top-level window of this thread that the step waits for */
    StepAction act;
} Step;

static const Step* g_steps;
static int g_stepCount, g_next;
static DWORD g_waitSince, g_waitLimit;
static const char* g_waitingFor;
static HWND g_found;

static BOOL CALLBACK FindCaption(HWND window, LPARAM wanted)
{
    char caption[128];
    if (IsWindowVisible(window) && GetWindowTextA(window, caption, sizeof caption) > 0 &&
        Same(caption, (const char*)wanted)) {
        g_found = window;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK CancelDialog(HWND window, LPARAM unused)
{
    (void)unused;
    if (IsWindowVisible(window))
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

static void CALLBACK Tick(HWND unusedWindow, UINT unusedMessage, UINT_PTR unusedId, DWORD unusedTime)
{
    static char line[256];
    (void)unusedWindow, (void)unusedMessage, (void)unusedId, (void)unusedTime;
    if (g_next >= g_stepCount) {
        /* Done, or given up: whatever is still open is ended. */
        if (g_waitingFor != NULL)
            EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
        return;
    }
    g_found = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindCaption, (LPARAM)g_steps[g_next].caption);
    if (g_found != NULL) {
        const Step* step = &g_steps[g_next++];
        step->act(g_found);
        g_waitSince = GetTickCount();
    } else if (GetTickCount() - g_waitSince > g_waitLimit) {
        wsprintfA(line, "FAILED: no window \"%s\" came within %lu ms\n", g_steps[g_next].caption,
                  (unsigned long)g_waitLimit);
        Say(line);
        ++g_checks, ++g_failures;
        g_waitingFor = g_steps[g_next].caption;
        g_next = g_stepCount;
        EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
    }
}

/* Plays steps while the host's call runs its modal loops. */
static void Play(const Step* steps, int count)
{
    g_steps = steps;
    g_stepCount = count;
    g_next = 0;
    g_waitingFor = NULL;
    g_waitSince = GetTickCount();
}

static int Played(void)
{
    Check(g_next == g_stepCount && g_waitingFor == NULL, "every step of the person was played", NULL);
    g_stepCount = 0;
    return g_waitingFor == NULL;
}

static DWORD TimeScale(void)
{
    char value[16];
    DWORD scale = 0, i, length = GetEnvironmentVariableA("DERAR_DRIVER_TIME_SCALE", value, sizeof value);
    for (i = 0; i < length && i < sizeof value && value[i] >= '0' && value[i] <= '9'; ++i)
        scale = scale * 10 + (DWORD)(value[i] - '0');
    return scale > 0 ? scale : 1;
}

/* ---- 1. the export dialog ---------------------------------------------------------- */

static void ChooseInExport(HWND dialog)
{
    Check(RowCount(dialog, ID_UPPER_LIST) == 1, "export: one row above, the file's object", NULL);
    Check(Same(CellText(dialog, ID_UPPER_LIST, 0, 0), "Deviation survey"), "export: the upper row's name",
          g_text);
    Check(Same(CellText(dialog, ID_UPPER_LIST, 0, 1), "A. Rahman"), "export: the upper row's author", g_text);
    Check(RowCount(dialog, ID_LOWER_LIST) == 1, "export: one row below, the new object", NULL);
    Check(Same(CellText(dialog, ID_LOWER_LIST, 0, 0), "Casing program"), "export: the lower row's name", g_text);
    Check(Same(CellText(dialog, ID_LOWER_LIST, 0, 1), "New"), "export: the lower row's author", g_text);
    PressF1(dialog, DERAR_HELP_CONTEXT_EXPORT, "export: F1 asks for context 4 of kiv.hlp");
    {
        LVITEMA state;
        memset(&state, 0, sizeof state);
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(GetDlgItem(dialog, ID_UPPER_LIST), LVM_SETITEMSTATE, 0, (LPARAM)&state);
    }
    SendMessageA(GetDlgItem(dialog, ID_ADD), BM_CLICK, 0, 0);
    Check(RowCount(dialog, ID_UPPER_LIST) == 0 && RowCount(dialog, ID_LOWER_LIST) == 2,
          "export: the chosen row moved down", NULL);
    Check(IsWindowEnabled(GetDlgItem(dialog, IDOK)), "export: OK is enabled", NULL);
    PostClick(dialog, IDOK);
}

static void AnswerWarning(HWND warning)
{
    GetDlgItemTextA(warning, ID_WARNING_TEXT, g_text, sizeof g_text);
    {
        /* The warning names the row it is about. */
        const char* at = g_text;
        int found = 0;
        for (; *at && !found; ++at)
            found = StartsWith(at, "Casing program");
        Check(found, "export: the warning is about the new row", g_text);
    }
    PostClick(warning, IDYES);
}

static const Step kExportSteps[] = {
    {"Kiv Export", ChooseInExport},
    {"Warning", AnswerWarning},
};

/* ---- 3. the browser ---------------------------------------------------------------- */

static void LookAtTheWrittenFile(HWND dialog)
{
    static const char* const expected[] = {"Kept - B. Okafor - 1 - NF-002 - ",
                                           "Deviation survey - A. Rahman - 4 - NF-001 - ",
                                           "Casing program - A. Rahman - 4 - NF-001 - "};
    HWND tree = GetDlgItem(dialog, ID_TREE);
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    int i;
    for (i = 0; i < 3; ++i) {
        Check(item != NULL && StartsWith(TreeText(tree, item), expected[i]),
              "browser: the objects of the written file, in its order", item != NULL ? g_text : "no item");
        if (item != NULL)
            item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item);
    }
    Check(item == NULL, "browser: no other object", NULL);
    PressF1(dialog, DERAR_HELP_CONTEXT_BROWSE, "browser: F1 asks for context 5 of kiv.hlp");
    PostClick(dialog, IDOK);
}

static const Step kBrowseSteps[] = {
    {"Browse Kiv File", LookAtTheWrittenFile},
};

/* ---- the host ---------------------------------------------------------------------- */

static const char kFile[] =
    "KVD 1\n"
    "object Kept \"B. Okafor\" 1 NF-002 \"1991-11-08 07:15\"\n"
    "value Test \"\" 1 Rate 1200 m3/d\n"
    "object \"Deviation survey\" \"A. Rahman\" 3 NF-001 \"1987-03-14 09:30\"\n"
    "value Survey \"\" 1 Depth 1200 m\n"
    "end\n";

static char g_directory[MAX_PATH], g_path[MAX_PATH];

static int MakeFile(void)
{
    HANDLE file;
    DWORD written = 0;
    char temp[MAX_PATH];
    if (!GetTempPathA(sizeof temp, temp))
        return 0;
    wsprintfA(g_directory, "%sderar-msvc-host-%lu\\", temp, (unsigned long)GetCurrentProcessId());
    CreateDirectoryA(g_directory, NULL);
    wsprintfA(g_path, "%swells.kvd", g_directory);
    file = CreateFileA(g_path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    WriteFile(file, kFile, sizeof kFile - 1, &written, NULL);
    CloseHandle(file);
    return written == sizeof kFile - 1;
}

static int WriteChosen(char** names, int count)
{
    char* message = NULL;
    int i, ok = KivAttach(&message) && KivBeginWrite(g_path, &message, KIV_WRITE_UPDATE);
    for (i = 0; ok && i < count; ++i)
        ok = KivPutObject(names[i], "A. Rahman", "4", "NF-001", "2024-05-06 07:08", &message) &&
             KivPutValue("Survey", "", 1, "MD", "500", "m", "", &message);
    if (ok)
        ok = KivCommitWrite(&message);
    Check(ok, "write: the chosen objects are written", message);
    KivAbandonWrite();
    KivDetach();
    return ok;
}

void __cdecl HostMain(void)
{
    static char buffers[2][256] = {"Deviation survey", "Casing program"};
    static char line[128];
    char* names[2];
    int count = 2, result;
    HWND help = DerarCreateHelpWindow(GetModuleHandleA(NULL), OnHelp, NULL);
    UINT_PTR timer = SetTimer(NULL, 0, 50, Tick);
    names[0] = buffers[0];
    names[1] = buffers[1];
    g_waitLimit = 10000 * TimeScale();
    wsprintfA(line, "msvc host: kit %s, exchange library %s\n", DERAR_VERSION_STRING, KIV_VERSION_STRING);
    Say(line);
    Check(help != NULL, "the help window is made", NULL);
    Check(MakeFile(), "the exchange file is made", g_path);

    Play(kExportSteps, 2);
    result = KivImpExpDialog(0, g_directory, "wells.kvd", "A. Rahman", "NF-001", names, &count);
    if (Played()) {
        Check(result == 1, "export: the dialog ends with OK", NULL);
        Check(count == 2 && Same(names[0], "Casing program") && Same(names[1], "Deviation survey"),
              "export: both names come back in the lower list's order", names[0]);
        if (result == 1 && count == 2 && WriteChosen(names, count)) {
            Play(kBrowseSteps, 1);
            KivBrowseDialog(g_directory, "wells.kvd");
            Played();
        }
    }

    KillTimer(NULL, timer);
    DerarDestroyHelpWindow(help);
    DeleteFileA(g_path);
    RemoveDirectoryA(g_directory);
    wsprintfA(line, "msvc host: %d of %d checks passed\n", g_checks - g_failures, g_checks);
    Say(line);
    ExitProcess(g_failures == 0 ? 0 : 1);
}

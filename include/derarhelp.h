/* derarhelp.h - a help window for a host of derar.dll: F1 and the Help buttons of
 * both dialogs open the host's own help, on every version of Windows.
 *
 * The dialogs ask for help as they always have, with WinHelpA(dialog, "kiv.hlp",
 * HELP_CONTEXT, context): 3 for the transfer dialog in import mode, 4 in export mode,
 * 5 for the browser. WinHelpA hands each request to a top-level window of the class
 * "MS_WINHELP" (as a WM_COPYDATA message); current Windows has no viewer of its own to
 * start for it, so without such a window F1 does nothing there. A host that calls
 * DerarCreateHelpWindow once, at start, has such a window: each request comes to the
 * host's handler with the help file and the context, and the host shows its own help
 * (a page of its manual, a web page, a .chm topic) for it.
 *
 *   static void OnHelp(const DerarHelpRequest* request, void* host)
 *   {
 *       if (request->command == HELP_CONTEXT && request->data == DERAR_HELP_CONTEXT_EXPORT)
 *           ShellExecuteA(NULL, "open", "https://example.com/manual/export.html", NULL, NULL, SW_SHOWNORMAL);
 *   }
 *   ...
 *   HWND help = DerarCreateHelpWindow(instance, OnHelp, NULL);   // once, on the UI thread
 *   ...
 *   DerarDestroyHelpWindow(help);                               // at the end
 *
 * Compile derarhelp.c into the host (as C or C++, with any compiler for Windows); it
 * needs user32 and kernel32 only, and calls no function of a C or C++ runtime. The window is hidden and lives on
 * the thread that created it, which must dispatch messages (a host's UI thread does;
 * the dialogs' modal loops do). A request from a window of another process goes to that
 * process's own help window, if it has one; one that does not answer within a quarter
 * of a second is given up, so a hung program never holds up the host's dialog.
 */
#ifndef DERARHELP_H
#define DERARHELP_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The help file and the contexts that the dialogs ask for. */
#define DERAR_HELP_FILE_NAME "kiv.hlp"
#define DERAR_HELP_CONTEXT_IMPORT 3
#define DERAR_HELP_CONTEXT_EXPORT 4
#define DERAR_HELP_CONTEXT_BROWSE 5

/* One request, as WinHelpA delivered it. */
typedef struct DerarHelpRequest {
    HWND caller;      /* the window that asked: the dialog */
    UINT command;     /* HELP_CONTEXT from the dialogs; other programs may send others (HELP_QUIT, ...) */
    DWORD data;       /* for HELP_CONTEXT: the context number */
    const char* file; /* the help file as the caller named it ("kiv.hlp"), "" when it named none;
                         valid until the handler returns */
} DerarHelpRequest;

/* Called on the help window's thread for every request, while the caller waits. */
typedef void (*DerarHelpHandler)(const DerarHelpRequest* request, void* context);

/* Creates the hidden "MS_WINHELP" window of this process; context is handed to the
 * handler with each request. NULL on failure (GetLastError says why). */
HWND DerarCreateHelpWindow(HINSTANCE instance, DerarHelpHandler handler, void* context);

/* Destroys a window made by DerarCreateHelpWindow; harmless with NULL. */
void DerarDestroyHelpWindow(HWND window);

/* Reads the request that WinHelpA sends in WM_COPYDATA (wParam: caller, lParam: data).
 * The file name is copied into file (fileSize bytes, cut if longer) and
 * request->file points to it. FALSE when data is not a complete help request. A
 * host with a window of its own for the requests uses this instead of the window. */
BOOL DerarReadHelpRequest(HWND caller, const COPYDATASTRUCT* data, DerarHelpRequest* request, char* file,
                          int fileSize);

#ifdef __cplusplus
}
#endif

#endif /* DERARHELP_H */

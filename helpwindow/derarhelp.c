/* derarhelp.c - the help window for a host of derar.dll (see derarhelp.h).
 *
 * Plain Win32 and no function of the C runtime, so that a host built with any
 * compiler, even one that links no runtime, can compile it in. */
#include "derarhelp.h"

/* WinHelpA sends its requests to the first top-level window of this class. */
static const char kClassName[] = "MS_WINHELP";
/* dwData of the WM_COPYDATA that carries a help request. */
#define DERAR_HELP_SIGNATURE 0xA1DE505

/* The request block: WORD size, WORD command, LONG data, LONG reserved, WORD offset
 * of the file name, WORD offset of extra data (offsets from the block's start). */
#define BLOCK_HEADER_SIZE 16
#define FILE_NAME_MAX 260
/* How long a request passed on to another program's help window may take. That window
 * answers at once when its thread is the one waiting in WinHelpA for this window; one
 * that does not answer in this time is hung or busy, and the thread passing it on (the
 * host's, with its dialog) must not wait for it. */
#define FORWARD_TIMEOUT_MS 250

typedef struct HelpWindowState {
    DerarHelpHandler handler;
    void* context;
    BOOL* adopted;  /* until WM_NCCREATE: tells DerarCreateHelpWindow that the window frees the state */
} HelpWindowState;

static WORD ReadWord(const BYTE* at) { return (WORD)(at[0] | (at[1] << 8)); }

static DWORD ReadDword(const BYTE* at)
{
    return (DWORD)at[0] | ((DWORD)at[1] << 8) | ((DWORD)at[2] << 16) | ((DWORD)at[3] << 24);
}

BOOL DerarReadHelpRequest(HWND caller, const COPYDATASTRUCT* data, DerarHelpRequest* request, char* file,
                          int fileSize)
{
    const BYTE* block;
    DWORD size, nameAt;
    int length = 0;
    if (data == NULL || request == NULL || data->dwData != DERAR_HELP_SIGNATURE || data->lpData == NULL ||
        data->cbData < BLOCK_HEADER_SIZE)
        return FALSE;
    block = (const BYTE*)data->lpData;
    size = data->cbData;
    request->caller = caller;
    request->command = ReadWord(block + 2);
    request->data = ReadDword(block + 4);
    request->file = "";
    if (file == NULL || fileSize <= 0)
        return TRUE;
    /* The block comes from another module: a name offset that does not fit gives no
     * name, and a name without its zero ends with the block. */
    nameAt = ReadWord(block + 12);
    if (nameAt >= BLOCK_HEADER_SIZE && nameAt < size) {
        const char* name = (const char*)block + nameAt;
        DWORD room = size - nameAt;
        while ((DWORD)length < room && length < fileSize - 1 && name[length] != '\0') {
            file[length] = name[length];
            ++length;
        }
    }
    file[length] = '\0';
    request->file = file;
    return TRUE;
}

/* FindWindow gives WinHelpA one window for the whole desktop: a request from a window
 * of another process goes to that process's own help window. TRUE if passed on. */
static BOOL ForwardToCallersProcess(HWND self, HWND caller, COPYDATASTRUCT* data, LRESULT* result)
{
    DWORD callerProcess = 0;
    HWND other = NULL;
    if (caller == NULL || !GetWindowThreadProcessId(caller, &callerProcess) ||
        callerProcess == GetCurrentProcessId())
        return FALSE;
    while ((other = FindWindowExA(NULL, other, kClassName, NULL)) != NULL) {
        DWORD process = 0;
        GetWindowThreadProcessId(other, &process);
        if (other != self && process == callerProcess) {
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutA(other, WM_COPYDATA, (WPARAM)caller, (LPARAM)data, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                     FORWARD_TIMEOUT_MS, &answer))
                answer = FALSE; /* hung, busy or gone: the request is given up */
            *result = (LRESULT)answer;
            return TRUE;
        }
    }
    *result = FALSE;  /* that program has no help window: its request is not ours to answer */
    return TRUE;
}

static LRESULT CALLBACK HelpWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HelpWindowState* state = (HelpWindowState*)GetWindowLongPtrA(window, GWLP_USERDATA);
    switch (message) {
    case WM_NCCREATE: {
        const CREATESTRUCTA* create = (const CREATESTRUCTA*)lParam;
        state = (HelpWindowState*)create->lpCreateParams;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)state);
        *state->adopted = TRUE;
        state->adopted = NULL;
        break;
    }
    case WM_COPYDATA: {
        DerarHelpRequest request;
        char file[FILE_NAME_MAX];
        LRESULT forwarded;
        if (ForwardToCallersProcess(window, (HWND)wParam, (COPYDATASTRUCT*)lParam, &forwarded))
            return forwarded;
        if (state == NULL || !DerarReadHelpRequest((HWND)wParam, (const COPYDATASTRUCT*)lParam, &request, file,
                                                   (int)sizeof file))
            return FALSE;
        if (state->handler != NULL)
            state->handler(&request, state->context);
        return TRUE;
    }
    case WM_CLOSE:
        return 0;  /* only DerarDestroyHelpWindow ends it: later requests must find it */
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (state != NULL)
            HeapFree(GetProcessHeap(), 0, state);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND DerarCreateHelpWindow(HINSTANCE instance, DerarHelpHandler handler, void* context)
{
    WNDCLASSA windowClass;
    HelpWindowState* state;
    HWND window;
    BOOL adopted = FALSE;
    windowClass.style = 0;
    windowClass.lpfnWndProc = HelpWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = NULL;
    windowClass.hCursor = NULL;
    windowClass.hbrBackground = NULL;
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return NULL;
    state = (HelpWindowState*)HeapAlloc(GetProcessHeap(), 0, sizeof *state);
    if (state == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    state->handler = handler;
    state->context = context;
    state->adopted = &adopted;
    /* Top-level (WinHelpA looks only at those) and never shown. */
    window = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "Help", WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance,
                             state);
    /* A window that failed after WM_NCCREATE has freed the state with its WM_NCDESTROY. */
    if (window == NULL && !adopted)
        HeapFree(GetProcessHeap(), 0, state);
    return window;
}

void DerarDestroyHelpWindow(HWND window)
{
    if (window != NULL)
        DestroyWindow(window);
}

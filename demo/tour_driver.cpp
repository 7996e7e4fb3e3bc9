// tour_driver.cpp - the tour's scripted person: a thread timer, window lookups, posted clicks.
#include "tour_driver.h"

#include <commctrl.h>
#include <dlgs.h>

#include <cstdio>
#include <cstring>

namespace tour {

namespace {

TourScript* g_running = nullptr;   // the script whose timer ticks (one at a time)
const UINT kTickMs = 40;

const char kDialogClass[] = "#32770";

struct Search {
    std::function<bool(HWND)> accept;
    HWND found = nullptr;
};

BOOL CALLBACK VisitThreadWindow(HWND hwnd, LPARAM lParam)
{
    Search* search = reinterpret_cast<Search*>(lParam);
    if (IsWindowVisible(hwnd) && search->accept(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The first visible top-level window of this thread that accept takes.
HWND FindThreadWindow(std::function<bool(HWND)> accept)
{
    Search search{std::move(accept)};
    EnumThreadWindows(GetCurrentThreadId(), VisitThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsDialog(HWND hwnd)
{
    char name[16] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return lstrcmpA(name, kDialogClass) == 0;
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM lParam)
{
    char name[16] = "";
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpiA(name, "Static") == 0) {
        const std::string text = WindowText(hwnd);
        if (!text.empty()) {
            std::string* all = reinterpret_cast<std::string*>(lParam);
            if (!all->empty()) *all += "\n";
            *all += text;
        }
    }
    return TRUE;
}

// A lambda is no CALLBACK on i686 (stdcall): enumeration procedures are named functions.
BOOL CALLBACK CancelDialog(HWND hwnd, LPARAM)
{
    if (IsWindowVisible(hwnd) && IsDialog(hwnd))
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}

HANDLE g_watchdogDisarmed = nullptr;

DWORD WINAPI WatchdogThread(LPVOID parameter)
{
    const DWORD timeout = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(parameter));
    if (WaitForSingleObject(g_watchdogDisarmed, timeout) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "tour: FAILED: the tour did not end within %lu s; stopped by the watchdog\n",
                     static_cast<unsigned long>(timeout / 1000));
        std::fflush(stderr);
        ExitProcess(3);
    }
    return 0;
}

} // namespace

TourScript::TourScript(DWORD stepTimeoutMs) : m_stepTimeout(stepTimeoutMs) {}

TourScript::~TourScript()
{
    if (m_timer) KillTimer(nullptr, m_timer);
    if (g_running == this) g_running = nullptr;
}

void TourScript::Then(const std::string& what, Step step)
{
    if (m_steps.empty()) m_stepStarted = GetTickCount();
    m_steps.push_back({what, std::move(step)});
}

void TourScript::Fail(const std::string& why)
{
    m_failures.push_back(why);
    m_failed = true;
    m_steps.clear();
}

void CALLBACK TourScript::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_running) g_running->Tick();
}

void TourScript::Tick()
{
    if (m_busy) return;
    m_busy = true;
    if (m_failed) {
        CancelAllDialogs(); // until the host call returns
    } else if (!m_steps.empty()) {
        if (m_steps.front().step()) {
            m_steps.pop_front();
            m_stepStarted = GetTickCount();
        } else if (GetTickCount() - m_stepStarted > m_stepTimeout) {
            Fail("waited " + std::to_string(m_stepTimeout / 1000) + " s for: " + m_steps.front().what);
        }
    }
    m_busy = false;
}

bool TourScript::Run(const std::function<void()>& hostCall)
{
    m_failed = false;
    m_stepStarted = GetTickCount();
    g_running = this;
    m_timer = SetTimer(nullptr, 0, kTickMs, OnTimer);
    hostCall();
    // Steps after the call's modal loops (or a call that showed nothing) tick here.
    while (!m_steps.empty() && !m_failed) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kTickMs, QS_ALLINPUT);
    }
    KillTimer(nullptr, m_timer);
    m_timer = 0;
    g_running = nullptr;
    const bool ok = !m_failed;
    m_failed = false;
    m_steps.clear();
    return ok;
}

HWND FindDialog(const std::string& caption)
{
    return FindThreadWindow([&](HWND hwnd) { return IsDialog(hwnd) && WindowText(hwnd) == caption; });
}

HWND FindDialogWithControl(int controlId)
{
    return FindThreadWindow([&](HWND hwnd) { return IsDialog(hwnd) && GetDlgItem(hwnd, controlId); });
}

HWND FindMessageBox(const std::vector<std::string>& dialogCaptions)
{
    return FindThreadWindow([&](HWND hwnd) {
        if (!IsDialog(hwnd) || GetDlgItem(hwnd, cmb13)) return false;
        const std::string caption = WindowText(hwnd);
        for (const std::string& known : dialogCaptions)
            if (caption == known) return false;
        return true;
    });
}

std::string WindowText(HWND hwnd)
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    const int length = GetWindowTextA(hwnd, &text[0], static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

std::string ControlText(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control ? WindowText(control) : std::string();
}

std::string MessageBoxText(HWND messageBox)
{
    std::string text;
    EnumChildWindows(messageBox, CollectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

bool Click(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    if (!control || !IsWindowEnabled(control)) return false;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return true;
}

void CancelAllDialogs()
{
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
}

int ListRowCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListCell(HWND list, int row, int column)
{
    // The list copies at most the buffer's size: grow until the text fits.
    for (size_t size = 256;; size *= 2) {
        std::string text(size, '\0');
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = &text[0];
        item.cchTextMax = static_cast<int>(size);
        const LRESULT length = SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                            reinterpret_cast<LPARAM>(&item));
        if (length < static_cast<LRESULT>(size) - 1 || size >= 65536) {
            text.resize(strlen(text.c_str()));
            return text;
        }
    }
}

int FindListRow(HWND list, const std::string& name)
{
    for (int row = 0, rows = ListRowCount(list); row < rows; ++row)
        if (ListCell(list, row, 0) == name) return row;
    return -1;
}

void SelectListRow(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ArmWatchdog(DWORD timeoutMs)
{
    g_watchdogDisarmed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WatchdogThread,
                                 reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(timeoutMs)), 0, nullptr);
    if (thread) CloseHandle(thread);
}

void DisarmWatchdog()
{
    if (g_watchdogDisarmed) SetEvent(g_watchdogDisarmed);
}

int FinishTour(const char* name, const std::vector<std::string>& failures, int saved, const std::string& directory)
{
    DisarmWatchdog();
    for (const std::string& failure : failures) std::fprintf(stderr, "%s: FAILED: %s\n", name, failure.c_str());
    std::printf("%s: %d screenshots in %s\n", name, saved, directory.c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    return failures.empty() ? 0 : 1;
}

} // namespace tour

// demo_start_tests.cpp - derardemo.exe started as a person starts it, one case a row: its
// window and the samples it lists, or the exit code it refuses its arguments with. The
// tours drive the demo's window in a process of their own; this is the program that ships.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sample_files.h"
#include "scripted_user.h"

namespace {

int g_failures = 0;

void Expect(bool ok, const std::string& what)
{
    if (!ok) {
        std::printf("FAILED: %s\n", what.c_str());
        ++g_failures;
    }
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return "[" + text + "]";
}

// What a person sees of a started demo, and how it ended.
struct Seen {
    bool started = false;
    bool window = false;
    std::string caption;
    std::vector<std::string> samples; // the entries of the sample file box
    bool ended = false;
    DWORD exitCode = 0;
};

struct WindowOf {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM context)
{
    WindowOf* search = reinterpret_cast<WindowOf*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process != search->process || !IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

BOOL CALLBACK FindComboBox(HWND hwnd, LPARAM context)
{
    char name[32] = "";
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpiA(name, "ComboBox") != 0) return TRUE;
    *reinterpret_cast<HWND*>(context) = hwnd;
    return FALSE;
}

// The entries of another process's drop-down list, each read as the box shows it when
// chosen: the platform carries WM_GETTEXT's text across processes (a CB_GETLBTEXT sent from
// another process faults under Wine 8), and GetWindowText reads no other process's control.
std::vector<std::string> ComboEntries(HWND combo)
{
    std::vector<std::string> entries;
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        char text[MAX_PATH] = "";
        SendMessageA(combo, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

// Starts derardemo.exe with arguments. When its window comes, reads it and closes it as
// its close box does; then waits for the program to end.
Seen StartDemo(const std::string& arguments)
{
    Seen seen;
    std::string command = "\"" + ProgramDirectory() + "derardemo.exe\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return seen;
    seen.started = true;
    const DWORD limit = 20000 * hostkit::TimeScale();
    WaitForInputIdle(process.hProcess, limit);
    for (DWORD begin = GetTickCount(); GetTickCount() - begin < limit;) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
        WindowOf search = { process.dwProcessId, nullptr };
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            seen.window = true;
            char caption[128] = "";
            GetWindowTextA(search.found, caption, sizeof caption);
            seen.caption = caption;
            HWND combo = nullptr;
            EnumChildWindows(search.found, FindComboBox, reinterpret_cast<LPARAM>(&combo));
            if (combo) seen.samples = ComboEntries(combo);
            PostMessageA(search.found, WM_CLOSE, 0, 0);
            break;
        }
        Sleep(50);
    }
    seen.ended = WaitForSingleObject(process.hProcess, limit) == WAIT_OBJECT_0;
    if (!seen.ended) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &seen.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return seen;
}

void RemoveFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(folder + name + "\\");
            else
                DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

void TestStarts()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    // Named without its last separator: a quoted argument ending in \" would go on past the quote.
    const std::string named = WithSeparator(temp) + "derardemo-start-" + std::to_string(GetCurrentProcessId());
    const std::string folder = named + "\\";
    const std::string bundled = ProgramDirectory() + "samples\\";
    const std::vector<std::string> samples = ListExchangeFiles(bundled);
    Expect(!samples.empty(), "the bundled samples: none in " + bundled);

    const struct {
        const char* what;
        std::string arguments;
        bool window;    // the demo window comes, with every sample listed
        DWORD exitCode; // once it is closed, or when it refuses its arguments
    } cases[] = {
        { "no arguments", "", true, 0 },
        { "--samples FOLDER", "--samples \"" + named + "\"", true, 0 },
        { "--samples in a folder that cannot be made", "--samples \"" + folder + "missing\\inner\"", false, 1 },
        { "--samples without a folder", "--samples", false, 2 },
        { "--tour FOLDER (the tours are a program of their own)", "--tour \"" + named + "\"", false, 2 },
    };
    for (const auto& c : cases) {
        const Seen seen = StartDemo(c.arguments);
        const std::string what = std::string(c.what) + ": ";
        if (!seen.started) {
            Expect(false, what + "the program did not start");
            continue;
        }
        Expect(seen.window == c.window, what + (c.window ? "no window came" : "a window came"));
        Expect(seen.ended, what + "the program did not end");
        Expect(seen.exitCode == c.exitCode,
               what + "exit code " + std::to_string(seen.exitCode) + ", expected " + std::to_string(c.exitCode));
        if (!c.window) continue;
        Expect(seen.caption == "derar demo host", what + "the window is titled \"" + seen.caption + "\"");
        Expect(seen.samples == samples,
               what + "the window lists " + Joined(seen.samples) + ", expected " + Joined(samples));
    }
    // The samples and their damaged files, copied where the demo shows them from.
    Expect(ListExchangeFiles(folder) == samples,
           "--samples FOLDER: the folder holds " + Joined(ListExchangeFiles(folder)) + ", expected " + Joined(samples));
    Expect(ListExchangeFiles(folder + "damaged\\") == ListExchangeFiles(bundled + "damaged\\"),
           "--samples FOLDER: the damaged files were not copied");
    RemoveFolder(folder);
}

} // namespace

int main()
{
    TestStarts();
    std::printf(g_failures == 0 ? "all passed\n" : "%d failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}

// bench_host.h - what the dialog benchmarks share: the host window that owns the
// dialogs, a watchdog, and the files they are shown.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

inline HWND& BenchHost()
{
    static HWND host = nullptr;
    return host;
}

// A visible, active top-level window whose procedure sees the dialog loop's
// WM_ENTERIDLE: the owner of the dialogs a benchmark runs.
inline HWND MakeBenchHost(WNDPROC proc)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DerarBenchHost";
    RegisterClassA(&wc);
    HWND host = CreateWindowExA(0, wc.lpszClassName, "bench host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ShowWindow(host, SW_SHOW);
    SetActiveWindow(host);
    BenchHost() = host;
    return host;
}

// Each dialog is owned by the window active when it is called, and only its owner
// hears that it is idle: the host is made active again before every run, as another
// program on the same desktop may have taken the activation.
inline void ActivateBenchHost()
{
    SetForegroundWindow(BenchHost());
    SetActiveWindow(BenchHost());
}

inline DWORD WINAPI BenchWatchdog(LPVOID)
{
    Sleep(60 * 60 * 1000);
    std::fprintf(stderr, "benchmark: no end after an hour\n");
    ExitProcess(3);
}

// Ends the process with exit code 3 when the benchmark has not ended after an hour:
// a dialog that never reports idle must not hang the run. (A named WINAPI function:
// in 32 bits a lambda converts only to a function of the C calling convention.)
inline void StartBenchWatchdog()
{
    CreateThread(nullptr, 0, BenchWatchdog, nullptr, 0, nullptr);
}

// A folder of this benchmark's own under the temporary folder, ending in a backslash.
inline std::string BenchTempFolder(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

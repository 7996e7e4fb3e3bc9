// dpi_facts.cpp - what the platform says of DPI, for the tests and the tours. Apart from
// dpi_run.cpp: a program that only reads these facts changes no DPI.
#include "dpi_run.h"

namespace hostkit {

namespace {

// user32's DPI calls, absent before Windows 10 version 1607 (and in the headers of this build).
using DpiContext = HANDLE;
// DPI_AWARENESS_CONTEXT_SYSTEM_AWARE: coordinates in the pixels of the system's DPI, the screen's.
// (Wine 10 takes its monitors for 96 DPI whatever the system's, so a thread aware per monitor
// would get the enlarged window's 96 DPI coordinates back.)
const DpiContext kSystemAware = reinterpret_cast<DpiContext>(static_cast<INT_PTR>(-2));

template <typename Function>
Function User32(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

}  // namespace

int ThreadDpiAwareness()
{
    const auto current = User32<DpiContext(WINAPI*)()>("GetThreadDpiAwarenessContext");
    const auto awareness = User32<int(WINAPI*)(DpiContext)>("GetAwarenessFromDpiAwarenessContext");
    return current && awareness ? awareness(current()) : -1;
}

int WindowDpi(HWND window)
{
    if (const auto forWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow"))
        return static_cast<int>(forWindow(window));
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return dpi;
}

SIZE PhysicalWindowSize(HWND window)
{
    const auto setContext = User32<DpiContext(WINAPI*)(DpiContext)>("SetThreadDpiAwarenessContext");
    const DpiContext before = setContext ? setContext(kSystemAware) : nullptr;
    RECT rc = {};
    GetWindowRect(window, &rc);
    if (before)
        setContext(before);
    return SIZE{ rc.right - rc.left, rc.bottom - rc.top };
}

std::string WineVersion()
{
    const auto version = reinterpret_cast<const char*(CDECL*)()>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return version ? version() : "";
}

}  // namespace hostkit

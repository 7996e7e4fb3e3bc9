// dpi_run.h - a program of this Wine prefix run at another screen DPI, for the pictures and
// tests of the dialogs at 150 % and 200 %.
//
// The platform takes a process's DPI once, when the process starts, from the user's
// "Control Panel\Desktop" value LogPixels. RunAtDpi sets that value, starts the program,
// waits until the new process says it has taken its DPI (TellDpiTaken), puts the value
// back as it was, and then waits for the program to end: every other process of the
// prefix, before and after, keeps the DPI it had.
#ifndef HOSTKIT_DPI_RUN_H
#define HOSTKIT_DPI_RUN_H

#include <windows.h>

#include <string>

namespace hostkit {

// Runs commandLine (a program and its arguments, quoted as for CreateProcess) with the
// screen at dpi dots per inch; its standard output and error are this process's. True
// when it ran to its end within timeoutMs, its exit code in exitCode; otherwise error
// says what went wrong (a program that never told its DPI is ended after timeoutMs).
bool RunAtDpi(int dpi, const std::string& commandLine, DWORD timeoutMs, DWORD& exitCode, std::string& error);

// In a program that RunAtDpi started: takes this process's DPI now (GetDeviceCaps
// of the screen) and tells RunAtDpi, which then puts the registry back. Returns the
// DPI; nothing to tell when the program was started otherwise.
int TellDpiTaken();

// The quoted path of the running program, for a command line that starts it again.
std::string ThisProgram();

// What the platform says of DPI, through the calls of Windows 10 version 1607 and later,
// looked up at run time so that an older platform gives the fallbacks.
// The calling thread's DPI awareness: 0 unaware, 1 aware of the system's DPI, 2 per
// monitor; -1 where the platform cannot say.
int ThreadDpiAwareness();
// The DPI that window is drawn for (GetDpiForWindow); the screen's LOGPIXELSY without it.
int WindowDpi(HWND window);
// The window's size in the screen's own pixels, as a thread aware of the system's DPI sees
// it: larger than GetWindowRect's when the platform enlarges a program that is not DPI-aware.
SIZE PhysicalWindowSize(HWND window);
// The Wine that runs this process ("8.0", from ntdll's wine_get_version), or "" on Windows.
std::string WineVersion();

}  // namespace hostkit

#endif

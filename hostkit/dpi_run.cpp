// dpi_run.cpp - starting a program at another DPI without changing the prefix's.
#include "dpi_run.h"

#include <stdio.h>

#include <vector>

namespace hostkit {

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kLogPixels[] = "LogPixels";
// The name of the event that the child sets once it has its DPI.
const char kEventVariable[] = "DERAR_DPI_TAKEN_EVENT";

// The value as it was, to put back.
struct SavedValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

bool Save(HKEY key, SavedValue& saved)
{
    DWORD size = 0;
    if (RegQueryValueExA(key, kLogPixels, nullptr, &saved.type, nullptr, &size) != ERROR_SUCCESS)
        return true;  // absent: it is deleted again
    saved.bytes.resize(size ? size : 1);
    if (RegQueryValueExA(key, kLogPixels, nullptr, &saved.type, saved.bytes.data(), &size) != ERROR_SUCCESS)
        return false;
    saved.bytes.resize(size);
    saved.present = true;
    return true;
}

void Restore(HKEY key, const SavedValue& saved)
{
    if (saved.present)
        RegSetValueExA(key, kLogPixels, 0, saved.type, saved.bytes.data(), static_cast<DWORD>(saved.bytes.size()));
    else
        RegDeleteValueA(key, kLogPixels);
}

}  // namespace

bool RunAtDpi(int dpi, const std::string& commandLine, DWORD timeoutMs, DWORD& exitCode, std::string& error)
{
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kDesktopKey, &key) != ERROR_SUCCESS) {
        error = std::string("cannot open HKCU\\") + kDesktopKey;
        return false;
    }
    SavedValue saved;
    if (!Save(key, saved)) {
        RegCloseKey(key);
        error = "cannot read LogPixels";
        return false;
    }
    char eventName[64];
    static LONG counter = 0;
    snprintf(eventName, sizeof eventName, "derar-dpi-taken-%lu-%ld", GetCurrentProcessId(),
             InterlockedIncrement(&counter));
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, eventName);

    const DWORD value = static_cast<DWORD>(dpi);
    RegSetValueExA(key, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    SetEnvironmentVariableA(kEventVariable, eventName);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableA(kEventVariable, nullptr);

    bool ok = false;
    if (!started) {
        Restore(key, saved);
        error = "cannot start " + commandLine;
    } else {
        // Back as it was as soon as the child has its DPI (or has ended without telling).
        HANDLE both[2] = { taken, process.hProcess };
        const DWORD first = WaitForMultipleObjects(2, both, FALSE, timeoutMs);
        Restore(key, saved);
        if (first == WAIT_TIMEOUT) {
            error = "the program did not take its DPI within the time";
            TerminateProcess(process.hProcess, 1);
        } else if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            error = "the program did not end within the time";
            TerminateProcess(process.hProcess, 1);
        } else if (WaitForSingleObject(taken, 0) != WAIT_OBJECT_0) {
            error = "the program ended without taking its DPI";
            GetExitCodeProcess(process.hProcess, &exitCode);
        } else {
            GetExitCodeProcess(process.hProcess, &exitCode);
            ok = true;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    RegCloseKey(key);
    if (taken)
        CloseHandle(taken);
    return ok;
}

int TellDpiTaken()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    char eventName[64] = "";
    if (GetEnvironmentVariableA(kEventVariable, eventName, sizeof eventName) > 0) {
        HANDLE taken = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
        if (taken) {
            SetEvent(taken);
            CloseHandle(taken);
        }
    }
    return dpi;
}

std::string ThisProgram()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string("\"") + path + "\"";
}

}  // namespace hostkit

/* A planted oleacc.dll: a library of the name that derafx.dll loads for assistive
 * programs, put beside a host's program and in its current folder as a document folder
 * could hold it. It does nothing but record each load, as a line with its own path, in
 * "oleacc-loads.txt" beside itself, so a test sees whether anyone loaded it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 32];
        char record[MAX_PATH + 32];
        DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
        char* slash;
        HANDLE file;
        DWORD written;
        path[n < MAX_PATH ? n : MAX_PATH - 1] = '\0';
        lstrcpyA(record, path);
        lstrcatA(record, "\r\n");
        slash = path;
        for (char* p = path; *p != '\0'; ++p)
            if (*p == '\\')
                slash = p + 1;
        lstrcpyA(slash, "oleacc-loads.txt");
        file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            WriteFile(file, record, (DWORD)lstrlenA(record), &written, NULL);
            CloseHandle(file);
        }
    }
    return TRUE;
}

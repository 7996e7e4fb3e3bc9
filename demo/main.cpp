// main.cpp - derardemo.exe: a small host program for derar.dll.
//
//   derardemo.exe                 the demo window, for a person
//   derardemo.exe --samples DIR   the samples copied to DIR and shown from there
//
// The screenshot tours that drive this window are a program of their own (tours/).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host_window.h"
#include "sample_files.h"

namespace {

int RunWindow(HostWindow& host)
{
    ShowWindow(host.Handle(), SW_SHOWNORMAL);
    UpdateWindow(host.Handle());
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (host.IsDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string samplesDirectory;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--samples") == 0 && i + 1 < argc) {
            samplesDirectory = argv[++i];
        } else {
            std::fprintf(stderr, "usage: derardemo.exe [--samples DIRECTORY]\n");
            return 2;
        }
    }
    std::string error;
    if (!samplesDirectory.empty() && !UseSamplesFrom(samplesDirectory, error)) {
        std::fprintf(stderr, "derardemo: %s\n", error.c_str());
        return 1;
    }

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    HostWindow host;
    if (!host.Create(GetModuleHandleA(nullptr))) {
        std::fprintf(stderr, "derardemo: cannot create the main window\n");
        return 1;
    }
    return RunWindow(host);
}

// main.cpp - derardemo.exe: a small host program for derar.dll.
//
//   derardemo.exe              the demo window, for a person
//   derardemo.exe --tour DIR   the scripted tour: screenshots of every dialog in DIR
//   derardemo.exe --messages DIR  the browser on damaged files: every message of Kiv.dll in DIR
//   derardemo.exe --samples DIR   the samples copied to DIR and shown from there (with any of the above)
//   derardemo.exe --dpi-pictures DIR [--first-number N]  the export dialog and the browser at this
//                                 process's DPI in DIR, numbered from N (the tour runs it at 144 and 192 DPI)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dpi_run.h"
#include "host_window.h"
#include "message_tour.h"
#include "sample_files.h"
#include "tour.h"

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
    std::string tourDirectory;
    std::string messagesDirectory;
    std::string samplesDirectory;
    std::string dpiDirectory;
    int firstNumber = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tour") == 0 && i + 1 < argc) {
            tourDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--messages") == 0 && i + 1 < argc) {
            messagesDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--samples") == 0 && i + 1 < argc) {
            samplesDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--dpi-pictures") == 0 && i + 1 < argc) {
            dpiDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--first-number") == 0 && i + 1 < argc) {
            firstNumber = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: derardemo.exe [--tour DIRECTORY] [--messages DIRECTORY] "
                         "[--samples DIRECTORY] [--dpi-pictures DIRECTORY [--first-number N]]\n");
            return 2;
        }
    }
    // A tour that started this process at another DPI puts the prefix's DPI back once it is taken.
    if (!dpiDirectory.empty()) hostkit::TellDpiTaken();
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
    if (!dpiDirectory.empty()) return RunDpiPictures(host, dpiDirectory, firstNumber);
    if (tourDirectory.empty() && messagesDirectory.empty()) return RunWindow(host);
    int result = 0;
    if (!tourDirectory.empty()) result = RunTour(host, tourDirectory);
    if (!messagesDirectory.empty() && RunMessageTour(host, messagesDirectory) != 0) result = 1;
    return result;
}

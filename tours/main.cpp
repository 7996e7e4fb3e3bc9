// main.cpp - derartours.exe: the demo host's window driven through every dialog of the
// library, its pictures saved as PNG. It runs the demo host in this process (demo/'s
// demo_host library) and plays the person with hostkit's scripted user.
//
//   derartours.exe --tour DIR      screenshots of every dialog in DIR
//   derartours.exe --messages DIR  the browser on damaged files: every message of Kiv.dll in DIR
//   derartours.exe --samples DIR   the samples copied to DIR and shown from there (with any of these)
//   derartours.exe --dpi-pictures DIR --dpi D [--first-number N]  the export dialog and the browser
//                                  at D DPI, this process's, in DIR, numbered from N (the tour runs it
//                                  at 144 and 192 DPI; it fails when the dialogs are not at D DPI)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <afxwin.h>

#include "dpi_run.h"
#include "host_window.h"
#include "message_tour.h"
#include "sample_files.h"
#include "tour.h"

int main(int argc, char** argv)
{
    std::string tourDirectory;
    std::string messagesDirectory;
    std::string samplesDirectory;
    std::string dpiDirectory;
    int firstNumber = 1;
    int dpi = 0;
    bool usage = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tour") == 0 && i + 1 < argc) {
            tourDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--messages") == 0 && i + 1 < argc) {
            messagesDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--samples") == 0 && i + 1 < argc) {
            samplesDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--dpi-pictures") == 0 && i + 1 < argc) {
            dpiDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--dpi") == 0 && i + 1 < argc) {
            dpi = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--first-number") == 0 && i + 1 < argc) {
            firstNumber = std::atoi(argv[++i]);
        } else {
            usage = true;
        }
    }
    if (usage || (tourDirectory.empty() && messagesDirectory.empty() && dpiDirectory.empty()) ||
        (!dpiDirectory.empty() && dpi <= 0)) {
        std::fprintf(stderr,
                     "usage: derartours.exe [--samples DIRECTORY] [--tour DIRECTORY] [--messages DIRECTORY]\n"
                     "       derartours.exe [--samples DIRECTORY] --dpi-pictures DIRECTORY --dpi D [--first-number N]\n");
        return 2;
    }
    // The class layer keeps the host's name for the process, as MFC's application object does.
    AfxGetModuleState()->m_lpszCurrentAppName = kHostName;
    // A tour that started this process at another DPI puts the prefix's DPI back once it is taken.
    if (!dpiDirectory.empty()) hostkit::TellDpiTaken();
    std::string error;
    if (!samplesDirectory.empty() && !UseSamplesFrom(samplesDirectory, error)) {
        std::fprintf(stderr, "derartours: %s\n", error.c_str());
        return 1;
    }

    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES };
    InitCommonControlsEx(&controls);

    HostWindow host;
    if (!host.Create(GetModuleHandleA(nullptr))) {
        std::fprintf(stderr, "derartours: cannot create the demo host's window\n");
        return 1;
    }
    if (!dpiDirectory.empty()) return RunDpiPictures(host, dpiDirectory, firstNumber, dpi);
    int result = 0;
    if (!tourDirectory.empty()) result = RunTour(host, tourDirectory);
    if (!messagesDirectory.empty() && RunMessageTour(host, messagesDirectory) != 0) result = 1;
    return result;
}

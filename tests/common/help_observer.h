// help_observer.h - watches the help requests of the platform's WinHelp call.
//
// WinHelpA finds a top-level window of class "MS_WINHELP" and sends it
// WM_COPYDATA with dwData 0xA1DE505 and a request block (size, command, data,
// file name). A HelpObserver is such a window: while it lives, help requests of
// this process (and any other on the display) come to it, so a test sees exactly
// what the library asked for, and the platform never starts a help viewer that
// would block a headless run on a "cannot find" box.
#ifndef DERAR_HELP_OBSERVER_H
#define DERAR_HELP_OBSERVER_H

#include <windows.h>

#include <string>
#include <vector>

// One request as WinHelpA delivered it.
struct HelpRequest {
    HWND caller = nullptr;   // the window passed to WinHelpA
    UINT command = 0;        // HELP_CONTEXT, HELP_QUIT, ...
    ULONG_PTR data = 0;      // the context number for HELP_CONTEXT
    std::string file;        // help file name, as passed

    bool operator==(const HelpRequest& other) const
    {
        return command == other.command && data == other.data && file == other.file;
    }
};

class HelpObserver {
public:
    HelpObserver();          // creates the window on the calling thread
    ~HelpObserver();
    HelpObserver(const HelpObserver&) = delete;
    HelpObserver& operator=(const HelpObserver&) = delete;

    bool IsReady() const { return m_hwnd != nullptr; }
    HWND Handle() const { return m_hwnd; }
    const std::vector<HelpRequest>& Requests() const { return m_requests; }
    // The requests other than HELP_QUIT (which WinHelpA may send on its own).
    std::vector<HelpRequest> ContextRequests() const;
    void Clear() { m_requests.clear(); }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    std::vector<HelpRequest> m_requests;
};

#endif

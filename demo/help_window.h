// help_window.h - the demo's stand-in for the help viewer.
//
// WinHelpA looks for a top-level window of class "MS_WINHELP" and sends it the
// request as WM_COPYDATA. The demo registers such a window, so a Help button or F1
// in a dialog shows "Help: kiv.hlp, context 4" instead of starting a viewer (Wine's
// winhlp32 would block on a "cannot find" box, and no kiv.hlp ships with the demo).
#ifndef DERARDEMO_HELP_WINDOW_H
#define DERARDEMO_HELP_WINDOW_H

#include <windows.h>

#include <functional>
#include <string>

struct HelpRequest {
    UINT command = 0;       // HELP_CONTEXT, HELP_QUIT, ...
    LONG data = 0;          // the context number for HELP_CONTEXT
    std::string file;       // the help file, as the caller named it

    std::string Describe() const;   // "Help: kiv.hlp, context 4"
};

class HelpWindow {
public:
    // onRequest is called for every request, on the thread that asked for help.
    explicit HelpWindow(std::function<void(const HelpRequest&)> onRequest);
    ~HelpWindow();
    HelpWindow(const HelpWindow&) = delete;
    HelpWindow& operator=(const HelpWindow&) = delete;

    bool Create(HINSTANCE instance);
    HWND Handle() const { return m_hwnd; }
    // The last request received, or an empty file name when none came yet.
    const HelpRequest& LastRequest() const { return m_last; }
    int RequestCount() const { return m_count; }

    // Reads the request block that WinHelpA sends; false when it is not one.
    static bool ParseRequest(const COPYDATASTRUCT& data, HelpRequest& request);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Show(const HelpRequest& request);

    std::function<void(const HelpRequest&)> m_onRequest;
    HWND m_hwnd = nullptr;
    HWND m_text = nullptr;
    HelpRequest m_last;
    int m_count = 0;
};

#endif

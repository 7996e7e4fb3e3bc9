// help_window.h - the demo's stand-in for the help viewer.
//
// The requests of the dialogs' Help buttons and F1 come through the kit's help window
// (include/derarhelp.h), as in any host; the demo shows each one in a small window
// of its own, "Help: kiv.hlp, context 4", instead of a help topic (no help ships with
// the demo, and without a help window Wine's winhlp32 would block on a "cannot find"
// box).
#ifndef DERARDEMO_HELP_WINDOW_H
#define DERARDEMO_HELP_WINDOW_H

#include <windows.h>

#include <derarhelp.h>

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
    HWND Handle() const { return m_hwnd; }   // the window that shows the requests
    // The last request received, or an empty file name when none came yet.
    const HelpRequest& LastRequest() const { return m_last; }
    int RequestCount() const { return m_count; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void OnRequest(const DerarHelpRequest* request, void* self);
    void Show(const HelpRequest& request);

    std::function<void(const HelpRequest&)> m_onRequest;
    HWND m_receiver = nullptr;   // the kit's help window, which WinHelpA finds
    HWND m_hwnd = nullptr;
    HWND m_text = nullptr;
    HelpRequest m_last;
    int m_count = 0;
};

#endif

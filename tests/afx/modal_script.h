// Plays a user inside a modal loop: steps run one per thread-timer tick on the test's thread,
// and a watchdog ends every dialog of the thread when the script takes too long.
#ifndef AFX_MODAL_SCRIPT_H
#define AFX_MODAL_SCRIPT_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class ModalScript
{
public:
    // A step returns false to be tried again at the next tick (waiting for a window).
    using Step = std::function<bool()>;

    explicit ModalScript(std::vector<Step> steps, UINT nWatchdogMs = 10000);
    ~ModalScript();

    bool TimedOut() const { return m_bTimedOut; }
    bool Finished() const { return m_nNext == m_steps.size(); }

    // Helpers for steps.
    static HWND FindThreadDialog(const char* pszCaption);   // a visible or hidden #32770 top-level window
    static std::string WindowText(HWND hWnd);

private:
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
    static void CALLBACK OnWatchdog(HWND, UINT, UINT_PTR, DWORD);

    std::vector<Step> m_steps;
    size_t m_nNext = 0;
    bool m_bInStep = false;
    bool m_bTimedOut = false;
    UINT_PTR m_nTick = 0;
    UINT_PTR m_nWatchdog = 0;
    static ModalScript* s_pCurrent;
};

#endif

// tour_driver.h - plays the person in front of the screen for the demo's tour.
//
// The tour calls the library as the host window does; while a call runs its modal
// loop, the steps of a TourScript run from a thread timer, which fires inside every
// modal loop of this thread (dialogs, message boxes, the open-file dialog). Each
// step looks at the windows of the thread and acts by posting what a click posts,
// so a step never runs a nested modal loop itself. A step that waits longer than
// the step timeout fails the script, and every dialog of the thread is then
// cancelled until the host call returns.
#ifndef DERARDEMO_TOUR_DRIVER_H
#define DERARDEMO_TOUR_DRIVER_H

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tour {

// A step returns true when it is done; false keeps it waiting for the next tick.
using Step = std::function<bool()>;

class TourScript {
public:
    explicit TourScript(DWORD stepTimeoutMs = 20000);
    ~TourScript();

    void Then(const std::string& what, Step step);
    // Runs hostCall with the steps ticking; afterwards waits for the steps still
    // queued. False when a step failed or waited too long.
    bool Run(const std::function<void()>& hostCall);
    void Fail(const std::string& why);
    const std::vector<std::string>& Failures() const { return m_failures; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    struct Entry {
        std::string what;
        Step step;
    };
    std::deque<Entry> m_steps;
    std::vector<std::string> m_failures;
    DWORD m_stepTimeout;
    DWORD m_stepStarted = 0;
    bool m_failed = false;
    bool m_busy = false;
    UINT_PTR m_timer = 0;
};

// Windows of the calling thread, as a person sees them.
HWND FindDialog(const std::string& caption);                 // a visible dialog with that title
HWND FindDialogWithControl(int controlId);                    // a visible dialog holding that control
// A visible dialog whose title is none of these and that holds no control of an
// open-file dialog: a message box.
HWND FindMessageBox(const std::vector<std::string>& dialogCaptions);
std::string WindowText(HWND hwnd);
std::string ControlText(HWND dialog, int controlId);
// The texts of a message box's static controls, joined by line feeds.
std::string MessageBoxText(HWND messageBox);
// Posts the command that a click on a control posts; false if it is missing or disabled.
bool Click(HWND dialog, int controlId);
void CancelAllDialogs();

// Report list views.
int ListRowCount(HWND list);
std::string ListCell(HWND list, int row, int column);
int FindListRow(HWND list, const std::string& name);          // by column 0, or -1
void SelectListRow(HWND list, int row);

// A process-wide last resort: ends the process with an error when the tour has
// not called Disarm within timeoutMs.
void ArmWatchdog(DWORD timeoutMs);
void DisarmWatchdog();

// Ends a tour: disarms the watchdog, prints each failure and the count of pictures
// under the tour's name, and returns the exit code (0 when nothing failed).
int FinishTour(const char* name, const std::vector<std::string>& failures, int saved, const std::string& directory);

} // namespace tour

#endif

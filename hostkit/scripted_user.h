// scripted_user.h - a scripted user: the person in front of the screen, played from
// inside the modal loops of this thread, for the dialog tests and the screenshot tours.
//
// A test calls an exported dialog function exactly as a host does; while that
// call runs its modal loop, a ScriptedUser plays the person in front of the
// screen. Its steps run in order, each one waiting for a top-level window of the
// test's thread (a dialog or a message box) and then acting on it: reading what a
// person sees and pressing what a person presses.
//
//   ScriptedUser user;
//   user.When("Kiv Export", [&](Dialog& d) {
//       EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), "Objects Which Already Exists in the Export File");
//       d.List(IDC_AVAILABLE_LIST).Select(0);
//       d.Click(IDC_ADD);
//       d.Click(IDOK);                         // opens the warning: the next step answers it
//   });
//   user.When("Warning", [&](Dialog& w) { warning = w.Text(IDC_WARNING_TEXT); w.Click(IDYES); });
//   user.Run([&] { result = KivImpExpDialog(...); });
//
// How it works: a thread timer (SetTimer without a window) fires inside every
// modal loop that dispatches messages on this thread, DialogBox and MessageBox
// included; each tick looks for the window the next step waits for and runs the
// step there. A step may open a nested modal loop (a click that shows a warning):
// inside it only the next step can run, so steps never run out of order. A CBT
// hook records every dialog and message box that is created, shown or activated,
// so a test can also assert that a dialog ended unseen.
//
// Failures (a step that waits too long, a click on a greyed button) go to the
// failure reporter: the dialog tests report them to GoogleTest
// (tests/driver/dialog_driver.h), the tours (tours/) collect them.
//
// Watchdogs: a step whose window does not come within the step timeout (default
// 10 s), or a host call that does not return within that time after the last step,
// fails the run with a message naming the step and the windows open; so does an
// exception in a step, or a step after which the reporter says the run has stopped
// (a test's fatal failure, ASSERT). Then every dialog of the thread
// is ended, topmost first, a little more firmly each 150 ms: a posted Cancel
// command, EndDialog, WM_CLOSE, DestroyWindow. If even that does not end the
// modal loop, a last-resort thread ends the process after 60 s with a message on
// stderr.
//
// DERAR_DRIVER_TRACE=1 in the environment prints each window's creation and
// showing and each step's start and end, with the time since Run began.
//
// Key presses are posted, as the keyboard's messages are: they take effect after
// the step returns, and the next step sees their result. Clicks, list and tree
// actions are sent and have taken effect when the call returns. A click on a
// control that is missing, hidden or greyed fails the run, naming the control.
#ifndef HOSTKIT_SCRIPTED_USER_H
#define HOSTKIT_SCRIPTED_USER_H

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "window_picture.h"

namespace hostkit {

// ---------------------------------------------------------------------------
// Where failures go.

struct FailureReporter {
    std::function<void(const std::string& message)> fail;
    // True when the code that runs the script has stopped (a test's fatal failure):
    // the script stops after the step that brought it. May be empty.
    std::function<bool()> stopped;
};
// Replaces the process's reporter; the default one prints to stderr.
void SetFailureReporter(FailureReporter reporter);
void ReportFailure(const std::string& message);

// Builds a failure's message with << and reports it when the statement ends.
class Failure {
public:
    Failure() = default;
    Failure(const Failure&) = delete;
    ~Failure() { ReportFailure(m_text.str()); }
    template <typename T>
    Failure& operator<<(const T& value)
    {
        m_text << value;
        return *this;
    }

private:
    std::ostringstream m_text;
};

// ---------------------------------------------------------------------------
// Controls, read and driven as a person would.

// One row of a report list view, as shown.
struct ListRow {
    std::vector<std::string> cells;  // one text per column, column 0 first
    bool selected = false;
    bool focused = false;
};

// A control of a dialog, by its window.
class Control {
public:
    explicit Control(HWND hwnd) : m_hwnd(hwnd) {}
    HWND Handle() const { return m_hwnd; }

protected:
    HWND m_hwnd;
};

class ListView : public Control {
public:
    using Control::Control;

    int RowCount() const;
    int ColumnCount() const;                        // columns of the header
    int ColumnWidth(int column) const;              // LVM_GETCOLUMNWIDTH, pixels
    std::string ColumnTitle(int column) const;
    std::string Cell(int row, int column) const;    // full text, any length
    ListRow Row(int row) const;
    std::vector<ListRow> Rows() const;
    std::vector<std::string> Column(int column) const;  // one text per row, top to bottom
    std::vector<int> SelectedRows() const;
    int FocusedRow() const;                         // -1: none
    int FindRow(const std::string& name) const;     // first row whose column 0 is name, or -1

    // Actions. Select/Deselect change one row's selected state only; SelectOnly
    // clears the others first. FocusRow gives a row the focus mark without
    // selecting it. DoubleClick clicks twice on the row as the mouse does (the
    // first click selects that row alone; the list view then notifies NM_DBLCLK).
    void Select(int row) const;
    void Deselect(int row) const;
    void SelectOnly(const std::vector<int>& rows) const;
    void ClearSelection() const;
    void FocusRow(int row) const;
    void DoubleClick(int row) const;
};

// One item of a tree view, as met by a walk in display order.
struct TreeItem {
    HTREEITEM handle = nullptr;
    std::string text;
    int depth = 0;          // 0: a top-level item
    bool expanded = false;  // TVIS_EXPANDED
    bool selected = false;  // the tree's selected item (TVGN_CARET)
    bool hasChildren = false;
};

class TreeView : public Control {
public:
    using Control::Control;

    int Count() const;                              // TVM_GETCOUNT
    std::vector<TreeItem> Items() const;            // every item, depth first, in sibling order
    std::vector<TreeItem> VisibleItems() const;     // the items under expanded parents only
    // The tree as indented text, one line per item: two blanks per depth, then
    // "+ " for a closed item with children, "- " for an open one, "  " for a
    // leaf, then the label ("- obj\n  + group\n"). onlyVisible: leave out the
    // items under closed ones.
    std::string Outline(bool onlyVisible = false) const;
    std::string Text(HTREEITEM item) const;
    HTREEITEM Root() const;                         // first top-level item
    std::vector<HTREEITEM> Children(HTREEITEM parent) const;  // nullptr: the top level
    HTREEITEM Selected() const;
    HTREEITEM FirstVisible() const;                 // top row of the view (scrolling)
    bool IsExpanded(HTREEITEM item) const;
    // Finds an item by its labels from the top level down; nullptr if absent.
    HTREEITEM Find(const std::vector<std::string>& labels) const;

    void Select(HTREEITEM item) const;              // TVM_SELECTITEM TVGN_CARET, as a click does
};

class ComboBox : public Control {
public:
    using Control::Control;

    std::vector<std::string> Items() const;
    int SelectedIndex() const;                      // CB_ERR (-1): none
    std::string SelectedText() const;               // "" when nothing is selected
    // Picks an entry as a user does in the drop-down list: CB_SETCURSEL, then
    // the WM_COMMAND CBN_SELCHANGE that the combo box sends its parent.
    void Pick(int index) const;
    bool Pick(const std::string& text) const;       // exact text; false: not listed
};

// ---------------------------------------------------------------------------
// A top-level window of the test's thread: a dialog, a message box, the open-file
// dialog. Control ids are those of the dialog template.
class Dialog {
public:
    explicit Dialog(HWND hwnd) : m_hwnd(hwnd) {}
    HWND Handle() const { return m_hwnd; }

    // Reading.
    std::string Caption() const;
    std::string ClassName() const;
    bool IsMessageBox() const;
    HWND Item(int id) const;                        // nullptr: no such control
    bool Has(int id) const { return Item(id) != nullptr; }
    std::string Text(int id) const;                 // window text of a control
    bool IsEnabled(int id) const;
    bool IsVisible(int id) const;
    SIZE ClientSize() const;                        // pixels inside the frame
    SIZE BaseUnits() const;                         // pixels of 4 by 8 dialog units (MapDialogRect)
    int FocusId() const;                            // id of the focused control, 0 if none here
    HWND Focus() const;                             // GetFocus on this thread
    // The text of a message box (its static text control), or "" for other windows.
    std::string MessageText() const;
    // Texts of the message box's buttons, left to right ("OK", "Cancel", ...).
    std::vector<std::string> ButtonTexts() const;

    ListView List(int id) const;
    TreeView Tree(int id) const;
    ComboBox Combo(int id) const;

    // Acting. Click presses a button with the mouse (BM_CLICK). A person cannot
    // click a control that is missing, hidden or greyed: that fails the run,
    // naming the control, and nothing happens.
    void Click(int id) const;
    // The same click posted (the WM_COMMAND BN_CLICKED a click sends), for a polled
    // step (Until) that must not run a nested modal loop itself. False when it could
    // not be clicked, which fails the run too.
    bool PostClick(int id) const;
    // The same, for a test that probes whether a button can be pressed: true when
    // it was; a hidden or greyed button is no failure (a missing one still is).
    bool TryClick(int id) const;
    // Presses a message box button by its text ("OK", "&Yes" or "Yes"); fails the
    // test when there is no such button or it cannot be clicked.
    void ClickButton(const std::string& text) const;
    void Close() const;                             // the close box: WM_SYSCOMMAND SC_CLOSE
    // Posts a key press (WM_KEYDOWN, then WM_KEYUP) to the focused control, or to
    // the dialog if nothing here has the focus; the modal loop's TranslateMessage
    // makes the WM_CHAR of keys that have one, as it does for the keyboard.
    void PressKey(UINT vk) const;
    void PressEnter() const { PressKey(VK_RETURN); }
    void PressEscape() const { PressKey(VK_ESCAPE); }
    void PressTab() const { PressKey(VK_TAB); }
    // F1 as the platform turns it into help: WM_HELP with a HELPINFO for the
    // focused control, delivered to that control (the default window procedure
    // passes it up to the dialog). Sent, so it has taken effect on return.
    void PressF1() const;
    void SetFocus(int id) const;                    // as a click into the control does

    // The open-file dialog: types a name into its file name box (cmb13, or edt1 in
    // the old style). Press Open with Click(IDOK), Cancel with Click(IDCANCEL).
    bool TypeFileName(const std::string& name) const;

    // The window as a person sees it, frame included; saved to a PNG file. A
    // failure to take or save the picture fails the test.
    hostkit::Picture Picture() const;
    hostkit::Picture Picture(int id) const;         // the part where a control stands
    void SaveScreenshot(const std::string& pngPath) const;

private:
    HWND m_hwnd;
};

// ---------------------------------------------------------------------------
// Which window a step waits for. A plain string matches the caption exactly.
struct WindowMatch {
    std::string caption;        // exact caption; empty: any caption
    bool anyCaption = false;
    bool messageBoxOnly = false;
    int controlId = 0;          // nonzero: the window must have this control
    std::string describe() const;

    WindowMatch() = default;
    WindowMatch(const char* text) : caption(text) {}  // NOLINT: a caption reads best unadorned
    WindowMatch(const std::string& text) : caption(text) {}  // NOLINT
};
WindowMatch Caption(const std::string& caption);
WindowMatch AnyMessageBox();                        // any message box, whatever its caption
WindowMatch MessageBoxCaption(const std::string& caption);
WindowMatch WithControl(int id);                    // any dialog having this control

// A window that the thread created or showed while a script ran.
struct SeenWindow {
    std::string caption;
    std::string className;
    std::string messageText;    // message boxes: their text
    bool isMessageBox = false;
    bool shown = false;         // became visible or active at some time
};

// How many times longer every time limit of the scripted user is: DERAR_DRIVER_TIME_SCALE
// in the environment (1 to 1000, default 1), for a platform that runs everything
// slower, as the emulated 32-bit Wine does.
DWORD TimeScale();

class ScriptedUser {
public:
    using Action = std::function<void(Dialog&)>;

    ScriptedUser();
    ~ScriptedUser();
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;

    // Adds a step: wait for a visible, enabled top-level window that matches, then act.
    ScriptedUser& When(const WindowMatch& match, Action action);
    // Adds a polled step: poll runs at every tick until it returns true (it finds its
    // own windows; what = what it waits for, for the messages). Its ticks run none of
    // the later steps, so a poll must not open a nested modal loop: it posts its
    // clicks (PostClick). Polled steps left when the host call returns still run.
    ScriptedUser& Until(const std::string& what, std::function<bool()> poll);

    // How long a step waits for its window (and the host call for its return
    // after the last step) before the test fails. Default 10000 ms: generous, as it
    // only ever delays a failing test, and a loaded machine shows dialogs slowly.
    // Both limits are stretched by TimeScale().
    void SetStepTimeout(DWORD milliseconds);
    // The last resort: the process ends after this long in Run. Default 60000 ms.
    void SetHangLimit(DWORD milliseconds);

    // Runs the host call with the script active. Fails the test (naming the step)
    // if a step's window never came, a step was left over when the call returned,
    // or the call did not return after the last step.
    void Run(const std::function<void()>& hostCall);

    // What the run showed.
    int StepsRun() const;
    bool TimedOut() const;
    const std::vector<SeenWindow>& Windows() const;         // created top-level windows, in order
    std::vector<SeenWindow> ShownWindows() const;           // those that became visible or active
    std::vector<std::string> MessageBoxTexts() const;       // texts of every message box shown

    struct State;  // shared with the timer and hook procedures

private:
    std::unique_ptr<State> m_state;
};

// The size a dialog template of module gives, in dialog units; {0, 0} if absent.
SIZE TemplateSize(HMODULE module, int templateId);

// The top-level windows of the calling thread that are visible, topmost first.
std::vector<HWND> VisibleThreadWindows();

// The first visible, enabled dialog of the calling thread that matches, or nullptr.
HWND FindThreadDialog(const WindowMatch& match);

}  // namespace hostkit

#endif

// The scripted user: a thread timer that advances the steps inside any modal
// loop, a CBT hook that records the dialogs and message boxes of the thread, two
// watchdogs, and the failure reporter.
#include "scripted_user.h"

#include <dlgs.h>

#include "window_picture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

namespace hostkit {
namespace {

const UINT kTickMs = 15;
const int kDialogClassAtom = 0x8002;  // "#32770"
const int kMessageTextId = 0xFFFF;    // the text control of a message box

// One WM_GETTEXT with room for a character more than the length: a text that
// fills the buffer has grown since, and is read again with more room.
std::string WindowText(HWND hwnd)
{
    for (int size = GetWindowTextLengthA(hwnd) + 2;; size *= 2) {
        std::vector<char> buffer(size_t(size), '\0');
        int n = int(SendMessageA(hwnd, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer.data())));
        if (n < size - 1)
            return std::string(buffer.data(), size_t(n > 0 ? n : 0));
    }
}

std::string ClassOf(HWND hwnd)
{
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

bool IsDialogClass(HWND hwnd)
{
    return ClassOf(hwnd) == "#32770" || GetClassLongPtrA(hwnd, GCW_ATOM) == kDialogClassAtom;
}

std::vector<HWND> DirectChildren(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// A message box is a dialog made of a text (id 0xFFFF), perhaps an icon, and buttons.
bool LooksLikeMessageBox(HWND hwnd)
{
    if (!IsDialogClass(hwnd))
        return false;
    bool hasText = false;
    for (HWND child : DirectChildren(hwnd)) {
        std::string cls = ClassOf(child);
        if (cls == "Static") {
            if (GetDlgCtrlID(child) == kMessageTextId)
                hasText = true;
        } else if (cls != "Button") {
            return false;
        }
    }
    return hasText;
}

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out + "\"";
}

std::string Describe(HWND hwnd)
{
    std::string text = (LooksLikeMessageBox(hwnd) ? "message box " : "window ") + Quote(WindowText(hwnd));
    if (LooksLikeMessageBox(hwnd))
        text += ": " + Quote(Dialog(hwnd).MessageText());
    if (!IsWindowEnabled(hwnd))
        text += " (disabled)";
    return text;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ThreadWindows(DWORD threadId)
{
    std::vector<HWND> windows;
    EnumThreadWindows(threadId, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string DescribeOpenWindows()
{
    std::string text;
    for (HWND hwnd : VisibleThreadWindows()) {
        if (!IsDialogClass(hwnd))
            continue;
        text += (text.empty() ? "" : ", ") + Describe(hwnd);
    }
    return text.empty() ? "none" : text;
}

bool Matches(const WindowMatch& match, HWND hwnd)
{
    if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd) || !IsDialogClass(hwnd))
        return false;
    if (match.messageBoxOnly && !LooksLikeMessageBox(hwnd))
        return false;
    if (match.controlId && !GetDlgItem(hwnd, match.controlId))
        return false;
    if (!match.anyCaption && WindowText(hwnd) != match.caption)
        return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// The failure reporter

namespace {
FailureReporter& Reporter()
{
    static FailureReporter reporter = { [](const std::string& message) {
                                           std::fprintf(stderr, "scripted user: %s\n", message.c_str());
                                           std::fflush(stderr);
                                       },
                                        nullptr };
    return reporter;
}
bool ReporterStopped()
{
    return Reporter().stopped && Reporter().stopped();
}
}  // namespace

void SetFailureReporter(FailureReporter reporter)
{
    Reporter() = std::move(reporter);
}

void ReportFailure(const std::string& message)
{
    if (Reporter().fail)
        Reporter().fail(message);
}

// ---------------------------------------------------------------------------
// Dialog

std::string Dialog::Caption() const { return WindowText(m_hwnd); }
std::string Dialog::ClassName() const { return ClassOf(m_hwnd); }
bool Dialog::IsMessageBox() const { return LooksLikeMessageBox(m_hwnd); }

HWND Dialog::Item(int id) const
{
    return GetDlgItem(m_hwnd, id);
}

namespace {
HWND ItemOrFail(const Dialog& dialog, int id, const char* what)
{
    HWND item = dialog.Item(id);
    if (!item)
        Failure() << Quote(dialog.Caption()) << " has no control " << id << " to " << what;
    return item;
}
}  // namespace

std::string Dialog::Text(int id) const
{
    HWND item = ItemOrFail(*this, id, "read");
    return item ? WindowText(item) : std::string();
}

bool Dialog::IsEnabled(int id) const
{
    HWND item = ItemOrFail(*this, id, "look at");
    return item && IsWindowEnabled(item);
}

bool Dialog::IsVisible(int id) const
{
    HWND item = ItemOrFail(*this, id, "look at");
    return item && IsWindowVisible(item);
}

SIZE Dialog::ClientSize() const
{
    RECT client = {};
    GetClientRect(m_hwnd, &client);
    return { client.right, client.bottom };
}

SIZE Dialog::BaseUnits() const
{
    RECT units = { 0, 0, 4, 8 };
    MapDialogRect(m_hwnd, &units);
    return { units.right, units.bottom };
}

HWND Dialog::Focus() const
{
    return GetFocus();
}

int Dialog::FocusId() const
{
    HWND focus = GetFocus();
    // The focus may sit in a part of a control (the edit of a combo box).
    while (focus && GetParent(focus) != m_hwnd)
        focus = IsChild(m_hwnd, focus) ? GetParent(focus) : nullptr;
    return focus ? GetDlgCtrlID(focus) : 0;
}

std::string Dialog::MessageText() const
{
    if (!LooksLikeMessageBox(m_hwnd))
        return std::string();
    HWND text = GetDlgItem(m_hwnd, kMessageTextId);
    return text ? WindowText(text) : std::string();
}

std::vector<std::string> Dialog::ButtonTexts() const
{
    std::vector<std::pair<LONG, std::string>> buttons;
    for (HWND child : DirectChildren(m_hwnd)) {
        if (ClassOf(child) == "Button" && IsWindowVisible(child)) {
            RECT rect;
            GetWindowRect(child, &rect);
            buttons.emplace_back(rect.left, WindowText(child));
        }
    }
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> texts;
    for (auto& b : buttons)
        texts.push_back(b.second);
    return texts;
}

ListView Dialog::List(int id) const { return ListView(ItemOrFail(*this, id, "use as a list view")); }
TreeView Dialog::Tree(int id) const { return TreeView(ItemOrFail(*this, id, "use as a tree view")); }
ComboBox Dialog::Combo(int id) const { return ComboBox(ItemOrFail(*this, id, "use as a combo box")); }

namespace {
// Why a person could not click the control, or "" when they could.
std::string WhyNotClickable(HWND button)
{
    if (!IsWindowVisible(button))
        return "hidden";
    if (!IsWindowEnabled(button))
        return "greyed";
    return std::string();
}
}  // namespace

void Dialog::Click(int id) const
{
    HWND button = ItemOrFail(*this, id, "click");
    if (!button)
        return;
    std::string why = WhyNotClickable(button);
    if (!why.empty()) {
        Failure() << Quote(Caption()) << ": control " << id << " " << Quote(WindowText(button)) << " is "
                      << why << " and cannot be clicked";
        return;
    }
    SendMessageA(button, BM_CLICK, 0, 0);
}

bool Dialog::PostClick(int id) const
{
    HWND button = ItemOrFail(*this, id, "click");
    if (!button)
        return false;
    std::string why = WhyNotClickable(button);
    if (!why.empty()) {
        Failure() << Quote(Caption()) << ": control " << id << " " << Quote(WindowText(button)) << " is " << why
                  << " and cannot be clicked";
        return false;
    }
    PostMessageA(m_hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

bool Dialog::TryClick(int id) const
{
    HWND button = ItemOrFail(*this, id, "click");
    if (!button || !WhyNotClickable(button).empty())
        return false;  // a person cannot click what is hidden or greyed
    SendMessageA(button, BM_CLICK, 0, 0);
    return true;
}

void Dialog::ClickButton(const std::string& text) const
{
    auto plain = [](std::string s) {
        s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
        return s;
    };
    for (HWND child : DirectChildren(m_hwnd)) {
        if (ClassOf(child) != "Button")
            continue;
        std::string caption = WindowText(child);
        if (caption == text || plain(caption) == plain(text)) {
            std::string why = WhyNotClickable(child);
            if (!why.empty()) {
                Failure() << Quote(Caption()) << ": button " << Quote(caption) << " is " << why
                              << " and cannot be clicked";
                return;
            }
            SendMessageA(child, BM_CLICK, 0, 0);
            return;
        }
    }
    Failure() << Quote(Caption()) << " has no button " << Quote(text);
}

void Dialog::Close() const
{
    SendMessageA(m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void Dialog::PressKey(UINT vk) const
{
    HWND target = GetFocus();
    if (!target || (target != m_hwnd && !IsChild(m_hwnd, target)))
        target = m_hwnd;
    UINT scan = MapVirtualKeyA(vk, 0 /* MAPVK_VK_TO_VSC */);
    LPARAM down = 1 | (LPARAM(scan & 0xFF) << 16);
    LPARAM up = down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    // The loop's IsDialogMessage and TranslateMessage make of them what the keyboard's would.
    PostMessageA(target, WM_KEYDOWN, vk, down);
    PostMessageA(target, WM_KEYUP, vk, up);
}

void Dialog::PressF1() const
{
    HWND target = GetFocus();
    if (!target || (target != m_hwnd && !IsChild(m_hwnd, target)))
        target = m_hwnd;
    // Under Wine a posted VK_F1 never becomes WM_HELP (the platform makes it from
    // real keyboard input only), so deliver the WM_HELP that F1 produces: a
    // HELPINFO about the focused control, sent to it; the default window
    // procedure hands it up to the dialog.
    HELPINFO info = {};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = target == m_hwnd ? 0 : GetDlgCtrlID(target);
    info.hItemHandle = target;
    info.dwContextId = GetWindowContextHelpId(target);
    GetCursorPos(&info.MousePos);
    SendMessageA(target, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

void Dialog::SetFocus(int id) const
{
    if (HWND item = ItemOrFail(*this, id, "focus"))
        SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

bool Dialog::TypeFileName(const std::string& name) const
{
    // Explorer style: cmb13, a ComboBoxEx whose edit holds the name; the old style: edt1.
    HWND box = GetDlgItem(m_hwnd, cmb13);
    if (!box)
        box = GetDlgItem(m_hwnd, edt1);
    if (!box) {
        Failure() << Quote(Caption()) << " has no file name box";
        return false;
    }
    HWND edit = box;
    if (ClassOf(box) != "Edit") {
        if (HWND inner = reinterpret_cast<HWND>(SendMessageA(box, CBEM_GETEDITCONTROL, 0, 0)))
            edit = inner;
        else if (HWND child = FindWindowExA(box, nullptr, "Edit", nullptr))
            edit = child;
    }
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    return true;
}

void Dialog::SaveScreenshot(const std::string& pngPath) const
{
    std::string error;
    if (!hostkit::SaveWindowPicture(m_hwnd, pngPath, error))
        Failure() << Quote(Caption()) << ": no picture saved: " << error;
}

hostkit::Picture Dialog::Picture(int id) const
{
    HWND item = ItemOrFail(*this, id, "take a picture of");
    if (!item)
        return hostkit::Picture();
    RECT outer, inner;
    GetWindowRect(m_hwnd, &outer);
    GetWindowRect(item, &inner);
    return Picture().Part(inner.left - outer.left, inner.top - outer.top, inner.right - inner.left,
                          inner.bottom - inner.top);
}

hostkit::Picture Dialog::Picture() const
{
    hostkit::RepaintWindow(m_hwnd);
    hostkit::Picture picture;
    std::string error;
    if (!hostkit::CaptureWindow(m_hwnd, picture, error))
        Failure() << Quote(Caption()) << ": no picture taken: " << error;
    return picture;
}

// ---------------------------------------------------------------------------
// Window matches

std::string WindowMatch::describe() const
{
    std::string text = messageBoxOnly ? "a message box" : "a dialog";
    if (!anyCaption)
        text += " " + Quote(caption);
    if (controlId)
        text += " with control " + std::to_string(controlId);
    return text;
}

WindowMatch Caption(const std::string& caption) { return WindowMatch(caption); }

WindowMatch AnyMessageBox()
{
    WindowMatch m;
    m.anyCaption = true;
    m.messageBoxOnly = true;
    return m;
}

WindowMatch MessageBoxCaption(const std::string& caption)
{
    WindowMatch m(caption);
    m.messageBoxOnly = true;
    return m;
}

WindowMatch WithControl(int id)
{
    WindowMatch m;
    m.anyCaption = true;
    m.controlId = id;
    return m;
}

SIZE TemplateSize(HMODULE module, int templateId)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const WORD* words = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!words)
        return { 0, 0 };
    // DIALOGEX: version 1, signature 0xFFFF, then help id, styles and count before the
    // rectangle; DIALOG: two styles and the count.
    const bool extended = words[0] == 1 && words[1] == 0xFFFF;
    const WORD* rect = words + (extended ? 9 : 5);
    return { static_cast<short>(rect[2]), static_cast<short>(rect[3]) };
}

HWND FindThreadDialog(const WindowMatch& match)
{
    for (HWND hwnd : ThreadWindows(GetCurrentThreadId())) {
        if (Matches(match, hwnd))
            return hwnd;
    }
    return nullptr;
}

std::vector<HWND> VisibleThreadWindows()
{
    std::vector<HWND> visible;
    for (HWND hwnd : ThreadWindows(GetCurrentThreadId())) {
        if (IsWindowVisible(hwnd))
            visible.push_back(hwnd);
    }
    return visible;
}

// ---------------------------------------------------------------------------
// The scripted user

struct Step {
    WindowMatch match;
    ScriptedUser::Action action;
    std::function<bool()> poll;   // a polled step (Until) instead of match and action
    std::string what;             // what a polled step waits for
};

DWORD TimeScale()
{
    char text[16] = "";
    DWORD length = GetEnvironmentVariableA("DERAR_DRIVER_TIME_SCALE", text, sizeof text);
    long scale = length > 0 && length < sizeof text ? std::strtol(text, nullptr, 10) : 1;
    return scale >= 1 && scale <= 1000 ? static_cast<DWORD>(scale) : 1;
}

struct ScriptedUser::State {
    std::vector<Step> steps;
    size_t next = 0;            // the step that runs next
    DWORD stepTimeout = 10000 * TimeScale();
    DWORD hangLimit = 60000 * TimeScale();
    DWORD lastProgress = 0;     // tick count of the last step start or end
    bool inTick = false;        // bookkeeping of one tick (not a step's action)
    bool timedOut = false;
    bool aborting = false;      // closing every window after a failure
    HHOOK hook = nullptr;
    HHOOK showHook = nullptr;
    UINT_PTR timer = 0;
    DWORD threadId = 0;
    std::vector<SeenWindow> windows;
    std::vector<HWND> handles;  // parallel to windows; cleared when destroyed
    std::map<HWND, int> closeAttempts;

    // Shared with the last-resort thread.
    std::mutex activityLock;
    std::string activity;
    HANDLE stopWatchdog = nullptr;

    // DERAR_DRIVER_TRACE=1 in the environment prints every step with its time.
    bool trace = GetEnvironmentVariableA("DERAR_DRIVER_TRACE", nullptr, 0) > 0;
    DWORD runStart = 0;

    void SetActivity(const std::string& text)
    {
        if (trace) {
            std::fprintf(stderr, "driver +%lu ms: %s\n", static_cast<unsigned long>(GetTickCount() - runStart),
                         text.c_str());
        }
        std::lock_guard<std::mutex> lock(activityLock);
        activity = text;
    }
    std::string StepName(size_t index) const
    {
        const Step& step = steps[index];
        return "step " + std::to_string(index + 1) + " (waits for " +
               (step.poll ? step.what : step.match.describe()) + ")";
    }
    int Find(HWND hwnd) const
    {
        if (!hwnd)
            return -1;  // a destroyed window's slot holds nullptr
        for (size_t i = 0; i < handles.size(); ++i) {
            if (handles[i] == hwnd)
                return int(i);
        }
        return -1;
    }
    // Reads the window's texts again; it counts as shown once it is seen visible.
    void Refresh(int index)
    {
        SeenWindow& seen = windows[size_t(index)];
        HWND hwnd = handles[size_t(index)];
        seen.caption = WindowText(hwnd);
        seen.isMessageBox = LooksLikeMessageBox(hwnd);
        if (seen.isMessageBox)
            seen.messageText = Dialog(hwnd).MessageText();
        if (IsWindowVisible(hwnd) && !seen.shown) {
            seen.shown = true;
            if (trace)
                SetActivity("shown: " + Describe(hwnd));
        }
    }
    void Tick();
    void RunStep(HWND hwnd);
    void Poll();
    // After an exception or the reporter's stop in a step: the rest makes no sense.
    void StopAfter(size_t index, bool hadStopped, const std::string& thrown);
    void Abort(const std::string& why, bool timeout);
    void CloseWindows();
};

namespace {

thread_local ScriptedUser::State* t_active = nullptr;

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    ScriptedUser::State* st = t_active;
    if (st && code >= 0) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_CREATEWND) {
            auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
            if (!(create->lpcs->style & WS_CHILD) && IsDialogClass(hwnd)) {
                SeenWindow seen;
                seen.className = ClassOf(hwnd);
                if (create->lpcs->lpszName && !IS_INTRESOURCE(create->lpcs->lpszName))
                    seen.caption = create->lpcs->lpszName;
                st->windows.push_back(seen);
                st->handles.push_back(hwnd);
                if (st->trace)
                    st->SetActivity("created: " + seen.caption);
            }
        } else if (code == HCBT_ACTIVATE || code == HCBT_DESTROYWND) {
            // The platform activates a dialog before it shows it, and also one
            // that ended during its initialisation and is never shown.
            int index = st->Find(hwnd);
            if (index >= 0) {
                st->Refresh(index);
                if (code == HCBT_DESTROYWND)
                    st->handles[size_t(index)] = nullptr;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Marks a recorded window as shown the moment it becomes visible.
LRESULT CALLBACK ShowProc(int code, WPARAM wParam, LPARAM lParam)
{
    ScriptedUser::State* st = t_active;
    if (st && code == HC_ACTION) {
        auto* call = reinterpret_cast<CWPRETSTRUCT*>(lParam);
        if (call->message == WM_SHOWWINDOW || call->message == WM_WINDOWPOSCHANGED) {
            int index = st->Find(call->hwnd);
            if (index >= 0)
                st->Refresh(index);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

VOID CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (ScriptedUser::State* st = t_active)
        st->Tick();
}

DWORD WINAPI LastResort(LPVOID param)
{
    auto* st = static_cast<ScriptedUser::State*>(param);
    if (WaitForSingleObject(st->stopWatchdog, st->hangLimit) != WAIT_TIMEOUT)
        return 0;
    std::string activity;
    {
        std::lock_guard<std::mutex> lock(st->activityLock);
        activity = st->activity;
    }
    std::fprintf(stderr,
                 "\ndialog driver: the host call is still running after %lu ms (%s); the modal loop "
                 "is stuck, ending the process\n",
                 static_cast<unsigned long>(st->hangLimit), activity.c_str());
    std::fflush(stderr);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}

}  // namespace

void ScriptedUser::State::Tick()
{
    if (inTick)
        return;  // a message loop run by our own bookkeeping: nothing to do there
    inTick = true;
    for (size_t i = 0; i < handles.size(); ++i) {
        if (handles[i] && IsWindowVisible(handles[i]))
            Refresh(int(i));
    }
    DWORD now = GetTickCount();
    if (aborting) {
        CloseWindows();
    } else if (next < steps.size() && steps[next].poll) {
        Poll();
    } else if (next < steps.size()) {
        HWND found = nullptr;
        for (HWND hwnd : ThreadWindows(threadId)) {
            if (Matches(steps[next].match, hwnd)) {
                found = hwnd;
                break;
            }
        }
        if (found) {
            inTick = false;
            RunStep(found);
            return;
        }
        if (now - lastProgress > stepTimeout)
            Abort(StepName(next) + " did not come within " + std::to_string(stepTimeout) + " ms", true);
    } else if (now - lastProgress > stepTimeout) {
        Abort("no step is left for what is open after " + std::to_string(stepTimeout) +
              " ms: the host call did not return after the last step", true);
    }
    inTick = false;
}

void ScriptedUser::State::RunStep(HWND hwnd)
{
    size_t index = next++;
    Step& step = steps[index];
    SetActivity("running " + StepName(index));
    lastProgress = GetTickCount();
    bool hadStopped = ReporterStopped();
    std::string thrown;
    Dialog dialog(hwnd);
    // Nothing may leave a timer procedure: the platform's dispatcher is no C++.
    try {
        step.action(dialog);
    } catch (const std::exception& e) {
        thrown = std::string(" threw: ") + e.what();
    } catch (...) {
        thrown = " threw";
    }
    lastProgress = GetTickCount();
    SetActivity("after " + StepName(index));
    StopAfter(index, hadStopped, thrown);
}

// Runs the polled step once, inside the tick's bookkeeping: its ticks run nothing else.
void ScriptedUser::State::Poll()
{
    size_t index = next;
    bool hadStopped = ReporterStopped();
    std::string thrown;
    bool done = false;
    try {
        done = steps[index].poll();
    } catch (const std::exception& e) {
        thrown = std::string(" threw: ") + e.what();
    } catch (...) {
        thrown = " threw";
    }
    DWORD now = GetTickCount();
    if (done || !thrown.empty()) {
        ++next;
        lastProgress = now;
        SetActivity("after " + StepName(index));
    } else if (now - lastProgress > stepTimeout) {
        Abort(StepName(index) + " did not come within " + std::to_string(stepTimeout) + " ms", true);
        return;
    }
    StopAfter(index, hadStopped, thrown);
}

void ScriptedUser::State::StopAfter(size_t index, bool hadStopped, const std::string& thrown)
{
    bool failed = !thrown.empty() || (!hadStopped && ReporterStopped());
    if (failed && !aborting) {
        bool wasInTick = inTick;
        inTick = true;
        Abort(StepName(index) + (thrown.empty() ? std::string(" failed") : thrown) + "; the script stops here",
              false);
        inTick = wasInTick;
    }
}

void ScriptedUser::State::Abort(const std::string& why, bool timeout)
{
    timedOut = timedOut || timeout;
    Failure() << why << ". Open: " << DescribeOpenWindows()
                  << ". Closing every dialog of the thread.";
    aborting = true;
    SetActivity("closing the dialogs after: " + why);
    CloseWindows();
}

// Ends whatever is open, topmost first: Cancel as a button would, then
// EndDialog, then the close message, then destruction, a little later each.
void ScriptedUser::State::CloseWindows()
{
    // The enabled dialogs: a modal dialog's owners are disabled until it goes.
    // Hidden ones only when nothing visible is left (a dialog that hid itself).
    std::vector<HWND> targets;
    for (bool hidden : {false, true}) {
        for (HWND hwnd : ThreadWindows(threadId)) {
            if (IsDialogClass(hwnd) && IsWindowEnabled(hwnd) && IsWindowVisible(hwnd) != hidden)
                targets.push_back(hwnd);
        }
        if (!targets.empty())
            break;
    }
    for (HWND hwnd : targets) {
        int attempt = closeAttempts[hwnd]++;
        switch (attempt) {
        case 0:
            PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            break;
        case 10:
            EndDialog(hwnd, IDCANCEL);
            break;
        case 20:
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            break;
        case 30:
            DestroyWindow(hwnd);
            break;
        default:
            break;
        }
    }
}

ScriptedUser::ScriptedUser() : m_state(new State) {}

ScriptedUser::~ScriptedUser() = default;

ScriptedUser& ScriptedUser::When(const WindowMatch& match, Action action)
{
    Step step;
    step.match = match;
    step.action = std::move(action);
    m_state->steps.push_back(std::move(step));
    return *this;
}

ScriptedUser& ScriptedUser::Until(const std::string& what, std::function<bool()> poll)
{
    Step step;
    step.poll = std::move(poll);
    step.what = what;
    m_state->steps.push_back(std::move(step));
    return *this;
}

void ScriptedUser::SetStepTimeout(DWORD milliseconds) { m_state->stepTimeout = milliseconds * TimeScale(); }
void ScriptedUser::SetHangLimit(DWORD milliseconds) { m_state->hangLimit = milliseconds * TimeScale(); }

void ScriptedUser::Run(const std::function<void()>& hostCall)
{
    State& st = *m_state;
    if (t_active) {
        Failure() << "a scripted user is already running on this thread";
        return;
    }
    st.threadId = GetCurrentThreadId();
    st.runStart = GetTickCount();
    st.lastProgress = GetTickCount();
    st.SetActivity(st.steps.empty() ? std::string("no steps") : "waiting for " + st.StepName(0));
    t_active = &st;
    st.hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, st.threadId);
    st.showHook = SetWindowsHookExA(WH_CALLWNDPROCRET, ShowProc, nullptr, st.threadId);
    st.timer = SetTimer(nullptr, 0, kTickMs, TimerProc);
    st.stopWatchdog = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE watchdog = CreateThread(nullptr, 0, LastResort, &st, 0, nullptr);

    try {
        hostCall();
    } catch (const std::exception& e) {
        Failure() << "the host call threw: " << e.what();
    } catch (...) {
        Failure() << "the host call threw";
    }

    // Polled steps that come after the host call's modal loops (or a call that showed
    // nothing) run here, each bounded by the step timeout.
    if (!st.aborting && st.next < st.steps.size() && st.steps[st.next].poll)
        st.lastProgress = GetTickCount();
    while (!st.aborting && st.next < st.steps.size() && st.steps[st.next].poll) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (st.next < st.steps.size())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kTickMs, QS_ALLINPUT);
    }

    st.SetActivity("the host call returned");
    SetEvent(st.stopWatchdog);
    if (watchdog) {
        WaitForSingleObject(watchdog, INFINITE);
        CloseHandle(watchdog);
    }
    CloseHandle(st.stopWatchdog);
    st.stopWatchdog = nullptr;
    KillTimer(nullptr, st.timer);
    UnhookWindowsHookEx(st.hook);
    UnhookWindowsHookEx(st.showHook);
    for (size_t i = 0; i < st.handles.size(); ++i) {
        if (st.handles[i] && IsWindow(st.handles[i]))
            st.Refresh(int(i));
    }
    t_active = nullptr;

    if (!st.aborting && st.next < st.steps.size()) {
        std::string shown;
        for (const SeenWindow& w : ShownWindows())
            shown += (shown.empty() ? "" : ", ") + Quote(w.caption);
        Failure() << "the host call returned before " << st.StepName(st.next)
                      << " ran; dialogs shown: " << (shown.empty() ? "none" : shown);
    }
}

int ScriptedUser::StepsRun() const { return int(m_state->next); }
bool ScriptedUser::TimedOut() const { return m_state->timedOut; }
const std::vector<SeenWindow>& ScriptedUser::Windows() const { return m_state->windows; }

std::vector<SeenWindow> ScriptedUser::ShownWindows() const
{
    std::vector<SeenWindow> shown;
    for (const SeenWindow& w : m_state->windows) {
        if (w.shown)
            shown.push_back(w);
    }
    return shown;
}

std::vector<std::string> ScriptedUser::MessageBoxTexts() const
{
    std::vector<std::string> texts;
    for (const SeenWindow& w : m_state->windows) {
        if (w.shown && w.isMessageBox)
            texts.push_back(w.messageText);
    }
    return texts;
}

}  // namespace hostkit

// The scripted user against plain Win32 dialogs and message boxes: the steps run
// in order inside the modal loops, what it reads is what the controls show, what
// it does arrives as a person's action would, and its watchdog ends a dialog that
// nobody answers instead of hanging the test.
#include <dialog_driver.h>
#include <test_fixtures.h>

#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "test_dialog.h"

using namespace dialog_driver;

namespace {

const int kNext = 100;
const int kList = 200;
const int kTree = 201;
const int kCombo = 202;
const int kEdit = 203;
const int kGreyed = 204;

struct CommonControls {
    CommonControls()
    {
        INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&init);
    }
} g_commonControls;

DialogTemplate TwoButtons(const std::wstring& caption)
{
    DialogTemplate t(caption, 200, 80);
    t.Button(L"OK", IDOK, 10, 60, WS_TABSTOP | BS_DEFPUSHBUTTON)
        .Button(L"Cancel", IDCANCEL, 70, 60)
        .Button(L"&Next", kNext, 130, 60);
    return t;
}

TEST(ScriptedUser, RunsStepsInOrderAcrossNestedModalLoops)
{
    std::vector<std::string> trail;
    int boxAnswer = 0;
    TestDialog dialog;
    ScriptedUser user;
    user.When("First", [&](Dialog& d) {
        trail.push_back("first:" + d.Caption());
        d.Click(kNext);  // opens the message box: the next step answers it in there
        trail.push_back("first:after click");
    });
    user.When(AnyMessageBox(), [&](Dialog& box) {
        trail.push_back("box:" + box.Caption());
        EXPECT_EQ(box.MessageText(), "Line one\nline two");
        box.ClickButton("Cancel");
    });
    user.When("First", [&](Dialog& d) {
        trail.push_back("first again");
        d.Click(IDOK);
    });

    INT_PTR result = 0;
    user.Run([&] {
        result = dialog.Run(TwoButtons(L"First"), [&](HWND hwnd, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
            if (msg == WM_COMMAND && LOWORD(wp) == kNext) {
                boxAnswer = MessageBoxA(hwnd, "Line one\nline two", "Note", MB_OKCANCEL);
                return TRUE;
            }
            return FALSE;
        });
    });

    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(boxAnswer, IDCANCEL);
    EXPECT_EQ(trail, (std::vector<std::string>{"first:First", "box:Note", "first:after click", "first again"}));
    EXPECT_EQ(user.StepsRun(), 3);
    EXPECT_FALSE(user.TimedOut());
    EXPECT_EQ(user.MessageBoxTexts(), std::vector<std::string>{"Line one\nline two"});
    ASSERT_EQ(user.ShownWindows().size(), 2u);
    EXPECT_EQ(user.ShownWindows()[0].caption, "First");
    EXPECT_TRUE(user.ShownWindows()[1].isMessageBox);
}

TEST(ScriptedUser, AnswersMessageBoxesByTheirButtons)
{
    struct Case {
        const char* name;
        UINT type;
        const char* press;
        int answer;
        std::vector<std::string> buttons;
    };
    const Case cases[] = {
        {"ok box", MB_OK, "OK", IDOK, {"OK"}},
        {"yes of yes/no", MB_YESNO, "Yes", IDYES, {"&Yes", "&No"}},
        {"no of yes/no", MB_YESNO, "&No", IDNO, {"&Yes", "&No"}},
        {"cancel of yes/no/cancel", MB_YESNOCANCEL, "Cancel", IDCANCEL, {"&Yes", "&No", "Cancel"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedUser user;
        std::vector<std::string> buttons;
        user.When(MessageBoxCaption("Question"), [&](Dialog& box) {
            buttons = box.ButtonTexts();
            box.ClickButton(c.press);
        });
        int answer = 0;
        user.Run([&] { answer = MessageBoxA(nullptr, "Go on?", "Question", c.type); });
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(buttons, c.buttons);
    }
}

TEST(ScriptedUser, SeesThatADialogEndedDuringInitialisationWasNeverShown)
{
    TestDialog dialog;
    ScriptedUser user;
    INT_PTR result = 0;
    user.Run([&] {
        result = dialog.Run(TwoButtons(L"Gone"), [](HWND hwnd, UINT msg, WPARAM, LPARAM) -> INT_PTR {
            if (msg == WM_INITDIALOG) {
                SetWindowTextA(hwnd, "Renamed");
                EndDialog(hwnd, IDOK);
            }
            return FALSE;
        });
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(user.Windows().size(), 1u);
    EXPECT_EQ(user.Windows()[0].caption, "Renamed");  // the caption it had when it went
    EXPECT_FALSE(user.Windows()[0].shown);
    EXPECT_TRUE(user.ShownWindows().empty());
}

// The watchdog: nobody answers, the test fails, and the dialog is closed.
void RunUnanswered(INT_PTR* result, bool* timedOut)
{
    TestDialog dialog;
    ScriptedUser user;
    user.SetStepTimeout(300);
    user.When("Some other dialog", [](Dialog& d) { d.Click(IDOK); });
    user.Run([&] { *result = dialog.Run(TwoButtons(L"Nobody answers")); });
    *timedOut = user.TimedOut();
}

TEST(ScriptedUser, WatchdogFailsTheTestAndClosesADialogNobodyAnswers)
{
    static INT_PTR result;
    static bool timedOut;
    result = 0;
    static std::string expected;
    expected = "step 1 (waits for a dialog \"Some other dialog\") did not come within " +
               std::to_string(300 * dialog_driver::TimeScale()) + " ms";
    DWORD start = GetTickCount();
    EXPECT_NONFATAL_FAILURE(RunUnanswered(&result, &timedOut), expected);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(timedOut);
    EXPECT_LT(GetTickCount() - start, 5000u * dialog_driver::TimeScale());
}

void RunWithUnexpectedMessageBox(int* answer)
{
    ScriptedUser user;
    user.SetStepTimeout(300);
    user.Run([&] { *answer = MessageBoxA(nullptr, "Surprise", "Unplanned", MB_YESNO); });
}

TEST(ScriptedUser, WatchdogClosesAMessageBoxThatNoStepExpects)
{
    static int answer;
    answer = 0;
    EXPECT_NONFATAL_FAILURE(RunWithUnexpectedMessageBox(&answer), "message box \"Unplanned\": \"Surprise\"");
    EXPECT_NE(answer, 0);
}

void RunWithLeftoverStep()
{
    TestDialog dialog;
    ScriptedUser user;
    user.When("Quick", [](Dialog& d) { d.Click(IDOK); });
    user.When("Never comes", [](Dialog&) {});
    user.Run([&] { dialog.Run(TwoButtons(L"Quick")); });
}

TEST(ScriptedUser, FailsWhenTheHostCallReturnsBeforeAStepRan)
{
    EXPECT_NONFATAL_FAILURE(RunWithLeftoverStep(),
                            "the host call returned before step 2 (waits for a dialog \"Never comes\") ran");
}

void RunWithThrowingStep(INT_PTR* result, int* stepsRun)
{
    TestDialog dialog;
    ScriptedUser user;
    user.When("Broken", [](Dialog&) { throw std::runtime_error("boom"); });
    user.When("Broken", [](Dialog& d) { d.Click(IDOK); });
    user.Run([&] { *result = dialog.Run(TwoButtons(L"Broken")); });
    *stepsRun = user.StepsRun();
}

TEST(ScriptedUser, AStepThatThrowsStopsTheScriptAndClosesTheDialog)
{
    static INT_PTR result;
    static int stepsRun;
    EXPECT_NONFATAL_FAILURE(RunWithThrowingStep(&result, &stepsRun), "step 1 (waits for a dialog \"Broken\") threw: boom");
    EXPECT_EQ(result, IDCANCEL);  // closed by the driver, not by step 2's OK
    EXPECT_EQ(stepsRun, 1);
}

// Polled steps: each ticks until it says it is done, the dialog's own steps keep
// their order around them, and the ones left when the host call returns still run.
TEST(ScriptedUser, PolledStepsWaitForTheirConditionAndRunAfterTheHostCall)
{
    std::vector<std::string> trail;
    TestDialog dialog;
    ScriptedUser user;
    int polls = 0;
    user.Until("the dialog and three ticks", [&] {
        HWND found = FindThreadDialog(WindowMatch("Polled"));
        if (!found || ++polls < 3)
            return false;
        trail.push_back("polled " + std::to_string(polls));
        return Dialog(found).PostClick(IDOK);
    });
    user.Until("after the host call", [&] {
        trail.push_back(FindThreadDialog(WindowMatch("Polled")) ? "still open" : "closed");
        return true;
    });
    INT_PTR result = 0;
    user.Run([&] { result = dialog.Run(TwoButtons(L"Polled")); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(trail, (std::vector<std::string>{ "polled 3", "closed" }));
    EXPECT_EQ(user.StepsRun(), 2);
}

void RunWithEndlessPoll(INT_PTR* result)
{
    TestDialog dialog;
    ScriptedUser user;
    user.SetStepTimeout(300);
    user.Until("a condition that never holds", [] { return false; });
    user.Run([&] { *result = dialog.Run(TwoButtons(L"Endless")); });
}

TEST(ScriptedUser, APolledStepThatNeverEndsFailsAndClosesTheDialog)
{
    static INT_PTR result;
    result = 0;
    static std::string expected;
    expected = "step 1 (waits for a condition that never holds) did not come within " +
               std::to_string(300 * TimeScale()) + " ms";
    EXPECT_NONFATAL_FAILURE(RunWithEndlessPoll(&result), expected);
    EXPECT_EQ(result, IDCANCEL);
}

TEST(ScriptedUser, FailuresGoToTheReporterThatIsSet)
{
    std::vector<std::string> reported;
    hostkit::SetFailureReporter({ [&](const std::string& message) { reported.push_back(message); }, nullptr });
    TestDialog dialog;
    hostkit::ScriptedUser user;   // the plain one: it keeps the reporter set here
    DialogTemplate t = TwoButtons(L"Reported");
    t.Button(L"Greyed", kGreyed, 10, 10, WS_DISABLED);
    bool posted = true;
    user.When("Reported", [&](Dialog& d) {
        posted = d.PostClick(kGreyed);
        d.Click(IDCANCEL);
    });
    user.Run([&] { dialog.Run(t); });
    ScriptedUser restore;   // GoogleTest's reporter again
    EXPECT_FALSE(posted);
    EXPECT_EQ(reported, (std::vector<std::string>{ "\"Reported\": control 204 \"Greyed\" is greyed and cannot be clicked" }));
}

// Run only as a child process by the test below: a modal loop that no closing
// can end, which only the last resort stops.
TEST(ScriptedUser, DISABLED_StuckModalLoop)
{
    ScriptedUser user;
    user.SetStepTimeout(200);
    user.SetHangLimit(1500);
    user.Run([] {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0))
            DispatchMessageA(&msg);
    });
}

TEST(ScriptedUser, LastResortEndsAProcessWhoseModalLoopIsStuck)
{
    fixtures::TempFolder folder;
    std::string errors = folder.File("stderr.txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self +
                          "\" --gtest_also_run_disabled_tests --gtest_filter=ScriptedUser.DISABLED_StuckModalLoop";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(file);
    DWORD waited = WaitForSingleObject(process.hProcess, 30000 * dialog_driver::TimeScale());
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the stuck child was not ended";
    EXPECT_EQ(exitCode, 3u);
    std::string output = fixtures::ReadFile(errors);
    EXPECT_NE(output.find("did not return after the last step"), std::string::npos) << output;
    EXPECT_NE(output.find("the modal loop is stuck, ending the process"), std::string::npos) << output;
}

TEST(Dialog, PressesKeysAsTheKeyboardDoes)
{
    struct Case {
        const char* name;
        UINT key;
        INT_PTR result;
    };
    const Case cases[] = {
        {"Enter presses the default button", VK_RETURN, IDOK},
        {"Esc cancels", VK_ESCAPE, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDialog dialog;
        ScriptedUser user;
        user.When("Keys", [&](Dialog& d) { d.PressKey(c.key); });
        INT_PTR result = 0;
        user.Run([&] { result = dialog.Run(TwoButtons(L"Keys")); });
        EXPECT_EQ(result, c.result);
    }
}

TEST(Dialog, TabMovesTheFocusAndTheNextStepSeesIt)
{
    TestDialog dialog;
    ScriptedUser user;
    int before = 0, after = 0;
    user.When("Focus", [&](Dialog& d) {
        before = d.FocusId();
        d.PressTab();
    });
    user.When("Focus", [&](Dialog& d) {
        after = d.FocusId();
        d.Click(IDCANCEL);
    });
    user.Run([&] { dialog.Run(TwoButtons(L"Focus")); });
    EXPECT_EQ(before, IDOK);
    EXPECT_EQ(after, IDCANCEL);
}

TEST(Dialog, CloseBoxAndGreyedButtons)
{
    TestDialog dialog;
    ScriptedUser user;
    bool clickedGreyed = true;
    DialogTemplate t = TwoButtons(L"Close me");
    t.Button(L"Greyed", kGreyed, 10, 10, WS_DISABLED);
    user.When("Close me", [&](Dialog& d) {
        EXPECT_FALSE(d.IsEnabled(kGreyed));
        EXPECT_TRUE(d.IsEnabled(IDOK));
        clickedGreyed = d.TryClick(kGreyed);
        d.Close();
    });
    INT_PTR result = 0;
    user.Run([&] { result = dialog.Run(t); });
    EXPECT_FALSE(clickedGreyed);
    EXPECT_EQ(result, IDCANCEL);  // the close box, not the greyed button's id
}

// Clicks a control that a person could not click, then leaves by the close box.
void ClickUnclickable(int id, DWORD style, bool hide, INT_PTR* result)
{
    TestDialog dialog;
    ScriptedUser user;
    DialogTemplate t = TwoButtons(L"Unclickable");
    t.Button(L"Greyed", kGreyed, 10, 10, style);
    user.When("Unclickable", [=](Dialog& d) {
        if (hide)
            ShowWindow(d.Item(kGreyed), SW_HIDE);
        d.Click(id);
        d.Close();
    });
    user.Run([&] { *result = dialog.Run(t); });
}

TEST(Dialog, ClickThatAPersonCannotMakeFailsNamingTheControl)
{
    struct Case {
        const char* name;
        int id;
        DWORD style;
        bool hide;
        const char* failure;
    };
    const Case cases[] = {
        { "greyed", kGreyed, WS_DISABLED, false, "\"Unclickable\": control 204 \"Greyed\" is greyed" },
        { "hidden", kGreyed, 0, true, "\"Unclickable\": control 204 \"Greyed\" is hidden" },
        { "missing", 999, 0, false, "\"Unclickable\" has no control 999 to click" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        INT_PTR result = 0;
        EXPECT_NONFATAL_FAILURE(ClickUnclickable(c.id, c.style, c.hide, &result), c.failure);
        EXPECT_EQ(result, IDCANCEL) << "the click did nothing";
    }
}

TEST(Dialog, F1AsksForHelpAboutTheFocusedControl)
{
    TestDialog dialog;
    ScriptedUser user;
    int helpControl = -1;
    int helpType = -1;
    user.When("Help", [&](Dialog& d) {
        d.SetFocus(kNext);
        d.PressF1();
        d.Click(IDCANCEL);
    });
    user.Run([&] {
        dialog.Run(TwoButtons(L"Help"), [&](HWND, UINT msg, WPARAM, LPARAM lp) -> INT_PTR {
            if (msg == WM_HELP) {
                auto* info = reinterpret_cast<HELPINFO*>(lp);
                helpControl = info->iCtrlId;
                helpType = info->iContextType;
                return TRUE;
            }
            return FALSE;
        });
    });
    EXPECT_EQ(helpControl, kNext);
    EXPECT_EQ(helpType, HELPINFO_WINDOW);
}

DialogTemplate ControlsDialog()
{
    DialogTemplate t(L"Controls", 300, 200);
    t.Control(L"SysListView32", L"", kList, LVS_REPORT | WS_BORDER | WS_TABSTOP | LVS_SHOWSELALWAYS, 5, 5,
              180, 80)
        .Control(L"SysTreeView32", L"", kTree, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | WS_BORDER, 5,
                 90, 180, 80)
        .Control(L"ComboBox", L"", kCombo, CBS_DROPDOWNLIST | WS_VSCROLL, 190, 5, 100, 80)
        .Button(L"OK", IDOK, 190, 170);
    return t;
}

struct ControlEvents {
    std::vector<int> doubleClicked;      // NM_DBLCLK rows
    std::vector<int> selectionsAtDouble; // selected row count at that moment
    std::vector<int> comboChanges;       // CBN_SELCHANGE: the selection then
};

INT_PTR FillControls(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, ControlEvents& events)
{
    if (msg == WM_INITDIALOG) {
        HWND list = GetDlgItem(hwnd, kList);
        const char* titles[] = {"Object", "Author"};
        for (int c = 0; c < 2; ++c) {
            LVCOLUMNA col = {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(titles[c]);
            col.cx = 60 + 40 * c;
            SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
        }
        std::string longText(300, 'x');
        const char* rows[][2] = {{"alpha", "ann"}, {"beta", longText.c_str()}, {"gamma", ""}};
        for (int r = 0; r < 3; ++r) {
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = const_cast<char*>(rows[r][0]);
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            item.iSubItem = 1;
            item.pszText = const_cast<char*>(rows[r][1]);
            SendMessageA(list, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
        }

        HWND tree = GetDlgItem(hwnd, kTree);
        auto insert = [&](HTREEITEM parent, const char* text) {
            TVINSERTSTRUCTA ins = {};
            ins.hParent = parent;
            ins.hInsertAfter = TVI_LAST;
            ins.item.mask = TVIF_TEXT;
            ins.item.pszText = const_cast<char*>(text);
            return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
        };
        HTREEITEM obj = insert(TVI_ROOT, "object one");
        HTREEITEM group = insert(obj, "group");
        insert(insert(group, "1"), "depth: 12 [m]");
        insert(TVI_ROOT, "object two");
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(obj));

        HWND combo = GetDlgItem(hwnd, kCombo);
        for (const char* name : {"a.kvd", "b.kvd", "c.kvd"})
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        return FALSE;
    }
    if (msg == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        if (header->idFrom == kList && header->code == NM_DBLCLK) {
            events.doubleClicked.push_back(reinterpret_cast<NMITEMACTIVATE*>(lp)->iItem);
            events.selectionsAtDouble.push_back(int(SendMessageA(header->hwndFrom, LVM_GETSELECTEDCOUNT, 0, 0)));
        }
        return FALSE;
    }
    if (msg == WM_COMMAND && LOWORD(wp) == kCombo && HIWORD(wp) == CBN_SELCHANGE) {
        events.comboChanges.push_back(int(SendMessageA(reinterpret_cast<HWND>(lp), CB_GETCURSEL, 0, 0)));
        return TRUE;
    }
    return FALSE;
}

// Runs the dialog of the three controls, filled, under the user's script.
void RunControlsDialog(ScriptedUser& user, ControlEvents& events)
{
    TestDialog dialog;
    user.Run([&] { dialog.Run(ControlsDialog(), [&](HWND h, UINT m, WPARAM w, LPARAM l) {
        return FillControls(h, m, w, l, events); }); });
}

TEST(ListView, ReadsRowsColumnsAndStates)
{
    ScriptedUser user;
    ControlEvents events;
    user.When("Controls", [&](Dialog& d) {
        ListView list = d.List(kList);
        EXPECT_EQ(list.RowCount(), 3);
        EXPECT_EQ(list.ColumnCount(), 2);
        EXPECT_EQ(list.ColumnTitle(1), "Author");
        EXPECT_EQ(list.ColumnWidth(0), 60);
        EXPECT_EQ(list.ColumnWidth(1), 100);
        EXPECT_EQ(list.Column(0), (std::vector<std::string>{"alpha", "beta", "gamma"}));
        EXPECT_EQ(list.Cell(1, 1), std::string(300, 'x'));  // longer than any first buffer
        EXPECT_EQ(list.Cell(2, 1), "");
        EXPECT_EQ(list.FindRow("gamma"), 2);
        EXPECT_EQ(list.FindRow("Gamma"), -1);

        list.Select(0);
        list.Select(2);
        list.FocusRow(1);
        EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 2}));
        EXPECT_EQ(list.FocusedRow(), 1);
        ListRow middle = list.Row(1);
        EXPECT_FALSE(middle.selected);
        EXPECT_TRUE(middle.focused);
        list.Deselect(0);
        EXPECT_EQ(list.SelectedRows(), std::vector<int>{2});
        list.SelectOnly({0, 1});
        EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 1}));
        list.ClearSelection();
        EXPECT_TRUE(list.SelectedRows().empty());
        d.Click(IDOK);
    });
    RunControlsDialog(user, events);
}

TEST(ListView, DoubleClickSelectsTheRowAloneAndNotifiesTheParent)
{
    ScriptedUser user;
    ControlEvents events;
    std::vector<int> selectedAfter;
    user.When("Controls", [&](Dialog& d) {
        ListView list = d.List(kList);
        list.SelectOnly({0, 1});
        list.DoubleClick(2);
        selectedAfter = list.SelectedRows();
        d.Click(IDOK);
    });
    RunControlsDialog(user, events);
    EXPECT_EQ(events.doubleClicked, std::vector<int>{2});
    EXPECT_EQ(events.selectionsAtDouble, std::vector<int>{1});
    EXPECT_EQ(selectedAfter, std::vector<int>{2});
}

TEST(TreeView, WalksItemsWithDepthAndExpansion)
{
    ScriptedUser user;
    ControlEvents events;
    user.When("Controls", [&](Dialog& d) {
        TreeView tree = d.Tree(kTree);
        EXPECT_EQ(tree.Count(), 5);
        EXPECT_EQ(tree.Outline(),
                  "- object one\n"
                  "  + group\n"
                  "    + 1\n"
                  "        depth: 12 [m]\n"
                  "  object two\n");
        EXPECT_EQ(tree.Outline(true),
                  "- object one\n"
                  "  + group\n"
                  "  object two\n");
        HTREEITEM value = tree.Find({"object one", "group", "1", "depth: 12 [m]"});
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(tree.Find({"object one", "nothing"}), nullptr);
        EXPECT_EQ(tree.Selected(), nullptr);
        tree.Select(value);  // selecting makes it visible: its parents open
        EXPECT_EQ(tree.Selected(), value);
        std::vector<TreeItem> items = tree.Items();
        ASSERT_EQ(items.size(), 5u);
        EXPECT_EQ(items[3].depth, 3);
        EXPECT_TRUE(items[3].selected);
        EXPECT_TRUE(items[1].expanded);
        EXPECT_EQ(tree.FirstVisible(), tree.Root());
        d.Click(IDOK);
    });
    RunControlsDialog(user, events);
}

TEST(ComboBox, PickSelectsAndTellsTheParent)
{
    ScriptedUser user;
    ControlEvents events;
    bool pickedMissing = true;
    user.When("Controls", [&](Dialog& d) {
        ComboBox combo = d.Combo(kCombo);
        EXPECT_EQ(combo.Items(), (std::vector<std::string>{"a.kvd", "b.kvd", "c.kvd"}));
        EXPECT_EQ(combo.SelectedIndex(), CB_ERR);
        EXPECT_EQ(combo.SelectedText(), "");
        EXPECT_TRUE(combo.Pick("b.kvd"));
        EXPECT_EQ(combo.SelectedText(), "b.kvd");
        pickedMissing = combo.Pick("B.KVD");
        d.Click(IDOK);
    });
    RunControlsDialog(user, events);
    EXPECT_EQ(events.comboChanges, std::vector<int>{1});
    EXPECT_FALSE(pickedMissing);
}

TEST(OpenFileDialog, TypesANameAndPressesOpen)
{
    fixtures::TempFolder folder;
    folder.Write("one.kvd", "x");
    struct Case {
        const char* name;
        const char* typed;
        bool pressOpen;
        BOOL result;
        std::string expected;
    };
    const Case cases[] = {
        {"existing file", "one.kvd", true, TRUE, folder.File("one.kvd")},
        {"new name as typed", "fresh.kvd", true, TRUE, folder.File("fresh.kvd")},
        {"cancel", "one.kvd", false, FALSE, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char file[MAX_PATH] = "";
        std::string initial = folder.File("*.kvd");
        lstrcpynA(file, initial.c_str(), MAX_PATH);
        OPENFILENAMEA ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFilter = "Data Exchange Files (*.kvd)\0*.kvd\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrDefExt = "kvd";
        ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
        ScriptedUser user;
        user.When(WithControl(cmb13), [&](Dialog& d) {
            EXPECT_TRUE(d.TypeFileName(c.typed));
            d.Click(c.pressOpen ? IDOK : IDCANCEL);
        });
        BOOL result = FALSE;
        user.Run([&] { result = GetOpenFileNameA(&ofn); });
        EXPECT_EQ(result, c.result);
        if (c.result) {
            EXPECT_EQ(std::string(file), c.expected);
        }
    }
}

TEST(Dialog, SavesAScreenshotAsPng)
{
    fixtures::TempFolder folder;
    std::string path = folder.File("shot.png");
    TestDialog dialog;
    ScriptedUser user;
    user.When("Picture", [&](Dialog& d) {
        d.SaveScreenshot(path);
        d.Click(IDOK);
    });
    user.Run([&] { dialog.Run(TwoButtons(L"Picture")); });
    std::string bytes = fixtures::ReadFile(path);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
}

}  // namespace

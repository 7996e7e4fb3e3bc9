// The kit's help window (include/derarhelp.h) as a host uses it: F1 and the Help
// button of both dialogs reach the host's handler with the file and the context, and
// the request blocks that WinHelpA sends are read without a read past their end.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <derar.h>
#include <derarhelp.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"

namespace {

using dialog_driver::Dialog;

// What the handler saw, one entry per request.
struct Seen {
    HWND caller;
    UINT command;
    DWORD data;
    std::string file;
};

void Record(const DerarHelpRequest* request, void* seen)
{
    static_cast<std::vector<Seen>*>(seen)->push_back({request->caller, request->command, request->data,
                                                      request->file});
}

// The kit's window for the whole test, as a host makes it once at start.
class HelpWindow : public testing::Test {
protected:
    void SetUp() override
    {
        m_window = DerarCreateHelpWindow(GetModuleHandleA(nullptr), Record, &m_seen);
        ASSERT_NE(m_window, nullptr) << "error " << GetLastError();
    }
    void TearDown() override { DerarDestroyHelpWindow(m_window); }

    // Plays the dialog that hostCall opens: in it, press presses Help or F1 and the
    // request must have reached the handler by then; then the dialog ends.
    void PlayHelp(const std::string& caption, int closeWith, bool f1, const std::function<void()>& hostCall)
    {
        m_seen.clear();
        dialog_driver::ScriptedUser user;
        user.When(caption, [&](Dialog& dialog) {
            if (f1) {
                dialog.SetFocus(IDOK);
                dialog.PressF1();
            } else {
                dialog.Click(ID_HELP);
            }
            m_shown = dialog.Handle();
            m_visible = IsWindowVisible(m_window) != FALSE;
            dialog.Click(closeWith);
        });
        // hostkit's Run without the driver's own help observer: the kit's window is the
        // only one, as in a host.
        user.hostkit::ScriptedUser::Run(hostCall);
    }

    HWND m_window = nullptr;
    std::vector<Seen> m_seen;
    HWND m_shown = nullptr;
    bool m_visible = true;
};

const char kFile[] =
    "KVD 1\n"
    "object \"Deviation survey\" \"A. Rahman\" 3 NF-001 \"1987-03-14 09:30\"\n"
    "value Survey \"\" 1 Depth 1200 m\n"
    "end\n";

TEST_F(HelpWindow, HelpAndF1OfBothDialogsReachTheHandlerWithTheirContext)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", kFile);
    const std::string directory = folder.Path();
    struct Case {
        const char* name;
        const char* caption;
        int closeWith;
        DWORD context;
        std::function<void()> call;
    };
    char buffer[256] = "Deviation survey";
    char* names[1] = {buffer};
    int count = 1;
    const Case cases[] = {
        {"import", "Kiv Import", IDCANCEL, DERAR_HELP_CONTEXT_IMPORT,
         [&] {
             count = 1;
             KivImpExpDialog(1, directory.c_str(), "wells.kvd", "A. Rahman", "NF-001", names, &count);
         }},
        {"export", "Kiv Export", IDCANCEL, DERAR_HELP_CONTEXT_EXPORT,
         [&] {
             count = 1;
             KivImpExpDialog(0, directory.c_str(), "wells.kvd", "A. Rahman", "NF-001", names, &count);
         }},
        {"browser", "Browse Kiv File", IDOK, DERAR_HELP_CONTEXT_BROWSE,
         [&] { KivBrowseDialog(directory.c_str(), "wells.kvd"); }},
    };
    for (const Case& c : cases) {
        for (bool f1 : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (f1 ? ", F1" : ", the Help button"));
            PlayHelp(c.caption, c.closeWith, f1, c.call);
            ASSERT_EQ(m_seen.size(), 1u);
            EXPECT_EQ(m_seen[0].caller, m_shown) << "the request names the dialog that asked";
            EXPECT_EQ(m_seen[0].command, static_cast<UINT>(HELP_CONTEXT));
            EXPECT_EQ(m_seen[0].data, c.context);
            EXPECT_EQ(m_seen[0].file, DERAR_HELP_FILE_NAME);
            EXPECT_FALSE(m_visible) << "the help window stays hidden";
        }
    }
}

TEST_F(HelpWindow, WinHelpFindsNoWindowOnceItIsDestroyed)
{
    EXPECT_EQ(FindWindowA("MS_WINHELP", nullptr), m_window);
    DerarDestroyHelpWindow(m_window);
    EXPECT_EQ(FindWindowA("MS_WINHELP", nullptr), nullptr);
    m_window = nullptr;
    DerarDestroyHelpWindow(nullptr);  // harmless
}

// ---- the request blocks -----------------------------------------------------

// size, command, data, reserved, offset of the file name, offset of extra data, then the name.
std::vector<BYTE> Block(WORD command, LONG data, WORD nameAt, const std::string& name, bool terminate = true)
{
    std::vector<BYTE> block(16 + name.size() + (terminate ? 1 : 0), 0);
    auto put = [&block](size_t at, const void* value, size_t size) { std::memcpy(&block[at], value, size); };
    put(2, &command, 2);
    put(4, &data, 4);
    put(12, &nameAt, 2);
    put(16, name.data(), name.size());
    const WORD size = static_cast<WORD>(block.size());
    put(0, &size, 2);
    return block;
}

const ULONG_PTR kSignature = 0xA1DE505;

TEST(HelpRequestBlock, IsReadWithinItsBoundsAndItsBuffer)
{
    struct Case {
        const char* name;
        std::vector<BYTE> block;
        ULONG_PTR signature;
        int bufferSize;
        bool accepted;
        UINT command;
        DWORD data;
        std::string file;
    };
    const Case cases[] = {
        {"context 4 of kiv.hlp", Block(HELP_CONTEXT, 4, 16, "kiv.hlp"), kSignature, 260, true, HELP_CONTEXT, 4,
         "kiv.hlp"},
        {"another command", Block(HELP_CONTENTS, 0, 16, "kiv.hlp"), kSignature, 260, true, HELP_CONTENTS, 0,
         "kiv.hlp"},
        {"a name without its zero ends with the block", Block(HELP_CONTEXT, 5, 16, "kiv.hlp", false), kSignature,
         260, true, HELP_CONTEXT, 5, "kiv.hlp"},
        {"a name longer than the buffer is cut to it", Block(HELP_CONTEXT, 5, 16, "kiv.hlp"), kSignature, 4, true,
         HELP_CONTEXT, 5, "kiv"},
        {"a name offset past the block gives no name", Block(HELP_CONTEXT, 3, 400, "kiv.hlp"), kSignature, 260,
         true, HELP_CONTEXT, 3, ""},
        {"a name offset inside the header gives no name", Block(HELP_CONTEXT, 3, 4, "kiv.hlp"), kSignature, 260,
         true, HELP_CONTEXT, 3, ""},
        {"a block shorter than its header is refused", std::vector<BYTE>(10, 0), kSignature, 260, false, 0, 0, ""},
        {"another signature is refused", Block(HELP_CONTEXT, 4, 16, "kiv.hlp"), 0x1234, 260, false, 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        COPYDATASTRUCT data = {};
        data.dwData = c.signature;
        data.cbData = static_cast<DWORD>(c.block.size());
        data.lpData = const_cast<BYTE*>(c.block.data());
        std::vector<char> file(static_cast<size_t>(c.bufferSize) + 8, 'x');
        DerarHelpRequest request = {};
        const HWND caller = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
        const bool accepted = DerarReadHelpRequest(caller, &data, &request, file.data(), c.bufferSize) != FALSE;
        ASSERT_EQ(accepted, c.accepted);
        if (!accepted)
            continue;
        EXPECT_EQ(request.caller, caller);
        EXPECT_EQ(request.command, c.command);
        EXPECT_EQ(request.data, c.data);
        EXPECT_EQ(std::string(request.file), c.file);
        EXPECT_EQ(file[static_cast<size_t>(c.bufferSize)], 'x') << "written past the buffer";
    }
}

// ---- a request for another program ------------------------------------------

// The other program of the forward tests: this program again, running one of these two.
// Each makes its own help window (the one a request from its windows is passed on to).

// Answers: exits 0 once its handler has seen context 4, 2 if none comes within a minute.
void Answered(const DerarHelpRequest* request, void* done)
{
    *static_cast<int*>(done) = request->data == DERAR_HELP_CONTEXT_EXPORT ? 0 : 1;
}

TEST(HelpForwardChild, DISABLED_Answers)
{
    int done = -1;
    HWND window = DerarCreateHelpWindow(GetModuleHandleA(nullptr), Answered, &done);
    const ULONGLONG end = GetTickCount64() + 60000;
    MSG msg;
    while (window != nullptr && done < 0 && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    ExitProcess(done < 0 ? 2 : static_cast<UINT>(done));
}

// Hung: its thread never takes a message again.
TEST(HelpForwardChild, DISABLED_Hung)
{
    DerarCreateHelpWindow(GetModuleHandleA(nullptr), Answered, nullptr);
    Sleep(120000);
    ExitProcess(0);
}

// This program running one child test; its help window once it has made it.
class OtherProgram {
public:
    explicit OtherProgram(const char* test)
    {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string command =
            std::string("\"") + self + "\" --gtest_also_run_disabled_tests --gtest_filter=HelpForwardChild." + test;
        // Its report must not take the place of this program's.
        char report[MAX_PATH] = "";
        const bool bReport = GetEnvironmentVariableA("GTEST_OUTPUT", report, MAX_PATH) > 0;
        SetEnvironmentVariableA("GTEST_OUTPUT", nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        m_started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &m_process) != FALSE;
        if (bReport)
            SetEnvironmentVariableA("GTEST_OUTPUT", report);
        const ULONGLONG end = GetTickCount64() + 30000ull * dialog_driver::TimeScale();
        while (m_started && m_window == nullptr && GetTickCount64() < end) {
            for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "MS_WINHELP", nullptr)) != nullptr;) {
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (process == m_process.dwProcessId)
                    m_window = window;
            }
            Sleep(20);
        }
    }
    ~OtherProgram()
    {
        if (!m_started)
            return;
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_process.hProcess, 99);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    HWND Window() const { return m_window; }
    // Its exit code once it has ended, or -1 when it is still running after waitMs.
    long ExitCode(DWORD waitMs) const
    {
        if (WaitForSingleObject(m_process.hProcess, waitMs * dialog_driver::TimeScale()) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    bool m_started = false;
    PROCESS_INFORMATION m_process = {};
    HWND m_window = nullptr;
};

// FindWindow hands WinHelpA one help window for the whole desktop: a request from another
// program's window that reaches ours goes to that program's help window, and one that does
// not answer (hung) is given up at once, so the thread of ours that passes it on (a dialog's)
// is never held for seconds.
TEST_F(HelpWindow, RequestOfAnotherProgramGoesToItsWindowOrIsGivenUpWhenItHangs)
{
    struct Case {
        const char* name;
        const char* child;
        LRESULT result;  // what our window answers
        long childExit;  // -1: still running (it never got the request)
    };
    const Case cases[] = {
        { "it answers", "DISABLED_Answers", TRUE, 0 },
        { "it hangs", "DISABLED_Hung", FALSE, -1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_seen.clear();
        OtherProgram other(c.child);
        ASSERT_NE(other.Window(), nullptr) << "the other program made no help window";
        std::vector<BYTE> block = Block(HELP_CONTEXT, DERAR_HELP_CONTEXT_EXPORT, 16, DERAR_HELP_FILE_NAME);
        COPYDATASTRUCT data = {};
        data.dwData = kSignature;
        data.cbData = static_cast<DWORD>(block.size());
        data.lpData = block.data();
        const ULONGLONG start = GetTickCount64();
        // As WinHelpA sends it for a dialog of the other program (its window is the caller).
        const LRESULT result = SendMessageA(m_window, WM_COPYDATA, reinterpret_cast<WPARAM>(other.Window()),
                                            reinterpret_cast<LPARAM>(&data));
        const ULONGLONG elapsed = GetTickCount64() - start;
        EXPECT_EQ(result, c.result);
        EXPECT_LT(elapsed, 2000u) << "the request held this thread for " << elapsed << " ms";
        EXPECT_TRUE(m_seen.empty()) << "our handler took the other program's request";
        EXPECT_EQ(other.ExitCode(c.childExit < 0 ? 0 : 10000), c.childExit);
    }
}

}  // namespace

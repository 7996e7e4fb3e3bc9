// The guide's example hosts, run as a person uses them: the transfer dialog is
// played by a scripted user, then the example writes or reads through Kiv.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <derar.h>
#include <kivapi.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"

extern "C" {
int ExportObjects(HWND owner, const char* directory, const char* fileName, const char* author,
                  const char* wellId);
int ImportObjects(HWND owner, const char* directory, const char* fileName, const char* author,
                  const char* wellId);
}

namespace {

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

const char kFile[] =
    "KVD 1\n"
    "object Kept \"B. Okafor\" 1 NF-002 \"1991-11-08 07:15\"\n"
    "value Test \"\" 1 Rate 1200 m3/d\n"
    "object \"Deviation survey\" \"A. Rahman\" 3 NF-001 \"1987-03-14 09:30\"\n"
    "value Survey \"\" 1 Depth 1200 m\n"
    "value Survey \"\" 1 Angle 3.5 deg\n"
    "value Survey \"\" 2 Depth 1300 m\n"
    "value Point Survey 1 X 10\n"
    "value Survey \"\" 2 Angle 4.0 deg\n"
    "value Casing \"\" 1 Size 7 in\n"
    "object \"Also kept\" \"C. Lindqvist\" 2 NF-002 \"1992-01-01 00:00\"\n"
    "end\n";

struct ReadObject {
    std::string name, author, wellId;
    std::vector<std::string> values;  // "group/record/name=text suffix"
};

std::vector<ReadObject> ReadBack(const std::string& path)
{
    std::vector<ReadObject> objects;
    char* message = nullptr;
    KivAttach(&message);
    if (!KivOpen(path.c_str(), &message, 0)) {
        ADD_FAILURE() << "the file does not read back: " << message;
        KivDetach();
        return objects;
    }
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        ReadObject object{name, author, wellId, {}};
        char *group, *valueName, *extra, *suffix, *text, *parent;
        int record = 0;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &text, &parent, &record))
            object.values.push_back(std::string(group) + "/" + std::to_string(record) + "/" + valueName + "=" +
                                    text + " " + suffix);
        objects.push_back(object);
    }
    KivDetach();
    return objects;
}

// Moves the row of this name to the lower list and presses OK.
ScriptedUser::Action ChooseAndConfirm(const std::string& name)
{
    return [name](Dialog& dialog) {
        auto available = dialog.List(IDC_AVAILABLE_LIST);
        const int row = available.FindRow(name);
        ASSERT_GE(row, 0) << name << " is not offered";
        available.SelectOnly({row});
        dialog.Click(IDC_ADD);
        dialog.Click(IDOK);
    };
}

TEST(GuideExamples, TheWritingHostReplacesTheChosenObjectAndKeepsTheOthers)
{
    fixtures::TempFolder folder;
    const std::string path = folder.Write("wells.kvd", kFile);
    int written = -1;
    ScriptedUser user;
    user.When("Kiv Export", ChooseAndConfirm("Deviation survey"));
    // "Casing program" is new to the file: its "New" row draws the author warning.
    user.When("Warning", [](Dialog& warning) { warning.Click(IDYES); });
    user.Run([&] { written = ExportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
    ASSERT_EQ(written, 1);

    const std::vector<ReadObject> objects = ReadBack(path);
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(objects[0].name, "Kept");
    EXPECT_EQ(objects[0].values, std::vector<std::string>{"Test/1/Rate=1200 m3/d"});
    EXPECT_EQ(objects[1].name, "Deviation survey") << "the new object takes the old one's place";
    EXPECT_EQ(objects[1].values,
              (std::vector<std::string>{"Survey/1/MD=0 m", "Survey/1/Inclination=0.0 deg", "Survey/2/MD=500 m",
                                        "Survey/2/Inclination=2.5 deg", "Tool/1/Name=MWD "}));
    EXPECT_EQ(objects[2].name, "Also kept");
    EXPECT_EQ(objects[3].name, "Casing program") << "a name the file lacked comes at the end";
    EXPECT_EQ(objects[3].values, (std::vector<std::string>{"Casing/1/Size=13 3/8 in", "Casing/1/Shoe=480 m"}));
}

// The host's two objects, as write_objects.c writes them.
const std::vector<std::string> kSurveyValues = {"Survey/1/MD=0 m", "Survey/1/Inclination=0.0 deg", "Survey/2/MD=500 m",
                                                "Survey/2/Inclination=2.5 deg", "Tool/1/Name=MWD "};
const std::vector<std::string> kCasingValues = {"Casing/1/Size=13 3/8 in", "Casing/1/Shoe=480 m"};

std::vector<std::string> NamesOf(const std::vector<ReadObject>& objects)
{
    std::vector<std::string> names;
    for (const ReadObject& object : objects)
        names.push_back(object.name);
    return names;
}

// After 1 with no names in export mode the file holds none of the candidates: the
// dialog never appears, and the host writes every object it meant to export.
TEST(GuideExamples, TheWritingHostWritesEverythingIntoAFileThatHoldsNoneOfItsObjects)
{
    struct Case {
        const char* name;
        const char* file;  // nullptr: no file
        std::vector<std::string> objects;
    };
    const Case cases[] = {
        {"a file that does not exist yet", nullptr, {"Deviation survey", "Casing program"}},
        {"a file of other objects",
         "KVD 1\nobject Kept \"B. Okafor\" 1 NF-002 \"1991-11-08 07:15\"\nvalue Test \"\" 1 Rate 1200 m3/d\nend\n",
         {"Kept", "Deviation survey", "Casing program"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fixtures::TempFolder folder;
        const std::string path = c.file ? folder.Write("wells.kvd", c.file) : folder.File("wells.kvd");
        int written = -1;
        ScriptedUser user;
        user.Run([&] { written = ExportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
        EXPECT_TRUE(user.ShownWindows().empty()) << "a window appeared: " << user.ShownWindows()[0].caption;
        ASSERT_EQ(written, 1);
        const std::vector<ReadObject> objects = ReadBack(path);
        EXPECT_EQ(NamesOf(objects), c.objects);
        if (objects.size() == c.objects.size()) {
            EXPECT_EQ(objects[objects.size() - 2].values, kSurveyValues);
            EXPECT_EQ(objects.back().values, kCasingValues);
            EXPECT_EQ(objects.back().author, "A. Rahman");
            EXPECT_EQ(objects.back().wellId, "NF-001");
        }
    }
}

// "No All" at the first warning also ends with 1 and no names: the file holds some of
// the candidates, so the host writes nothing.
TEST(GuideExamples, TheWritingHostWritesNothingAfterNoAllAtTheFirstWarning)
{
    fixtures::TempFolder folder;
    const std::string path = folder.Write("wells.kvd", kFile);
    int written = -1;
    ScriptedUser user;
    user.When("Kiv Export", [](Dialog& dialog) { dialog.Click(IDOK); });  // the new row is below already
    user.When("Warning", [](Dialog& warning) { warning.Click(IDC_NOALL); });
    user.Run([&] { written = ExportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
    EXPECT_EQ(written, 0);
    EXPECT_EQ(fixtures::ReadFile(path), kFile);
}

// The four path mistakes of "Before you call", in a folder that holds wells.kvd: the
// dialog answers each with 1 and no names, without a dialog (a NULL directory takes
// the bare name in the current folder).
struct SilentMistake {
    const char* name;
    const char* directory;
    const char* fileName;
};

struct SilentMistakes {
    explicit SilentMistakes(const std::string& folder)
        : directory(folder), withoutSeparator(folder.substr(0, folder.size() - 1)),
          missing(folder + "no such folder\\"),
          cases{{"a directory without its trailing separator", withoutSeparator.c_str(), "wells.kvd"},
                {"a NULL directory", nullptr, "wells.kvd"},
                {"a name without .kvd", directory.c_str(), "wells"},
                {"a folder that does not exist", missing.c_str(), "wells.kvd"}}
    {
    }
    SilentMistakes(const SilentMistakes&) = delete;  // the cases point into the strings
    SilentMistakes& operator=(const SilentMistakes&) = delete;

    const std::string directory, withoutSeparator, missing;
    const SilentMistake cases[4];
};

// The mistakes that the dialog would answer silently with 1 and no names are caught
// before the call: the person is told, nothing is written, no dialog appears.
TEST(GuideExamples, BothHostsRefuseAPathThatTheDialogWouldAnswerSilently)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", kFile);
    const SilentMistakes mistakes(folder.Path());
    for (const SilentMistake& c : mistakes.cases) {
        for (bool exporting : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (exporting ? ", export" : ", import"));
            std::string message;
            int result = -2;
            ScriptedUser user;
            user.When(dialog_driver::MessageBoxCaption(exporting ? "Export" : "Import"), [&](Dialog& box) {
                message = box.MessageText();
                box.ClickButton("OK");
            });
            user.Run([&] {
                result = exporting ? ExportObjects(nullptr, c.directory, c.fileName, "A. Rahman", "NF-001")
                                   : ImportObjects(nullptr, c.directory, c.fileName, "A. Rahman", "NF-001");
            });
            EXPECT_EQ(result, exporting ? 0 : -1);
            EXPECT_EQ(message, "Choose an existing folder and a file name that ends in .kvd.");
            EXPECT_EQ(user.ShownWindows().size(), 1u) << "only the host's message";
        }
    }
    EXPECT_EQ(fixtures::ReadFile(folder.File("wells.kvd")), kFile);
    EXPECT_FALSE(fixtures::FileExists(mistakes.withoutSeparator + "wells.kvd"));
}

TEST(GuideExamples, TheWritingHostShowsTheLibrarysMessageAndLeavesAReadOnlyFileAlone)
{
    fixtures::TempFolder folder;
    const std::string path = folder.Write("wells.kvd", kFile);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    int written = -1;
    std::string message;
    ScriptedUser user;
    user.When("Kiv Export", ChooseAndConfirm("Deviation survey"));
    user.When("Warning", [](Dialog& warning) { warning.Click(IDYES); });
    user.When(dialog_driver::MessageBoxCaption("Export"), [&](Dialog& box) {
        message = box.MessageText();
        box.ClickButton("OK");
    });
    user.Run([&] { written = ExportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(written, 0);
    EXPECT_NE(message.find("wells.kvd"), std::string::npos) << message;
    EXPECT_EQ(fixtures::ReadFile(path), kFile);
}

TEST(GuideExamples, TheReadingHostReadsTheValuesOfTheChosenObjectOnly)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", kFile);
    int values = -1;
    ScriptedUser user;
    user.When("Kiv Import", ChooseAndConfirm("Deviation survey"));
    // On import every row draws the warning about the host's current data.
    user.When("Warning", [](Dialog& warning) { warning.Click(IDYES); });
    user.Run([&] { values = ImportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
    EXPECT_EQ(values, 6);
}

// ---- "Before you call": what the library does with the mistakes it answers silently --

// Each gives 1 and no names at once, in either mode, without a dialog or a message:
// nothing exists at the path that the two texts make.
TEST(GuideBeforeYouCall, EachSilentMistakeGivesOneAndNoNamesWithoutADialog)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", kFile);
    const SilentMistakes mistakes(folder.Path());
    for (const SilentMistake& c : mistakes.cases) {
        for (int mode : {1, 0}) {
            SCOPED_TRACE(std::string(c.name) + (mode ? ", import" : ", export"));
            char buffer[256] = "Deviation survey";
            char* names[1] = {buffer};
            int count = 1, result = -1;
            ScriptedUser user;
            user.Run([&] {
                result = KivImpExpDialog(mode, c.directory, c.fileName, "A. Rahman", "NF-001", names, &count);
            });
            EXPECT_EQ(result, 1);
            EXPECT_EQ(count, 0);
            EXPECT_TRUE(user.ShownWindows().empty()) << "a window appeared";
        }
    }
}

// A visible top-level window that stands for the host's main window, made active.
class HostWindow {
public:
    HostWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "GuideHostWindow";
        RegisterClassA(&wc);
        m_hwnd = CreateWindowA(wc.lpszClassName, "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 600, 400, nullptr,
                               nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(m_hwnd);
        SetActiveWindow(m_hwnd);
    }
    ~HostWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

// On the host's UI thread the dialog is owned by the host's active window, which it
// disables while it runs; called from a worker thread it has no owner, and the host's
// window stays enabled: the person can go on working in it, and the dialog may hide
// behind it.
TEST(GuideBeforeYouCall, ADialogCalledFromAWorkerThreadHasNoOwnerAndLeavesTheHostEnabled)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", kFile);
    HostWindow host;
    struct Seen {
        HWND owner = reinterpret_cast<HWND>(1);
        bool hostEnabled = false;
        int result = -1;
    };
    auto call = [&](Seen& seen) {
        char buffer[256] = "Deviation survey";
        char* names[1] = {buffer};
        int count = 1;
        ScriptedUser user;
        user.When("Kiv Export", [&](Dialog& dialog) {
            seen.owner = GetWindow(dialog.Handle(), GW_OWNER);
            seen.hostEnabled = IsWindowEnabled(host.Handle()) != FALSE;
            dialog.Click(IDCANCEL);
        });
        user.Run([&] {
            seen.result = KivImpExpDialog(0, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001", names, &count);
        });
    };

    Seen onUiThread;
    call(onUiThread);
    EXPECT_EQ(onUiThread.result, 0);
    EXPECT_EQ(onUiThread.owner, host.Handle()) << "on the UI thread the host's active window owns the dialog";
    EXPECT_FALSE(onUiThread.hostEnabled) << "and is disabled while it runs";

    Seen onWorker;
    std::atomic<bool> done(false);
    std::thread worker([&] {
        call(onWorker);
        done = true;
    });
    // The host's thread goes on dispatching its messages, as a host's does.
    while (!done) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
    }
    worker.join();
    EXPECT_EQ(onWorker.result, 0);
    EXPECT_EQ(onWorker.owner, nullptr) << "from a worker thread the dialog has no owner";
    EXPECT_TRUE(onWorker.hostEnabled) << "and the host's window stays enabled";
    EXPECT_TRUE(IsWindowEnabled(host.Handle()));
}

}  // namespace

// sessions_test.cpp - Kiv.dll in a host's hands: the host reads and writes through its
// own attachment while each dialog attaches and detaches inside it; two threads run a
// dialog each at the same time; a worker thread reads while the user works in a
// dialog; threads read in a tight loop; a host that forgot to detach meets the bound;
// two threads' dialogs leave the host's resource handle as they found it.
// The real derar.dll and Kiv.dll, played by the dialog driver as a person would.
#include <afxwin.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <derar.h>
#include <kivapi.h>

#include "KvdWriter.h"
#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

namespace {

const char kDate[] = "2001-02-03 04:05";

// A file of `objects` objects named prefix + number (author "amy", well "W-1"), each
// with `values` values whose text is the object's number.
std::string Objects(const std::string& prefix, int objects, int values)
{
    std::string text = std::string(kKvdHeader) + "\n";
    for (int i = 0; i < objects; ++i) {
        text += KvdObjectLine(prefix + std::to_string(i), "amy", "1", "W-1", kDate);
        for (int v = 0; v < values; ++v)
            text += KvdValueLine("G", "", v, "v" + std::to_string(v), std::to_string(i));
    }
    return text + "end\n";
}

std::vector<std::string> Names(const std::string& prefix, int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(prefix + std::to_string(i));
    return names;
}

struct Outcome {
    int result = -1;
    std::vector<std::string> names;
};

// KivImpExpDialog as a host calls it: a buffer of 256 bytes per candidate.
Outcome ImpExp(int mode, const std::string& directory, const std::string& file,
               const std::vector<std::string>& candidates)
{
    std::vector<std::vector<char>> buffers(candidates.size(), std::vector<char>(256, '\0'));
    std::vector<char*> names;
    for (size_t i = 0; i < candidates.size(); ++i) {
        lstrcpynA(buffers[i].data(), candidates[i].c_str(), 256);
        names.push_back(buffers[i].data());
    }
    int count = static_cast<int>(names.size());
    Outcome outcome;
    outcome.result = KivImpExpDialog(mode, directory.c_str(), file.c_str(), "amy", "W-1",
                                     names.empty() ? nullptr : names.data(), &count);
    for (int i = 0; i < count; ++i)
        outcome.names.push_back(names[static_cast<size_t>(i)]);
    return outcome;
}

// What the user does in a dialog; the script ends every dialog it opens.
using Play = void (*)(ScriptedUser& user, const std::string& directory, const std::string& file, Outcome& outcome);

void ImportAll(ScriptedUser& user, const std::string& directory, const std::string& file, Outcome& outcome)
{
    user.When("Kiv Import", [](Dialog& d) {
        EXPECT_EQ(d.List(IDC_AVAILABLE_LIST).Column(0), Names("D", 3)) << "the dialog lists its own file";
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    user.When("Warning", [](Dialog& w) { w.Click(IDC_YESALL); });
    user.Run([&] { outcome = ImpExp(1, directory, file, {"D2", "D0", "D1", "H0"}); });
}

void ExportAll(ScriptedUser& user, const std::string& directory, const std::string& file, Outcome& outcome)
{
    user.When("Kiv Export", [](Dialog& d) {
        EXPECT_EQ(d.List(IDC_AVAILABLE_LIST).Column(0), Names("D", 3)) << "the dialog lists its own file";
        d.Click(IDC_ADDALL);
        d.Click(IDOK);  // same author and well: no warning
    });
    user.Run([&] { outcome = ImpExp(0, directory, file, {"D0", "D1", "D2"}); });
}

void Browse(ScriptedUser& user, const std::string& directory, const std::string& file, Outcome& outcome)
{
    user.When("Browse Kiv File", [](Dialog& d) {
        dialog_driver::TreeView tree = d.Tree(IDC_TREE);
        d.Click(ID_EXPAND_TREE);
        std::string outline = tree.Outline();
        for (const std::string& name : Names("D", 3))
            EXPECT_NE(outline.find(name), std::string::npos) << "the browser shows " << outline;
        EXPECT_EQ(outline.find("H0"), std::string::npos) << "the browser shows the host's file: " << outline;
        d.Click(IDOK);
    });
    user.Run([&] { outcome.result = KivBrowseDialog(directory.c_str(), file.c_str()); });
}

void RefusedFile(ScriptedUser& user, const std::string& directory, const std::string& /*file*/, Outcome& outcome)
{
    user.When(dialog_driver::AnyMessageBox(), [](Dialog& box) {
        EXPECT_NE(box.MessageText().find("damaged.kvd"), std::string::npos) << box.MessageText();
        box.ClickButton("OK");
    });
    user.Run([&] { outcome = ImpExp(1, directory, "damaged.kvd", {"D0"}); });
}

TEST(Sessions, TheHostsReadingAndWritingGoOnAcrossEachDialog)
{
    struct Case {
        const char* name;
        Play play;
        int result;
    };
    const Case cases[] = {
        {"import dialog, all imported", ImportAll, 1},
        {"export dialog, all exported", ExportAll, 1},
        {"browser, tree expanded", Browse, 1},
        {"import dialog on a damaged file", RefusedFile, 0},
    };
    for (const Case& c : cases) {
        fixtures::TempFolder folder;
        std::string hostFile = folder.Write("host.kvd", Objects("H", 4, 3));
        folder.Write("dialog.kvd", Objects("D", 3, 2));
        folder.Write("damaged.kvd", "KVD 1\nobject D0 amy 1 W-1 \"2001-02-30 04:05\"\nend\n");
        std::string written = folder.Write("written.kvd", Objects("K", 1, 1));

        // The host: reading its file, writing another, some texts of the library in hand.
        char* message = nullptr;
        ASSERT_EQ(KivAttach(&message), 1) << c.name;
        ASSERT_EQ(KivOpen(hostFile.c_str(), &message, 0), 1) << c.name << ": " << message;
        char *name = nullptr, *group, *valueName, *extra, *suffix, *valueText, *parent;
        int record;
        ASSERT_EQ(KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr), 1) << c.name;
        ASSERT_EQ(KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record), 1);
        ASSERT_EQ(KivBeginWrite(written.c_str(), &message, KIV_WRITE_UPDATE), 1) << c.name << ": " << message;
        ASSERT_EQ(KivPutObject("P1", "amy", "1", "W-1", kDate, &message), 1) << c.name << ": " << message;
        char* refusal = nullptr;
        ASSERT_EQ(KivPutValue("", "", 1, "v", "1", "", "", &refusal), 0) << c.name;
        const std::string refusalText = refusal, nameText = name, valueNameText = valueName;

        ScriptedUser user;
        Outcome outcome;
        c.play(user, folder.Path(), "dialog.kvd", outcome);
        EXPECT_EQ(outcome.result, c.result) << c.name;

        EXPECT_EQ(std::string(name), nameText) << c.name << ": the host's object name changed";
        EXPECT_EQ(std::string(valueName), valueNameText) << c.name << ": the host's value name changed";
        EXPECT_EQ(std::string(refusal), refusalText) << c.name << ": the host's message changed";
        ASSERT_EQ(KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record), 1)
            << c.name << ": the host's reading ended with the dialog";
        EXPECT_STREQ(valueName, "v1") << c.name;
        std::vector<std::string> rest;
        while (KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr))
            rest.push_back(name);
        EXPECT_EQ(rest, (std::vector<std::string>{"H1", "H2", "H3"})) << c.name;
        ASSERT_EQ(KivPutObject("P2", "amy", "1", "W-1", kDate, &message), 1)
            << c.name << ": the host's write ended with the dialog: " << message;
        EXPECT_EQ(KivCommitWrite(&message), 1) << c.name << ": " << message;
        KivDetach();

        ASSERT_EQ(KivAttach(&message), 1);
        ASSERT_EQ(KivOpen(written.c_str(), &message, 0), 1) << message;
        std::vector<std::string> objects;
        while (KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr))
            objects.push_back(name);
        KivDetach();
        EXPECT_EQ(objects, (std::vector<std::string>{"K0", "P1", "P2"})) << c.name;
    }
    fixtures::last_file_key::Remove();
}

// Both threads wait here until both dialogs are open, so that they really run at once.
class Meeting {
public:
    Meeting() : both_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Meeting() { CloseHandle(both_); }
    bool ArriveAndWait()
    {
        if (++arrived_ == 2)
            SetEvent(both_);
        return WaitForSingleObject(both_, 10000) == WAIT_OBJECT_0;
    }

private:
    HANDLE both_;
    std::atomic<int> arrived_{0};
};

// One thread's import dialog on its own file, open while the other one's is.
void ImportOnOwnThread(const std::string& directory, const std::string& prefix, Meeting& meeting, Outcome& outcome,
                       bool& met)
{
    ScriptedUser user;
    user.When("Kiv Import", [&](Dialog& d) {
        EXPECT_EQ(d.List(IDC_AVAILABLE_LIST).Column(0), Names(prefix, 3)) << prefix << "'s dialog";
        met = meeting.ArriveAndWait();
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    user.When("Warning", [](Dialog& w) { w.Click(IDC_YESALL); });
    std::vector<std::string> candidates = Names(prefix, 3);
    candidates.push_back("Missing");
    user.Run([&] { outcome = ImpExp(1, directory, prefix + ".kvd", candidates); });
}

TEST(Sessions, TwoThreadsRunAnImportDialogEachAtOnce)
{
    fixtures::TempFolder folder;
    folder.Write("X.kvd", Objects("X", 3, 2));
    folder.Write("Y.kvd", Objects("Y", 3, 2));
    for (int round = 0; round < 5; ++round) {
        Meeting meeting;
        Outcome x, y;
        bool xMet = false, yMet = false;
        std::thread first([&] { ImportOnOwnThread(folder.Path(), "X", meeting, x, xMet); });
        std::thread second([&] { ImportOnOwnThread(folder.Path(), "Y", meeting, y, yMet); });
        first.join();
        second.join();
        EXPECT_TRUE(xMet && yMet) << "round " << round << ": the two dialogs were not open at once";
        EXPECT_EQ(x.result, 1) << "round " << round;
        EXPECT_EQ(y.result, 1) << "round " << round;
        EXPECT_EQ(x.names, Names("X", 3)) << "round " << round;
        EXPECT_EQ(y.names, Names("Y", 3)) << "round " << round;
    }
}

// The host's resource handle after two threads' dialogs that overlap, whichever of them
// ends first: the host's own again (the handle is the process's, not the thread's).
TEST(Sessions, TwoThreadsDialogsGiveTheHostItsResourceHandleBack)
{
    fixtures::TempFolder folder;
    folder.Write("X.kvd", Objects("X", 3, 2));
    folder.Write("Y.kvd", Objects("Y", 3, 2));
    AFX_MODULE_STATE* state = AfxGetModuleState();
    const HINSTANCE host = state->m_hCurrentResourceHandle;
    for (bool firstEndsFirst : {true, false}) {
        SCOPED_TRACE(firstEndsFirst ? "the first dialog ends first" : "the second dialog ends first");
        Meeting meeting;
        HANDLE firstEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE secondEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        auto Run = [&](const std::string& prefix, HANDLE waitFor, HANDLE ended, HINSTANCE& during) {
            ScriptedUser user;
            user.When("Kiv Import", [&](Dialog& d) {
                meeting.ArriveAndWait();
                during = state->m_hCurrentResourceHandle;
                if (waitFor != nullptr)
                    WaitForSingleObject(waitFor, 20000 * dialog_driver::TimeScale());
                d.Click(IDCANCEL);
            });
            user.Run([&] { ImpExp(1, folder.Path(), prefix + ".kvd", Names(prefix, 3)); });
            SetEvent(ended);
        };
        HINSTANCE duringFirst = nullptr, duringSecond = nullptr;
        std::thread first([&] { Run("X", firstEndsFirst ? nullptr : secondEnded, firstEnded, duringFirst); });
        std::thread second([&] { Run("Y", firstEndsFirst ? firstEnded : nullptr, secondEnded, duringSecond); });
        first.join();
        second.join();
        CloseHandle(firstEnded);
        CloseHandle(secondEnded);
        EXPECT_NE(duringFirst, host) << "the library's own resources while its dialogs run";
        EXPECT_EQ(duringFirst, duringSecond);
        EXPECT_EQ(state->m_hCurrentResourceHandle, host) << "the host's resource handle after both dialogs";
    }
}

// Attach, open, read every object and value and check them, detach; the first fault
// goes into `fault`.
bool ReadRound(const std::string& path, const std::string& prefix, int objects, int values, std::string& fault)
{
    char* message = nullptr;
    if (!KivAttach(&message))
        return fault = std::string("attach refused: ") + message, false;
    int got = 0;
    if (!KivOpen(path.c_str(), &message, 0)) {
        fault = std::string("open refused: ") + message;
    } else {
        char *name, *group, *valueName, *extra, *suffix, *valueText, *parent;
        int record;
        while (fault.empty() && KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr)) {
            if (name != prefix + std::to_string(got))
                fault = std::string("object ") + name + " in " + prefix + "'s file";
            int count = 0;
            while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record)) {
                if (std::string(valueText) != std::to_string(got))
                    fault = std::string("value ") + valueText + " of " + name;
                ++count;
            }
            if (count != values && fault.empty())
                fault = std::to_string(count) + " values of " + name;
            ++got;
        }
        if (got != objects && fault.empty())
            fault = std::to_string(got) + " objects of " + std::to_string(objects);
    }
    KivDetach();
    return fault.empty();
}

TEST(Sessions, TwoThreadsReadTheirOwnFilesInATightLoop)
{
    fixtures::TempFolder folder;
    std::string a = folder.Write("A.kvd", Objects("A", 10, 3)), b = folder.Write("B.kvd", Objects("B", 7, 4));
    std::string faultA, faultB;
    int roundsA = 0, roundsB = 0;
    std::thread first([&] {
        while (roundsA < 2000 && ReadRound(a, "A", 10, 3, faultA))
            ++roundsA;
    });
    std::thread second([&] {
        while (roundsB < 2000 && ReadRound(b, "B", 7, 4, faultB))
            ++roundsB;
    });
    first.join();
    second.join();
    EXPECT_EQ(faultA, "") << "after " << roundsA << " rounds";
    EXPECT_EQ(faultB, "") << "after " << roundsB << " rounds";
}

TEST(Sessions, AThreadThatOnlyAttachesAndDetachesLeavesAnothersReadingAlone)
{
    fixtures::TempFolder folder;
    std::string big = folder.Write("big.kvd", Objects("O", 5000, 1));
    std::atomic<bool> reading{true};
    std::thread busy([&] {
        char* message;
        while (reading) {
            KivAttach(&message);
            KivDetach();
            KivDetach();  // one too many: harmless, and never another thread's
        }
    });
    std::string fault;
    for (int round = 0; round < 3 && fault.empty(); ++round)
        ReadRound(big, "O", 5000, 1, fault);
    reading = false;
    busy.join();
    EXPECT_EQ(fault, "");
}

TEST(Sessions, AWorkerThreadReadsWhileTheUserWorksInADialog)
{
    fixtures::TempFolder folder;
    std::string work = folder.Write("work.kvd", Objects("W", 300, 3));
    folder.Write("dialog.kvd", Objects("D", 3, 2));
    std::atomic<bool> stop{false};
    std::string fault;
    std::atomic<int> rounds{0};
    std::thread worker([&] {
        while (!stop && ReadRound(work, "W", 300, 3, fault))
            ++rounds;
    });
    {
        ScriptedUser user;
        Outcome outcome;
        Browse(user, folder.Path(), "dialog.kvd", outcome);
        EXPECT_EQ(outcome.result, 1);
    }
    {
        ScriptedUser user;
        Outcome outcome;
        ImportAll(user, folder.Path(), "dialog.kvd", outcome);
        EXPECT_EQ(outcome.names, Names("D", 3));
    }
    stop = true;
    worker.join();
    EXPECT_EQ(fault, "") << "after " << rounds << " rounds";
    EXPECT_GT(rounds, 0);
    fixtures::last_file_key::Remove();
}

TEST(Sessions, ADialogOfAHostThatForgotToDetachShowsTheBound)
{
    fixtures::TempFolder folder;
    folder.Write("dialog.kvd", Objects("D", 3, 2));
    char* message = nullptr;
    int attached = 0;
    while (KivAttach(&message))
        ++attached;
    EXPECT_EQ(attached, 16);
    std::string shown;
    {
        ScriptedUser user;
        user.When(dialog_driver::AnyMessageBox(), [&](Dialog& box) {
            shown = box.MessageText();
            box.ClickButton("OK");
        });
        Outcome outcome;
        user.Run([&] { outcome = ImpExp(1, folder.Path(), "dialog.kvd", {"D0"}); });
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.names, std::vector<std::string>{"D0"}) << "the candidates come back unchanged";
    }
    EXPECT_NE(shown.find("16 attachments are open"), std::string::npos) << shown;
    for (int i = 0; i < attached; ++i)
        KivDetach();
    ScriptedUser user;
    Outcome outcome;
    ImportAll(user, folder.Path(), "dialog.kvd", outcome);
    EXPECT_EQ(outcome.names, Names("D", 3)) << "after the host's detaches the dialog works";
}

}  // namespace

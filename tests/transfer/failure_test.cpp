// What the host and the user see when the exchange library fails, and dates that
// form no valid time. Runs against the scripted double of Kiv.dll.
#include <gtest/gtest.h>

#include <derar.h>

#include "dialog_driver.h"
#include "kiv_double.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::AnyMessageBox;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using namespace transfer_host;  // the host side of every test here

namespace {

class LibraryFailure : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kiv_double::IsLoaded()); }

    Call MakeCall(int mode)
    {
        folder.Write("wells.kvd", "anything: the double answers for it\n");
        return Call(mode, folder.Path(), "wells.kvd", { "Zeta", "Alpha", "Zeta", "Mu" }, "jdoe", "W-17");
    }

    fixtures::TempFolder folder;
};

TEST_F(LibraryFailure, RefusalsShowTheLibrarysTextAndReturnTheCandidates)
{
    struct Case {
        const char* name;
        const char* script;
        const char* message;
        bool detached;   // an attachment was made and must be ended
    };
    const Case cases[] = {
        { "attach refused", "attach fail \"Kiv is not licensed on this machine.\"\n",
          "Kiv is not licensed on this machine.", false },
        { "file refused", "file \"wells.kvd\"\nopen fail \"wells.kvd, line 3, column 7: expected a date.\"\n",
          "wells.kvd, line 3, column 7: expected a date.", true },
    };
    for (const Case& c : cases) {
        for (int mode : { kImport, kExport }) {
            SCOPED_TRACE(std::string(c.name) + (mode == kImport ? ", import" : ", export"));
            ASSERT_EQ(kiv_double::Load(c.script), "");
            std::string shown;
            ScriptedUser user;
            user.When(AnyMessageBox(), [&](Dialog& box) {
                shown = box.MessageText();
                EXPECT_EQ(box.ButtonTexts(), (std::vector<std::string>{ "OK" }));
                box.ClickButton("OK");
            });
            Outcome outcome = transfer_host::PlayImpExp(user, MakeCall(mode));
            EXPECT_EQ(shown, c.message);
            EXPECT_EQ(outcome.result, 0);
            EXPECT_EQ(outcome.names, (std::vector<std::string>{ "Zeta", "Alpha", "Zeta", "Mu" }))
                << "the caller's names, unchanged, in input order";
            for (const auto& window : user.ShownWindows())
                EXPECT_TRUE(window.isMessageBox) << "the dialog was shown: " << window.caption;
            KivDoubleCalls calls = kiv_double::Calls();
            EXPECT_EQ(calls.attached, 0) << "left attached";
            EXPECT_EQ(calls.detach, c.detached ? 1 : 0);
            EXPECT_EQ(calls.misuse, 0) << calls.lastMisuse;
        }
    }
}

TEST_F(LibraryFailure, AMissingFileIsNeitherOpenedNorReported)
{
    ASSERT_EQ(kiv_double::Load("object \"Alpha\" \"jdoe\" \"1\" \"W-17\" \"2000-12-05 14:07\"\n"), "");
    Call call = MakeCall(kExport);
    call.fileName = "not-there.kvd";
    ScriptedUser user;
    Outcome outcome = transfer_host::PlayImpExp(user, call);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.count, 0);
    EXPECT_TRUE(user.ShownWindows().empty()) << "no message, no dialog";
    KivDoubleCalls calls = kiv_double::Calls();
    EXPECT_EQ(calls.open, 0);
    EXPECT_EQ(calls.attached, 0);
}

TEST_F(LibraryFailure, FieldsThatFormNoTimeShowAnEmptyDate)
{
    struct DateCase {
        const char* object;
        const char* fields;   // year month day hour minute
        const char* shown;
    };
    const DateCase cases[] = {
        { "A valid", "2000 12 5 14 7", "Tuesday, December 05, 2000  14:07" },
        { "B month 13", "2000 13 5 14 7", "" },
        { "C month 0", "2000 0 5 14 7", "" },
        { "D February 30", "2001 2 30 10 0", "" },
        { "E February 29 in a common year", "1900 2 29 10 0", "" },
        { "F hour 24", "2000 1 1 24 0", "" },
        { "G minute 60", "2000 1 1 10 60", "" },
        { "H negative day", "2000 1 -3 10 0", "" },
        { "I all zero (unreadable)", "0 0 0 0 0 fail", "" },
        { "J year 1850", "1850 7 4 12 30", "Thursday, July 04, 1850  12:30" },
    };
    std::string script;
    Call call(kImport, folder.Path(), "dates.kvd", {});
    folder.Write("dates.kvd", "the double answers for it\n");
    for (const DateCase& c : cases) {
        std::string dateText = std::string("date of ") + c.object;
        script += std::string("object \"") + c.object + "\" \"jdoe\" \"1\" \"W\" \"" + dateText + "\"\n";
        script += "date \"" + dateText + "\" " + c.fields + "\n";
        call.candidates.push_back(c.object);
    }
    ASSERT_EQ(kiv_double::Load(script), "");
    std::vector<std::vector<std::string>> rows;
    ScriptedUser user;
    user.When("Kiv Import", [&](Dialog& d) {
        for (const auto& row : d.List(IDC_AVAILABLE_LIST).Rows())
            rows.push_back(row.cells);
        d.Click(IDCANCEL);
    });
    user.Run([&] { transfer_host::CallImpExp(call); });
    ASSERT_EQ(rows.size(), std::size(cases)) << "every object is listed, whatever its date";
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][3], cases[i].shown) << cases[i].object;
}

}  // namespace

// What the browser does when the exchange library refuses (to attach, or a file),
// and with objects and values that the real library never delivers: scripted by
// the test double of Kiv.dll, which this program loads from its own folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include "browser_host.h"
#include "kiv_double.h"
#include "resource.h"
#include "test_fixtures.h"

using browser_host::View;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
namespace key = fixtures::last_file_key;

namespace {

const char kDateLine[] = "date \"d\" 2024 3 5 14 7\n";
const char kTuesday[] = "Tuesday, March 05, 2024  14:07";

class LibraryFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kiv_double::IsLoaded()) << "this program must load the Kiv.dll double";
        key::Remove();
        // The browser opens only what exists; the double answers for these names.
        folder.Write("good.kvd", "");
        folder.Write("bad.kvd", "");
        other = folder.MakeFolder("other");
        folder.Write("other\\bad.kvd", "");
    }
    void TearDown() override { key::Remove(); }

    void Script(const std::string& script) { ASSERT_EQ(kiv_double::Load(script), ""); }

    fixtures::TempFolder folder;
    std::string other;
};

const char kGoodAndBad[] =
    "file \"good.kvd\"\n"
    "object \"Good\" \"Smith\" \"1\" \"W\" \"d\"\n"
    "value \"G\" \"\" \"v\" \"\" \"\" \"1\" 1\n"
    "file \"bad.kvd\"\n"
    "open fail \"bad.kvd is broken: line 3.\"\n";

TEST_F(LibraryFailure, AttachRefusedShowsTheMessageAndNeverTheDialog)
{
    Script("attach fail \"The exchange library is not licensed.\"\n");
    std::string message;
    ScriptedUser user;
    user.When(dialog_driver::AnyMessageBox(), [&](Dialog& box) {
        message = box.MessageText();
        box.ClickButton("OK");
    });
    browser_host::RunBrowser(user, folder.Path(), "good.kvd");

    EXPECT_EQ(message, "The exchange library is not licensed.");
    for (const auto& window : user.ShownWindows())
        EXPECT_NE(window.caption, browser_host::kCaption) << "the browser is never shown";
    EXPECT_FALSE(key::Exists());
}

TEST_F(LibraryFailure, FileRefusedAtStartShowsTheMessageAndEmptyControls)
{
    Script(std::string(kDateLine) + kGoodAndBad);
    key::SetText("PathName", "kept\\");
    key::SetText("FileName", "kept.kvd");
    std::string message;
    View view;
    ScriptedUser user;
    user.When(dialog_driver::AnyMessageBox(), [&](Dialog& box) {
        message = box.MessageText();
        box.ClickButton("OK");
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        view = browser_host::Look(d);
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "bad.kvd");

    EXPECT_EQ(message, "bad.kvd is broken: line 3.");
    EXPECT_EQ(view.tree, "");
    EXPECT_EQ(view.directory, "");
    EXPECT_TRUE(view.files.empty());
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>("kept.kvd")) << "key not written";
    EXPECT_EQ(kiv_double::Calls().attached, 0) << "the browser ended its attachment";
}

// A refused pick leaves the tree empty, but the directory box, the combo box and the
// key as they were; the dialog's texts already name the refused file.
struct RefusedPick {
    const char* name;
    bool throughFileDialog;         // else the combo box
    bool otherDirectory;
};

class RefusedFile : public LibraryFailure, public ::testing::WithParamInterface<RefusedPick> {};

TEST_P(RefusedFile, KeepsDirectoryComboAndKey)
{
    const RefusedPick& c = GetParam();
    Script(std::string(kDateLine) + kGoodAndBad);
    View before, after;
    std::string message;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        before = browser_host::Look(d);
        if (c.throughFileDialog)
            d.Click(IDC_BROWSE_FILE);
        else
            d.Combo(IDC_FILE_COMBO).Pick("bad.kvd");
        after = browser_host::Look(d);
        d.Click(IDOK);
    });
    if (c.throughFileDialog) {
        user.When(dialog_driver::WithControl(cmb13), [&](Dialog& open) {
            open.TypeFileName((c.otherDirectory ? other : folder.Path()) + "bad.kvd");
            open.Click(IDOK);
        });
    }
    user.When(dialog_driver::AnyMessageBox(), [&](Dialog& box) {
        message = box.MessageText();
        box.ClickButton("OK");
    });
    browser_host::RunBrowser(user, folder.Path(), "good.kvd");

    EXPECT_EQ(before.tree, std::string("Good - Smith - 1 - W - ") + kTuesday + "\n  G\n    1\n      v: 1 \n")
        << c.name;
    EXPECT_EQ(message, "bad.kvd is broken: line 3.") << c.name;
    EXPECT_EQ(after.tree, "") << c.name;
    EXPECT_EQ(after.directory, folder.Path()) << c.name;
    EXPECT_EQ(after.files, before.files) << c.name;
    // A pick in the combo box shows there already; the file dialog changes nothing there.
    EXPECT_EQ(after.selectedFile, c.throughFileDialog ? "good.kvd" : "bad.kvd") << c.name;
    EXPECT_EQ(key::GetText("PathName"), std::optional<std::string>(folder.Path())) << c.name;
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>("good.kvd")) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedFile, ::testing::Values(
    RefusedPick{ "ComboBox", false, false },
    RefusedPick{ "FileDialogSameDirectory", true, false },
    RefusedPick{ "FileDialogAnotherDirectory", true, true }
), [](const ::testing::TestParamInfo<RefusedPick>& info) { return std::string(info.param.name); });

// Values the walk has no rule for open a new top-level group; everything around them
// keeps its documented place.
struct OddValues {
    const char* name;
    std::string values;             // value lines of one object
    std::string tree;               // below the object item
};

class UnplaceableValue : public LibraryFailure, public ::testing::WithParamInterface<OddValues> {};

TEST_P(UnplaceableValue, OpensATopLevelGroup)
{
    const OddValues& c = GetParam();
    Script(std::string(kDateLine) + "object \"O\" \"a\" \"1\" \"w\" \"d\"\n" + c.values
           + "object \"Next\" \"a\" \"1\" \"w\" \"d\"\nvalue \"G\" \"\" \"n\" \"\" \"\" \"1\" 1\n");
    View view = browser_host::OpenAndLook(folder.Path(), "good.kvd");
    std::string object = std::string("O - a - 1 - w - ") + kTuesday + "\n";
    std::string next = std::string("Next - a - 1 - w - ") + kTuesday + "\n  G\n    1\n      n: 1 \n";
    EXPECT_EQ(view.tree, object + c.tree + next) << c.name;
}

// value "group" "parent" "name" "extra" "suffix" "value" record
INSTANTIATE_TEST_SUITE_P(Cases, UnplaceableValue, ::testing::Values(
    OddValues{ "FirstValueWithParent",
        "value \"B\" \"A\" \"x\" \"\" \"\" \"1\" 1\nvalue \"B\" \"A\" \"y\" \"\" \"\" \"2\" 1\n",
        "  B\n    1\n      x: 1 \n      y: 2 \n" },
    OddValues{ "FirstValueWithParentAndNoGroupName",
        "value \"\" \"A\" \"x\" \"\" \"\" \"1\" 1\n",
        "  \n    1\n      x: 1 \n" },
    OddValues{ "ParentNotOnThePath",
        "value \"A\" \"\" \"a\" \"\" \"\" \"1\" 1\n"
        "value \"B\" \"A\" \"b\" \"\" \"\" \"2\" 1\n"
        "value \"C\" \"Q\" \"c\" \"\" \"\" \"3\" 4\n"
        "value \"D\" \"C\" \"d\" \"\" \"\" \"4\" 1\n",
        "  A\n    1\n      a: 1 \n      B\n        1\n          b: 2 \n"
        "  C\n    4\n      c: 3 \n      D\n        1\n          d: 4 \n" },
    // Group names are compared exactly: "a" is not "A".
    OddValues{ "ParentDiffersInCase",
        "value \"A\" \"\" \"a\" \"\" \"\" \"1\" 1\nvalue \"B\" \"a\" \"b\" \"\" \"\" \"2\" 1\n",
        "  A\n    1\n      a: 1 \n  B\n    1\n      b: 2 \n" }
), [](const ::testing::TestParamInfo<OddValues>& info) { return std::string(info.param.name); });

// Date fields that form no valid local time leave the date text empty; a failure
// reported with sound fields still shows them.
struct DateCase {
    const char* name;
    const char* fields;             // year month day hour minute [fail]
    std::string shown;
};

class OddDate : public LibraryFailure, public ::testing::WithParamInterface<DateCase> {};

TEST_P(OddDate, NeverFailsTheRefresh)
{
    const DateCase& c = GetParam();
    Script(std::string("date \"x\" ") + c.fields + "\nobject \"O\" \"a\" \"1\" \"w\" \"x\"\n");
    View view = browser_host::OpenAndLook(folder.Path(), "good.kvd");
    EXPECT_EQ(view.tree, "O - a - 1 - w - " + c.shown + "\n") << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, OddDate, ::testing::Values(
    DateCase{ "Valid", "2024 3 5 14 7", kTuesday },
    DateCase{ "FailureWithSoundFields", "2024 3 5 14 7 fail", kTuesday },
    DateCase{ "AllZero", "0 0 0 0 0 fail", "" },
    DateCase{ "MonthThirteen", "2024 13 1 0 0", "" },
    DateCase{ "DayZero", "2024 3 0 0 0", "" },
    DateCase{ "ThirtiethOfFebruary", "2024 2 30 0 0", "" },
    DateCase{ "TwentyNinthOfFebruaryInALeapYear", "2024 2 29 0 0", "Thursday, February 29, 2024  00:00" },
    DateCase{ "HourTwentyFour", "2024 3 5 24 0", "" },
    DateCase{ "MinuteSixty", "2024 3 5 14 60", "" },
    DateCase{ "NegativeYear", "-5 3 5 14 7", "" },
    DateCase{ "HugeYear", "2147483647 2147483647 2147483647 2147483647 2147483647", "" },
    DateCase{ "SmallestInts", "-2147483648 -2147483648 -2147483648 -2147483648 -2147483648", "" }
), [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

}  // namespace

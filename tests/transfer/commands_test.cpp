// Moving rows between the transfer dialog's lists, the OK button, the export
// caption, and help.
#include <gtest/gtest.h>

#include <algorithm>

#include <derar.h>

#include "dialog_driver.h"
#include "help_observer.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ListView;
using dialog_driver::ScriptedUser;
using namespace transfer_host;  // the host side of every test here

namespace {

const char kExistsCaption[] = "Objects Which Already Exists in the Export File";
const char kExportCaption[] = "Objects Available for Export";

std::vector<std::string> Names(const ListView& list)
{
    return list.Column(0);
}

void ExpectNothingSelected(const ListView& list, const char* which)
{
    EXPECT_TRUE(list.SelectedRows().empty()) << which << ": moved rows arrive unselected";
}

class Commands : public ::testing::Test {
protected:
    // Five objects in the file; "Brand new" is a candidate the file lacks.
    Call MakeCall(int mode)
    {
        folder.Write("wells.kvd", transfer_host::KvdText({
            { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
            { "Casing", "asmith", "1", "W-17", "2000-12-05 14:07" },
            { "Temperature", "jdoe", "5", "W-09", "2000-12-05 14:07" },
            { "Gamma", "jdoe", "3", "W-17", "2000-12-05 14:07" },
            { "Density", "kim", "4", "W-02", "2000-12-05 14:07" },
        }));
        Call call(mode, folder.Path(), "wells.kvd", { "Temperature", "Gamma", "Casing", "Porosity", "Density" },
                  "jdoe", "W-17");
        if (mode == kExport)
            call.candidates.push_back("Brand new");
        return call;
    }

    // Runs the dialog with one step that plays `play` and then cancels.
    Outcome Play(int mode, const std::function<void(Dialog&)>& play)
    {
        ScriptedUser user;
        user.When(mode == kImport ? "Kiv Import" : "Kiv Export", [&](Dialog& d) {
            play(d);
            d.Click(IDCANCEL);
        });
        Outcome outcome = transfer_host::PlayImpExp(user, MakeCall(mode));
        return outcome;
    }

    fixtures::TempFolder folder;
};

TEST_F(Commands, AddMovesTheSelectedRowsOnlyNotTheFocusedOne)
{
    Play(kImport, [](Dialog& d) {
        ListView available = d.List(IDC_AVAILABLE_LIST);
        ListView selected = d.List(IDC_SELECTED_LIST);
        ASSERT_EQ(Names(available), (std::vector<std::string>{ "Casing", "Density", "Gamma", "Porosity", "Temperature" }));
        available.SelectOnly({ 3, 1 });
        available.FocusRow(2);   // Gamma: focus mark only
        ASSERT_FALSE(d.IsEnabled(IDOK));
        d.Click(IDC_ADD);
        EXPECT_EQ(Names(available), (std::vector<std::string>{ "Casing", "Gamma", "Temperature" }));
        EXPECT_EQ(RowTexts(selected), (Rows{
            { "Density", "kim", "4", kShownDate, "W-02" },
            { "Porosity", "jdoe", "2", kShownDate, "W-17" },
        }));
        ExpectNothingSelected(selected, "selected list");
        EXPECT_TRUE(d.IsEnabled(IDOK));

        // A later add lands between the rows already there.
        available.SelectOnly({ 1 });
        d.Click(IDC_ADD);
        EXPECT_EQ(Names(selected), (std::vector<std::string>{ "Density", "Gamma", "Porosity" }));
        ExpectNothingSelected(selected, "selected list");
    });
}

TEST_F(Commands, NewRowsKeepTheirTextsInBothDirections)
{
    Play(kExport, [](Dialog& d) {
        ListView available = d.List(IDC_AVAILABLE_LIST);
        ListView selected = d.List(IDC_SELECTED_LIST);
        ASSERT_EQ(RowTexts(selected), (Rows{ { "Brand new", "New", "", "", "" } }));
        selected.SelectOnly({ 0 });
        d.Click(IDC_REMOVE);
        EXPECT_TRUE(selected.Rows().empty());
        EXPECT_FALSE(d.IsEnabled(IDOK)) << "the selected list is empty";
        int row = available.FindRow("Brand new");
        ASSERT_EQ(row, 0) << "sorted before Casing";
        EXPECT_EQ(available.Row(row).cells, (std::vector<std::string>{ "Brand new", "New", "", "", "" }));
        ExpectNothingSelected(available, "available list");

        available.SelectOnly({ row });
        d.Click(IDC_ADD);
        EXPECT_EQ(RowTexts(selected), (Rows{ { "Brand new", "New", "", "", "" } }));
        EXPECT_TRUE(d.IsEnabled(IDOK));
    });
}

TEST_F(Commands, AllCommandsMoveEveryRowAndOkFollowsTheSelectedList)
{
    Play(kImport, [](Dialog& d) {
        ListView available = d.List(IDC_AVAILABLE_LIST);
        ListView selected = d.List(IDC_SELECTED_LIST);
        Rows before = RowTexts(available);
        d.Click(IDC_ADDALL);
        EXPECT_TRUE(available.Rows().empty());
        EXPECT_EQ(RowTexts(selected), before) << "the same rows, texts and order";
        ExpectNothingSelected(selected, "selected list");
        EXPECT_TRUE(d.IsEnabled(IDOK));

        d.Click(IDC_ADDALL);   // nothing left to move
        EXPECT_EQ(RowTexts(selected), before);
        EXPECT_TRUE(d.IsEnabled(IDOK));

        d.Click(IDC_REMOVEALL);
        EXPECT_TRUE(selected.Rows().empty());
        EXPECT_EQ(RowTexts(available), before);
        ExpectNothingSelected(available, "available list");
        EXPECT_FALSE(d.IsEnabled(IDOK));

        available.SelectOnly({ 4 });
        d.Click(IDC_ADD);
        EXPECT_TRUE(d.IsEnabled(IDOK)) << "a row is selected again";
        selected.SelectOnly({ 0 });
        d.Click(IDC_REMOVE);
        EXPECT_FALSE(d.IsEnabled(IDOK)) << "the last row left";
    });
}

TEST_F(Commands, RemoveAllDisablesOkEvenWithNothingToMove)
{
    Play(kImport, [](Dialog& d) {
        d.Click(IDC_REMOVEALL);
        EXPECT_FALSE(d.IsEnabled(IDOK));
        d.Click(IDC_ADD);   // nothing selected: moves nothing
        EXPECT_FALSE(d.IsEnabled(IDOK));
        EXPECT_TRUE(d.List(IDC_SELECTED_LIST).Rows().empty());
    });
}

TEST_F(Commands, RowsOfTheSameNameMoveTogetherWhenBothAreSelected)
{
    folder.Write("twins.kvd", transfer_host::KvdText({
        { "GR", "jdoe", "1", "W-17", "2000-12-05 14:07" },
        { "GR", "kim", "2", "W-18", "2000-12-05 14:07" },
    }));
    ScriptedUser user;
    user.When("Kiv Import", [&](Dialog& d) {
        ListView available = d.List(IDC_AVAILABLE_LIST);
        available.SelectOnly({ 0, 1 });
        d.Click(IDC_ADD);
        EXPECT_TRUE(available.Rows().empty());
        Rows moved = RowTexts(d.List(IDC_SELECTED_LIST));
        ASSERT_EQ(moved.size(), 2u);
        std::sort(moved.begin(), moved.end());
        EXPECT_EQ(moved, (Rows{ { "GR", "jdoe", "1", kShownDate, "W-17" }, { "GR", "kim", "2", kShownDate, "W-18" } }));
        d.Click(IDCANCEL);
    });
    user.Run([&] { transfer_host::CallImpExp(Call(kImport, folder.Path(), "twins.kvd", { "GR", "GR" })); });
}

TEST_F(Commands, DoubleClickMovesTheClickedRow)
{
    Play(kExport, [](Dialog& d) {
        ListView available = d.List(IDC_AVAILABLE_LIST);
        ListView selected = d.List(IDC_SELECTED_LIST);
        available.DoubleClick(available.FindRow("Gamma"));
        EXPECT_EQ(Names(selected), (std::vector<std::string>{ "Brand new", "Gamma" }));
        EXPECT_EQ(available.FindRow("Gamma"), -1);
        selected.DoubleClick(selected.FindRow("Brand new"));
        EXPECT_EQ(Names(selected), (std::vector<std::string>{ "Gamma" }));
        EXPECT_EQ(available.FindRow("Brand new"), 0);
        EXPECT_TRUE(d.IsEnabled(IDOK));
    });
}

// The export caption changes on the first command of any kind, even one that moves
// nothing, and never in import mode.
TEST_F(Commands, CaptionTable)
{
    struct Case {
        const char* name;
        std::function<void(Dialog&)> command;
        bool alsoInImport;   // import mode starts with no row in the selected list to double-click
    };
    const Case commands[] = {
        { "Add with nothing selected", [](Dialog& d) { d.Click(IDC_ADD); }, true },
        { "Add all", [](Dialog& d) { d.Click(IDC_ADDALL); }, true },
        { "Remove with nothing selected", [](Dialog& d) { d.Click(IDC_REMOVE); }, true },
        { "Remove all", [](Dialog& d) { d.Click(IDC_REMOVEALL); }, true },
        { "double-click in the selected list", [](Dialog& d) { d.List(IDC_SELECTED_LIST).DoubleClick(0); }, false },
    };
    for (const Case& c : commands) {
        SCOPED_TRACE(c.name);
        Play(kExport, [&](Dialog& d) {
            EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), kExistsCaption);
            c.command(d);
            EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), kExportCaption);
            d.Click(IDC_ADD);
            EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), kExportCaption) << "it never changes back";
            EXPECT_EQ(d.Text(IDC_SELECTED_GROUP), "Objects Selected for Export");
            EXPECT_EQ(d.Caption(), "Kiv Export");
        });
        if (!c.alsoInImport)
            continue;
        Play(kImport, [&](Dialog& d) {
            c.command(d);
            EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), "Objects Available for Import");
            EXPECT_EQ(d.Text(IDC_SELECTED_GROUP), "Objects Selected for Import");
            EXPECT_EQ(d.Caption(), "Kiv Import");
        });
    }
}

TEST_F(Commands, CancelAfterMovesReturnsNoNames)
{
    Outcome outcome = Play(kExport, [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDC_REMOVEALL);
        d.Click(IDC_ADDALL);
    });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.count, 0);
}

TEST_F(Commands, HelpButtonAndF1AskForTheTopicOfTheMode)
{
    HelpObserver help;
    ASSERT_TRUE(help.IsReady());
    for (int mode : { kImport, kExport }) {
        const ULONG_PTR context = mode == kImport ? 3 : 4;
        SCOPED_TRACE(mode == kImport ? "import" : "export");
        help.Clear();
        Play(mode, [](Dialog& d) { d.Click(ID_HELP); });
        ASSERT_EQ(help.ContextRequests().size(), 1u) << "Help button";
        EXPECT_EQ(help.ContextRequests()[0].command, static_cast<UINT>(HELP_CONTEXT));
        EXPECT_EQ(help.ContextRequests()[0].data, context);
        EXPECT_EQ(help.ContextRequests()[0].file, "kiv.hlp");

        help.Clear();
        Play(mode, [](Dialog& d) {
            d.SetFocus(IDC_AVAILABLE_LIST);
            d.PressF1();
        });
        ASSERT_EQ(help.ContextRequests().size(), 1u) << "F1";
        EXPECT_EQ(help.ContextRequests()[0].command, static_cast<UINT>(HELP_CONTEXT));
        EXPECT_EQ(help.ContextRequests()[0].data, context);
        EXPECT_EQ(help.ContextRequests()[0].file, "kiv.hlp");
    }
}

}  // namespace

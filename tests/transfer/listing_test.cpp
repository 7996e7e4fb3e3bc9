// The transfer dialog's listing: which candidates become rows of which list, the
// row texts and order, the columns, and the ends that the host sees before any user.
#include <gtest/gtest.h>

#include <algorithm>

#include <afxwin.h>
#include <derar.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using namespace transfer_host;  // the host side of every test here

namespace {


// A well file whose objects come neither in name order nor in candidate order.
const std::vector<FileObject> kWellFile = {
    { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
    { "Casing", "asmith", "1", "W-17", "2000-12-05 14:07" },
    { "Temperature", "jdoe", "5", "W-09", "2000-12-05 14:07" },
    { "Gamma", "jdoe", "3", "W-17", "2000-12-05 14:07" },
    { "Unasked", "jdoe", "1", "W-17", "2000-12-05 14:07" },
};

struct Seen {
    std::string caption, availableGroup, selectedGroup;
    Rows available, selected;
    bool okEnabled = false;
};

// Runs the call, records what the dialog shows, and leaves it with Cancel.
Seen LookAndCancel(Call call, const std::string& caption, Outcome* outcome = nullptr)
{
    Seen seen;
    ScriptedUser user;
    user.When(caption, [&](Dialog& d) {
        seen.caption = d.Caption();
        seen.availableGroup = d.Text(IDC_AVAILABLE_GROUP);
        seen.selectedGroup = d.Text(IDC_SELECTED_GROUP);
        seen.available = RowTexts(d.List(IDC_AVAILABLE_LIST));
        seen.selected = RowTexts(d.List(IDC_SELECTED_LIST));
        seen.okEnabled = d.IsEnabled(IDOK);
        d.Click(IDCANCEL);
    });
    Outcome result = transfer_host::PlayImpExp(user, call);
    if (outcome)
        *outcome = result;
    return seen;
}

class Listing : public ::testing::Test {
protected:
    Call WellCall(int mode, std::vector<std::string> candidates)
    {
        folder.Write("wells.kvd", transfer_host::KvdText(kWellFile));
        return Call(mode, folder.Path(), "wells.kvd", std::move(candidates), "jdoe", "W-17");
    }
    fixtures::TempFolder folder;
};

TEST_F(Listing, ImportShowsTheCandidatesTheFileHoldsInNameOrder)
{
    Outcome outcome;
    Seen seen = LookAndCancel(WellCall(kImport, { "Temperature", "Missing", "Gamma", "Casing", "Porosity" }),
                              "Kiv Import", &outcome);
    EXPECT_EQ(seen.caption, "Kiv Import");
    EXPECT_EQ(seen.availableGroup, "Objects Available for Import");
    EXPECT_EQ(seen.selectedGroup, "Objects Selected for Import");
    EXPECT_EQ(seen.available, (Rows{
        { "Casing", "asmith", "1", kShownDate, "W-17" },
        { "Gamma", "jdoe", "3", kShownDate, "W-17" },
        { "Porosity", "jdoe", "2", kShownDate, "W-17" },
        { "Temperature", "jdoe", "5", kShownDate, "W-09" },
    }));
    EXPECT_TRUE(seen.selected.empty()) << "candidates the file lacks are dropped in import mode";
    EXPECT_FALSE(seen.okEnabled);
    EXPECT_EQ(outcome.result, 0) << "Cancel";
    EXPECT_EQ(outcome.count, 0) << "Cancel returns no names";
}

TEST_F(Listing, ExportPutsNewCandidatesIntoTheSelectedList)
{
    Seen seen = LookAndCancel(WellCall(kExport, { "Zeta", "Gamma", "Alpha", "Porosity" }), "Kiv Export");
    EXPECT_EQ(seen.caption, "Kiv Export");
    EXPECT_EQ(seen.availableGroup, "Objects Which Already Exists in the Export File");
    EXPECT_EQ(seen.selectedGroup, "Objects Selected for Export");
    EXPECT_EQ(seen.available, (Rows{
        { "Gamma", "jdoe", "3", kShownDate, "W-17" },
        { "Porosity", "jdoe", "2", kShownDate, "W-17" },
    }));
    EXPECT_EQ(seen.selected, (Rows{ { "Alpha", "New", "", "", "" }, { "Zeta", "New", "", "", "" } }));
    EXPECT_TRUE(seen.okEnabled);
}

TEST_F(Listing, ExportWithEveryCandidateInTheFileStartsWithNothingSelected)
{
    Seen seen = LookAndCancel(WellCall(kExport, { "Gamma", "Casing" }), "Kiv Export");
    EXPECT_EQ(seen.available.size(), 2u);
    EXPECT_TRUE(seen.selected.empty());
    EXPECT_FALSE(seen.okEnabled);
}

// Which candidates match which objects: exact texts, and each candidate consumed once.
struct MatchCase {
    const char* name;
    int mode;
    std::vector<std::string> fileNames;
    std::vector<std::string> candidates;
    std::vector<std::string> expectedAvailable;
    std::vector<std::string> expectedSelected;   // export: the "New" rows
};

TEST_F(Listing, MatchingTable)
{
    const MatchCase cases[] = {
        { "letter case differs", kImport, { "GR", "Anchor" }, { "gr", "GR", "ANCHOR" }, { "GR" }, {} },
        { "letter case differs, export", kExport, { "GR", "Anchor" }, { "gr", "Anchor", "Gr" }, { "Anchor" },
          { "gr", "Gr" } },   // the platform collates lower case first
        { "trailing blank differs", kExport, { "GR", "Anchor" }, { "GR ", "Anchor" }, { "Anchor" }, { "GR " } },
        { "candidate twice, file once, import", kImport, { "GR", "Anchor" }, { "GR", "GR", "Anchor" },
          { "Anchor", "GR" }, {} },
        { "candidate twice, file once, export", kExport, { "GR", "Anchor" }, { "GR", "GR", "Anchor" },
          { "Anchor", "GR" }, { "GR" } },
        { "file twice, candidate once", kImport, { "GR", "GR", "Anchor" }, { "GR", "Anchor" }, { "Anchor", "GR" },
          {} },
        { "file twice, candidate twice", kExport, { "GR", "Anchor", "GR" }, { "GR", "GR" }, { "GR", "GR" }, {} },
        { "file three times, candidate twice", kExport, { "GR", "GR", "GR" }, { "GR", "Anchor", "GR" },
          { "GR", "GR" }, { "Anchor" } },
        { "objects that are no candidates are not shown", kImport, { "A", "B", "C", "D" }, { "C" }, { "C" }, {} },
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FileObject> objects;
        for (const std::string& name : c.fileNames)
            objects.push_back({ name, "jdoe", "1", "W-17", "2000-12-05 14:07" });
        folder.Write("match.kvd", transfer_host::KvdText(objects));
        Seen seen = LookAndCancel(Call(c.mode, folder.Path(), "match.kvd", c.candidates), c.mode == kImport ? "Kiv Import" : "Kiv Export");
        std::vector<std::string> available, selected;
        for (const auto& row : seen.available)
            available.push_back(row[0]);
        for (const auto& row : seen.selected) {
            selected.push_back(row[0]);
            EXPECT_EQ(row[1], "New") << row[0];
        }
        EXPECT_EQ(available, c.expectedAvailable);
        EXPECT_EQ(selected, c.expectedSelected);
    }
}

TEST_F(Listing, RowsComeInNameOrderWhateverTheFileAndCandidateOrder)
{
    // The same four names in three file orders and two candidate orders.
    const std::vector<std::vector<std::string>> orders = {
        { "Delta", "alpha", "Charlie", "Bravo" },
        { "Bravo", "Charlie", "Delta", "alpha" },
        { "alpha", "Delta", "Bravo", "Charlie" },
    };
    std::vector<std::string> expected;
    for (const auto& fileOrder : orders) {
        for (const auto& candidateOrder : { orders[0], orders[1] }) {
            std::vector<FileObject> objects;
            for (const std::string& name : fileOrder)
                objects.push_back({ name, "jdoe", "1", "W-17", "2000-12-05 14:07" });
            folder.Write("order.kvd", transfer_host::KvdText(objects));
            Seen seen = LookAndCancel(Call(kImport, folder.Path(), "order.kvd", candidateOrder), "Kiv Import");
            std::vector<std::string> shown;
            for (const auto& row : seen.available)
                shown.push_back(row[0]);
            std::vector<std::string> sorted = shown;
            std::sort(sorted.begin(), sorted.end(),
                      [](const std::string& a, const std::string& b) { return lstrcmpA(a.c_str(), b.c_str()) < 0; });
            EXPECT_EQ(shown, sorted) << "rows in ascending name order";
            if (expected.empty())
                expected = shown;
            EXPECT_EQ(shown, expected) << "the same order for every file and candidate order";
        }
    }
    EXPECT_EQ(expected.size(), 4u);
}

TEST_F(Listing, ColumnsShareTheOuterWidthOfTheAvailableList)
{
    const char* const titles[] = { "Object", "Author", "Version", "Date", "Well ID" };
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        RECT rc;
        GetWindowRect(d.Item(IDC_AVAILABLE_LIST), &rc);
        const int w = rc.right - rc.left;
        const int expected[] = { 5 * w / 28, 3 * w / 28, w / 14, w / 4, 110 * w / 280 };
        for (int id : { IDC_AVAILABLE_LIST, IDC_SELECTED_LIST }) {
            auto list = d.List(id);
            ASSERT_EQ(list.ColumnCount(), 5) << id;
            for (int c = 0; c < 5; ++c) {
                EXPECT_EQ(list.ColumnWidth(c), expected[c]) << "list " << id << " column " << c << " of W=" << w;
                EXPECT_EQ(list.ColumnTitle(c), titles[c]) << "list " << id << " column " << c;
            }
        }
        d.Click(IDCANCEL);
    });
    user.Run([&] { transfer_host::CallImpExp(WellCall(kExport, { "Gamma", "New one" })); });
}

// The dialog ends before anyone sees it when nothing is available to choose.
struct EarlyEndCase {
    const char* name;
    int mode;
    bool fileExists;
    std::vector<std::string> candidates;
};

TEST_F(Listing, EarlyEndsReturnOneAndNoNamesWithoutShowingAWindow)
{
    const EarlyEndCase cases[] = {
        { "import, the file holds none of the candidates", kImport, true, { "Missing", "Absent" } },
        { "export, the file holds none of the candidates", kExport, true, { "Missing", "Absent" } },
        { "import, no file", kImport, false, { "Gamma" } },
        { "export, no file: every candidate is new", kExport, false, { "Gamma", "Porosity" } },
        { "import, no candidates", kImport, true, {} },
        { "export, no candidates", kExport, true, {} },
    };
    for (const EarlyEndCase& c : cases) {
        SCOPED_TRACE(c.name);
        Call call = WellCall(c.mode, c.candidates);
        if (!c.fileExists)
            call.fileName = "not-there.kvd";
        ScriptedUser user;
        Outcome outcome = transfer_host::PlayImpExp(user, call);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.count, 0);
        EXPECT_TRUE(user.ShownWindows().empty()) << "a window was shown: " << user.ShownWindows()[0].caption;
    }
}

TEST_F(Listing, DatesShowAsLocalTimesAlsoBefore1970AndAfter2038)
{
    folder.Write("dates.kvd", transfer_host::KvdText({
        { "Old", "jdoe", "1", "W-1", "1954-06-01 00:00" },
        { "Recent", "jdoe", "1", "W-1", "2000-12-05 14:07" },
        { "Future", "jdoe", "1", "W-1", "2045-02-28 23:59" },
        { "Leap", "jdoe", "1", "W-1", "2024-02-29 09:05" },
    }));
    Seen seen = LookAndCancel(Call(kImport, folder.Path(), "dates.kvd", { "Old", "Recent", "Future", "Leap" }),
                              "Kiv Import");
    ASSERT_EQ(seen.available.size(), 4u);
    EXPECT_EQ(seen.available[0][3], "Tuesday, February 28, 2045  23:59");
    EXPECT_EQ(seen.available[1][3], "Thursday, February 29, 2024  09:05");
    EXPECT_EQ(seen.available[2][3], "Tuesday, June 01, 1954  00:00");
    EXPECT_EQ(seen.available[3][3], kShownDate);
}

TEST_F(Listing, CancelReturnsZeroAndNoNames)
{
    Outcome outcome;
    LookAndCancel(WellCall(kExport, { "Gamma", "Brand new" }), "Kiv Export", &outcome);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.count, 0);
}

TEST_F(Listing, DialogsLoadFromTheLibraryAndTheHostKeepsItsResourceHandle)
{
    AFX_MODULE_STATE* state = AfxGetModuleState();
    HINSTANCE hostHandle = GetModuleHandleA(nullptr);
    state->m_hCurrentResourceHandle = hostHandle;
    HINSTANCE duringRun = nullptr;
    ScriptedUser user;
    user.When("Kiv Import", [&](Dialog& d) {
        duringRun = AfxGetModuleState()->m_hCurrentResourceHandle;
        d.Click(IDCANCEL);
    });
    user.Run([&] { transfer_host::CallImpExp(WellCall(kImport, { "Gamma" })); });
    EXPECT_EQ(duringRun, GetModuleHandleA("derar.dll"));
    EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, hostHandle);
}

}  // namespace

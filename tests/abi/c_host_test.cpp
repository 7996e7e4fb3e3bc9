// A host written in C calls both exports through derar.h and the import library while
// a person plays the dialogs: the results, the names in its own buffers, and its stack
// pointer where it was after each call (cdecl: the caller removes the arguments).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "c_host.h"
#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

namespace {

const char kDate[] = "2000-12-05 14:07";

TEST(CHost, ExportsThroughTheTransferDialogAndReadsTheNamesBack)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", transfer_host::KvdText({ { "Alpha", "jdoe", "1", "W-17", kDate },
                                                       { "Beta", "kim", "2", "W-17", kDate } }));
    const char* const candidates[] = { "Zeta", "Beta", "Alpha", nullptr };
    std::vector<std::string> available;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        available = d.List(IDC_AVAILABLE_LIST).Column(0);
        d.Click(IDC_ADDALL);
        d.Click(IDOK);  // Beta and the new Zeta are of other authors: a warning
    });
    user.When("Warning", [](Dialog& w) { w.Click(IDC_YESALL); });
    CHostCall call;
    user.Run([&] { CHostImpExp(0, folder.Path().c_str(), "wells.kvd", "jdoe", "W-17", candidates, &call); });

    EXPECT_EQ(available, (std::vector<std::string>{ "Alpha", "Beta" }));
    EXPECT_EQ(call.result, 1);
    ASSERT_EQ(call.count, 3);
    EXPECT_EQ((std::vector<std::string>{ call.names[0], call.names[1], call.names[2] }),
              (std::vector<std::string>{ "Alpha", "Beta", "Zeta" }))
        << "in the lower list's order";
    EXPECT_TRUE(call.stackBalanced);
}

TEST(CHost, ShowsAFileInTheBrowser)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", transfer_host::KvdText({ { "Alpha", "jdoe", "1", "W-17", kDate } }));
    std::string root;
    ScriptedUser user;
    user.When("Browse Kiv File", [&](Dialog& d) {
        root = d.Tree(IDC_TREE).Text(d.Tree(IDC_TREE).Root());
        d.Click(IDOK);
    });
    CHostCall call;
    user.Run([&] { CHostBrowse(folder.Path().c_str(), "wells.kvd", &call); });

    EXPECT_EQ(root.rfind("Alpha - jdoe - 1 - W-17 - ", 0), 0u) << root;
    EXPECT_EQ(call.result, 1);
    EXPECT_TRUE(call.stackBalanced);
}

}  // namespace

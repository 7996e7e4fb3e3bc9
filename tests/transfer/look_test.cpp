// Pictures of the transfer dialog and a warning, saved beside the test program so
// a person can look at the layout (bitmap buttons, columns, the seven-line warning).
#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

TEST(Look, ExportDialogAndWarningCanBeSavedAsPictures)
{
    fixtures::TempFolder folder;
    folder.Write("look.kvd", transfer_host::KvdText({
        { "Gamma Ray", "kim", "3", "W-17", "1968-04-21 09:15" },
        { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
        { "Sonic", "jdoe", "1", "W-18", "2019-07-30 16:45" },
    }));
    transfer_host::Call call;
    call.mode = transfer_host::kExport;
    call.directory = folder.Path();
    call.fileName = "look.kvd";
    call.currentAuthor = "jdoe";
    call.currentWellId = "W-17";
    call.candidates = { "Gamma Ray", "Porosity", "Sonic", "Caliper" };
    const std::string shots = fixtures::ProgramFolder();
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        EXPECT_TRUE(d.SaveScreenshot(shots + "transfer-export.png"));
        d.List(IDC_AVAILABLE_LIST).SelectOnly({ 0 });
        d.Click(IDC_ADD);
        EXPECT_TRUE(d.SaveScreenshot(shots + "transfer-export-after-add.png"));
        d.Click(IDOK);
    });
    user.When("Warning", [](Dialog& w) { w.Click(IDYES); });   // Caliper, a new object
    user.When("Warning", [&](Dialog& w) {                        // Gamma Ray, by kim
        EXPECT_TRUE(w.SaveScreenshot(shots + "transfer-warning-author.png"));
        w.Click(IDCANCEL);
    });
    user.When("Kiv Export", [](Dialog& d) { d.Click(IDCANCEL); });
    user.Run([&] { transfer_host::CallImpExp(call); });
}

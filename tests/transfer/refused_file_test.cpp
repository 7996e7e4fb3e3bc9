// A file that the real Kiv.dll refuses: both modes show the library's own message in
// a message box with one OK button, never the dialog, and hand the host its names back.
#include <gtest/gtest.h>

#include <kivapi.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::AnyMessageBox;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using transfer_host::Call;
using transfer_host::kExport;
using transfer_host::kImport;
using transfer_host::Outcome;
using Names = std::vector<std::string>;

namespace {

TEST(RefusedFile, ShowsTheLibrarysMessageAndHandsTheNamesBack)
{
    fixtures::TempFolder folder;
    folder.CopyIn(fixtures::SamplePath("damaged/bad-date.kvd"), "refused.kvd");
    std::string expected;
    {
        char* message = nullptr;
        ASSERT_NE(KivAttach(&message), 0);
        EXPECT_EQ(KivOpen(folder.File("refused.kvd").c_str(), &message, 0), 0);
        ASSERT_NE(message, nullptr);
        expected = message;
        KivDetach();
    }
    EXPECT_NE(expected.find("refused.kvd"), std::string::npos) << expected;
    for (int mode : { kImport, kExport }) {
        SCOPED_TRACE(mode == kImport ? "import" : "export");
        std::string shown;
        std::vector<std::string> buttons;
        ScriptedUser user;
        user.When(AnyMessageBox(), [&](Dialog& box) {
            shown = box.MessageText();
            buttons = box.ButtonTexts();
            box.ClickButton("OK");
        });
        Call call(mode, folder.Path(), "refused.kvd", { "Zeta", "Alpha" }, "jdoe", "W-17");
        Outcome outcome;
        user.Run([&] { outcome = transfer_host::CallImpExp(call); });
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(buttons, (std::vector<std::string>{ "OK" }));
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.names, (Names{ "Zeta", "Alpha" })) << "the host's names, unchanged";
        for (const auto& window : user.ShownWindows())
            EXPECT_TRUE(window.isMessageBox) << "a dialog was shown: " << window.caption;
    }
}

}  // namespace

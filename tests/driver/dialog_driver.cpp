// The scripted user's failures as GoogleTest failures, and help requests kept from a viewer.
#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <help_observer.h>

namespace dialog_driver {

namespace {

void UseGoogleTest()
{
    hostkit::SetFailureReporter({ [](const std::string& message) { ADD_FAILURE() << message; },
                                  [] { return testing::Test::HasFatalFailure(); } });
}

// Also for a Dialog read outside any script.
const bool kReporting = (UseGoogleTest(), true);

}  // namespace

ScriptedUser::ScriptedUser()
{
    UseGoogleTest();
}

void ScriptedUser::Run(const std::function<void()>& hostCall)
{
    // Without a window for them, help requests would start a help viewer that blocks
    // on a missing file.
    HelpObserver helpGuard;
    hostkit::ScriptedUser::Run(hostCall);
}

void ExpectTemplateFontAndSize(const Dialog& dialog, HMODULE module, int templateId)
{
    const SIZE units = dialog.BaseUnits();
    EXPECT_EQ(units.cx, 6) << "pixels of 4 horizontal dialog units";
    EXPECT_EQ(units.cy, 13) << "pixels of 8 vertical dialog units";
    const SIZE dlu = TemplateSize(module, templateId);
    ASSERT_GT(dlu.cx, 0) << "no dialog template " << templateId;
    const SIZE client = dialog.ClientSize();
    EXPECT_EQ(client.cx, MulDiv(dlu.cx, 6, 4)) << "\"" << dialog.Caption() << "\": client width";
    EXPECT_EQ(client.cy, MulDiv(dlu.cy, 13, 8)) << "\"" << dialog.Caption() << "\": client height";
}

}  // namespace dialog_driver

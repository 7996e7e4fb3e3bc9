// How the transfer dialogs look: drawn in the templates' font at the templates'
// size, and the four bitmap buttons showing their images at the images' size. The
// export dialog's picture is also saved beside the test program for a person to
// look at; the demo's tour saves every dialog and warning.
#include <gtest/gtest.h>

#include <windows.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using hostkit::Picture;

namespace {

transfer_host::Call LookCall(const fixtures::TempFolder& folder)
{
    folder.Write("look.kvd", transfer_host::KvdText({
        { "Gamma Ray", "kim", "3", "W-17", "1968-04-21 09:15" },
        { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
        { "Sonic", "jdoe", "1", "W-18", "2019-07-30 16:45" },
    }));
    return transfer_host::Call(transfer_host::kExport, folder.Path(), "look.kvd",
                               { "Gamma Ray", "Porosity", "Sonic", "Caliper" }, "jdoe", "W-17");
}

// Pixels at which two pictures of the same size differ.
int DifferingPixels(const Picture& a, const Picture& b)
{
    int count = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            count += a.At(x, y) != b.At(x, y);
    return count;
}

TEST(Look, DialogsAreDrawnInTheTemplatesFontAtItsSize)
{
    fixtures::TempFolder folder;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        {
            SCOPED_TRACE("the export dialog");
            dialog_driver::ExpectTemplateFontAndSize(d, GetModuleHandleA("derar.dll"), IDD_IMPEXP);
        }
        d.List(IDC_AVAILABLE_LIST).SelectOnly({ 0 });
        d.Click(IDC_ADD);
        d.Click(IDOK);
    });
    user.When("Warning", [&](Dialog& w) {
        SCOPED_TRACE("the warning");
        dialog_driver::ExpectTemplateFontAndSize(w, GetModuleHandleA("derar.dll"), IDD_WARNING);
        w.Click(IDCANCEL);
    });
    user.When("Kiv Export", [](Dialog& d) { d.Click(IDCANCEL); });
    user.Run([&] { transfer_host::CallImpExp(LookCall(folder)); });
}

TEST(Look, BitmapButtonsShowTheirImagesAtTheImagesSize)
{
    struct Case {
        const char* name;
        int id;
        const char* image;   // the image of the button at rest
    };
    const Case cases[] = {
        { "Add", IDC_ADD, "ADDU" },
        { "Add all", IDC_ADDALL, "ADDALLU" },
        { "Remove", IDC_REMOVE, "REMOVEU" },
        { "Remove all", IDC_REMOVEALL, "REMALLU" },
    };
    HMODULE library = GetModuleHandleA("derar.dll");
    ASSERT_NE(library, nullptr);
    fixtures::TempFolder folder;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        d.SetFocus(IDC_AVAILABLE_LIST);   // no button drawn in its focused state
        d.SaveScreenshot(fixtures::ProgramFolder() + "transfer-export.png");
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(library, c.image, IMAGE_BITMAP, 0, 0, 0));
            ASSERT_NE(bitmap, nullptr);
            const Picture image = hostkit::PictureOfBitmap(bitmap);
            DeleteObject(bitmap);
            const Picture button = d.Picture(c.id);
            ASSERT_EQ(button.width, image.width);
            ASSERT_EQ(button.height, image.height);
            EXPECT_EQ(DifferingPixels(button, image), 0);
        }
        d.Click(IDCANCEL);
    });
    user.Run([&] { transfer_host::CallImpExp(LookCall(folder)); });
}

}  // namespace

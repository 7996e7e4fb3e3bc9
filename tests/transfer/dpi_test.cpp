// Both dialogs at 96, 144 and 192 DPI: the transfer dialog's four bitmap buttons show the
// images drawn for the dialog's DPI at their own size, and both dialogs grow with their
// font. The platform takes a process's DPI when it starts, so each DPI is measured by
// this program run again as a child at that DPI (hostkit::RunAtDpi); the parent reads
// what the child measured and judges it. The child also saves pictures of both dialogs
// beside the program ("transfer-export-144dpi.png", "browser-144dpi.png").
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include <derar.h>

#include "dpi_run.h"
#include "resource.h"
#include "scripted_user.h"
#include "test_fixtures.h"
#include "transfer_host.h"

namespace {

struct ButtonImage {
    int id;
    const char* stem;  // the button's window text: the stem of its images' names
};
const ButtonImage kButtons[] = {
    { IDC_ADD, "ADD" }, { IDC_ADDALL, "ADDALL" }, { IDC_REMOVEALL, "REMALL" }, { IDC_REMOVE, "REMOVE" }
};

// ---------------------------------------------------------------------------
// The child: plays both dialogs at the DPI it was started with and writes what it saw,
// one fact a line ("button ADD 39 36 39 36 0": window size, image size, differing pixels).

int DifferingPixels(const hostkit::Picture& a, const hostkit::Picture& b)
{
    if (a.width != b.width || a.height != b.height)
        return -1;
    int count = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            count += a.At(x, y) != b.At(x, y);
    return count;
}

int Measure(const std::string& imageSuffix, const std::string& outPath)
{
    const int dpi = hostkit::TellDpiTaken();
    std::vector<std::string> failures;
    hostkit::SetFailureReporter({ [&failures](const std::string& m) { failures.push_back(m); }, nullptr });
    std::ostringstream out;
    out << "dpi " << dpi << "\n";
    const std::string pictures = fixtures::ProgramFolder();
    const std::string tag = std::to_string(dpi) + "dpi";

    fixtures::TempFolder folder;
    folder.Write("dpi.kvd", transfer_host::KvdText({
                                { "Gamma Ray", "kim", "3", "W-17", "1968-04-21 09:15" },
                                { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
                            }));
    HMODULE library = GetModuleHandleA("derar.dll");
    {
        hostkit::ScriptedUser user;
        user.When("Kiv Export", [&](hostkit::Dialog& d) {
            const SIZE units = d.BaseUnits(), client = d.ClientSize();
            out << "transfer-units " << units.cx << " " << units.cy << "\n";
            out << "transfer-client " << client.cx << " " << client.cy << "\n";
            RECT place = { 0, 0, 16, 16 };  // the buttons' size in the template
            MapDialogRect(d.Handle(), &place);
            out << "template-button " << place.right << " " << place.bottom << "\n";
            d.SetFocus(IDC_AVAILABLE_LIST);  // no button drawn in its focused state
            for (const ButtonImage& b : kButtons) {
                RECT rc;
                GetWindowRect(d.Item(b.id), &rc);
                const std::string name = std::string(b.stem) + "U" + imageSuffix;
                HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(library, name.c_str(), IMAGE_BITMAP, 0, 0, 0));
                hostkit::Picture image;
                if (bitmap) {
                    image = hostkit::PictureOfBitmap(bitmap);
                    DeleteObject(bitmap);
                }
                out << "button " << b.stem << " " << rc.right - rc.left << " " << rc.bottom - rc.top << " "
                    << image.width << " " << image.height << " " << DifferingPixels(d.Picture(b.id), image) << "\n";
            }
            d.SaveScreenshot(pictures + "transfer-export-" + tag + ".png");
            d.Click(IDCANCEL);
        });
        user.Run([&] {
            transfer_host::CallImpExp(transfer_host::Call(transfer_host::kExport, folder.Path(), "dpi.kvd",
                                                          { "Gamma Ray", "Porosity", "Caliper" }, "jdoe", "W-17"));
        });
    }
    {
        // The browser rewrites the last file key: as it was afterwards.
        using namespace fixtures::last_file_key;
        const auto pathName = GetRaw("PathName"), fileName = GetRaw("FileName");
        const bool existed = Exists();
        hostkit::ScriptedUser user;
        user.When("Browse Kiv File", [&](hostkit::Dialog& d) {
            const SIZE units = d.BaseUnits(), client = d.ClientSize();
            out << "browser-units " << units.cx << " " << units.cy << "\n";
            out << "browser-client " << client.cx << " " << client.cy << "\n";
            d.SaveScreenshot(pictures + "browser-" + tag + ".png");
            d.Click(IDOK);
        });
        user.Run([&] { KivBrowseDialog(folder.Path().c_str(), "dpi.kvd"); });
        Remove();
        if (existed) {
            if (pathName)
                SetRaw("PathName", pathName->type, pathName->bytes);
            if (fileName)
                SetRaw("FileName", fileName->type, fileName->bytes);
        }
    }
    for (const std::string& failure : failures)
        std::fprintf(stderr, "at %d DPI: %s\n", dpi, failure.c_str());
    out << "end\n";
    std::ofstream(outPath) << out.str();
    return failures.empty() ? 0 : 1;
}

// ---------------------------------------------------------------------------
// The parent.

struct Measured {
    int dpi = 0;
    SIZE transferUnits = {}, transferClient = {}, templateButton = {}, browserUnits = {}, browserClient = {};
    struct Button {
        SIZE window = {}, image = {};
        int differing = -1;
    };
    std::map<std::string, Button> buttons;
    bool complete = false;
};

Measured Read(const std::string& path)
{
    Measured m;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "dpi")
            words >> m.dpi;
        else if (key == "transfer-units")
            words >> m.transferUnits.cx >> m.transferUnits.cy;
        else if (key == "transfer-client")
            words >> m.transferClient.cx >> m.transferClient.cy;
        else if (key == "template-button")
            words >> m.templateButton.cx >> m.templateButton.cy;
        else if (key == "browser-units")
            words >> m.browserUnits.cx >> m.browserUnits.cy;
        else if (key == "browser-client")
            words >> m.browserClient.cx >> m.browserClient.cy;
        else if (key == "button") {
            std::string stem;
            Measured::Button b;
            words >> stem >> b.window.cx >> b.window.cy >> b.image.cx >> b.image.cy >> b.differing;
            m.buttons[stem] = b;
        } else if (key == "end")
            m.complete = true;
    }
    return m;
}

// Runs the child at dpi; it compares the buttons with the images named by suffix.
Measured MeasureAt(int dpi, const std::string& suffix)
{
    const std::string out = fixtures::ProgramFolder() + "dpi-" + std::to_string(dpi) + ".txt";
    DeleteFileA(out.c_str());
    DWORD exitCode = 1;
    std::string error;
    const std::string command =
        hostkit::ThisProgram() + " --measure " + (suffix.empty() ? "-" : suffix) + " \"" + out + "\"";
    const bool ran = hostkit::RunAtDpi(dpi, command, 60000 * hostkit::TimeScale(), exitCode, error);
    EXPECT_TRUE(ran) << error;
    EXPECT_EQ(exitCode, 0u) << "the child's failures are on its standard error";
    return Read(out);
}

std::string Text(SIZE size) { return std::to_string(size.cx) + " x " + std::to_string(size.cy); }

TEST(HighDpi, TheBitmapButtonsShowTheImagesDrawnForTheDialogsDpi)
{
    struct Case {
        int dpi;
        const char* suffix;  // what the images' names end with
        SIZE image;
    };
    const Case cases[] = {
        { 96, "", { 26, 24 } },
        { 144, "150", { 39, 36 } },
        { 192, "200", { 52, 48 } },
    };
    std::map<int, Measured> seen;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " DPI");
        const Measured m = MeasureAt(c.dpi, c.suffix);
        ASSERT_TRUE(m.complete) << "the child wrote no whole report";
        EXPECT_EQ(m.dpi, c.dpi) << "the child ran at the DPI it was given";
        ASSERT_EQ(m.buttons.size(), 4u);
        for (const auto& [stem, b] : m.buttons) {
            SCOPED_TRACE(stem);
            EXPECT_EQ(Text(b.image), Text(c.image)) << "the image drawn for " << c.dpi << " DPI";
            EXPECT_EQ(Text(b.window), Text(c.image)) << "the button takes its image's size";
            EXPECT_EQ(b.differing, 0) << "the button shows that image, pixel for pixel";
        }
        std::printf(
            "%d DPI: transfer dialog %s, base units %s, template buttons %s, button images %s; "
            "browser %s, base units %s\n",
            c.dpi, Text(m.transferClient).c_str(), Text(m.transferUnits).c_str(), Text(m.templateButton).c_str(),
            Text(m.buttons.begin()->second.window).c_str(), Text(m.browserClient).c_str(),
            Text(m.browserUnits).c_str());
        seen[c.dpi] = m;
    }
    // Both dialogs grow with their font. (Wine's own "MS Sans Serif" has no face larger than
    // the one it takes at 144 DPI, so under Wine the dialogs are as large at 192 as at 144.)
    for (int dpi : { 144, 192 }) {
        SCOPED_TRACE(std::to_string(dpi) + " DPI");
        const Measured &low = seen[96], &high = seen[dpi];
        EXPECT_GT(high.transferUnits.cx, low.transferUnits.cx);
        EXPECT_GT(high.transferUnits.cy, low.transferUnits.cy);
        EXPECT_GT(high.transferClient.cx, low.transferClient.cx);
        EXPECT_GT(high.browserClient.cx, low.browserClient.cx);
        EXPECT_GT(high.browserClient.cy, low.browserClient.cy);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--measure") == 0)
        return Measure(std::strcmp(argv[2], "-") == 0 ? "" : argv[2], argv[3]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Both dialogs at 96, 144 and 192 DPI: the transfer dialog's four bitmap buttons show the
// images drawn for the dialog's DPI at their own size, and both dialogs grow with their
// font. The platform takes a process's DPI when it starts, so each DPI is measured by
// this program run again as a child at that DPI (hostkit::RunAtDpi); the parent reads
// what the child measured and judges it. The child also saves pictures of both dialogs
// beside the program ("transfer-export-144dpi.png", "browser-144dpi.png").
//
// The same source is also transfer_dpi_undeclared.exe, a host that declares no DPI
// awareness (no manifest): started at 144 and 192 DPI it gets the dialogs at 96 DPI,
// enlarged by the platform, and a person's mouse still works every control.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <derar.h>

#include "dpi_run.h"
#include "person_input.h"
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

// The browser rewrites the last file key: as it was afterwards.
class KeepLastFileKey {
public:
    KeepLastFileKey()
        : m_pathName(fixtures::last_file_key::GetRaw("PathName")),
          m_fileName(fixtures::last_file_key::GetRaw("FileName")),
          m_existed(fixtures::last_file_key::Exists())
    {
    }
    ~KeepLastFileKey()
    {
        using namespace fixtures::last_file_key;
        Remove();
        if (!m_existed)
            return;
        if (m_pathName)
            SetRaw("PathName", m_pathName->type, m_pathName->bytes);
        if (m_fileName)
            SetRaw("FileName", m_fileName->type, m_fileName->bytes);
    }

private:
    std::optional<fixtures::last_file_key::RawValue> m_pathName, m_fileName;
    bool m_existed;
};

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
    out << "awareness " << hostkit::ThreadDpiAwareness() << "\n";
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
        KeepLastFileKey keep;
        hostkit::ScriptedUser user;
        user.When("Browse Kiv File", [&](hostkit::Dialog& d) {
            const SIZE units = d.BaseUnits(), client = d.ClientSize();
            out << "browser-units " << units.cx << " " << units.cy << "\n";
            out << "browser-client " << client.cx << " " << client.cy << "\n";
            d.SaveScreenshot(pictures + "browser-" + tag + ".png");
            d.Click(IDOK);
        });
        user.Run([&] { KivBrowseDialog(folder.Path().c_str(), "dpi.kvd"); });
    }
    for (const std::string& failure : failures)
        std::fprintf(stderr, "at %d DPI: %s\n", dpi, failure.c_str());
    out << "end\n";
    std::ofstream(outPath) << out.str();
    return failures.empty() ? 0 : 1;
}

// ---------------------------------------------------------------------------
// The child without a manifest: a host that declares nothing. It writes the DPI it and its
// dialogs got, their size as drawn on the screen, and what a person's mouse did to each
// control, one line a fact, as the parent compares them ("moved: ...").

std::string Names(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

int PlayUndeclared(const std::string& outPath)
{
    const int dpi = hostkit::TellDpiTaken();
    std::vector<std::string> failures;
    hostkit::SetFailureReporter({ [&failures](const std::string& m) { failures.push_back(m); }, nullptr });
    std::ostringstream out;
    out << "dpi " << dpi << "\n";
    out << "awareness " << hostkit::ThreadDpiAwareness() << "\n";
    person::MoveAway();

    fixtures::TempFolder folder;
    folder.Write("dpi.kvd", transfer_host::KvdText({
                                { "Gamma Ray", "jdoe", "3", "W-17", "1968-04-21 09:15" },
                                { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
                            }));
    auto lower = [](hostkit::Dialog& d) { return Names(d.List(IDC_SELECTED_LIST).Column(0)); };
    auto clickRow = [](hostkit::Dialog& d, int list, const char* name) {
        const hostkit::ListView rows = d.List(list);
        const int row = rows.FindRow(name);
        if (row < 0)
            hostkit::Failure() << name << " is not listed";
        else
            person::Click(person::RowPoint(rows, row));
    };
    auto clickButton = [](hostkit::Dialog& d, int id) { person::Click(person::Middle(d.Item(id))); };
    hostkit::ScriptedUser user;
    user.When("Kiv Export", [&](hostkit::Dialog& d) {
        const SIZE logical = d.ClientSize(), window = hostkit::PhysicalWindowSize(d.Handle());
        RECT rc;
        GetWindowRect(d.Handle(), &rc);
        out << "dialog-dpi " << hostkit::WindowDpi(d.Handle()) << "\n";
        out << "window " << rc.right - rc.left << " " << rc.bottom - rc.top << "\n";
        out << "screen-window " << window.cx << " " << window.cy << "\n";
        out << "client " << logical.cx << " " << logical.cy << "\n";
        for (const ButtonImage& b : kButtons) {
            GetWindowRect(d.Item(b.id), &rc);
            out << "button-" << b.stem << " " << rc.right - rc.left << " " << rc.bottom - rc.top << "\n";
        }
        clickRow(d, IDC_AVAILABLE_LIST, "Porosity");
    });
    user.When("Kiv Export", [&](hostkit::Dialog& d) {
        const hostkit::ListView upper = d.List(IDC_AVAILABLE_LIST);
        std::vector<std::string> selected;
        for (int row : upper.SelectedRows())
            selected.push_back(upper.Cell(row, 0));
        out << "moved: a row clicked, selected " << Names(selected) << "\n";
        clickButton(d, IDC_ADD);
    });
    user.When("Kiv Export", [&](hostkit::Dialog& d) {
        out << "moved: Add, below " << lower(d) << "\n";
        clickButton(d, IDC_ADDALL);
    });
    user.When("Kiv Export", [&](hostkit::Dialog& d) {
        out << "moved: Add all, below " << lower(d) << "\n";
        clickRow(d, IDC_SELECTED_LIST, "Gamma Ray");
    });
    user.When("Kiv Export", [&](hostkit::Dialog& d) { clickButton(d, IDC_REMOVE); });
    user.When("Kiv Export", [&](hostkit::Dialog& d) {
        out << "moved: Remove, below " << lower(d) << "\n";
        clickButton(d, IDC_REMOVEALL);
    });
    user.When("Kiv Export", [&](hostkit::Dialog& d) {
        out << "moved: Remove all, below " << lower(d) << "\n";
        clickButton(d, IDC_ADDALL);
    });
    user.When("Kiv Export", [&](hostkit::Dialog& d) { clickButton(d, IDOK); });
    user.When("Warning", [&](hostkit::Dialog& w) {
        const std::string text = w.Text(IDC_WARNING_TEXT);
        out << "moved: OK, warned of " << text.substr(0, text.find_first_of("\r\n")) << "\n";
        clickButton(w, IDYES);
    });
    transfer_host::Outcome outcome;
    user.Run([&] {
        outcome = transfer_host::CallImpExp(transfer_host::Call(transfer_host::kExport, folder.Path(), "dpi.kvd",
                                                                { "Gamma Ray", "Porosity", "Caliper" }, "jdoe", "W-17"));
    });
    out << "moved: OK, returned " << outcome.result << " with " << Names(outcome.names) << "\n";

    {
        KeepLastFileKey keep;
        hostkit::ScriptedUser browse;
        auto tree = [](hostkit::Dialog& d) { return d.Tree(IDC_TREE); };
        browse.When("Browse Kiv File", [&](hostkit::Dialog& d) {
            out << "browser-dpi " << hostkit::WindowDpi(d.Handle()) << "\n";
            // The second object's label: a click on it in the tree selects it.
            const std::vector<HTREEITEM> objects = tree(d).Children(nullptr);
            if (objects.size() < 2)
                hostkit::Failure() << "the browser lists " << objects.size() << " objects";
            else {
                RECT rc = {};  // in: the item, at the rectangle's start
                std::memcpy(&rc, &objects[1], sizeof objects[1]);
                SendMessageA(tree(d).Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rc));
                POINT pt = { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
                ClientToScreen(tree(d).Handle(), &pt);
                person::Click(pt);
            }
        });
        browse.When("Browse Kiv File", [&](hostkit::Dialog& d) {
            const HTREEITEM selected = tree(d).Selected();
            const std::string label = selected ? tree(d).Text(selected) : "none";
            out << "moved: a tree item clicked, selected " << label.substr(0, label.find(" - ")) << "\n";
            clickButton(d, IDOK);
        });
        browse.Run([&] { KivBrowseDialog(folder.Path().c_str(), "dpi.kvd"); });
        out << "moved: Close, the browser " << (browse.StepsRun() == 2 ? "closed" : "still open") << "\n";
    }
    person::MoveAway();
    for (const std::string& failure : failures)
        std::fprintf(stderr, "undeclared at %d DPI: %s\n", dpi, failure.c_str());
    out << "end\n";
    std::ofstream(outPath) << out.str();
    return failures.empty() ? 0 : 1;
}

// ---------------------------------------------------------------------------
// The parent.

struct Measured {
    int dpi = 0;
    int awareness = -1;
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
        else if (key == "awareness")
            words >> m.awareness;
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
        // (Wine before 10 takes every program for aware per monitor, 2.)
        EXPECT_GE(m.awareness, 1) << "the program's manifest declares it aware of the system's DPI";
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

// Windows, and Wine from version 10, show a program that declares no DPI awareness at 96
// DPI and enlarge its windows; Wine before 10 gives every program the screen's DPI.
bool PlatformEnlargesUndeclaredPrograms()
{
    const std::string wine = hostkit::WineVersion();
    return wine.empty() || std::atoi(wine.c_str()) >= 10;
}

struct Undeclared {
    std::map<std::string, std::string> facts;  // the first word of each line: the rest
    std::string moved;                         // the "moved:" lines, in order
    bool complete = false;
    int Number(const std::string& key, int index = 0) const
    {
        const auto found = facts.find(key);
        if (found == facts.end())
            return -1;
        std::istringstream words(found->second);
        int value = -1;
        for (int i = 0; i <= index; ++i)
            words >> value;
        return value;
    }
};

Undeclared PlayUndeclaredAt(int dpi)
{
    const std::string folder = fixtures::ProgramFolder();
    const std::string out = folder + "undeclared-" + std::to_string(dpi) + ".txt";
    DeleteFileA(out.c_str());
    DWORD exitCode = 1;
    std::string error;
    const std::string command = "\"" + folder + "transfer_dpi_undeclared.exe\" --undeclared \"" + out + "\"";
    EXPECT_TRUE(hostkit::RunAtDpi(dpi, command, 60000 * hostkit::TimeScale(), exitCode, error)) << error;
    EXPECT_EQ(exitCode, 0u) << "the child's failures are on its standard error";
    Undeclared seen;
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("moved: ", 0) == 0)
            seen.moved += line.substr(7) + "\n";
        else if (line == "end")
            seen.complete = true;
        else {
            const size_t blank = line.find(' ');
            seen.facts[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
        }
    }
    return seen;
}

TEST(HighDpi, AHostThatDeclaresNoAwarenessGets96DpiDialogsThatAPersonCanWork)
{
    const bool enlarged = PlatformEnlargesUndeclaredPrograms();
    std::printf("%s: a program without a manifest is %s\n",
                hostkit::WineVersion().empty() ? "Windows" : ("Wine " + hostkit::WineVersion()).c_str(),
                enlarged ? "shown at 96 DPI, enlarged" : "given the screen's DPI");
    // What every click did, the same at every DPI. "Caliper" is the new candidate: its row goes
    // up with Remove all and down again with Add all, and as every "New" row it draws the
    // author warning, answered Yes.
    const char* const kMoved =
        "a row clicked, selected Porosity\n"
        "Add, below Caliper, Porosity\n"
        "Add all, below Caliper, Gamma Ray, Porosity\n"
        "Remove, below Caliper, Porosity\n"
        "Remove all, below \n"
        "OK, warned of Object = Caliper\n"
        "OK, returned 1 with Caliper, Gamma Ray, Porosity\n"
        "a tree item clicked, selected Porosity\n"
        "Close, the browser closed\n";
    for (int screen : { 144, 192 }) {
        SCOPED_TRACE(std::to_string(screen) + " DPI on the screen");
        const Undeclared seen = PlayUndeclaredAt(screen);
        ASSERT_TRUE(seen.complete) << "the child wrote no whole report";
        const int dpi = enlarged ? 96 : screen;
        EXPECT_EQ(seen.Number("dpi"), dpi) << "the DPI the process sees";
        EXPECT_EQ(seen.Number("dialog-dpi"), dpi) << "the DPI the transfer dialog is drawn for";
        EXPECT_EQ(seen.Number("browser-dpi"), dpi) << "the DPI the browser is drawn for";
        if (enlarged) {
            EXPECT_EQ(seen.Number("awareness"), 0) << "the process is not DPI-aware";
        }
        // The buttons take the images drawn for the dialog's DPI: at 96 DPI the 96 DPI ones.
        const SIZE image = dpi >= 192 ? SIZE{ 52, 48 } : dpi >= 144 ? SIZE{ 39, 36 } : SIZE{ 26, 24 };
        for (const ButtonImage& b : kButtons) {
            const std::string key = std::string("button-") + b.stem;
            EXPECT_EQ(std::to_string(seen.Number(key)) + " x " + std::to_string(seen.Number(key, 1)), Text(image))
                << b.stem;
        }
        // On the screen the platform enlarges the whole dialog by the screen's DPI over 96.
        const int width = seen.Number("window"), height = seen.Number("window", 1);
        const int scale = enlarged ? screen : 96;
        EXPECT_NEAR(seen.Number("screen-window"), width * scale / 96, 2) << "the dialog's width on the screen";
        EXPECT_NEAR(seen.Number("screen-window", 1), height * scale / 96, 2) << "the dialog's height on the screen";
        EXPECT_EQ(seen.moved, kMoved) << "what a person's clicks did";
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--measure") == 0)
        return Measure(std::strcmp(argv[2], "-") == 0 ? "" : argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "--undeclared") == 0)
        return PlayUndeclared(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

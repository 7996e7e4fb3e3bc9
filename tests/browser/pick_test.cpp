// Switching files: the combo box's list and selection, picks in it, picks through
// the "..." open-file dialog, and help.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include "browser_host.h"
#include "help_observer.h"
#include "resource.h"
#include "test_fixtures.h"

using browser_host::FileObject;
using browser_host::View;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
namespace key = fixtures::last_file_key;

namespace {


std::string FileOf(const std::string& objectName)
{
    return browser_host::KvdText({ { objectName, "Smith", "1", "W-17", "2024-03-05 14:07",
                                     { { "G", "", 1, "v", "1", "" } } } });
}

std::string Label(const std::string& objectName)
{
    return objectName + " - Smith - 1 - W-17 - Tuesday, March 05, 2024  14:07";
}

// The label of the top-level item, or "" for an empty tree.
std::string FirstLine(const View& view)
{
    return view.tree.substr(0, view.tree.find('\n'));
}

class Picks : public ::testing::Test {
protected:
    void SetUp() override
    {
        key::Remove();
        folder.Write("alpha.kvd", FileOf("Alpha"));
        folder.Write("Beta.KVD", FileOf("Beta"));
        folder.Write("notes.txt", "not an exchange file");
        folder.Write("three.kvdx", "its short name ends in .KVD");
        folder.MakeFolder("archive.kvd");
    }
    void TearDown() override { key::Remove(); }

    fixtures::TempFolder folder;
};

TEST_F(Picks, ComboListsExchangeFilesSortedAndSelectsTheShownOne)
{
    View view = browser_host::OpenAndLook(folder.Path(), "Beta.KVD");
    // Sorted without regard to case; a folder named *.kvd is listed; three.kvdx is not.
    EXPECT_EQ(view.files, (std::vector<std::string>{ "alpha.kvd", "archive.kvd", "Beta.KVD" }));
    EXPECT_EQ(view.selectedFile, "Beta.KVD");
    EXPECT_EQ(FirstLine(view), Label("Beta"));
}

TEST_F(Picks, PickInComboShowsThatFileAndRewritesTheKey)
{
    View before, after;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        before = browser_host::Look(d);
        d.Combo(IDC_FILE_COMBO).Pick("Beta.KVD");
        after = browser_host::Look(d);
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "alpha.kvd");

    EXPECT_EQ(FirstLine(before), Label("Alpha"));
    EXPECT_EQ(FirstLine(after), Label("Beta"));
    EXPECT_EQ(after.selectedFile, "Beta.KVD");
    EXPECT_EQ(after.files, before.files);
    EXPECT_EQ(after.directory, folder.Path());
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>("Beta.KVD"));
    EXPECT_EQ(key::GetText("PathName"), std::optional<std::string>(folder.Path()));
}

TEST_F(Picks, FileDeletedBetweenListingAndPickShowsNothingButIsRemembered)
{
    View after;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        DeleteFileA(folder.File("Beta.KVD").c_str());
        d.Combo(IDC_FILE_COMBO).Pick("Beta.KVD");
        after = browser_host::Look(d);
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "alpha.kvd");

    EXPECT_EQ(after.tree, "");
    EXPECT_EQ(after.files, (std::vector<std::string>{ "alpha.kvd", "archive.kvd" }));
    EXPECT_EQ(after.selectedFile, "");
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>("Beta.KVD"));
}

TEST_F(Picks, FolderNamedLikeAFileIsRefusedByTheLibraryWithItsMessage)
{
    View before, after;
    std::string message;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        before = browser_host::Look(d);
        d.Combo(IDC_FILE_COMBO).Pick("archive.kvd");   // the library's message comes now
        after = browser_host::Look(d);
        d.Click(IDOK);
    });
    user.When(dialog_driver::AnyMessageBox(), [&](Dialog& box) {
        message = box.MessageText();
        box.ClickButton("OK");
    });
    browser_host::RunBrowser(user, folder.Path(), "alpha.kvd");

    EXPECT_NE(message.find("archive.kvd"), std::string::npos) << message;
    EXPECT_EQ(after.tree, "");
    EXPECT_EQ(after.directory, before.directory);
    EXPECT_EQ(after.files, before.files);
    EXPECT_EQ(after.selectedFile, "archive.kvd") << "the combo box keeps the pick it showed";
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>("alpha.kvd"));
}

// Picks through "...": the open-file dialog comes up inside the click, the user types
// a name and presses Open, and the browser shows what was picked.
struct DialogPick {
    const char* name;
    std::string typed;              // "<folder>" and "<other>" stand for those folders
    std::string directory;          // what the browser then shows ("<folder>", "<other>")
    std::string fileName;           // the name the key then holds
    std::string firstLine;          // the tree's first line ("" for an empty tree)
    std::vector<std::string> files; // the combo box afterwards
    std::string selectedFile;
};

class FileDialogPick : public Picks, public ::testing::WithParamInterface<DialogPick> {
protected:
    std::string Expand(std::string text)
    {
        for (auto [mark, value] : { std::pair<std::string, std::string>{ "<folder>", folder.Path() },
                                    std::pair<std::string, std::string>{ "<other>", other } }) {
            size_t at = text.find(mark);
            if (at != std::string::npos)
                text.replace(at, mark.size(), value);
        }
        return text;
    }
    std::string other;
};

TEST_P(FileDialogPick, ShowsThePickedFile)
{
    const DialogPick& c = GetParam();
    other = folder.MakeFolder("other");
    folder.Write("other\\gamma.kvd", FileOf("Gamma"));

    View after;
    bool typed = false;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        d.Click(IDC_BROWSE_FILE);
        after = browser_host::Look(d);
        d.Click(IDOK);
    });
    user.When(dialog_driver::WithControl(cmb13), [&](Dialog& open) {
        typed = open.TypeFileName(Expand(c.typed));
        open.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "alpha.kvd");

    ASSERT_TRUE(typed) << c.name;
    EXPECT_EQ(after.directory, Expand(c.directory)) << c.name;
    EXPECT_EQ(FirstLine(after), c.firstLine) << c.name;
    EXPECT_EQ(after.files, c.files) << c.name;
    EXPECT_EQ(after.selectedFile, c.selectedFile) << c.name;
    EXPECT_EQ(key::GetText("PathName"), std::optional<std::string>(Expand(c.directory))) << c.name;
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>(c.fileName)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, FileDialogPick, ::testing::Values(
    DialogPick{ "AnotherDirectory", "<other>gamma.kvd", "<other>", "gamma.kvd", Label("Gamma"),
                { "gamma.kvd" }, "gamma.kvd" },
    DialogPick{ "NameWithoutExtension", "<other>gamma", "<other>", "gamma.kvd", Label("Gamma"),
                { "gamma.kvd" }, "gamma.kvd" },
    // A new name in an existing folder is accepted: nothing to show, but it is remembered.
    DialogPick{ "NameThatDoesNotExist", "<folder>fresh.kvd", "<folder>", "fresh.kvd", "",
                { "alpha.kvd", "archive.kvd", "Beta.KVD" }, "" },
    // The open dialog adds the default extension only when that names an existing file;
    // "b" is a prefix of Beta.KVD, so the combo box selects that.
    DialogPick{ "NewNameWithoutExtensionPrefixOfAListedOne", "<folder>b", "<folder>", "b", "",
                { "alpha.kvd", "archive.kvd", "Beta.KVD" }, "Beta.KVD" }
), [](const ::testing::TestParamInfo<DialogPick>& info) { return std::string(info.param.name); });

TEST_F(Picks, CancelledFileDialogChangesNothing)
{
    View before, after;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        before = browser_host::Look(d);
        d.Click(IDC_BROWSE_FILE);
        after = browser_host::Look(d);
        d.Click(IDOK);
    });
    user.When(dialog_driver::WithControl(cmb13), [&](Dialog& open) { open.Click(IDCANCEL); });
    browser_host::RunBrowser(user, folder.Path(), "alpha.kvd");

    EXPECT_EQ(after.tree, before.tree);
    EXPECT_EQ(after.selectedFile, "alpha.kvd");
}

TEST_F(Picks, OverlongDirectoryStillOpensTheFileDialog)
{
    std::string directory = folder.Path() + std::string(300, 'd') + "\\";
    bool opened = false;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        d.Click(IDC_BROWSE_FILE);
        d.Click(IDOK);
    });
    user.When(dialog_driver::WithControl(cmb13), [&](Dialog& open) {
        opened = true;
        open.Click(IDCANCEL);
    });
    browser_host::RunBrowser(user, directory, "alpha.kvd");
    EXPECT_TRUE(opened);
}

TEST_F(Picks, HelpButtonAndF1AskForContextFiveOfKivHlp)
{
    HelpObserver observer;
    ASSERT_TRUE(observer.IsReady());
    HWND browser = nullptr;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        browser = d.Handle();
        d.Click(ID_HELP);
        d.SetFocus(IDC_TREE);
        d.PressF1();
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "alpha.kvd");

    HelpRequest context5;
    context5.command = HELP_CONTEXT;
    context5.data = 5;
    context5.file = "kiv.hlp";
    std::vector<HelpRequest> requests = observer.ContextRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const HelpRequest& request : requests) {
        EXPECT_EQ(request, context5);
        EXPECT_EQ(request.caller, browser);
    }
}

}  // namespace

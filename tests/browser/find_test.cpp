// Find in the browser, played as a person does: Ctrl+F opens the platform's Find dialog,
// Enter there finds, F3 and Shift+F3 find again from the selected item, going round the
// ends with a note, and a text that no label holds is named in a message box.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include "browser_host.h"
#include "resource.h"
#include "test_fixtures.h"
#include "wells_file.h"

using browser_host::kControl;
using browser_host::kShift;
using dialog_driver::AnyMessageBox;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using dialog_driver::TreeView;

namespace {

const char kFindCaption[] = "Find";
const char kPassedTheEnd[] = "Passed the end of the tree; the search went on from the top.";
const char kPassedTheTop[] = "Passed the top of the tree; the search went on from the bottom.";

using wells_file::Label;

std::string SelectedText(const TreeView& tree) { return tree.Selected() ? tree.Text(tree.Selected()) : "(none)"; }

HWND FindWindowOpen() { return dialog_driver::FindThreadDialog(dialog_driver::Caption(kFindCaption)); }

class Find : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixtures::last_file_key::Remove();
        folder.Write("wells.kvd", browser_host::KvdText(wells_file::Objects()));
    }
    void TearDown() override { fixtures::last_file_key::Remove(); }

    void Run(ScriptedUser& user) { browser_host::RunBrowser(user, folder.Path(), "wells.kvd"); }

    fixtures::TempFolder folder;
};

TEST_F(Find, TheFindDialogFindsUnderClosedItemsAndStaysOpen)
{
    std::string opening;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        opening = browser_host::MarkedTree(d.Tree(IDC_TREE));
        ASSERT_EQ(d.FocusId(), IDC_TREE);
        browser_host::PressKeyWith(d, 'F', kControl);
    });
    user.When(kFindCaption, [&](Dialog& f) {
        EXPECT_EQ(f.FocusId(), edt1) << "the text box takes the keys";
        EXPECT_EQ(f.Text(edt1), "");
        browser_host::Type(f, "1300");
        browser_host::PressKeyWith(f, VK_RETURN, 0);
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        HTREEITEM match = tree.Find({ Label("Gamma"), "Survey", "1", "Depth: 1300 [m]" });
        ASSERT_NE(match, nullptr);
        EXPECT_EQ(tree.Selected(), match);
        EXPECT_TRUE(browser_host::IsInView(tree, match));
        // Only the match's closed ancestors opened: Gamma's Survey and its record.
        std::string expected = opening;
        const std::string closed = "  + Survey\n    + 1\n      Depth: 1300 [m]";
        const size_t at = expected.rfind(closed);
        ASSERT_NE(at, std::string::npos) << expected;
        expected.replace(at, closed.size(), "  - Survey\n    - 1\n      Depth: 1300 [m]");
        EXPECT_EQ(browser_host::MarkedTree(tree), expected);
        EXPECT_TRUE(GetWindowLongA(tree.Handle(), GWL_STYLE) & TVS_SHOWSELALWAYS)
            << "the match shows while the Find dialog has the keys";
        HWND find = FindWindowOpen();
        ASSERT_NE(find, nullptr) << "the Find dialog stays open for the next search";
        EXPECT_EQ(Dialog(find).FocusId(), edt1);
        browser_host::PressKeyWith(Dialog(find), VK_ESCAPE, 0);
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_EQ(FindWindowOpen(), nullptr) << "Escape closed the Find dialog";
        TreeView tree = d.Tree(IDC_TREE);
        EXPECT_EQ(SelectedText(tree), "Depth: 1300 [m]");
        EXPECT_FALSE(GetWindowLongA(tree.Handle(), GWL_STYLE) & TVS_SHOWSELALWAYS) << "the tree's own style again";
        d.Click(IDOK);
    });
    Run(user);
}

TEST_F(Find, F3AndShiftF3FindAgainAndGoRoundWithANote)
{
    ScriptedUser user;
    auto press = [](int key, int modifiers) {
        return [key, modifiers](Dialog& d) { browser_host::PressKeyWith(d, static_cast<UINT>(key), modifiers); };
    };
    auto expectSelected = [](const std::string& label, int key, int modifiers) {
        return [label, key, modifiers](Dialog& d) {
            EXPECT_EQ(SelectedText(d.Tree(IDC_TREE)), label);
            EXPECT_EQ(d.FocusId(), IDC_TREE);
            browser_host::PressKeyWith(d, static_cast<UINT>(key), modifiers);
        };
    };
    auto note = [](const std::string& text, const std::string& behind) {
        return [text, behind](Dialog& box) {
            EXPECT_EQ(box.MessageText(), text);
            EXPECT_EQ(box.ButtonTexts(), (std::vector<std::string>{ "OK" }));
            // The browser, disabled behind its note, shows the match.
            Dialog browser(GetWindow(box.Handle(), GW_OWNER));
            ASSERT_EQ(browser.Caption(), browser_host::kCaption);
            EXPECT_EQ(SelectedText(browser.Tree(IDC_TREE)), behind) << "the match is shown behind the note";
            box.ClickButton("OK");
        };
    };
    // F3 before any search asks for the text.
    user.When(browser_host::kCaption, press(VK_F3, 0));
    user.When(kFindCaption, [](Dialog& f) {
        browser_host::Type(f, "depth");
        browser_host::PressKeyWith(f, VK_RETURN, 0);
    });
    user.When(browser_host::kCaption, [](Dialog& d) {
        EXPECT_EQ(SelectedText(d.Tree(IDC_TREE)), "Depth: 1200 [m]") << "down from the first object, selected at start";
        browser_host::PressKeyWith(Dialog(FindWindowOpen()), VK_ESCAPE, 0);
    });
    user.When(browser_host::kCaption, [](Dialog& d) {
        ASSERT_EQ(FindWindowOpen(), nullptr);
        d.SetFocus(IDC_TREE);
        browser_host::PressKeyWith(d, VK_F3, 0);
    });
    user.When(browser_host::kCaption, expectSelected("Note: depth marker ", VK_F3, 0));
    user.When(browser_host::kCaption, expectSelected("Depth: 1300 [m]", VK_F3, 0));
    user.When(AnyMessageBox(), note(kPassedTheEnd, "Depth: 1200 [m]"));
    user.When(browser_host::kCaption, expectSelected("Depth: 1200 [m]", VK_F3, kShift));
    user.When(AnyMessageBox(), note(kPassedTheTop, "Depth: 1300 [m]"));
    user.When(browser_host::kCaption, expectSelected("Depth: 1300 [m]", VK_F3, kShift));
    user.When(browser_host::kCaption, [](Dialog& d) {
        EXPECT_EQ(SelectedText(d.Tree(IDC_TREE)), "Note: depth marker ");
        d.Click(IDOK);
    });
    Run(user);
}

// The Find dialog's own options, and a text that no label holds, searched down from the
// first object each time.
struct OptionCase {
    const char* name;
    const char* text;
    bool matchCase, wholeWord;
    const char* found;  // the label selected, or nullptr: "Cannot find" names the text
};

const OptionCase kOptionCases[] = {
    { "case ignored by default", "DEPTH", false, false, "Depth: 1200 [m]" },
    { "Match case", "depth", true, false, "Note: depth marker " },
    { "Match whole word: part of a word", "dept", false, true, nullptr },
    { "Match whole word: the word", "marker", false, true, "Note: depth marker " },
    { "letters beyond ASCII, either case, in the code page", "TEMP\xc9RATURE", false, false, wells_file::kTemperature },
    { "not in any label", "Porosity", false, false, nullptr },
};

TEST_F(Find, MatchCaseWholeWordAndNotFound)
{
    ScriptedUser user;
    std::vector<std::string> messages;
    for (const OptionCase& c : kOptionCases) {
        const std::string name = c.name;
        user.When(browser_host::kCaption, [](Dialog& d) {
            TreeView tree = d.Tree(IDC_TREE);
            tree.Select(tree.Root());
            browser_host::PressKeyWith(d, 'F', kControl);  // brings the open dialog forward
        });
        user.When(kFindCaption, [c](Dialog& f) {
            EXPECT_EQ(f.FocusId(), edt1) << c.name;
            auto setCheck = [&f](int id, bool on) {
                if ((SendDlgItemMessageA(f.Handle(), id, BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
                    f.Click(id);
            };
            setCheck(chx2, c.matchCase);
            setCheck(chx1, c.wholeWord);
            f.SetFocus(edt1);  // takes the text, all of it chosen, to be typed over
            browser_host::Type(f, c.text);
            browser_host::PressKeyWith(f, VK_RETURN, 0);
        });
        if (c.found) {
            user.When(browser_host::kCaption,
                      [c](Dialog& d) { EXPECT_EQ(SelectedText(d.Tree(IDC_TREE)), c.found) << c.name; });
        } else {
            user.When(AnyMessageBox(), [c, &messages](Dialog& box) {
                EXPECT_EQ(box.MessageText(), std::string("Cannot find \"") + c.text + "\".") << c.name;
                messages.push_back(c.name);
                box.ClickButton("OK");
            });
            user.When(kFindCaption, [c](Dialog& f) { EXPECT_EQ(f.Text(edt1), c.text) << c.name; });
        }
    }
    user.When(browser_host::kCaption, [](Dialog& d) { d.Click(IDOK); });
    Run(user);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(Find, TheMenuOffersFindAndTheDialogKeepsTheLastText)
{
    ScriptedUser user;
    user.When(browser_host::kCaption, [](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        browser_host::RightClick(tree, tree.Root());
    });
    user.Until("the item menu", [] {
        if (!browser_host::OpenMenuWindow())
            return false;
        browser_host::ChooseFromMenu('F');
        return true;
    });
    user.When(kFindCaption, [](Dialog& f) {
        browser_host::Type(f, "angle");
        browser_host::PressKeyWith(f, VK_RETURN, 0);
    });
    user.When(browser_host::kCaption, [](Dialog& d) {
        EXPECT_EQ(SelectedText(d.Tree(IDC_TREE)), "Angle: 3.5 [deg]");
        Dialog(FindWindowOpen()).Click(IDCANCEL);
    });
    user.When(browser_host::kCaption, [](Dialog& d) {
        ASSERT_EQ(FindWindowOpen(), nullptr);
        browser_host::PressKeyWith(d, 'F', kControl);
    });
    user.When(kFindCaption, [](Dialog& f) {
        EXPECT_EQ(f.Text(edt1), "angle") << "the last text comes back";
        f.Click(IDCANCEL);
    });
    user.When(browser_host::kCaption, [](Dialog& d) { d.Click(IDOK); });
    Run(user);
}

// Close ends the browser with the Find dialog still open, and that goes with it; the next
// browser starts afresh.
TEST_F(Find, CloseWithTheFindDialogOpenEndsBoth)
{
    for (int run = 0; run < 2; ++run) {
        ScriptedUser user;
        user.When(browser_host::kCaption, [](Dialog& d) { browser_host::PressKeyWith(d, 'F', kControl); });
        user.When(kFindCaption, [run](Dialog& f) {
            EXPECT_EQ(f.Text(edt1), "") << "run " << run << ": a new browser remembers no text";
            browser_host::Type(f, "Beta");
        });
        user.When(browser_host::kCaption, [](Dialog& d) {
            ASSERT_NE(FindWindowOpen(), nullptr);
            d.Click(IDOK);
        });
        Run(user);
        EXPECT_EQ(FindWindowOpen(), nullptr) << "run " << run;
        EXPECT_EQ(user.ShownWindows().size(), 2u) << "run " << run << ": the browser and its Find dialog";
    }
}

// The Find dialog's registered message can come from any window, with a number of its own
// for the request block: only the block of the browser's own Find dialog is read. Before,
// a block the process cannot read ended the host.
TEST_F(Find, RequestsThatAreNotTheFindDialogsOwnAreIgnored)
{
    const UINT findMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
    void* noAccess = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    ASSERT_NE(noAccess, nullptr);
    static char what[] = "Survey";
    static FINDREPLACEA forged = {};
    forged.lStructSize = sizeof forged;
    forged.Flags = FR_FINDNEXT | FR_DOWN;
    forged.lpstrFindWhat = what;
    forged.wFindWhatLen = sizeof what;
    struct Case {
        const char* name;
        LPARAM block;
    } cases[] = {
        { "memory this process cannot read", reinterpret_cast<LPARAM>(noAccess) },
        { "a readable block of another program asking for a search", reinterpret_cast<LPARAM>(&forged) },
        { "no block", 0 },
    };
    std::string selected;
    ScriptedUser user;
    user.When(browser_host::kCaption, [](Dialog& d) { browser_host::PressKeyWith(d, 'F', kControl); });
    user.When(kFindCaption, [](Dialog& f) { browser_host::Type(f, "Survey"); });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        selected = SelectedText(d.Tree(IDC_TREE));
        // Sent and posted, as another window may do either.
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            SendMessageA(d.Handle(), findMessage, 0, c.block);
            PostMessageA(d.Handle(), findMessage, 0, c.block);
        }
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_EQ(SelectedText(d.Tree(IDC_TREE)), selected) << "no search ran";
        ASSERT_NE(FindWindowOpen(), nullptr) << "the browser's own Find dialog is still there";
        Dialog(FindWindowOpen()).Click(IDCANCEL);
        d.Click(IDOK);
    });
    Run(user);
    EXPECT_TRUE(user.MessageBoxTexts().empty()) << user.MessageBoxTexts().front();
    VirtualFree(noAccess, 0, MEM_RELEASE);
}

// A Find leaves the documented commands as they were: Collapse Tree after a deep match
// closes the second level and keeps the deeper items that the match opened.
TEST_F(Find, TheTreeCommandsAfterAFind)
{
    ScriptedUser user;
    user.When(browser_host::kCaption, [](Dialog& d) { browser_host::PressKeyWith(d, 'F', kControl); });
    user.When(kFindCaption, [](Dialog& f) {
        browser_host::Type(f, "X: 10");
        browser_host::PressKeyWith(f, VK_RETURN, 0);
    });
    user.When(browser_host::kCaption, [](Dialog& d) {
        EXPECT_EQ(SelectedText(d.Tree(IDC_TREE)), "X: 10 ");
        Dialog(FindWindowOpen()).Click(IDCANCEL);
    });
    user.When(browser_host::kCaption, [](Dialog& d) {
        ASSERT_EQ(FindWindowOpen(), nullptr);
        d.Click(ID_COLLAPSE_TREE);
        EXPECT_EQ(browser_host::MarkedTree(d.Tree(IDC_TREE)),
                  browser_host::WithMarks("- " + Label("Alpha") +
                                              "\n  ? Survey\n    ? 1\n      Depth: 1200 [m]\n"
                                              "      Angle: 3.5 [deg]\n      ? Point\n        ? 1\n          X: 10 \n"
                                              "- " +
                                              Label("Beta") +
                                              "\n  ? Casing\n    ? 1\n      Size: 7 [in]\n"
                                              "      Note: depth marker \n"
                                              "- " +
                                              Label("Gamma") +
                                              "\n  ? Survey\n    ? 1\n      Depth: 1300 [m]\n"
                                              "      Temp\xe9rature: 18.5 [\xb0"
                                              "C]\n",
                                          "+---"
                                          "++"
                                          "++"));
        d.Click(IDOK);
    });
    Run(user);
}

}  // namespace

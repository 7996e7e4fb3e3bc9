// The keys that the browser's controls and the dialog manager have always handled do what
// they did, now that the browser turns Ctrl+F, F3, Ctrl+C and the menu keys into commands:
// arrows and letters in the tree, Tab, Alt+H for "&Help", F1, and Escape and Enter, which
// end the dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "browser_host.h"
#include "help_observer.h"
#include "resource.h"
#include "test_fixtures.h"
#include "wells_file.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using dialog_driver::TreeView;
using wells_file::Label;

namespace {

// Alt with a letter, as the keyboard sends it: a system key with the Alt flag.
void PressAlt(const Dialog& d, UINT letter)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = keys[VK_LMENU] = 0x80;
    SetKeyboardState(keys);
    HWND target = d.Focus() ? d.Focus() : d.Handle();
    const LPARAM down = 1 | (LPARAM(MapVirtualKeyA(letter, 0) & 0xFF) << 16) | (LPARAM(1) << 29);
    PostMessageA(target, WM_SYSKEYDOWN, letter, down);
    PostMessageA(target, WM_SYSKEYUP, letter, down | (LPARAM(3) << 30));
}

void ReleaseAlt()
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = keys[VK_LMENU] = 0;
    SetKeyboardState(keys);
}

struct KeyCase {
    const char* name;
    std::function<void(Dialog&)> press;
    // What a person sees after it, read in the next step.
    std::function<void(Dialog&, const char* name)> check;
};

std::string Selected(const Dialog& d)
{
    TreeView tree = d.Tree(IDC_TREE);
    return tree.Selected() ? tree.Text(tree.Selected()) : "(none)";
}

bool IsOpen(const Dialog& d, const std::vector<std::string>& path)
{
    TreeView tree = d.Tree(IDC_TREE);
    return tree.IsExpanded(tree.Find(path));
}

class Keys : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixtures::last_file_key::Remove();
        folder.Write("wells.kvd", browser_host::KvdText(wells_file::Objects()));
    }
    void TearDown() override { fixtures::last_file_key::Remove(); }

    fixtures::TempFolder folder;
};

TEST_F(Keys, TheControlsKeysDoWhatTheyDid)
{
    HelpObserver observer;
    ASSERT_TRUE(observer.IsReady());
    auto key = [](UINT vk) { return [vk](Dialog& d) { browser_host::PressKeyWith(d, vk, browser_host::kNoModifier); }; };
    const std::vector<KeyCase> cases = {
        { "Down selects the row below", key(VK_DOWN),
          [](Dialog& d, const char* name) { EXPECT_EQ(Selected(d), "Survey") << name; } },
        { "Right opens the selected item", key(VK_RIGHT),
          [](Dialog& d, const char* name) { EXPECT_TRUE(IsOpen(d, { Label("Alpha"), "Survey" })) << name; } },
        { "Left closes it again", key(VK_LEFT),
          [](Dialog& d, const char* name) { EXPECT_FALSE(IsOpen(d, { Label("Alpha"), "Survey" })) << name; } },
        { "a letter selects the next item that begins with it", key('G'),
          [](Dialog& d, const char* name) { EXPECT_EQ(Selected(d), Label("Gamma")) << name; } },
        { "Tab moves the focus to Close, the next tab stop", key(VK_TAB),
          [](Dialog& d, const char* name) { EXPECT_EQ(d.FocusId(), IDOK) << name; } },
        { "Alt+H presses Help", [](Dialog& d) { PressAlt(d, 'H'); },
          [&observer](Dialog&, const char* name) {
              ReleaseAlt();
              ASSERT_EQ(observer.ContextRequests().size(), 1u) << name;
              EXPECT_EQ(observer.ContextRequests()[0].data, 5u) << name;
          } },
        { "F1 asks for the same topic", [](Dialog& d) { d.PressF1(); },
          [&observer](Dialog&, const char* name) { EXPECT_EQ(observer.ContextRequests().size(), 2u) << name; } },
    };
    ScriptedUser user;
    user.When(browser_host::kCaption, [](Dialog& d) {
        ASSERT_EQ(Selected(d), Label("Alpha")) << "the tree selects its first item when it takes the focus";
        ASSERT_EQ(d.FocusId(), IDC_TREE);
    });
    for (size_t i = 0; i < cases.size(); ++i) {
        user.When(browser_host::kCaption, [&cases, i](Dialog& d) {
            if (i > 0)
                cases[i - 1].check(d, cases[i - 1].name);
            cases[i].press(d);
        });
    }
    user.When(browser_host::kCaption, [&cases](Dialog& d) {
        cases.back().check(d, cases.back().name);
        browser_host::PressKeyWith(d, VK_ESCAPE, browser_host::kNoModifier);   // ends the browser
    });
    browser_host::RunBrowser(user, folder.Path(), "wells.kvd");
}

TEST_F(Keys, EnterAndEscapeEndTheBrowserFromTheTree)
{
    for (UINT vk : { VK_RETURN, VK_ESCAPE }) {
        ScriptedUser user;
        user.When(browser_host::kCaption, [vk](Dialog& d) {
            d.SetFocus(IDC_TREE);
            browser_host::PressKeyWith(d, vk, browser_host::kNoModifier);
        });
        browser_host::RunBrowser(user, folder.Path(), "wells.kvd");
        EXPECT_EQ(user.StepsRun(), 1) << vk;
    }
}

}  // namespace

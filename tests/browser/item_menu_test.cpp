// Copy and the item menu, played as a person does: Ctrl+C puts the selected item's label on
// the clipboard in both its text forms; a right click on an item, the menu key or Shift+F10
// opens the item's menu, whose entries act on that item. None of it changes what the tree
// shows, except the two entries that open and close items.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "browser_host.h"
#include "resource.h"
#include "test_fixtures.h"
#include "wells_file.h"

using browser_host::kControl;
using browser_host::kShift;
using browser_host::MenuEntry;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using dialog_driver::TreeView;
using wells_file::Label;

namespace {

// What a person sees of the tree: every item with its open state, the selection, the
// top row, the focus, and the item marked as a drop target (none outside a menu).
struct TreeState {
    std::string marked, selected;
    HTREEITEM firstVisible = nullptr, dropTarget = nullptr;
    int focus = 0;
    bool operator==(const TreeState& o) const
    {
        return marked == o.marked && selected == o.selected && firstVisible == o.firstVisible &&
               dropTarget == o.dropTarget && focus == o.focus;
    }
};

TreeState StateOf(const Dialog& d)
{
    TreeView tree = d.Tree(IDC_TREE);
    TreeState state;
    state.marked = browser_host::MarkedTree(tree);
    state.selected = tree.Selected() ? tree.Text(tree.Selected()) : "(none)";
    state.firstVisible = tree.FirstVisible();
    state.dropTarget = reinterpret_cast<HTREEITEM>(SendMessageA(tree.Handle(), TVM_GETNEXTITEM, TVGN_DROPHILITE, 0));
    state.focus = d.FocusId();
    return state;
}

std::wstring Wide(const std::string& ansi)
{
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                                                        static_cast<int>(wide.size()))));
    return wide;
}

// The menu's entries, each enabled ("+") or greyed ("-"), separators as "|".
std::string Entries(const std::vector<MenuEntry>& entries)
{
    std::string text;
    for (const MenuEntry& entry : entries)
        text += entry.text.empty() ? "|" : std::string(entry.enabled ? "+" : "-") + entry.text + ";";
    return text;
}

std::string MenuFor(bool item, bool children, bool grandchildren)
{
    auto on = [](bool b) { return b ? "+" : "-"; };
    return std::string(on(item)) + "&Copy\tCtrl+C;" + on(item) + "Copy with &Everything Under It;|" +
           "+&Find...\tCtrl+F;+Find &Next\tF3;+Find &Previous\tShift+F3;|" + on(children) + "E&xpand Node;" +
           on(grandchildren) + "C&ollapse Node;";
}

class ItemMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixtures::last_file_key::Remove();
        folder.Write("wells.kvd", browser_host::KvdText(wells_file::Objects()));
        browser_host::EmptyTheClipboard();
    }
    void TearDown() override { fixtures::last_file_key::Remove(); }

    void Run(ScriptedUser& user) { browser_host::RunBrowser(user, folder.Path(), "wells.kvd"); }

    fixtures::TempFolder folder;
};

TEST_F(ItemMenu, ControlCCopiesTheSelectedLabelInBothFormsAndChangesNothing)
{
    TreeState before;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        tree.Select(tree.Find({ Label("Gamma"), "Survey", "1", wells_file::kTemperature }));
        d.SetFocus(IDC_TREE);
        before = StateOf(d);
        browser_host::PressKeyWith(d, 'C', kControl);
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_TRUE(StateOf(d) == before) << "the tree as it was";
        browser_host::ClipboardText copied = browser_host::ReadClipboard();
        EXPECT_EQ(copied.ansi, wells_file::kTemperature);
        EXPECT_TRUE(copied.unicode ==
                    L"Temp\u00e9rature: 18.5 [\u00b0"
                    L"C]")
            << "the code page's characters";
        // From any control of the browser: the button has the focus, the tree's item is copied.
        browser_host::EmptyTheClipboard();
        d.SetFocus(ID_HELP);
        browser_host::PressKeyWith(d, 'C', kControl);
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_EQ(browser_host::ReadClipboard().ansi, wells_file::kTemperature);
        EXPECT_EQ(d.FocusId(), ID_HELP);
        // Nothing selected: nothing copied.
        browser_host::EmptyTheClipboard();
        d.Tree(IDC_TREE).Select(nullptr);
        browser_host::PressKeyWith(d, 'C', kControl);
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_EQ(browser_host::ReadClipboard().ansi, "missing");
        d.Click(IDOK);
    });
    Run(user);
}

// A right click on each kind of item: the menu offers what applies to it, and closing the
// menu without a choice leaves everything as it was.
struct MenuCase {
    const char* name;
    std::vector<std::string> path;  // "Alpha" etc. stand for the object labels
    bool children, grandchildren;
};

const MenuCase kMenuCases[] = {
    { "an object", { "Alpha" }, true, true },
    { "a record whose children are values", { "Beta", "Casing", "1" }, true, false },
    { "a value", { "Alpha", "Survey", "1", "Depth: 1200 [m]" }, false, false },
};

TEST_F(ItemMenu, ARightClickOffersWhatAppliesToTheItem)
{
    ScriptedUser user;
    auto before = std::make_shared<TreeState>();
    for (const MenuCase& c : kMenuCases) {
        user.When(browser_host::kCaption, [c, before](Dialog& d) {
            TreeView tree = d.Tree(IDC_TREE);
            std::vector<std::string> path = c.path;
            path[0] = Label(path[0]);
            HTREEITEM item = tree.Find(path);
            ASSERT_NE(item, nullptr) << c.name;
            tree.Select(item);         // opens its parents, so that it can be clicked
            tree.Select(tree.Root());  // and the menu is for another item than the selected one
            d.SetFocus(IDC_TREE);
            *before = StateOf(d);
            browser_host::RightClick(tree, item);
        });
        user.Until(std::string("the menu of ") + c.name, [c] {
            if (!browser_host::OpenMenuWindow())
                return false;
            EXPECT_EQ(Entries(browser_host::OpenMenuEntries()), MenuFor(true, c.children, c.grandchildren)) << c.name;
            HWND browser = dialog_driver::FindThreadDialog(dialog_driver::Caption(browser_host::kCaption));
            TreeView tree = Dialog(browser).Tree(IDC_TREE);
            HTREEITEM marked =
                reinterpret_cast<HTREEITEM>(SendMessageA(tree.Handle(), TVM_GETNEXTITEM, TVGN_DROPHILITE, 0));
            // Wine draws no drop mark on the selected item, which is marked already.
            const std::string clicked = c.path.size() == 1 ? Label(c.path[0]) : c.path.back();
            const bool selected = tree.Text(tree.Selected()) == clicked;
            EXPECT_EQ(marked ? tree.Text(marked) : "(none)", selected && !marked ? "(none)" : clicked)
                << c.name << ": the item the menu is for is marked";
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);  // closes the menu, choosing nothing
            return true;
        });
        user.When(browser_host::kCaption, [c, before](Dialog& d) {
            ASSERT_EQ(browser_host::OpenMenuWindow(), nullptr) << c.name;
            EXPECT_TRUE(StateOf(d) == *before) << c.name;
            EXPECT_EQ(browser_host::ReadClipboard().ansi, "missing") << c.name;
        });
    }
    user.When(browser_host::kCaption, [](Dialog& d) {
        // Below the last row: the menu without an item.
        TreeView tree = d.Tree(IDC_TREE);
        RECT client;
        GetClientRect(tree.Handle(), &client);
        POINT point = { client.right / 2, client.bottom - 2 };
        POINT screen = point;
        ClientToScreen(tree.Handle(), &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageA(tree.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
        PostMessageA(tree.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    });
    user.Until("the menu without an item", [] {
        if (!browser_host::OpenMenuWindow())
            return false;
        EXPECT_EQ(Entries(browser_host::OpenMenuEntries()), MenuFor(false, false, false));
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
        return true;
    });
    user.When(browser_host::kCaption, [](Dialog& d) { d.Click(IDOK); });
    Run(user);
}

TEST_F(ItemMenu, CopyAndCopyWithEverythingUnderItTakeTheClickedItem)
{
    TreeState before;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        before = StateOf(d);
        TreeView tree = d.Tree(IDC_TREE);
        browser_host::RightClick(tree, tree.Find({ Label("Alpha") }));
    });
    user.Until("the menu of Alpha", [] {
        if (!browser_host::OpenMenuWindow())
            return false;
        browser_host::ChooseFromMenu('E');
        return true;
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        const std::string expected = Label("Alpha") +
                                     "\r\n\tSurvey\r\n\t\t1\r\n\t\t\tDepth: 1200 [m]\r\n"
                                     "\t\t\tAngle: 3.5 [deg]\r\n\t\t\tPoint\r\n\t\t\t\t1\r\n\t\t\t\t\tX: 10 \r\n";
        browser_host::ClipboardText copied = browser_host::ReadClipboard();
        EXPECT_EQ(copied.ansi, expected) << "every item under it, closed ones too, a tab a level";
        EXPECT_TRUE(copied.unicode == Wide(expected));
        EXPECT_TRUE(StateOf(d) == before);
        TreeView tree = d.Tree(IDC_TREE);
        browser_host::RightClick(tree, tree.Find({ Label("Beta"), "Casing" }));
    });
    user.Until("the menu of Casing", [] {
        if (!browser_host::OpenMenuWindow())
            return false;
        browser_host::ChooseFromMenu('C');
        return true;
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_EQ(browser_host::ReadClipboard().ansi, "Casing");
        EXPECT_TRUE(StateOf(d) == before) << "the selection stays where it was";
        d.Click(IDOK);
    });
    Run(user);
}

// The menu key and Shift+F10 open the selected item's menu under its label; its Expand
// Node is the button's, and Collapse Node leaves the item open with its children closed.
TEST_F(ItemMenu, TheMenuKeysOpenTheSelectedItemsMenuAndItsTreeCommands)
{
    ScriptedUser user;
    std::string afterButton;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        // What the Expand Node button makes of Beta, for the menu's entry to match.
        TreeView tree = d.Tree(IDC_TREE);
        tree.Select(tree.Find({ Label("Beta") }));
        d.Click(ID_EXPAND_NODE);
        afterButton = browser_host::MarkedTree(tree);
        d.Click(ID_COLLAPSE_TREE);
        tree.Select(tree.Find({ Label("Beta") }));
        d.SetFocus(IDC_TREE);
        browser_host::PressKeyWith(d, VK_APPS, 0);
    });
    user.Until("the menu of the selected Beta", [] {
        HWND menu = browser_host::OpenMenuWindow();
        if (!menu)
            return false;
        EXPECT_EQ(Entries(browser_host::OpenMenuEntries()), MenuFor(true, true, true));
        HWND browser = dialog_driver::FindThreadDialog(dialog_driver::Caption(browser_host::kCaption));
        TreeView tree = Dialog(browser).Tree(IDC_TREE);
        RECT label = {}, shown = {};
        HTREEITEM beta = tree.Selected();
        std::memcpy(&label, &beta, sizeof beta);
        SendMessageA(tree.Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
        MapWindowPoints(tree.Handle(), nullptr, reinterpret_cast<POINT*>(&label), 2);
        GetWindowRect(menu, &shown);
        EXPECT_EQ(shown.left, label.left) << "the menu opens under the item's label";
        EXPECT_EQ(shown.top, label.bottom);
        browser_host::ChooseFromMenu('X');
        return true;
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        EXPECT_EQ(browser_host::MarkedTree(tree), afterButton) << "Expand Node from the menu is the button's";
        EXPECT_EQ(tree.Text(tree.Selected()), Label("Beta"));
        EXPECT_EQ(d.FocusId(), IDC_TREE);
        browser_host::PressKeyWith(d, VK_F10, kShift);
    });
    user.Until("the menu of Beta by Shift+F10", [] {
        if (!browser_host::OpenMenuWindow())
            return false;
        browser_host::ChooseFromMenu('O');
        return true;
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        // Beta open, Casing closed, Casing's record still open beneath it.
        const std::string marked = browser_host::MarkedTree(tree);
        const std::string beta = "- " + Label("Beta") + "\n  + Casing\n    - 1\n";
        EXPECT_NE(marked.find(beta), std::string::npos) << marked;
        EXPECT_TRUE(browser_host::IsInView(tree, tree.Find({ Label("Beta") })));
        EXPECT_EQ(d.FocusId(), IDC_TREE);
        d.Click(IDOK);
    });
    Run(user);
}

}  // namespace

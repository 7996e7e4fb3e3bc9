// The tree commands "Expand Tree", "Collapse Tree" and "Expand Node": which items
// end open, where the view and the focus end, and that the keys Ctrl+C, Ctrl+E and
// Ctrl+N are not bound to them.
#include <gtest/gtest.h>

#include "browser_host.h"
#include "resource.h"
#include "test_fixtures.h"

using browser_host::FileObject;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using dialog_driver::TreeView;

namespace {

std::string Label(const std::string& name)
{
    return name + " - Smith - 1 - W-17 - Tuesday, March 05, 2024  14:07";
}

FileObject Object(const std::string& name, std::vector<browser_host::FileValue> values)
{
    return FileObject{ name, "Smith", "1", "W-17", "2024-03-05 14:07", std::move(values) };
}

// Three objects: One has a nested group and a second top-level group, Two a single
// group, Three (the last subtree) a nested group.
const std::vector<FileObject> kFile = {
    Object("One", { { "A", "", 1, "a", "1", "" }, { "B", "A", 1, "b", "2", "" },
                    { "A", "", 2, "a", "3", "" }, { "Z", "", 1, "z", "9", "" } }),
    Object("Two", { { "C", "", 1, "c", "4", "" } }),
    Object("Three", { { "D", "", 1, "d", "5", "" }, { "E", "D", 1, "e", "6", "" } }),
};

// The tree with open marks; {One}, {Two}, {Three} stand for the object labels and
// every "?" for the mark of the item it precedes, taken in order from marks.
std::string Shape(const std::string& marks)
{
    std::string text =
        "? {One}\n  ? A\n    ? 1\n      a: 1 \n      ? B\n        ? 1\n          b: 2 \n"
        "    ? 2\n      a: 3 \n  ? Z\n    ? 1\n      z: 9 \n"
        "? {Two}\n  ? C\n    ? 1\n      c: 4 \n"
        "? {Three}\n  ? D\n    ? 1\n      d: 5 \n      ? E\n        ? 1\n          e: 6 \n";
    text = browser_host::WithMarks(text, marks);
    for (const char* name : { "One", "Two", "Three" }) {
        std::string token = std::string("{") + name + "}";
        text.replace(text.find(token), token.size(), Label(name));
    }
    return text;
}

// Marks in item order:   One A 1 B 1 2 Z 1  Two C 1  Three D 1 E 1
const char kOpening[]   = "-+++++++" "-++" "-++++";
const char kAllOpen[]   = "--------" "---" "-----";

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixtures::last_file_key::Remove();
        folder.Write("wells.kvd", browser_host::KvdText(kFile));
    }
    void TearDown() override { fixtures::last_file_key::Remove(); }

    // Opens the browser on the file, lets act play, and closes it.
    void Play(const std::function<void(Dialog&)>& act, const std::string& fileName = "wells.kvd")
    {
        ScriptedUser user;
        user.When(browser_host::kCaption, [&](Dialog& d) {
            act(d);
            d.Click(IDOK);
        });
        browser_host::RunBrowser(user, folder.Path(), fileName);
    }

    fixtures::TempFolder folder;
};

TEST_F(Commands, OpeningViewIsTheStartingPoint)
{
    Play([&](Dialog& d) { EXPECT_EQ(browser_host::MarkedTree(d.Tree(IDC_TREE)), Shape(kOpening)); });
}

TEST_F(Commands, ExpandTreeOpensEveryItemAndEndsAtTheLastOne)
{
    Play([&](Dialog& d) {
        d.SetFocus(IDOK);
        d.Click(ID_EXPAND_TREE);
        TreeView tree = d.Tree(IDC_TREE);
        EXPECT_EQ(browser_host::MarkedTree(tree), Shape(kAllOpen));
        EXPECT_EQ(d.FocusId(), IDC_TREE);
        EXPECT_TRUE(browser_host::IsInView(tree, tree.Items().back().handle));
    });
}

TEST_F(Commands, CollapseAfterExpandClosesTheSecondLevelOnlyAndKeepsDeeperState)
{
    Play([&](Dialog& d) {
        d.Click(ID_EXPAND_TREE);
        d.Click(ID_COLLAPSE_TREE);
        TreeView tree = d.Tree(IDC_TREE);
        EXPECT_EQ(browser_host::MarkedTree(tree), Shape("-+----+-" "-+-" "-+---"));
        EXPECT_EQ(tree.Outline(true), "- " + Label("One") + "\n  + A\n  + Z\n- " + Label("Two")
                                      + "\n  + C\n- " + Label("Three") + "\n  + D\n");
        EXPECT_TRUE(browser_host::IsInView(tree, tree.Find({ Label("Three"), "D" })));
    });
}

TEST_F(Commands, CollapseOpensClosedTopLevelItems)
{
    Play([&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        // The user closes every object with its button.
        for (HTREEITEM object : tree.Children(nullptr))
            SendMessageA(tree.Handle(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(object));
        d.Click(ID_COLLAPSE_TREE);
        EXPECT_EQ(browser_host::MarkedTree(tree), Shape(kOpening));
        EXPECT_EQ(d.FocusId(), IDC_TREE);
    });
}

// Expand Node on one item: its subtree opens, the walk stops at the item that follows
// the subtree, and nothing else changes.
struct NodeCase {
    const char* name;
    std::vector<std::string> path;     // labels from the top; {One} etc. for objects
    std::string marks;                 // the whole tree afterwards
};

class ExpandNode : public Commands, public ::testing::WithParamInterface<NodeCase> {};

TEST_P(ExpandNode, OpensTheSubtreeOnly)
{
    const NodeCase& c = GetParam();
    Play([&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        std::vector<std::string> path = c.path;
        path[0] = Label(path[0]);
        HTREEITEM item = tree.Find(path);
        ASSERT_NE(item, nullptr) << c.name;
        tree.Select(item);
        std::string selectedMarks = browser_host::MarkedTree(tree);
        d.SetFocus(IDOK);
        d.Click(ID_EXPAND_NODE);
        std::string expected = c.marks.empty() ? selectedMarks : Shape(c.marks);
        EXPECT_EQ(browser_host::MarkedTree(tree), expected) << c.name;
        EXPECT_EQ(tree.Selected(), item) << c.name << ": the selection stays";
        EXPECT_EQ(d.FocusId(), IDC_TREE) << c.name;
    });
}

INSTANTIATE_TEST_SUITE_P(Cases, ExpandNode, ::testing::Values(
    // A has a next sibling (Z), which keeps its state.
    NodeCase{ "NodeWithNextSibling", { "One", "A" }, "------++" "-++" "-++++" },
    // Z has none, but its parent does: the walk stops before Two.
    NodeCase{ "SiblingOfAnAncestor", { "One", "Z" }, "-+++++--" "-++" "-++++" },
    // The last object: nothing follows its subtree, so the walk runs to the end.
    NodeCase{ "LastSubtree", { "Three" }, "-+++++++" "-++" "-----" },
    NodeCase{ "DeepInTheLastSubtree", { "Three", "D", "1", "E" }, "-+++++++" "-++" "-----" },
    // A leaf: nothing opens (the tree stays as the selection left it).
    NodeCase{ "Leaf", { "Two", "C", "1", "c: 4 " }, "" }
), [](const ::testing::TestParamInfo<NodeCase>& info) { return std::string(info.param.name); });

TEST_F(Commands, ExpandNodeWithoutSelectionDoesNothing)
{
    Play([&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        // The tree view selects its first item when it gets the focus; take that back.
        tree.Select(nullptr);
        ASSERT_EQ(tree.Selected(), nullptr);
        d.Click(ID_EXPAND_NODE);
        EXPECT_EQ(browser_host::MarkedTree(tree), Shape(kOpening));
        EXPECT_EQ(d.FocusId(), ID_EXPAND_NODE) << "the focus stays on the button the click focused";
    });
}

TEST_F(Commands, EmptyTreeTakesOnlyTheFocus)
{
    folder.Write("empty.kvd", browser_host::KvdText({}));
    Play([&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        struct { int command; int focusAfter; } cases[] = {
            // A click focuses its button; only Expand Node leaves the focus there.
            { ID_EXPAND_TREE, IDC_TREE }, { ID_COLLAPSE_TREE, IDC_TREE }, { ID_EXPAND_NODE, ID_EXPAND_NODE },
        };
        for (const auto& c : cases) {
            d.SetFocus(IDOK);
            d.Click(c.command);
            EXPECT_EQ(tree.Count(), 0) << c.command;
            EXPECT_EQ(d.FocusId(), c.focusAfter) << c.command;
        }
    }, "empty.kvd");
}

// Accelerator table 132 is a resource only: the dialog translates no keys through it.
TEST_F(Commands, ControlKeysRunNoCommand)
{
    std::string before;
    ScriptedUser user;
    auto pressCtrl = [](HWND target, char letter) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        PostMessageA(target, WM_KEYDOWN, letter, 1);
        PostMessageA(target, WM_CHAR, letter - 'A' + 1, 1);
        PostMessageA(target, WM_KEYUP, letter, 0xC0000001);
    };
    user.When(browser_host::kCaption, [&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        tree.Select(tree.Find({ Label("One") }));
        d.SetFocus(IDC_TREE);
        before = browser_host::MarkedTree(tree);
        pressCtrl(tree.Handle(), 'E');
        pressCtrl(tree.Handle(), 'N');
        pressCtrl(d.Handle(), 'E');
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        TreeView tree = d.Tree(IDC_TREE);
        EXPECT_EQ(browser_host::MarkedTree(tree), before) << "Ctrl+E and Ctrl+N";
        SendMessageA(tree.Handle(), TVM_EXPAND, TVE_EXPAND,
                     reinterpret_cast<LPARAM>(tree.Find({ Label("One"), "A" })));
        before = browser_host::MarkedTree(tree);
        pressCtrl(tree.Handle(), 'C');
        pressCtrl(d.Handle(), 'C');
    });
    user.When(browser_host::kCaption, [&](Dialog& d) {
        EXPECT_EQ(browser_host::MarkedTree(d.Tree(IDC_TREE)), before) << "Ctrl+C";
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "wells.kvd");
}

}  // namespace

namespace {

// Pictures of the browser for a person to look at, beside the test program:
// after the refresh, Expand Tree, Collapse Tree and Expand Node.
TEST_F(Commands, SavesPicturesOfEachView)
{
    std::string folderOut = fixtures::ProgramFolder();
    std::vector<std::string> saved;
    std::vector<hostkit::Picture> trees;
    Play([&](Dialog& d) {
        auto save = [&](const char* name) {
            std::string path = folderOut + "browser-" + name + ".png";
            d.SaveScreenshot(path);
            saved.push_back(path);
            trees.push_back(d.Picture(IDC_TREE));
        };
        save("refresh");
        d.Click(ID_EXPAND_TREE);
        save("expand-tree");
        d.Click(ID_COLLAPSE_TREE);
        save("collapse-tree");
        TreeView tree = d.Tree(IDC_TREE);
        tree.Select(tree.Find({ Label("One"), "A" }));
        d.Click(ID_EXPAND_NODE);
        save("expand-node");
    });
    for (const std::string& path : saved)
        EXPECT_TRUE(fixtures::FileExists(path)) << path;
    // Each command changed what the tree shows.
    for (size_t i = 1; i < trees.size(); ++i) {
        EXPECT_GT(trees[i].width, 0);
        EXPECT_FALSE(trees[i] == trees[i - 1]) << saved[i] << " shows the tree of " << saved[i - 1];
    }
}

}  // namespace

// "Expand Tree" and "Expand Node" against the plain walk in display order, side by
// side on random trees: the browser opens the items in an order of its own, and must
// leave exactly what the walk leaves.
//
// Each case opens the browser twice on the same random file and plays the same random
// clicks into the tree (items opened and closed, one selected, the view scrolled).
// The first time the command's button is pressed; the second time the test presses
// nothing but walks the tree itself, as the command is told: open the first item,
// scroll it into view, focus the tree, then every next visible item in turn opened
// and scrolled into view, up to the stop item. Both times every item's text, depth,
// open and opened-once marks, the selected item, the top row, the horizontal scroll
// position, the focused control and the default button are recorded and compared.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "Outline.h"
#include "browser_host.h"
#include "resource.h"
#include "test_fixtures.h"

using browser_host::FileObject;
using browser_host::FileValue;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using dialog_driver::TreeView;

namespace {

// ---------------------------------------------------------------------------
// Random files: objects whose values wander between groups, nested groups and back.

struct GroupNode {
    std::string name;
    int parent;   // index into the object's groups, -1: a top-level group
};

FileObject RandomObject(std::mt19937& random, int index, int values, bool longNames = true)
{
    FileObject object{ "Object " + std::to_string(index), "jdoe", "1", "W-1", "2024-03-05 14:07", {} };
    static const char* const kValueNames[] = { "Depth", "Angle", "X", "A rather long value name that reaches "
                                                                      "well past the right edge of the tree" };
    std::vector<GroupNode> groups;
    std::vector<int> path;   // the groups the walk is in, top-level group first
    int record = 1;
    for (int v = 0; v < values; ++v) {
        unsigned move = random() % 10;
        if (path.empty() || move == 0) {
            // A top-level group, new or met before.
            if (groups.empty() || random() % 2 == 0)
                groups.push_back({ "G" + std::to_string(groups.size()), -1 });
            int top = static_cast<int>(random() % groups.size());
            while (groups[static_cast<size_t>(top)].parent >= 0)
                top = groups[static_cast<size_t>(top)].parent;
            path = { top };
        } else if (move == 1 && path.size() < 4) {
            // A group nested in the current one.
            groups.push_back({ "N" + std::to_string(groups.size()), path.back() });
            path.push_back(static_cast<int>(groups.size()) - 1);
        } else if (move == 2 && path.size() > 1) {
            path.pop_back();   // back to the enclosing group
        }
        const GroupNode& group = groups[static_cast<size_t>(path.back())];
        std::string parent = group.parent < 0 ? "" : groups[static_cast<size_t>(group.parent)].name;
        if (random() % 4 == 0)
            ++record;
        object.values.push_back({ group.name, parent, record, kValueNames[random() % (longNames ? 4 : 3)],
                                  std::to_string(random() % 1000), random() % 2 ? "m" : "" });
    }
    return object;
}

// ---------------------------------------------------------------------------
// What a person sees of the tree and the dialog.

struct Seen {
    std::string items;        // one line per item: depth, marks, text
    int selected = -1;        // index of the selected item in that order
    int firstVisible = -1;    // index of the top row's item
    int horizontal = 0;       // horizontal scroll position
    int focusId = 0;
    int defaultId = 0;        // the default push button
};

Seen Look(const Dialog& d)
{
    Seen seen;
    TreeView tree = d.Tree(IDC_TREE);
    std::vector<dialog_driver::TreeItem> items = tree.Items();
    HTREEITEM first = tree.FirstVisible();
    std::ostringstream lines;
    for (size_t i = 0; i < items.size(); ++i) {
        const auto& item = items[i];
        LRESULT state = SendMessageA(tree.Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item.handle),
                                     TVIS_EXPANDED | TVIS_EXPANDEDONCE);
        lines << item.depth << ((state & TVIS_EXPANDED) ? " open" : " closed")
              << ((state & TVIS_EXPANDEDONCE) ? " once " : " never ") << item.text << "\n";
        if (item.selected)
            seen.selected = static_cast<int>(i);
        if (item.handle == first)
            seen.firstVisible = static_cast<int>(i);
    }
    seen.items = lines.str();
    seen.horizontal = GetScrollPos(tree.Handle(), SB_HORZ);
    seen.focusId = d.FocusId();
    seen.defaultId = LOWORD(SendMessageA(d.Handle(), DM_GETDEFID, 0, 0));
    return seen;
}

// The first line where two outlines differ, for a message that says where.
std::string FirstDifference(const std::string& expected, const std::string& actual)
{
    std::istringstream e(expected), a(actual);
    std::string le, la;
    for (int line = 1;; ++line) {
        bool more = static_cast<bool>(std::getline(e, le));
        bool moreActual = static_cast<bool>(std::getline(a, la));
        if (!more && !moreActual)
            return "";
        if (le != la || more != moreActual)
            return "item " + std::to_string(line) + ": \"" + le + "\" expected, \"" + la + "\" shown";
    }
}

// ---------------------------------------------------------------------------
// The plain walk, as the commands are told, with raw tree view messages.

HTREEITEM Next(HWND tree, HTREEITEM item, UINT code)
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

void OpenAndShow(HWND tree, HTREEITEM item)
{
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
}

void WalkOpening(HWND tree, HTREEITEM first, HTREEITEM stop)
{
    if (first != nullptr)
        OpenAndShow(tree, first);
    SetFocus(tree);
    for (HTREEITEM item = first; item != nullptr && (item = Next(tree, item, TVGN_NEXTVISIBLE)) != nullptr
                                 && item != stop;)
        OpenAndShow(tree, item);
}

void ReferenceExpandTree(HWND tree)
{
    WalkOpening(tree, Next(tree, nullptr, TVGN_ROOT), nullptr);
}

void ReferenceExpandNode(HWND tree)
{
    HTREEITEM selected = Next(tree, nullptr, TVGN_CARET);
    if (selected == nullptr)
        return;
    HTREEITEM stop = nullptr;
    for (HTREEITEM item = selected; item != nullptr && stop == nullptr; item = Next(tree, item, TVGN_PARENT))
        stop = Next(tree, item, TVGN_NEXT);
    WalkOpening(tree, selected, stop);
}

// ---------------------------------------------------------------------------
// The cases.

// Which item "Expand Node" starts from.
enum class Target { Random, Leaf, LastSubtree, WithNextSibling, None };

struct SideBySideCase {
    const char* name;
    int command;          // ID_EXPAND_TREE or ID_EXPAND_NODE
    unsigned seed;
    int objects;
    int values;           // per object
    int clicks;           // random opening and closing before the command
    Target target;
    bool longNames = true; // some labels reach past the right edge: the view scrolls sideways
};

// The user's clicks into the tree before the command: the same in both runs.
void PlayClicks(const Dialog& d, const SideBySideCase& c)
{
    std::mt19937 random(c.seed * 7919u + 1);
    TreeView tree = d.Tree(IDC_TREE);
    std::vector<dialog_driver::TreeItem> items = tree.Items();
    if (items.empty())
        return;
    for (int i = 0; i < c.clicks; ++i) {
        HTREEITEM item = items[random() % items.size()].handle;
        SendMessageA(tree.Handle(), TVM_EXPAND, random() % 3 ? TVE_EXPAND : TVE_COLLAPSE,
                     reinterpret_cast<LPARAM>(item));
    }
    HTREEITEM selection = nullptr;
    switch (c.target) {
    case Target::Random:
        selection = items[random() % items.size()].handle;
        break;
    case Target::Leaf:
        for (const auto& item : items)
            if (!item.hasChildren && item.depth > 2)
                selection = item.handle;
        break;
    case Target::LastSubtree: {
        std::vector<HTREEITEM> objects = tree.Children(nullptr);
        selection = objects.back();
        break;
    }
    case Target::WithNextSibling:
        for (const auto& item : items)
            if (item.depth == 1 && Next(tree.Handle(), item.handle, TVGN_NEXT) != nullptr) {
                selection = item.handle;
                break;
            }
        break;
    case Target::None:
        break;
    }
    tree.Select(selection);
    // Scrolled somewhere, as a person leaves a long tree.
    for (unsigned lines = random() % 30; lines > 0; --lines)
        SendMessageA(tree.Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    if (random() % 2)
        SendMessageA(tree.Handle(), WM_HSCROLL, SB_PAGERIGHT, 0);
}

class SideBySide : public ::testing::TestWithParam<SideBySideCase> {
protected:
    void SetUp() override { fixtures::last_file_key::Remove(); }
    void TearDown() override { fixtures::last_file_key::Remove(); }

    Seen Run(const std::string& folder, bool plainWalk)
    {
        const SideBySideCase& c = GetParam();
        Seen seen;
        ScriptedUser user;
        user.When(browser_host::kCaption, [&](Dialog& d) {
            PlayClicks(d, c);
            if (plainWalk) {
                d.SetFocus(c.command);   // where the button's click puts the focus
                if (c.command == ID_EXPAND_TREE)
                    ReferenceExpandTree(d.Item(IDC_TREE));
                else
                    ReferenceExpandNode(d.Item(IDC_TREE));
            } else {
                d.Click(c.command);
            }
            seen = Look(d);
            d.Click(IDOK);
        });
        browser_host::RunBrowser(user, folder, "random.kvd");
        return seen;
    }
};

TEST_P(SideBySide, TheCommandEndsWhereTheWalkEnds)
{
    const SideBySideCase& c = GetParam();
    std::mt19937 random(c.seed);
    std::vector<FileObject> file;
    for (int i = 0; i < c.objects; ++i)
        file.push_back(RandomObject(random, i, c.values, c.longNames));
    fixtures::TempFolder folder;
    folder.Write("random.kvd", browser_host::KvdText(file));

    Seen walked = Run(folder.Path(), true);
    Seen commanded = Run(folder.Path(), false);
    EXPECT_EQ(FirstDifference(walked.items, commanded.items), "") << c.name;
    EXPECT_EQ(walked.selected, commanded.selected) << c.name << ": the selected item";
    EXPECT_EQ(walked.firstVisible, commanded.firstVisible) << c.name << ": the top row";
    EXPECT_EQ(walked.horizontal, commanded.horizontal) << c.name << ": the horizontal scroll position";
    EXPECT_EQ(walked.focusId, commanded.focusId) << c.name << ": the focus";
    EXPECT_EQ(walked.defaultId, commanded.defaultId) << c.name << ": the default button";
}

// Tree sizes from 0 to about 2,000 items. The plain walk repaints at every item, so
// the walks are kept to a few hundred items except where Expand Node walks a subtree
// of a large tree.
const SideBySideCase kCases[] = {
    { "ExpandTreeEmptyTree", ID_EXPAND_TREE, 1, 0, 0, 0, Target::None },
    { "ExpandTreeOneItem", ID_EXPAND_TREE, 2, 1, 0, 0, Target::None },
    { "ExpandTreeSmall", ID_EXPAND_TREE, 3, 3, 8, 6, Target::Random },
    { "ExpandTreeManyObjects", ID_EXPAND_TREE, 4, 20, 8, 30, Target::Random },
    { "ExpandTreeDeepAndWide", ID_EXPAND_TREE, 5, 2, 90, 40, Target::Random },
    { "ExpandTreeNothingSelected", ID_EXPAND_TREE, 6, 4, 40, 0, Target::None },
    { "ExpandNodeNothingSelected", ID_EXPAND_NODE, 8, 5, 20, 10, Target::None },
    { "ExpandNodeLeaf", ID_EXPAND_NODE, 9, 5, 30, 10, Target::Leaf },
    { "ExpandNodeLastSubtree", ID_EXPAND_NODE, 10, 5, 50, 20, Target::LastSubtree },
    { "ExpandNodeWithNextSibling", ID_EXPAND_NODE, 11, 5, 50, 20, Target::WithNextSibling },
    { "ExpandNodeRandom", ID_EXPAND_NODE, 12, 10, 30, 30, Target::Random },
    { "ExpandNodeInALargeTree", ID_EXPAND_NODE, 13, 50, 28, 60, Target::WithNextSibling },
    { "ExpandTreeShortLabels", ID_EXPAND_TREE, 14, 6, 40, 20, Target::Random, false },
    { "ExpandTreeShortLabelsUntouched", ID_EXPAND_TREE, 15, 3, 60, 0, Target::None, false },
    { "ExpandNodeShortLabels", ID_EXPAND_NODE, 16, 6, 40, 20, Target::Random, false },
    { "ExpandNodeShortLabelsNextSibling", ID_EXPAND_NODE, 17, 8, 40, 20, Target::WithNextSibling, false },
    { "ExpandNodeShortLabelsLastSubtree", ID_EXPAND_NODE, 18, 4, 50, 10, Target::LastSubtree, false },
};

INSTANTIATE_TEST_SUITE_P(RandomTrees, SideBySide, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SideBySideCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// The refresh on random files against the walk's rows (whose cases outline/tests checks by
// hand) taken item by item in the order of the file: the browser makes the
// items in an order of its own, and the tree must hold the same items under the same
// parents in the same order.

std::string WalkedOutline(const std::vector<FileObject>& file)
{
    std::string outline;
    for (const FileObject& object : file) {
        outline += "0 " + object.name + " - " + object.author + " - " + object.version + " - " + object.wellId
                   + " - Tuesday, March 05, 2024  14:07\n";
        OutlineWalk walk;
        walk.BeginObject();
        for (const FileValue& v : object.values) {
            walk.AddValue({ v.group, v.parent, v.name, v.value, v.suffix, v.record },
                          [&](int depth, const std::string& label) {
                              outline += std::to_string(depth) + " " + label + "\n";
                          });
        }
    }
    return outline;
}

std::string ShownOutline(const TreeView& tree)
{
    std::string outline;
    for (const dialog_driver::TreeItem& item : tree.Items())
        outline += std::to_string(item.depth) + " " + item.text + "\n";
    return outline;
}

TEST(RefreshSideBySide, TheTreeHoldsWhatTheWalkMakesItemByItem)
{
    fixtures::last_file_key::Remove();
    struct Case { const char* name; unsigned seed; int objects; int maxValues; };
    const Case cases[] = {
        { "objects without values among others", 21, 30, 4 },
        { "a few deep objects", 22, 4, 300 },
        { "many small objects", 23, 120, 12 },
    };
    for (const Case& c : cases) {
        std::mt19937 random(c.seed);
        std::vector<FileObject> file;
        for (int i = 0; i < c.objects; ++i)
            file.push_back(RandomObject(random, i, static_cast<int>(random() % static_cast<unsigned>(c.maxValues + 1))));
        fixtures::TempFolder folder;
        folder.Write("random.kvd", browser_host::KvdText(file));
        std::string shown;
        ScriptedUser user;
        user.When(browser_host::kCaption, [&](Dialog& d) {
            shown = ShownOutline(d.Tree(IDC_TREE));
            d.Click(IDOK);
        });
        browser_host::RunBrowser(user, folder.Path(), "random.kvd");
        EXPECT_EQ(FirstDifference(WalkedOutline(file), shown), "") << c.name;
    }
    fixtures::last_file_key::Remove();
}

}  // namespace

// The value walk and the tree builder on their own, without a dialog or a file: the
// rows the walk makes for each case of the format, written down by hand, and the
// builder's one-go insert against inserting the same rows one by one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <random>
#include <string>
#include <vector>

#include "TreeBuilder.h"
#include "ValueWalk.h"

namespace {

KivValueTexts Value(const char* group, const char* parent, const char* name, int record,
                    const char* value = "1", const char* suffix = "")
{
    return KivValueTexts{ group, name, suffix, value, parent, record };
}

// The rows of one object's values as "depth text" lines.
std::string Walked(const std::vector<KivValueTexts>& values)
{
    CValueWalk walk;
    std::vector<TreeRow> rows;
    for (const KivValueTexts& value : values)
        walk.Place(value, rows);
    std::string lines;
    for (const TreeRow& row : rows)
        lines += std::to_string(row.nDepth) + " " + static_cast<LPCSTR>(row.strText) + "\n";
    return lines;
}

struct WalkCase {
    const char* name;
    std::vector<KivValueTexts> values;
    const char* rows;
};

const WalkCase kWalkCases[] = {
    { "the first value of an object opens its group and a record",
      { Value("Survey", "", "Depth", 1, "1200", "m") },
      "1 Survey\n2 1\n3 Depth: 1200 [m]\n" },
    { "the value that opened the record opens the next one; a new number alone does not",
      { Value("G", "", "a", 1), Value("G", "", "b", 2), Value("G", "", "a", 2), Value("G", "", "b", 2) },
      "1 G\n2 1\n3 a: 1 \n3 b: 1 \n2 2\n3 a: 1 \n3 b: 1 \n" },
    { "a sibling group at the top level",
      { Value("Survey", "", "Depth", 1), Value("Casing", "", "Size", 1, "7", "in") },
      "1 Survey\n2 1\n3 Depth: 1 \n1 Casing\n2 1\n3 Size: 7 [in]\n" },
    { "a nested group goes into the current record of its parent",
      { Value("A", "", "a", 1), Value("B", "A", "b", 1), Value("C", "B", "c", 4) },
      "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n5 C\n6 4\n7 c: 1 \n" },
    { "a sibling of a nested group climbs to the parent's record",
      { Value("A", "", "a", 1), Value("B", "A", "b", 1), Value("C", "A", "c", 1) },
      "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n3 C\n4 1\n5 c: 1 \n" },
    { "a return to an outer group over two levels opens a record there",
      { Value("A", "", "a", 1), Value("B", "A", "b", 1), Value("C", "B", "c", 1), Value("A", "", "d", 3) },
      "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n5 C\n6 1\n7 c: 1 \n2 3\n3 d: 1 \n" },
    { "after the return, the value that opened it opens the next record",
      { Value("A", "", "a", 1), Value("B", "A", "b", 1), Value("A", "", "x", 2), Value("A", "", "x", 3) },
      "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n2 2\n3 x: 1 \n2 3\n3 x: 1 \n" },
    { "a top-level group left and met again gets a second group item",
      { Value("A", "", "x", 1), Value("B", "", "y", 1), Value("A", "", "x", 2) },
      "1 A\n2 1\n3 x: 1 \n1 B\n2 1\n3 y: 1 \n1 A\n2 2\n3 x: 1 \n" },
    { "a group naming itself as its parent stays the same group",
      { Value("A", "", "a", 1), Value("A", "A", "x", 1) },
      "1 A\n2 1\n3 a: 1 \n3 x: 1 \n" },
    { "a group naming a group below it on the path as parent is a return, not a nesting",
      { Value("A", "", "a", 1), Value("B", "A", "b", 1), Value("A", "B", "c", 1) },
      "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n2 1\n3 c: 1 \n" },
    { "the first value naming a parent cannot be placed: a new top-level group",
      { Value("X", "Y", "v", 1), Value("X", "Y", "w", 1) },
      "1 X\n2 1\n3 v: 1 \n3 w: 1 \n" },
    { "a parent that is not on the path cannot be placed: a new top-level group",
      { Value("A", "", "a", 1), Value("B", "A", "b", 1), Value("C", "Z", "c", 1), Value("D", "C", "d", 1) },
      "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n1 C\n2 1\n3 c: 1 \n3 D\n4 1\n5 d: 1 \n" },
    { "labels: a suffix in brackets, a blank without one, signed record numbers",
      { Value("G", "", "Depth", -3, "1200", "m"), Value("G", "", "Empty", -3, "", ""),
        Value("G", "", "Unit", -3, "", "ft") },
      "1 G\n2 -3\n3 Depth: 1200 [m]\n3 Empty:  \n3 Unit:  [ft]\n" },
    { "names compare byte for byte: another case is another group and another value",
      { Value("G", "", "a", 1), Value("g", "", "A", 1), Value("g", "", "a", 2) },
      "1 G\n2 1\n3 a: 1 \n1 g\n2 1\n3 A: 1 \n3 a: 1 \n" },
};

TEST(ValueWalk, MakesTheRowsWrittenDownForEachCase)
{
    for (const WalkCase& c : kWalkCases)
        EXPECT_EQ(Walked(c.values), c.rows) << c.name;
}

// ---------------------------------------------------------------------------
// The builder.

TEST(TreeBuilder, FindsEachParentFromTheDepth)
{
    struct Case {
        const char* name;
        std::vector<int> depths;
        std::vector<int> parents;   // expected, by index
        std::vector<int> placed;    // the depths the items got
    };
    const Case cases[] = {
        { "down one level at a time", { 0, 1, 2, 3 }, { -1, 0, 1, 2 }, { 0, 1, 2, 3 } },
        { "a sibling after a deeper run", { 0, 1, 2, 2, 1, 2 }, { -1, 0, 1, 1, 0, 4 }, { 0, 1, 2, 2, 1, 2 } },
        { "back to the top level", { 0, 1, 0, 1 }, { -1, 0, -1, 2 }, { 0, 1, 0, 1 } },
        { "a jump of two levels down lands one below", { 0, 2, 3 }, { -1, 0, 1 }, { 0, 1, 2 } },
        { "a first item below the top level lands at the top", { 1, 1 }, { -1, 0 }, { 0, 1 } },
    };
    for (const Case& c : cases) {
        CTreeBuilder builder;
        for (int depth : c.depths)
            builder.Add("item", depth);
        for (size_t i = 0; i < c.depths.size(); ++i) {
            EXPECT_EQ(builder.GetParent(static_cast<int>(i)), c.parents[i]) << c.name << ", item " << i;
            EXPECT_EQ(builder.GetDepth(static_cast<int>(i)), c.placed[i]) << c.name << ", item " << i;
        }
    }
}

// A tree view of a window of the test's own, for the two ways of filling it.
class TreeWindow {
public:
    TreeWindow()
    {
        INITCOMMONCONTROLSEX init = { sizeof init, ICC_TREEVIEW_CLASSES };
        InitCommonControlsEx(&init);
        m_hwnd = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP | TVS_HASBUTTONS | TVS_HASLINES, 0, 0, 300, 300,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~TreeWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }

    // Every item as "depth text" in display order with every branch open.
    std::string Outline() const { return Outline(TVI_ROOT, 0); }

private:
    std::string Outline(HTREEITEM parent, int depth) const
    {
        std::string lines;
        HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(
            m_hwnd, TVM_GETNEXTITEM, parent == TVI_ROOT ? TVGN_ROOT : TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
        for (; item; item = reinterpret_cast<HTREEITEM>(
                         SendMessageA(m_hwnd, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
            char text[64] = "";
            TVITEMA tv = {};
            tv.mask = TVIF_TEXT;
            tv.hItem = item;
            tv.pszText = text;
            tv.cchTextMax = sizeof text;
            SendMessageA(m_hwnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
            lines += std::to_string(depth) + " " + text + "\n" + Outline(item, depth + 1);
        }
        return lines;
    }

    HWND m_hwnd;
};

// Each row after the one before, its parent the last item one depth up: the walk's
// rows as they are told.
void InsertOneByOne(HWND tree, const std::vector<std::pair<int, std::string>>& rows)
{
    std::vector<HTREEITEM> path;
    for (const auto& row : rows) {
        path.resize(static_cast<size_t>(row.first));
        TVINSERTSTRUCTA insert = {};
        insert.hParent = path.empty() ? TVI_ROOT : path.back();
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<char*>(row.second.c_str());
        path.push_back(reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
    }
}

TEST(TreeBuilder, TheOneGoInsertEndsAsInsertingItemByItem)
{
    struct Case { const char* name; unsigned seed; int rows; int leafShare; };  // leafShare: in 10
    const Case cases[] = {
        { "an empty tree", 1, 0, 5 },
        { "one item", 2, 1, 5 },
        { "mostly leaves", 3, 400, 9 },
        { "deep chains", 4, 400, 1 },
        { "mixed", 5, 1500, 5 },
    };
    for (const Case& c : cases) {
        std::mt19937 random(c.seed);
        std::vector<std::pair<int, std::string>> rows;
        int depth = 0;
        for (int i = 0; i < c.rows; ++i) {
            // One level down, the same, or back up any number of levels.
            unsigned move = random() % 10;
            if (i == 0)
                depth = 0;
            else if (move >= static_cast<unsigned>(c.leafShare))
                depth += 1;
            else if (move % 2 == 0)
                depth = static_cast<int>(random() % static_cast<unsigned>(depth + 1));
            rows.emplace_back(depth, "item " + std::to_string(i));
        }
        TreeWindow byItem, inOneGo;
        ASSERT_TRUE(byItem.Handle() && inOneGo.Handle());
        InsertOneByOne(byItem.Handle(), rows);
        CTreeBuilder builder;
        for (const auto& row : rows)
            builder.Add(row.second.c_str(), row.first);
        CTreeCtrl tree;
        tree.Attach(inOneGo.Handle());
        std::vector<HTREEITEM> handles = builder.InsertInto(&tree);
        tree.Detach();
        EXPECT_EQ(handles.size(), rows.size()) << c.name;
        EXPECT_EQ(inOneGo.Outline(), byItem.Outline()) << c.name;
    }
}

}  // namespace

// The browser's model of the tree on its own, without a dialog or a file: each item's parent
// from the depths, and its one-go insert against inserting the same rows one by one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <random>
#include <string>
#include <vector>

#include "TreeModel.h"

namespace {

// ---------------------------------------------------------------------------
// The parents and the insert.

TEST(TreeModel, FindsEachParentFromTheDepth)
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
        CTreeModel builder;
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

TEST(TreeModel, TheOneGoInsertEndsAsInsertingItemByItem)
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
        CTreeModel builder;
        for (const auto& row : rows)
            builder.Add(row.second.c_str(), row.first);
        CTreeCtrl tree;
        tree.Attach(inOneGo.Handle());
        builder.InsertInto(&tree);
        tree.Detach();
        EXPECT_EQ(builder.GetCount(), static_cast<int>(rows.size())) << c.name;
        for (int i = 0; i < builder.GetCount(); ++i)
            ASSERT_NE(builder.GetHandle(i), nullptr) << c.name << ", item " << i;
        EXPECT_EQ(inOneGo.Outline(), byItem.Outline()) << c.name;
    }
}

}  // namespace

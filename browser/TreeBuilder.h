// TreeBuilder.h - a file's items collected first, each by its depth, then put into the
// tree view in the order that keeps its handle look-ups short.
//
// An item added at depth d goes under the item at depth d - 1 added last: the parent is
// found by climbing from the item added just before, never by asking the tree view.
//
// Wine's tree view finds the item behind a handle by scanning its items in the order
// they were made. Made in the order of the file, every item's parent is one of the
// latest, and each insert scans nearly the whole tree. Made with every item that has
// children first, level by level, and then the leaves, a parent is found among the
// first third or so of the items. The tree ends the same: every item under the same
// parent, siblings in the order of the file.
#ifndef DERAR_TREEBUILDER_H
#define DERAR_TREEBUILDER_H

#include <afxcmn.h>

#include <vector>

class CTreeBuilder
{
public:
    // Adds an item at nDepth (0: the top level) under the last item added one depth up,
    // after the items already there. A depth more than one below the last item's is
    // taken as one below it. Returns its index.
    int Add(const CString& strText, int nDepth);
    void Clear();

    int GetCount() const { return static_cast<int>(m_items.size()); }
    int GetParent(int nItem) const { return m_items[static_cast<size_t>(nItem)].nParent; }
    int GetDepth(int nItem) const { return m_items[static_cast<size_t>(nItem)].nDepth; }
    const CString& GetText(int nItem) const { return m_items[static_cast<size_t>(nItem)].strText; }

    // Inserts every item into the (empty) tree. Returns the handles, by index; NULL for
    // an item the tree view refused (and for everything beneath it).
    std::vector<HTREEITEM> InsertInto(CTreeCtrl* pTree) const;

private:
    struct Item
    {
        CString strText;
        int nParent;   // -1: the top level
        int nDepth;
    };
    std::vector<Item> m_items;
    // The last item added and its ancestors, by depth: where the next item's parent is.
    std::vector<int> m_lastPath;
};

#endif

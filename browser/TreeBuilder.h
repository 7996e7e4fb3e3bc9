// TreeBuilder.h - a file's items collected first, then put into the tree view in the
// order that keeps its handle look-ups short.
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
    // Adds an item under nParent (an index that Add returned; -1: the top level),
    // after the items already added there. Returns its index.
    int Add(const CString& strText, int nParent);
    void Clear();

    int GetCount() const { return static_cast<int>(m_items.size()); }
    int GetParent(int nItem) const { return m_items[static_cast<size_t>(nItem)].nParent; }
    int GetDepth(int nItem) const;   // 0: the top level

    // Inserts every item into the (empty) tree. Returns the handles, by index; NULL for
    // an item the tree view refused (and for everything beneath it).
    std::vector<HTREEITEM> InsertInto(CTreeCtrl* pTree) const;

private:
    struct Item
    {
        CString strText;
        int nParent;
    };
    std::vector<Item> m_items;
};

#endif

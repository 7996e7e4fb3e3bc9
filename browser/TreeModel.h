// TreeModel.h - the browser's one model of the file's tree: every item's label, depth,
// parent and tree view handle, from the refresh until the next one.
//
// The items are kept in display order with every branch open (the order of the file), each
// with its depth: an item's subtree is the run of deeper items that follows it. The refresh
// adds the items as the walk makes them, then puts them all into the tree view at once
// (InsertInto); Find, Copy, the item menu and the tree commands read labels, depths and
// handles here. Wine's tree view checks every item handle it is given by scanning all its
// items, so reading 100,000 labels through the control would cost a scan of the tree each.
//
// The labels are one buffer of texts, each followed by a zero byte, and nothing else is kept
// for an item but its label's place, its depth and its handle: a file of small values costs
// the browser little more than its labels (the tree view keeps far more for each item).
//
// Finding compares the labels as the code page reads them: turned into UTF-16 once, at the
// first search after a refresh, and folded to lower case (for a search that ignores case)
// once more.
#ifndef DERAR_TREEMODEL_H
#define DERAR_TREEMODEL_H

#include <afxcmn.h>

#include <cstdint>
#include <string>
#include <vector>

class CTreeModel
{
public:
    void Clear();
    // Clear, and gives the memory back to the process as well.
    void Release();
    // Appends an item after the ones added before, under the last item added one depth up. A
    // depth more than one below the last item's is taken as one below it.
    void Add(const char* pszLabel, size_t nLength, int nDepth);
    void Add(const CString& strLabel, int nDepth)
    {
        Add(static_cast<LPCSTR>(strLabel), static_cast<size_t>(strLabel.GetLength()), nDepth);
    }

    // Puts every item into the (empty) tree view, in the order that keeps the tree view's
    // handle look-ups short (InsertInto in TreeModel.cpp), keeps each handle and gives back
    // what the model reserved beyond its items. An item the tree view refuses leaves the model
    // with everything beneath it; returns the number of items refused.
    int InsertInto(CTreeCtrl* pTree);
    HTREEITEM GetHandle(int nItem) const { return m_handles[static_cast<size_t>(nItem)]; }
    int IndexOf(HTREEITEM hItem) const;  // -1: none (or NULL)

    int GetCount() const { return static_cast<int>(m_depths.size()); }
    int GetDepth(int nItem) const { return m_depths[static_cast<size_t>(nItem)]; }
    int GetParent(int nItem) const;  // -1: top level
    CString GetLabel(int nItem) const;
    // The index just past nItem's subtree.
    int GetSubtreeEnd(int nItem) const;
    bool HasChildren(int nItem) const { return GetSubtreeEnd(nItem) > nItem + 1; }
    // True when a child of nItem has children of its own.
    bool HasGrandchildren(int nItem) const;

    // nItem's label and every label beneath it, in display order, each on a line of its own
    // that ends with CR LF and starts with one tab for each level below nItem.
    CString GetBranchText(int nItem) const;

    // The first item after nFrom (bDown) or before it whose label holds strText, going on
    // past the end from the top (or past the top from the end); *pbWrapped says whether it
    // did. The search that passes the end comes back to nFrom itself last. nFrom -1: from the
    // first item down, or the last one up, without going round. -1 when no label holds it.
    // bMatchCase false: letters match in either case; bWholeWord: the match has no letter,
    // digit or '_' right before or after it.
    int Find(const CString& strText, bool bMatchCase, bool bWholeWord, int nFrom, bool bDown, bool* pbWrapped);

private:
    // Takes out the items the tree view refused (each with its subtree).
    void DropRefused();
    void PrepareWide();
    void PrepareFolded();
    size_t WideEnd(int nItem) const;  // just past the item's label in m_wide, before its zero
    int ItemAt(size_t nPosition) const;

    std::string m_text;            // every label followed by a zero byte
    // Where each label begins in m_text: 32 bits, as a label buffer of 4 GB is no file anyone
    // shows (Add refuses one as memory run out).
    std::vector<uint32_t> m_starts;
    std::vector<int> m_depths;  // an item's parent is the last one before it a level up
    std::vector<HTREEITEM> m_handles;  // NULL until InsertInto

    // Made at the first search after Clear.
    bool m_bWide = false;
    bool m_bFolded = false;
    std::wstring m_wide;    // m_text in UTF-16 by the code page, zeros included
    std::wstring m_folded;  // m_wide in lower case
    std::vector<size_t> m_wideStarts;
};

#endif

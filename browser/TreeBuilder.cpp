// TreeBuilder.cpp - items with children first, level by level, then the leaves.
#include "TreeBuilder.h"

void CTreeBuilder::Clear()
{
    m_items.clear();
    m_lastPath.clear();
}

int CTreeBuilder::Add(const CString& strText, int nDepth)
{
    if (nDepth < 0)
        nDepth = 0;
    if (static_cast<size_t>(nDepth) > m_lastPath.size())
        nDepth = static_cast<int>(m_lastPath.size());
    m_lastPath.resize(static_cast<size_t>(nDepth));
    const int nParent = nDepth > 0 ? m_lastPath.back() : -1;
    const int nItem = static_cast<int>(m_items.size());
    m_items.push_back(Item{ strText, nParent, nDepth });
    m_lastPath.push_back(nItem);
    return nItem;
}

std::vector<HTREEITEM> CTreeBuilder::InsertInto(CTreeCtrl* pTree) const
{
    const int nCount = GetCount();
    std::vector<HTREEITEM> handles(static_cast<size_t>(nCount), static_cast<HTREEITEM>(NULL));
    // The children of every item in the order added; the top level's in the last slot.
    std::vector<std::vector<int>> children(static_cast<size_t>(nCount) + 1);
    for (int nItem = 0; nItem < nCount; ++nItem)
    {
        const int nParent = GetParent(nItem);
        children[static_cast<size_t>(nParent >= 0 ? nParent : nCount)].push_back(nItem);
    }
    auto hasChildren = [&children](int nItem) { return !children[static_cast<size_t>(nItem)].empty(); };
    auto parentHandle = [&](int nItem) {
        const int nParent = GetParent(nItem);
        return nParent >= 0 ? handles[static_cast<size_t>(nParent)] : TVI_ROOT;
    };

    // The items with children, level by level: each after its parent, and among its
    // siblings with children in the order added.
    std::vector<int> levelOrder;
    for (int nItem : children[static_cast<size_t>(nCount)])
        if (hasChildren(nItem))
            levelOrder.push_back(nItem);
    for (size_t nNext = 0; nNext < levelOrder.size(); ++nNext)
    {
        const int nItem = levelOrder[nNext];
        HTREEITEM hParent = parentHandle(nItem);
        if (hParent == NULL)
            continue;  // its parent was refused
        handles[static_cast<size_t>(nItem)] = pTree->InsertItem(m_items[static_cast<size_t>(nItem)].strText, hParent);
        for (int nChild : children[static_cast<size_t>(nItem)])
            if (hasChildren(nChild))
                levelOrder.push_back(nChild);
    }

    // The leaves, between their siblings with children: a run of leaves that follows
    // such a sibling goes in after it, last leaf first, a run before the first one goes
    // in first last leaf first, and the run at the end goes in last. The tree view
    // then looks up only the parent and that sibling, both among the first items made.
    for (int nSlot = 0; nSlot <= nCount; ++nSlot)
    {
        const std::vector<int>& siblings = children[static_cast<size_t>(nSlot)];
        HTREEITEM hParent = nSlot < nCount ? handles[static_cast<size_t>(nSlot)] : TVI_ROOT;
        if (siblings.empty() || hParent == NULL)
            continue;
        HTREEITEM hAfter = TVI_FIRST;
        size_t nRunStart = 0;
        for (size_t nSibling = 0; nSibling <= siblings.size(); ++nSibling)
        {
            const bool bEnd = nSibling == siblings.size();
            if (!bEnd && !hasChildren(siblings[nSibling]))
                continue;
            if (bEnd)
            {
                for (size_t nLeaf = nRunStart; nLeaf < nSibling; ++nLeaf)
                    handles[static_cast<size_t>(siblings[nLeaf])] =
                        pTree->InsertItem(m_items[static_cast<size_t>(siblings[nLeaf])].strText, hParent, TVI_LAST);
                break;
            }
            if (hAfter != NULL)
            {
                for (size_t nLeaf = nSibling; nLeaf-- > nRunStart;)
                    handles[static_cast<size_t>(siblings[nLeaf])] =
                        pTree->InsertItem(m_items[static_cast<size_t>(siblings[nLeaf])].strText, hParent, hAfter);
            }
            hAfter = handles[static_cast<size_t>(siblings[nSibling])];
            nRunStart = nSibling + 1;
        }
    }
    return handles;
}

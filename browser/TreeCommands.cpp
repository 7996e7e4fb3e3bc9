// The three tree commands. Each walks the tree in display order (the next visible
// item, pre-order over the open branches), opening or closing every item it reaches
// before asking for the item after it, and scrolls each one into view as it goes.
#include "BrowseDialog.h"

void CBrowseDialog::OnExpandTree()
{
    HTREEITEM hRoot = m_pTree->GetRootItem();
    if (!OpenSubtreeInOneGo(hRoot, true))
        WalkInDisplayOrder(hRoot, NULL, openEveryItem);
}

void CBrowseDialog::OnCollapseTree()
{
    // Top-level items open, second-level items close; deeper items are never reached
    // and keep their state for when the user opens their branch again.
    WalkInDisplayOrder(m_pTree->GetRootItem(), NULL, closeSecondLevel);
}

void CBrowseDialog::OnExpandNode()
{
    HTREEITEM hSelected = m_pTree->GetSelectedItem();
    if (hSelected == NULL)
        return;
    ExpandNodeAt(hSelected);
}

void CBrowseDialog::ExpandNodeAt(HTREEITEM hNode)
{
    // The stop item follows the node's subtree: the first next sibling on the way
    // up from it. Without one the walk runs to the end of the tree.
    HTREEITEM hStop = NULL;
    for (HTREEITEM hItem = hNode; hItem != NULL && hStop == NULL; hItem = m_pTree->GetParentItem(hItem))
        hStop = m_pTree->GetNextSiblingItem(hItem);

    if (!OpenSubtreeInOneGo(hNode, false))
        WalkInDisplayOrder(hNode, hStop, openEveryItem);
}

// Collapse Tree's rule on one item's branch (the item menu's "Collapse Node"): the item
// open and each of its children closed; deeper items keep their state. The children close
// with the tree hidden (closing an item on screen repaints at once), then the last child
// and the item are scrolled into view: the item ends in view with as many children as fit.
void CBrowseDialog::CollapseNodeAt(HTREEITEM hNode)
{
    const int nNode = m_model.IndexOf(hNode);
    if (nNode < 0)
        return;
    const int nEnd = m_model.GetSubtreeEnd(nNode);
    const int nChildDepth = m_model.GetDepth(nNode) + 1;
    HTREEITEM hLastChild = NULL;
    const BOOL bShown = m_pTree->IsWindowVisible();
    if (bShown)
        m_pTree->ShowWindow(SW_HIDE);
    for (int nItem = nNode + 1; nItem < nEnd; ++nItem)
    {
        if (m_model.GetDepth(nItem) != nChildDepth)
            continue;
        hLastChild = m_model.GetHandle(nItem);
        m_pTree->Expand(hLastChild, TVE_COLLAPSE);
    }
    m_pTree->Expand(hNode, TVE_EXPAND);
    if (bShown)
        m_pTree->ShowWindow(SW_SHOW);
    if (hLastChild != NULL)
        m_pTree->EnsureVisible(hLastChild);
    m_pTree->EnsureVisible(hNode);
    m_pTree->SetFocus();
}

// Opens hFirst and scrolls it into view, gives the tree the focus, then walks on in
// display order until hStop (NULL: the end of the tree). An empty tree only gets the focus.
void CBrowseDialog::WalkInDisplayOrder(HTREEITEM hFirst, HTREEITEM hStop, WalkRule rule)
{
    if (hFirst != NULL)
    {
        m_pTree->Expand(hFirst, TVE_EXPAND);
        m_pTree->EnsureVisible(hFirst);
    }
    m_pTree->SetFocus();
    HTREEITEM hItem = hFirst;
    while (hItem != NULL && (hItem = m_pTree->GetNextVisibleItem(hItem)) != NULL && hItem != hStop)
    {
        UINT nCode = TVE_EXPAND;
        if (rule == closeSecondLevel && m_pTree->GetParentItem(hItem) != NULL)
            nCode = TVE_COLLAPSE;
        m_pTree->Expand(hItem, nCode);
        m_pTree->EnsureVisible(hItem);
    }
}

// What the walk in display order from hFirst leaves when it opens every item of
// hFirst's subtree (bToTheEnd: every item from hFirst to the end of the tree),
// without its window work.
// The walk opens each item while it is on screen, and every opening and scroll
// recounts the visible rows and repaints. Here the items open deepest first, each
// while its parent is still closed, which costs the tree view no window work at
// all; the tree is hidden while the walk's scroll requests are then made in the
// walk's order, so the rows and the horizontal position end as the walk leaves them.
// Returns false, having done nothing, when the items the refresh made are not (or
// no longer) the tree's: the walk must then do the work itself.
bool CBrowseDialog::OpenSubtreeInOneGo(HTREEITEM hFirst, bool bToTheEnd)
{
    if (hFirst == NULL || static_cast<UINT>(m_model.GetCount()) != m_pTree->GetCount())
        return false;
    const int nFirst = m_model.IndexOf(hFirst);
    if (nFirst < 0)
        return false;
    // The subtree: the run of items deeper than its first.
    const int nEnd = bToTheEnd ? m_model.GetCount() : m_model.GetSubtreeEnd(nFirst);

    if (bToTheEnd)
    {
        // The walk's first step puts the first item (the first top-level item) at the
        // top and focuses the tree, which selects the top row when nothing is selected.
        m_pTree->EnsureVisible(hFirst);
        m_pTree->SetFocus();
    }
    const BOOL bShown = m_pTree->IsWindowVisible();
    if (bShown)
        m_pTree->ShowWindow(SW_HIDE);
    for (int nItem = nEnd; nItem-- > nFirst;)
        m_pTree->Expand(m_model.GetHandle(nItem), TVE_EXPAND);
    if (m_pTree->GetStyle() & WS_HSCROLL)
    {
        // Each scroll request may also scroll sideways to show its item's text, so
        // where the view ends sideways depends on every request: make them all.
        for (int nItem = nFirst; nItem < nEnd; ++nItem)
            m_pTree->EnsureVisible(m_model.GetHandle(nItem));
    }
    else
    {
        // Nothing reaches past the right edge, so the requests only scroll down, each
        // just far enough to show its item at the bottom: the first and the last
        // leave the view where all of them do.
        m_pTree->EnsureVisible(hFirst);
        m_pTree->EnsureVisible(m_model.GetHandle(nEnd - 1));
    }
    if (bShown)
        m_pTree->ShowWindow(SW_SHOW);
    m_pTree->SetFocus();
    return true;
}

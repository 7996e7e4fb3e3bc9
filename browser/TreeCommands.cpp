// The three tree commands. Each walks the tree in display order (the next visible
// item, pre-order over the open branches), opening or closing every item it reaches
// before asking for the item after it, and scrolls each one into view as it goes.
#include "BrowseDialog.h"

void CBrowseDialog::OnExpandTree()
{
    WalkInDisplayOrder(m_pTree->GetRootItem(), NULL, openEveryItem);
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

    // The stop item follows the selected item's subtree: the first next sibling on
    // the way up from it. Without one the walk runs to the end of the tree.
    HTREEITEM hStop = NULL;
    for (HTREEITEM hItem = hSelected; hItem != NULL && hStop == NULL; hItem = m_pTree->GetParentItem(hItem))
        hStop = m_pTree->GetNextSiblingItem(hItem);

    WalkInDisplayOrder(hSelected, hStop, openEveryItem);
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

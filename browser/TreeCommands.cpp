// The three tree commands. Each walks the tree in display order (the next visible
// item, pre-order over the open branches), opening or closing every item it reaches
// before asking for the item after it, and scrolls each one into view as it goes.
#include "BrowseDialog.h"
#include "TreeMessages.h"

void CBrowseDialog::OnExpandTree()
{
    HTREEITEM hItem = TreeGetRootItem(m_pTree);
    if (hItem != NULL)
    {
        TreeExpand(m_pTree, hItem, TVE_EXPAND);
        TreeEnsureVisible(m_pTree, hItem);
    }
    m_pTree->SetFocus();
    while (hItem != NULL && (hItem = TreeGetNextVisibleItem(m_pTree, hItem)) != NULL)
    {
        TreeExpand(m_pTree, hItem, TVE_EXPAND);
        TreeEnsureVisible(m_pTree, hItem);
    }
}

void CBrowseDialog::OnCollapseTree()
{
    HTREEITEM hItem = TreeGetRootItem(m_pTree);
    if (hItem != NULL)
    {
        TreeExpand(m_pTree, hItem, TVE_EXPAND);
        TreeEnsureVisible(m_pTree, hItem);
    }
    m_pTree->SetFocus();
    // Top-level items open, second-level items close; deeper items are never reached
    // and keep their state for when the user opens their branch again.
    while (hItem != NULL && (hItem = TreeGetNextVisibleItem(m_pTree, hItem)) != NULL)
    {
        if (TreeGetParentItem(m_pTree, hItem) != NULL)
            TreeExpand(m_pTree, hItem, TVE_COLLAPSE);
        else
            TreeExpand(m_pTree, hItem, TVE_EXPAND);
        TreeEnsureVisible(m_pTree, hItem);
    }
}

void CBrowseDialog::OnExpandNode()
{
    HTREEITEM hSelected = TreeGetSelectedItem(m_pTree);
    if (hSelected == NULL)
        return;

    // The stop item follows the selected item's subtree: the first next sibling on
    // the way up from it. Without one the walk runs to the end of the tree.
    HTREEITEM hStop = NULL;
    for (HTREEITEM hItem = hSelected; hItem != NULL && hStop == NULL;
         hItem = TreeGetParentItem(m_pTree, hItem))
        hStop = TreeGetNextSiblingItem(m_pTree, hItem);

    TreeExpand(m_pTree, hSelected, TVE_EXPAND);
    TreeEnsureVisible(m_pTree, hSelected);
    m_pTree->SetFocus();
    HTREEITEM hItem = hSelected;
    while ((hItem = TreeGetNextVisibleItem(m_pTree, hItem)) != NULL && hItem != hStop)
    {
        TreeExpand(m_pTree, hItem, TVE_EXPAND);
        TreeEnsureVisible(m_pTree, hItem);
    }
}

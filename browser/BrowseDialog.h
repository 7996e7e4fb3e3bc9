// BrowseDialog.h - the browser dialog behind KivBrowseDialog.
//
// The dialog shows one exchange file at a time as a tree: objects, their groups,
// records and values. It stays attached to the exchange library from its
// initialisation until it is destroyed, so every file it opens is opened inside
// that one attachment. The file shown is named by two texts kept apart, the
// directory (with its trailing separator) and the file name; they come from the
// host, or from the last file key when the host gives neither, and change when
// the user picks another name in the combo box or through "...". On keys and clicks
// that nothing else takes, it also finds labels, copies them and offers a menu for
// an item; none of that changes what the buttons, the combo box and the tree do.
#ifndef DERAR_BROWSEDIALOG_H
#define DERAR_BROWSEDIALOG_H

#include <afxwin.h>
#include <afxcmn.h>
#include <afxdlgs.h>

#include <vector>

#include "TreeModel.h"

#include "KivAttachment.h"

class CBrowseDialog : public CDialog
{
public:
    CBrowseDialog(CString strPathName, CString strFileName, CWnd* pParent = NULL);
    // Detaches from the exchange library (m_kiv), also when the attach failed or never ran.
    virtual ~CBrowseDialog();

    // Runs the dialog with the library's own resources current.
    virtual int DoModal();

protected:
    // Attaches, settles which file to show, and shows it if it exists. FALSE when
    // the attach failed (the dialog ends unseen) or the last file key is unusable.
    virtual BOOL OnInitDialog();

    // Rebuilds the tree from the file m_strPathName + m_strFileName, rewrites the
    // last file key, shows the directory and refills the file name combo box.
    void RefreshFile();

    afx_msg void OnSelchangeFileName();
    afx_msg void OnBrowseFile();
    afx_msg void OnCollapseTree();
    afx_msg void OnExpandTree();
    afx_msg void OnExpandNode();
    afx_msg void OnHelp();
    afx_msg BOOL OnHelpInfo(HELPINFO* pHelpInfo);

    // Beyond the buttons, on keys that nothing else takes (BrowseKeys.h) and right clicks:
    // Find (Ctrl+F, F3, Shift+F3), Copy (Ctrl+C), and a menu for an item (WM_CONTEXTMENU from
    // the tree: a right click on it, or the menu key or Shift+F10 for the selected item).
    afx_msg void OnFindText();
    afx_msg void OnFindNext();
    afx_msg void OnFindPrevious();
    afx_msg LRESULT OnFindReplace(WPARAM wParam, LPARAM lParam);  // from the Find dialog
    afx_msg void OnCopyLabel();
    afx_msg LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    CTreeCtrl* m_pTree;             // 3559; not owned
    CString m_strPathName;          // the directory, ending with its separator
    CString m_strFileName;          // name and extension, without directory
    CComboBox* m_pFileCombo;        // 1002; not owned

private:
    // What a walk of the tree commands does to each item it reaches.
    enum WalkRule
    {
        openEveryItem,
        closeSecondLevel   // close items that have a parent; open top-level items
    };
    void WalkInDisplayOrder(HTREEITEM hFirst, HTREEITEM hStop, WalkRule rule);
    bool OpenSubtreeInOneGo(HTREEITEM hFirst, bool bToTheEnd);
    // Expand Node on hItem: it and everything beneath it open.
    void ExpandNodeAt(HTREEITEM hItem);
    // Collapse Tree's rule on one item's branch: hItem open, its children closed.
    void CollapseNodeAt(HTREEITEM hItem);

    void ShowOpeningView();
    void RefillFileCombo();

    // The file's tree: every item's label, depth and handle, in display order with every
    // branch open (the order of the file). The refresh fills it and inserts the tree view's
    // items from it; Find, Copy, the item menu and the tree commands read it.
    CTreeModel m_model;

    // Find, Copy and the item menu (FindInTree.cpp, ItemMenu.cpp).
    void FindAndShow(bool bDown);
    void ShowFoundItem(int nItem);
    void CopyToClipboard(const CString& strText);
    void ShowItemMenu(HTREEITEM hItem, POINT ptScreen);

    CFindReplaceDialog m_findDialog;  // its window is open from Ctrl+F until it is closed
    CString m_strFindText;            // the text of the last search
    bool m_bMatchCase;
    bool m_bWholeWord;

    // Attached by OnInitDialog, detached when the dialog is destroyed, before the texts:
    // every file the refresh opens is opened within this one attachment.
    CKivAttachment m_kiv;
};

#endif

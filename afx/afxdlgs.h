// derafx common dialogs: CFileDialog (the open and save file dialogs).
#ifndef DERAFX_AFXDLGS_H
#define DERAFX_AFXDLGS_H

#include "afxwin.h"
#include <commdlg.h>

class AFX_CLASS_EXPORT CFileDialog : public CDialog
{
public:
    OPENFILENAMEA m_ofn;   // may be adjusted between construction and DoModal

    // lpszFilter: pairs of "description|pattern|" ending with a second '|'.
    // lpszFileName: the initial name; one that does not fit in MAX_PATH bytes is not used.
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = NULL, LPCSTR lpszFileName = NULL,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                LPCSTR lpszFilter = NULL, CWnd* pParentWnd = NULL);
    virtual ~CFileDialog();

    virtual int DoModal();   // IDOK or IDCANCEL (also when the dialog fails)

    CString GetPathName() const;   // the full path chosen
    CString GetFileName() const;   // its name and extension, without the directory
    CString GetFileExt() const;    // its extension without the dot (empty when none)

protected:
    BOOL m_bOpenFileDialog;
    CString m_strFilter;              // the filter with each '|' turned into a zero byte
    char m_szFileTitle[64];
    char m_szFileName[MAX_PATH];
};

// The platform's Find dialog (FindTextA), modeless. Each request reaches the owner as the
// registered message FINDMSGSTRING (ON_REGISTERED_MESSAGE); GetNotifier finds this object from
// the message's lParam, and the members below say what was asked.
//
// Differences from MFC:
// - Find only: Create refuses bFindDialogOnly FALSE.
// - The object is not deleted when its window closes: its owner keeps it (a member, say) and
//   may Create it again once the window is gone (m_hWnd is then NULL).
// - The dialog gets its keys (Tab, Enter, Escape, Alt+letter) inside any modal loop of the
//   thread. MFC's message pump hands them to it (PreTranslateMessage), but a DLL's dialogs run
//   inside the platform's loop, which gives keys to the modal dialog alone: from its first
//   Create to its destructor, a message hook of its thread hands its dialog the keys.
class AFX_CLASS_EXPORT CFindReplaceDialog : public CDialog
{
public:
    FINDREPLACEA m_fr;

    CFindReplaceDialog();
    virtual ~CFindReplaceDialog();  // closes a window still open

    // Shows the dialog, owned by pParentWnd's top-level window (NULL: the active window's),
    // with lpszFindWhat in its text box; dwFlags: FR_DOWN, FR_MATCHCASE, FR_WHOLEWORD and the
    // platform's FR_HIDE... and FR_NO... flags. FALSE when it cannot be shown or is still open.
    virtual BOOL Create(BOOL bFindDialogOnly, LPCSTR lpszFindWhat, LPCSTR lpszReplaceWith = NULL,
                        DWORD dwFlags = FR_DOWN, CWnd* pParentWnd = NULL);

    // The dialog that sent FINDMSGSTRING with this lParam: the object whose m_fr it is, among
    // those created (Create) and not yet destroyed. NULL for any other number, which is
    // never read: another window may send the message with a pointer of its own.
    static CFindReplaceDialog* PASCAL GetNotifier(LPARAM lParam);

    // What the request asks.
    CString GetFindString() const;
    BOOL SearchDown() const;
    BOOL FindNext() const;
    BOOL MatchCase() const;
    BOOL MatchWholeWord() const;
    BOOL IsTerminating() const;  // the dialog is closing; its window goes right after

protected:
    char m_szFindWhat[128];

private:
    CFindReplaceDialog* m_pNext;  // the objects that have been created, in every thread
    HHOOK m_hKeyHook;             // from the first Create to the destructor
    friend struct AfxFindDialogs;
};

#endif

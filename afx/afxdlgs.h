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

#endif

// CFileDialog: the platform's open and save dialogs with MFC's filter syntax.
#include "afxdlgs.h"
#include "afximpl.h"

#include <string.h>

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : CDialog((LPCSTR)NULL, pParentWnd), m_bOpenFileDialog(bOpenFileDialog)
{
    memset(&m_ofn, 0, sizeof(m_ofn));
    m_szFileTitle[0] = '\0';
    m_szFileName[0] = '\0';

    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = sizeof(m_szFileTitle);
    m_ofn.lpstrDefExt = lpszDefExt;
    m_ofn.Flags = dwFlags | OFN_EXPLORER;

    // A name that does not fit is dropped rather than cut to a different path.
    if (lpszFileName != NULL && strlen(lpszFileName) < MAX_PATH)
        strcpy(m_szFileName, lpszFileName);

    if (lpszFilter != NULL)
    {
        // "Text (*.txt)|*.txt||" becomes the platform's zero-separated list.
        m_strFilter = lpszFilter;
        int nLength = m_strFilter.GetLength();
        char* p = m_strFilter.GetBuffer(nLength);
        for (int i = 0; i < nLength; ++i)
            if (p[i] == '|')
                p[i] = '\0';
        m_strFilter.ReleaseBuffer(nLength);
        m_ofn.lpstrFilter = m_strFilter;
    }
}

CFileDialog::~CFileDialog() {}

int CFileDialog::DoModal()
{
    m_ofn.hwndOwner = AfxGetSafeOwnerHwnd(m_pParentWnd != NULL ? m_pParentWnd->m_hWnd : NULL);
    m_ofn.hInstance = AfxGetInstanceHandle();
    BOOL bResult = m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    AfxWndInternals::SweepTemporaries();
    return bResult ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const { return m_ofn.lpstrFile; }

// From the offsets the dialog returns (the displayed title may hide the extension).
CString CFileDialog::GetFileName() const
{
    if (m_ofn.lpstrFile == NULL || m_ofn.nFileOffset >= m_ofn.nMaxFile)
        return CString();
    return CString(m_ofn.lpstrFile + m_ofn.nFileOffset);
}

CString CFileDialog::GetFileExt() const
{
    if (m_ofn.lpstrFile == NULL || m_ofn.nFileExtension == 0 || m_ofn.nFileExtension >= m_ofn.nMaxFile)
        return CString();
    return CString(m_ofn.lpstrFile + m_ofn.nFileExtension);
}

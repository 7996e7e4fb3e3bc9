// CDialog: modal dialogs from templates found by the resource rule.
#include "afximpl.h"

#include <commctrl.h>

void AfxInitCommonControlsOnce()
{
    static const BOOL bDone = [] {
        INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES };
        return InitCommonControlsEx(&icc);
    }();
    (void)bDone;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    // Through these entries the guarded dispatcher of the most derived class calls the
    // overrides directly (pointers to virtual functions), inside its own module's guard.
    { WM_INITDIALOG, 0, 0, 0, AfxSig_bv, reinterpret_cast<AFX_PMSG>(static_cast<BOOL (CWnd::*)()>(&CDialog::OnInitDialog)) },
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() : m_lpszTemplateName(NULL), m_pParentWnd(NULL) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd)
{
}

// A template name is used for the object's lifetime, as in MFC: the caller keeps it alive.
CDialog::CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog() {}

int CDialog::DoModal()
{
    try
    {
        if (m_lpszTemplateName == NULL || m_hWnd != NULL)
            return -1;
        HINSTANCE hInst = AfxFindResourceHandle(m_lpszTemplateName, RT_DIALOG);
        HRSRC hResource = hInst != NULL ? FindResourceA(hInst, m_lpszTemplateName, RT_DIALOG) : NULL;
        HGLOBAL hTemplate = hResource != NULL ? LoadResource(hInst, hResource) : NULL;
        LPCDLGTEMPLATEA lpTemplate = hTemplate != NULL ? static_cast<LPCDLGTEMPLATEA>(LockResource(hTemplate)) : NULL;
        if (lpTemplate == NULL)
            return -1;

        AfxInitCommonControlsOnce();
        HWND hWndOwner = AfxGetSafeOwnerHwnd(m_pParentWnd != NULL ? m_pParentWnd->m_hWnd : NULL);
        // The dialog manager does not show a dialog that EndDialog ended during WM_INITDIALOG.
        INT_PTR nResult = DialogBoxIndirectParamA(hInst, lpTemplate, hWndOwner, &AfxWndInternals::DlgProc,
                                                  reinterpret_cast<LPARAM>(this));
        if (m_hWnd != NULL)
            Detach();   // creation failed after WM_INITDIALOG attached us
        AfxWndInternals::SweepTemporaries();
        return (int)nResult;
    }
    catch (...)
    {
        return -1;
    }
}

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::EndDialog(int nResult)
{
    ASSERT(::IsWindow(m_hWnd));
    ::EndDialog(m_hWnd, nResult);
}

void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

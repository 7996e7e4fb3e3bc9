// derafx window layer: module state and extension modules, CWnd with message maps, CRedrawGuard,
// CDialog, CButton, CComboBox, CGdiObject/CBitmap and AfxMessageBox. Includes afx.h and afxcoll.h.
#ifndef DERAFX_AFXWIN_H
#define DERAFX_AFXWIN_H

#include "afx.h"
#include "afxcoll.h"

/////////////////////////////////////////////////////////////////////////////
// Module state and extension modules.

class CDynLinkLibrary;

// One per process: the executable's instance and the module resources are loaded from.
struct AFX_MODULE_STATE
{
    HINSTANCE m_hCurrentInstanceHandle;   // the executable
    HINSTANCE m_hCurrentResourceHandle;   // where resources are looked up first; the executable by default
    LPCSTR m_lpszCurrentAppName;          // the executable's base name: the caption of message boxes
    CDynLinkLibrary* m_pFirstDLL;         // extension modules, most recent first
};

AFX_API AFX_MODULE_STATE* AFXAPI AfxGetModuleState();
AFX_API HINSTANCE AFXAPI AfxGetInstanceHandle();
AFX_API HINSTANCE AFXAPI AfxGetResourceHandle();
AFX_API void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource);
AFX_API LPCSTR AFXAPI AfxGetAppName();
// The module that holds resource lpszName of type lpszType: the current resource handle when
// it has it, else the first extension module in the chain that has it, else the current
// resource handle (so that the caller's own lookup fails there).
AFX_API HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);

struct AFX_EXTENSION_MODULE
{
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
};

// Records the extension DLL's module handle; FALSE when hModule is NULL.
AFX_API BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);

// Removes (and deletes) the module's CDynLinkLibrary objects from the resource chain and
// forgets the module: what an extension DLL does at DLL_PROCESS_DETACH.
AFX_API void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

// Joins an initialised extension module to the process's resource chain for as long as the
// object lives (the DLL creates one with new at DLL_PROCESS_ATTACH).
class AFX_CLASS_EXPORT CDynLinkLibrary
{
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    virtual ~CDynLinkLibrary();

    HMODULE m_hModule;
    HMODULE m_hResource;
    BOOL m_bSystem;
    CDynLinkLibrary* m_pNextDLL;

private:
    CDynLinkLibrary(const CDynLinkLibrary&);
    CDynLinkLibrary& operator=(const CDynLinkLibrary&);
};

// A message box owned by the thread's active window (or none), captioned with the
// application name. nIDHelp is accepted for compatibility and not used.
AFX_API int AFXAPI AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

/////////////////////////////////////////////////////////////////////////////
// Message maps.

class CWnd;
typedef void (CWnd::*AFX_PMSG)(void);

enum AfxSig
{
    AfxSig_end = 0,
    AfxSig_vv,          // void (void): commands and control notifications
    AfxSig_bv,          // BOOL (void): WM_INITDIALOG
    AfxSig_vNMHDRpl,    // void (NMHDR*, LRESULT*): WM_NOTIFY
    AfxSig_bHELPINFO,   // BOOL (HELPINFO*): WM_HELP
    AfxSig_lwl          // LRESULT (WPARAM, LPARAM): ON_MESSAGE, ON_REGISTERED_MESSAGE
};

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;      // WM_COMMAND, WM_NOTIFY, WM_HELP, ...
    UINT nCode;         // notification code (0 for commands)
    UINT nID;           // control id range
    UINT nLastID;
    UINT_PTR nSig;      // an AfxSig: how to call pfn
    AFX_PMSG pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (PASCAL* pfnGetBaseMap)();   // NULL for the root (CWnd)
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Handlers live in the module that defines the dialog, while the window procedures live in
// derafx.dll. A C++ exception cannot cross a DLL boundary (each module has its own
// statically linked unwinder), so every class with a message map gets, from these macros, a
// guarded dispatcher compiled into its own module: the window procedure calls it through a
// virtual, it walks the map and calls the handlers inside try/catch(...), and it reports a
// caught exception to the window procedure as a result code instead of letting it escape.
#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap(); \
    virtual const AFX_MSGMAP* GetMessageMap() const; \
    virtual int AfxGuardedWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    int theClass::AfxGuardedWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) \
    { return ::AfxGuardedDispatch(this, GetMessageMap(), message, wParam, lParam, pResult); } \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() \
    { \
        using ThisClass [[maybe_unused]] = theClass; \
        using TheBaseClass = baseClass; \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = \
        {

#define END_MESSAGE_MAP() \
            { 0, 0, 0, 0, AfxSig_end, (AFX_PMSG)0 } \
        }; \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &_messageEntries[0] }; \
        return &messageMap; \
    }

// Entries. The casts check each handler's signature at compile time.
#define ON_COMMAND(id, memberFxn) \
    { WM_COMMAND, 0, (UINT)(id), (UINT)(id), AfxSig_vv, \
      static_cast<AFX_PMSG>(&ThisClass::memberFxn) },
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
    { WM_COMMAND, (UINT)(wNotifyCode), (UINT)(id), (UINT)(id), AfxSig_vv, \
      static_cast<AFX_PMSG>(&ThisClass::memberFxn) },
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_NOTIFY(wNotifyCode, id, memberFxn) \
    { WM_NOTIFY, (UINT)(wNotifyCode), (UINT)(id), (UINT)(id), AfxSig_vNMHDRpl, \
      reinterpret_cast<AFX_PMSG>(static_cast<void (CWnd::*)(NMHDR*, LRESULT*)>(&ThisClass::memberFxn)) },
#define ON_WM_HELPINFO() \
    { WM_HELP, 0, 0, 0, AfxSig_bHELPINFO, \
      reinterpret_cast<AFX_PMSG>(static_cast<BOOL (CWnd::*)(HELPINFO*)>(&ThisClass::OnHelpInfo)) },
// Any message by its number; the handler's result is the message's result.
// clang-format off
#define ON_MESSAGE(message, memberFxn) \
    { (UINT)(message), 0, 0, 0, AfxSig_lwl, \
      reinterpret_cast<AFX_PMSG>(static_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(&ThisClass::memberFxn)) },
// clang-format on
// A message numbered by RegisterWindowMessage (FINDMSGSTRING, say): the entries of a map are
// made when its class gets its first message, so the number may come from a call.
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) ON_MESSAGE(nMessageVariable, memberFxn)

/////////////////////////////////////////////////////////////////////////////
// CWnd

struct AfxWndInternals;   // the window procedures and handle maps (derafx only)
inline BOOL AfxDispatchMessageMap(CWnd* pWnd, const AFX_MSGMAP* pMap, UINT message,
                                  WPARAM wParam, LPARAM lParam, LRESULT* pResult);

class AFX_CLASS_EXPORT CWnd
{
public:
    HWND m_hWnd;

    CWnd();
    virtual ~CWnd();   // detaches (and unsubclasses) a window that is still attached

    operator HWND() const { return m_hWnd; }

    // The permanent wrapper attached to hWnd, else a temporary CWnd owned by derafx. A
    // temporary stays valid (and is returned again) while its window exists, at least until
    // the dialog it belongs to has ended; it is freed after its window is destroyed.
    static CWnd* PASCAL FromHandle(HWND hWnd);
    static CWnd* PASCAL FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Attach and route the window's messages through this object's message map first.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    CWnd* GetDlgItem(int nID) const;   // NULL when the dialog has no such control
    void SetDlgItemText(int nID, LPCSTR lpszString);   // nothing when there is no such control
    CWnd* GetParent() const;

    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString& rString) const;   // the whole text, however long

    BOOL EnableWindow(BOOL bEnable = TRUE);   // TRUE when the window was disabled before
    BOOL IsWindowVisible() const;
    DWORD GetStyle() const;   // GWL_STYLE
    // Takes dwRemove out of GWL_STYLE and puts dwAdd in; FALSE when the style was already so.
    // nFlags (SWP_*) non-zero: SetWindowPos with them afterwards, for styles of the frame.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ShowWindow(int nCmdShow);
    void SetRedraw(BOOL bRedraw = TRUE);   // WM_SETREDRAW
    void Invalidate(BOOL bErase = TRUE);
    CWnd* SetFocus();                         // the window that had the focus, or NULL
    CWnd* SetCapture();                       // the window that had the mouse captured, or NULL
    static CWnd* PASCAL GetCapture();         // the window of this thread that has it, or NULL

    void GetWindowRect(LPRECT lpRect) const;
    // Centres over pAlternateOwner, else over the owner (a child: over its parent); over the
    // work area of the monitor when there is none or it is hidden or minimised. The window
    // is kept inside the work area.
    void CenterWindow(CWnd* pAlternateOwner = NULL);

    virtual BOOL DestroyWindow();

    // WinHelpA for this window. MFC's takes the help file from the application; a DLL's
    // dialogs name their own, so the file comes first here, as in WTL's CWindow::WinHelp.
    BOOL WinHelp(LPCSTR lpszHelp, UINT nCmd = HELP_CONTEXT, DWORD_PTR dwData = 0);

    // Default WM_HELP handling: not handled (FALSE), so the platform passes the request on.
    afx_msg BOOL OnHelpInfo(HELPINFO* pHelpInfo);

protected:
    // Called on the control's wrapper for WM_DRAWITEM and WM_MEASUREITEM sent to its parent;
    // TRUE when the control handled the message itself.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    WNDPROC m_pfnSuper;   // the window procedure that SubclassWindow replaced

    DECLARE_MESSAGE_MAP()

private:
    CWnd(const CWnd&);
    CWnd& operator=(const CWnd&);

    friend struct AfxWndInternals;
    friend BOOL AfxDispatchMessageMap(CWnd*, const AFX_MSGMAP*, UINT, WPARAM, LPARAM, LRESULT*);
};

// Suspends a window's redrawing while the guard lives and repaints it once at the end: a
// visible list or tree otherwise repaints on every insert and delete. A NULL window is left be.
class CRedrawGuard
{
public:
    explicit CRedrawGuard(CWnd* pWnd) : m_pWnd(pWnd)
    {
        if (m_pWnd != NULL)
            m_pWnd->SetRedraw(FALSE);
    }
    ~CRedrawGuard()
    {
        if (m_pWnd == NULL)
            return;
        m_pWnd->SetRedraw(TRUE);
        m_pWnd->Invalidate();
    }

private:
    CRedrawGuard(const CRedrawGuard&);
    CRedrawGuard& operator=(const CRedrawGuard&);

    CWnd* m_pWnd;
};

/////////////////////////////////////////////////////////////////////////////
// The dispatcher behind every message map. Inline on purpose: it is compiled into the module
// whose BEGIN_MESSAGE_MAP calls it, next to the handlers it calls (see DECLARE_MESSAGE_MAP).

inline BOOL AfxDispatchMessageMap(CWnd* pWnd, const AFX_MSGMAP* pMap, UINT message,
                                  WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    UINT nCode = 0, nID = 0;
    if (message == WM_COMMAND)
    {
        nID = LOWORD(wParam);
        nCode = lParam != 0 ? HIWORD(wParam) : 0;   // menus and accelerators are plain commands
    }
    else if (message == WM_NOTIFY)
    {
        const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        nCode = pNMHDR->code;
        nID = (UINT)pNMHDR->idFrom;
    }
    for (; pMap != NULL; pMap = pMap->pfnGetBaseMap != NULL ? pMap->pfnGetBaseMap() : NULL)
    {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry)
        {
            if (pEntry->nMessage != message || pEntry->nCode != nCode || nID < pEntry->nID || nID > pEntry->nLastID)
                continue;
            *pResult = 0;
            switch (pEntry->nSig)
            {
            case AfxSig_vv:
                (pWnd->*pEntry->pfn)();
                break;
            case AfxSig_bv:
                *pResult = (pWnd->*reinterpret_cast<BOOL (CWnd::*)()>(pEntry->pfn))();
                break;
            case AfxSig_vNMHDRpl:
                (pWnd->*reinterpret_cast<void (CWnd::*)(NMHDR*, LRESULT*)>(pEntry->pfn))(
                    reinterpret_cast<NMHDR*>(lParam), pResult);
                break;
            case AfxSig_bHELPINFO:
                *pResult = (pWnd->*reinterpret_cast<BOOL (CWnd::*)(HELPINFO*)>(pEntry->pfn))(
                    reinterpret_cast<HELPINFO*>(lParam));
                break;
            case AfxSig_lwl:
                *pResult = (pWnd->*reinterpret_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(pEntry->pfn))(wParam, lParam);
                break;
            default:
                return FALSE;
            }
            return TRUE;
        }
    }
    // Owner-drawn controls draw themselves: reflect the parent's message to the control's wrapper.
    HWND hWndChild = NULL;
    if (message == WM_DRAWITEM)
    {
        const DRAWITEMSTRUCT* pDIS = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (pDIS->CtlType != ODT_MENU)
            hWndChild = pDIS->hwndItem;
    }
    else if (message == WM_MEASUREITEM)
    {
        const MEASUREITEMSTRUCT* pMIS = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        if (pMIS->CtlType != ODT_MENU)
            hWndChild = ::GetDlgItem(pWnd->m_hWnd, (int)pMIS->CtlID);
    }
    if (hWndChild != NULL)
    {
        CWnd* pChild = CWnd::FromHandlePermanent(hWndChild);
        if (pChild != NULL && pChild != pWnd && pChild->OnChildNotify(message, wParam, lParam, pResult))
            return TRUE;
    }
    return FALSE;
}

// 1 handled, 0 not handled, -1 a handler raised a C++ exception (caught here, in the handler's module).
inline int AfxGuardedDispatch(CWnd* pWnd, const AFX_MSGMAP* pMap, UINT message,
                              WPARAM wParam, LPARAM lParam, LRESULT* pResult) noexcept
{
    try
    {
        return AfxDispatchMessageMap(pWnd, pMap, message, wParam, lParam, pResult) ? 1 : 0;
    }
    catch (...)
    {
        return -1;
    }
}

/////////////////////////////////////////////////////////////////////////////
// CDialog

class AFX_CLASS_EXPORT CDialog : public CWnd
{
public:
    CDialog();
    CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    virtual ~CDialog();

    // Loads the template through AfxFindResourceHandle (the current resource handle first)
    // and runs a modal dialog owned by pParentWnd, or when that is NULL by the top-level
    // window of the thread's active window. Returns the EndDialog result, or -1 when the
    // template is missing, the dialog cannot be created, or OnInitDialog raised an exception.
    virtual int DoModal();
    virtual BOOL OnInitDialog();   // TRUE: the platform gives the focus to the first tab stop
    void EndDialog(int nResult);   // also valid inside OnInitDialog: the dialog is never shown

protected:
    virtual void OnOK();       // EndDialog(IDOK)
    virtual void OnCancel();   // EndDialog(IDCANCEL)

    LPCSTR m_lpszTemplateName;   // a MAKEINTRESOURCE id or a name
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()
};

/////////////////////////////////////////////////////////////////////////////
// Controls. No data members: MFC code casts the CWnd* of GetDlgItem to these classes.

class AFX_CLASS_EXPORT CButton : public CWnd
{
public:
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);   // owner draw; nothing by default

protected:
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
};

class AFX_CLASS_EXPORT CComboBox : public CWnd
{
public:
    int GetCurSel() const;   // CB_ERR (-1) when nothing is selected
    // Copies entry nIndex into rString; returns its length, or CB_ERR (rString emptied) for a bad index.
    int GetLBText(int nIndex, CString& rString) const;
    // The entry's index; a CBS_SORT box compares case-insensitively (CompareString, NORM_IGNORECASE).
    int AddString(LPCSTR lpszString);
    void ResetContent();
    // Selects the first entry after nStartAfter (-1: the whole list) that begins with
    // lpszString, case-insensitively, wrapping at the end; CB_ERR when none does.
    int SelectString(int nStartAfter, LPCSTR lpszString);
};

/////////////////////////////////////////////////////////////////////////////
// GDI objects: the handle is deleted with the object.

class AFX_CLASS_EXPORT CGdiObject
{
public:
    HGDIOBJ m_hObject;

    CGdiObject();
    virtual ~CGdiObject();
    HGDIOBJ GetSafeHandle() const;
    operator HGDIOBJ() const { return m_hObject; }
    BOOL DeleteObject();

private:
    CGdiObject(const CGdiObject&);
    CGdiObject& operator=(const CGdiObject&);
};

class AFX_CLASS_EXPORT CBitmap : public CGdiObject
{
public:
    // Loads through AfxFindResourceHandle; any bitmap held before is deleted first.
    BOOL LoadBitmap(LPCSTR lpszResourceName);
    BOOL LoadBitmap(UINT nIDResource);
    int GetBitmap(BITMAP* pBitMap) const;
    operator HBITMAP() const { return (HBITMAP)m_hObject; }
};

/////////////////////////////////////////////////////////////////////////////
// Menus: the menu is destroyed with the object.

class AFX_CLASS_EXPORT CMenu
{
public:
    HMENU m_hMenu;

    CMenu();
    virtual ~CMenu();
    operator HMENU() const { return m_hMenu; }

    BOOL CreatePopupMenu();  // any menu held before is destroyed first
    BOOL DestroyMenu();
    // MF_STRING with an id and a text ("&Copy\tCtrl+C"), MF_SEPARATOR, with MF_GRAYED to grey it.
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = NULL);
    // Shows the menu at the screen point (x, y) for pWnd and returns when it closes. With
    // TPM_RETURNCMD the result is the id chosen (0: none) and pWnd gets no WM_COMMAND.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = NULL);

private:
    CMenu(const CMenu&);
    CMenu& operator=(const CMenu&);
};

#endif

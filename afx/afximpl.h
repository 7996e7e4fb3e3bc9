// Internal to derafx.dll: the window procedures, handle maps and owner rule shared by its sources.
#ifndef DERAFX_AFXIMPL_H
#define DERAFX_AFXIMPL_H

#include "afxwin.h"

// malloc, and while it fails the handler of AfxSetNewHandler, as long as it gives memory back.
void* AfxAllocOrNewHandler(size_t nBytes);

struct AfxWndInternals
{
    // The window procedure of subclassed windows and the dialog procedure of CDialog: each
    // finds the C++ object, lets the object's guarded dispatcher run the message map, and
    // never lets an exception out.
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Frees the temporary wrappers whose windows no longer exist.
    static void SweepTemporaries();

    static int Dispatch(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
};

// MFC's owner rule: hWndParent (or the thread's active window when NULL), climbed to its
// top-level window, then that window's last active popup. NULL when there is none.
HWND AfxGetSafeOwnerHwnd(HWND hWndParent);

// Loads one of the system's own libraries ("oleacc.dll") from the system folder, by its
// full path, with what it imports looked for there too: never a copy beside the host's
// program or in a folder of documents. NULL when it cannot be loaded (GetLastError says why).
HMODULE AfxLoadSystemLibrary(LPCWSTR lpszName);

// Registers the list view, tree view and tooltip classes once per process.
void AfxInitCommonControlsOnce();

class CNamedAccessible;

// The name that a window gives assistive programs instead of its text (CBitmapButton's
// SetAccessibleName; afx/accessible.cpp).
class CAccessibleName
{
public:
    explicit CAccessibleName(const CString& name);
    // Disconnects the object handed out and leaves the COM apartment entered for it.
    ~CAccessibleName();
    void SetName(const CString& name);
    BOOL HasName() const { return !m_strName.IsEmpty(); }
    // The result of WM_GETOBJECT for hWnd's client object (OBJID_CLIENT), or 0 when it
    // cannot be given: the window then answers as it would have without a name.
    LRESULT Answer(HWND hWnd, WPARAM wParam);

private:
    CAccessibleName(const CAccessibleName&);
    CAccessibleName& operator=(const CAccessibleName&);

    CString m_strName;
    CNamedAccessible* m_pObject;  // made at the first request, handed out at every one
    BOOL m_bApartmentTaken;       // CoInitializeEx has been called for this name
    BOOL m_bLeaveApartment;       // and wants its CoUninitialize
};

#endif

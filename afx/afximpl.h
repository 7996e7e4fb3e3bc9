// Internal to derafx.dll: the window procedures, handle maps and owner rule shared by its sources.
#ifndef DERAFX_AFXIMPL_H
#define DERAFX_AFXIMPL_H

#include "afxwin.h"

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

// Registers the list view and tree view classes once per process.
void AfxInitCommonControlsOnce();

#endif

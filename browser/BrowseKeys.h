// BrowseKeys.h - the browser's keys that no control gives: Ctrl+F, F3, Shift+F3, Ctrl+C, and the
// menu key and Shift+F10, of which Wine's controls make no WM_CONTEXTMENU (the hook makes it).
//
// The platform's modal loop (DialogBox) turns no key into a command, and the controls keep
// every key they are given. While a browser runs, a message hook of its thread looks at each
// key the loop takes out of the queue: one of these keys, pressed with exactly these
// modifiers in the browser or any of its controls, becomes the browser's command in the
// message itself, before the loop sees it, and its release is dropped with it. Every other
// key reaches the controls as before; F1, Enter, Escape, Tab and the arrows are none of these.
// Nothing is translated while a menu is open or the browser is disabled (behind a message box).
#ifndef DERAR_BROWSEKEYS_H
#define DERAR_BROWSEKEYS_H

#include <afxwin.h>

class CBrowseKeys
{
public:
    // Translates for the dialog's window (and its controls) from now until destroyed; the
    // dialog need not have its window yet.
    explicit CBrowseKeys(const CWnd& dialog);
    ~CBrowseKeys();

    // The browser's command for a key pressed with these modifiers (BrowserCommands.h), or 0.
    static UINT CommandOf(UINT nVirtualKey, bool bControl, bool bShift, bool bAlt);
    // True for a key that asks for a menu where the platform's controls make no WM_CONTEXTMENU
    // of it; the hook makes one (at -1, -1, as the keyboard's) for the window that has the key.
    static bool IsMenuKey(UINT nVirtualKey, bool bControl, bool bShift, bool bAlt);

private:
    CBrowseKeys(const CBrowseKeys&);
    CBrowseKeys& operator=(const CBrowseKeys&);

    // True when it turned the message into the command (or dropped a release).
    bool Translate(MSG& msg);
    static LRESULT CALLBACK GetMessageHook(int nCode, WPARAM wParam, LPARAM lParam);

    const CWnd& m_dialog;
    UINT m_nReleaseToDrop;  // the key whose press became a command, until its release
    CBrowseKeys* m_pNext;   // the other browsers running
    HHOOK m_hHook;          // this browser's own hook, for its lifetime
};

#endif

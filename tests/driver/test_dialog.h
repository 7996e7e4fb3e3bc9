// test_dialog.h - plain Win32 dialogs built in memory, for the driver's own tests.
#ifndef DERAR_TEST_DIALOG_H
#define DERAR_TEST_DIALOG_H

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

// A dialog template assembled in memory (DLGTEMPLATE and its items, DS_SETFONT).
class DialogTemplate {
public:
    DialogTemplate(const std::wstring& caption, short cx, short cy,
                   DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT)
    {
        Put32(style);
        Put32(0);
        m_countAt = m_words.size();
        m_words.push_back(0);
        m_words.insert(m_words.end(), {0, 0, WORD(cx), WORD(cy), 0, 0});  // x, y, cx, cy, menu, class
        PutText(caption);
        m_words.push_back(8);
        PutText(L"MS Sans Serif");
    }

    DialogTemplate& Control(const std::wstring& windowClass, const std::wstring& text, int id,
                            DWORD style, short x, short y, short cx, short cy)
    {
        if (m_words.size() % 2)
            m_words.push_back(0);  // items start on a DWORD boundary
        Put32(style | WS_CHILD | WS_VISIBLE);
        Put32(0);
        m_words.insert(m_words.end(), {WORD(x), WORD(y), WORD(cx), WORD(cy), WORD(id)});
        PutText(windowClass);
        PutText(text);
        m_words.push_back(0);  // no creation data
        ++m_words[m_countAt];
        return *this;
    }

    DialogTemplate& Button(const std::wstring& text, int id, short x, short y, DWORD style = WS_TABSTOP)
    {
        return Control(L"Button", text, id, style, x, y, 50, 14);
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Put32(DWORD v)
    {
        m_words.push_back(LOWORD(v));
        m_words.push_back(HIWORD(v));
    }
    void PutText(const std::wstring& text)
    {
        m_words.insert(m_words.end(), text.begin(), text.end());
        m_words.push_back(0);
    }

    std::vector<WORD> m_words;
    size_t m_countAt = 0;
};

// Runs a modal dialog from a template; the handler sees every message first
// (return TRUE from it to mark a message handled). Buttons end the dialog with
// their id unless the handler takes the command.
class TestDialog {
public:
    using Handler = std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)>;
    INT_PTR Run(const DialogTemplate& dialogTemplate, Handler handler = nullptr, HWND owner = nullptr)
    {
        m_handler = std::move(handler);
        return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialogTemplate.Get(), owner, Proc,
                                       reinterpret_cast<LPARAM>(this));
    }

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        auto* self = reinterpret_cast<TestDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        if (!self)
            return FALSE;
        if (self->m_handler && self->m_handler(hwnd, message, wParam, lParam))
            return TRUE;
        if (message == WM_INITDIALOG)
            return TRUE;
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }

    Handler m_handler;
};

#endif

// help_window.cpp - a window of class "MS_WINHELP" that shows which help topic was asked for.
#include "help_window.h"

#include <cstring>

namespace {

const char kClassName[] = "MS_WINHELP";     // the class WinHelpA sends its requests to
const ULONG_PTR kWinHelpSignature = 0xA1DE505;

// The request block: WORD size, WORD command, LONG data, LONG reserved,
// WORD offset of the file name, WORD offset of extra data (all from the block start).
const size_t kBlockHeaderSize = 16;

WORD ReadWord(const BYTE* block, size_t at)
{
    WORD value;
    std::memcpy(&value, block + at, sizeof value);
    return value;
}

LONG ReadLong(const BYTE* block, size_t at)
{
    LONG value;
    std::memcpy(&value, block + at, sizeof value);
    return value;
}

} // namespace

std::string HelpRequest::Describe() const
{
    if (command == HELP_QUIT)
        return "Help: quit";
    std::string text = "Help: " + file;
    if (command == HELP_CONTEXT)
        text += ", context " + std::to_string(data);
    else
        text += ", command " + std::to_string(command) + ", data " + std::to_string(data);
    return text;
}

HelpWindow::HelpWindow(std::function<void(const HelpRequest&)> onRequest)
    : m_onRequest(std::move(onRequest))
{
}

HelpWindow::~HelpWindow()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

bool HelpWindow::Create(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    // Bottom left of the screen, away from the centred dialogs.
    const int width = 320, height = 90;
    const int top = GetSystemMetrics(SM_CYSCREEN) - height - 60;
    m_hwnd = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, "Help request",
                             WS_POPUP | WS_CAPTION | WS_SYSMENU, 10, top, width, height, nullptr,
                             nullptr, instance, this);
    if (!m_hwnd)
        return false;
    RECT client;
    GetClientRect(m_hwnd, &client);
    m_text = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 0,
                             0, client.right, client.bottom, m_hwnd, nullptr, instance, nullptr);
    SendMessageA(m_text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return true;
}

bool HelpWindow::ParseRequest(const COPYDATASTRUCT& data, HelpRequest& request)
{
    if (data.dwData != kWinHelpSignature || data.lpData == nullptr || data.cbData < kBlockHeaderSize)
        return false;
    const BYTE* block = static_cast<const BYTE*>(data.lpData);
    const size_t size = data.cbData;
    request.command = ReadWord(block, 2);
    request.data = ReadLong(block, 4);
    request.file.clear();
    const size_t nameAt = ReadWord(block, 12);
    if (nameAt >= kBlockHeaderSize && nameAt < size) {
        const char* name = reinterpret_cast<const char*>(block + nameAt);
        request.file.assign(name, strnlen(name, size - nameAt));
    }
    return true;
}

void HelpWindow::Show(const HelpRequest& request)
{
    m_last = request;
    ++m_count;
    SetWindowTextA(m_text, request.Describe().c_str());
    // Shown without activation: the dialog that asked keeps the focus.
    SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (m_onRequest)
        m_onRequest(request);
}

LRESULT CALLBACK HelpWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    HelpWindow* self = reinterpret_cast<HelpWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_COPYDATA: {
        HelpRequest request;
        if (self && HelpWindow::ParseRequest(*reinterpret_cast<const COPYDATASTRUCT*>(lParam), request)) {
            if (request.command != HELP_QUIT)
                self->Show(request);
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE:
        ShowWindow(hwnd, SW_HIDE); // closing only hides: later requests must still find the window
        return 0;
    case WM_NCDESTROY:
        if (self) self->m_hwnd = nullptr;
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// help_window.cpp - a window that shows which help topic was asked for.
#include "help_window.h"

namespace {

const char kClassName[] = "DerarDemoHelpRequest";

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
    DerarDestroyHelpWindow(m_receiver);
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
    m_receiver = DerarCreateHelpWindow(instance, &HelpWindow::OnRequest, this);
    return m_receiver != nullptr;
}

void HelpWindow::OnRequest(const DerarHelpRequest* request, void* self)
{
    if (request->command == HELP_QUIT)
        return;
    HelpRequest shown;
    shown.command = request->command;
    shown.data = static_cast<LONG>(request->data);
    shown.file = request->file;
    static_cast<HelpWindow*>(self)->Show(shown);
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
    case WM_CLOSE:
        ShowWindow(hwnd, SW_HIDE); // closing only hides: the next request shows it again
        return 0;
    case WM_NCDESTROY:
        if (self) self->m_hwnd = nullptr;
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

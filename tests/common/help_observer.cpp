// The "MS_WINHELP" window that WinHelpA talks to, shared by every HelpObserver of
// the process: one window, a list of observers that each get every request.
#include "help_observer.h"

#include <algorithm>

namespace {

const ULONG_PTR kWinHelpSignature = 0xA1DE505;

// The request block that WinHelpA sends (packed as the platform lays it out).
#pragma pack(push, 1)
struct WinHelpBlock {
    WORD size;
    WORD command;
    LONG data;
    LONG reserved;
    WORD ofsFilename;
    WORD ofsData;
};
#pragma pack(pop)

struct Registry {
    HWND window = nullptr;
    std::vector<std::vector<HelpRequest>*> observers;
};

Registry& Shared()
{
    static Registry registry;
    return registry;
}

bool ParseRequest(HWND caller, const COPYDATASTRUCT& copy, HelpRequest& request)
{
    if (copy.dwData != kWinHelpSignature || copy.cbData < sizeof(WinHelpBlock) || !copy.lpData)
        return false;
    const auto* bytes = static_cast<const char*>(copy.lpData);
    WinHelpBlock block;
    memcpy(&block, bytes, sizeof block);
    request.caller = caller;
    request.command = block.command;
    request.data = static_cast<ULONG_PTR>(static_cast<ULONG>(block.data));
    request.file.clear();
    if (block.ofsFilename && block.ofsFilename < copy.cbData) {
        const char* name = bytes + block.ofsFilename;
        request.file.assign(name, strnlen(name, copy.cbData - block.ofsFilename));
    }
    return true;
}

// A request from another process's window belongs to that process's observer:
// FindWindow gives WinHelpA only one window per desktop, and test programs that
// run side by side share the desktop. Returns true if it was passed on.
bool ForwardToCallersProcess(HWND self, HWND caller, COPYDATASTRUCT* copy)
{
    DWORD callerProcess = 0;
    if (!caller || !GetWindowThreadProcessId(caller, &callerProcess) ||
        callerProcess == GetCurrentProcessId())
        return false;
    HWND target = nullptr;
    while ((target = FindWindowExA(nullptr, target, "MS_WINHELP", nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(target, &process);
        if (target != self && process == callerProcess) {
            DWORD_PTR result = 0;
            SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(caller),
                                reinterpret_cast<LPARAM>(copy), SMTO_BLOCK, 5000, &result);
            return true;
        }
    }
    return false;
}

}  // namespace

LRESULT CALLBACK HelpObserver::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        auto* copy = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        HWND caller = reinterpret_cast<HWND>(wParam);
        HelpRequest request;
        if (!copy || !ParseRequest(caller, *copy, request))
            return FALSE;
        if (ForwardToCallersProcess(hwnd, caller, copy))
            return TRUE;
        for (std::vector<HelpRequest>* requests : Shared().observers)
            requests->push_back(request);
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HelpObserver::HelpObserver()
{
    Registry& shared = Shared();
    if (!shared.window) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "MS_WINHELP";
        RegisterClassA(&windowClass);  // fails harmlessly when already registered
        // A hidden top-level window: FindWindow must see it, so not message-only.
        shared.window = CreateWindowExA(0, "MS_WINHELP", "derar help observer", WS_POPUP, 0, 0, 0, 0,
                                        nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    if (shared.window) {
        m_hwnd = shared.window;
        shared.observers.push_back(&m_requests);
    }
}

HelpObserver::~HelpObserver()
{
    Registry& shared = Shared();
    auto& list = shared.observers;
    list.erase(std::remove(list.begin(), list.end(), &m_requests), list.end());
    if (list.empty() && shared.window) {
        DestroyWindow(shared.window);
        shared.window = nullptr;
    }
}

std::vector<HelpRequest> HelpObserver::ContextRequests() const
{
    std::vector<HelpRequest> result;
    for (const HelpRequest& r : m_requests) {
        if (r.command != HELP_QUIT)
            result.push_back(r);
    }
    return result;
}

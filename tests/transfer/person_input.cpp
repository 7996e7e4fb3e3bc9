// person_input.cpp - real mouse input, modifier keys and tooltips for the transfer tests.
#include "person_input.h"

#include <commctrl.h>

namespace person {

namespace {

// Absolute coordinates of SendInput: 0 to 65535 over the primary screen, rounded up so
// that the platform's conversion back lands on the same pixel.
LONG Normal(LONG value, int extent) { return static_cast<LONG>((value * 65536LL + extent - 1) / extent); }

void Send(DWORD flags, POINT pt)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = Normal(pt.x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = Normal(pt.y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

}  // namespace

POINT RowPoint(const dialog_driver::ListView& list, int row)
{
    RECT rc = {};
    rc.left = LVIR_LABEL;
    SendMessageA(list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc));
    // Near the left of the label: the first column, whatever the widths.
    POINT pt = { rc.left + 12, (rc.top + rc.bottom) / 2 };
    ClientToScreen(list.Handle(), &pt);
    return pt;
}

POINT Middle(HWND window)
{
    RECT rc;
    GetWindowRect(window, &rc);
    return POINT{ (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
}

void MoveTo(POINT pt) { Send(0, pt); }

void BeginDrag(POINT from)
{
    Send(0, from);
    Send(MOUSEEVENTF_LEFTDOWN, from);
    Send(0, POINT{ from.x + 2 * GetSystemMetrics(SM_CXDRAG), from.y + 2 * GetSystemMetrics(SM_CYDRAG) });
}

void EndDrag(POINT to)
{
    Send(0, to);
    Send(MOUSEEVENTF_LEFTUP, to);
}

void Click(POINT pt)
{
    Send(0, pt);
    Send(MOUSEEVENTF_LEFTDOWN, pt);
    Send(MOUSEEVENTF_LEFTUP, pt);
}

void MoveAway() { Send(0, POINT{ 0, 0 }); }

void HoldModifiers(int modifiers)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    auto set = [&keys](int vk, bool down) { keys[vk] = down ? 0x80 : 0; };
    set(VK_SHIFT, modifiers & Shift);
    set(VK_LSHIFT, modifiers & Shift);
    set(VK_CONTROL, modifiers & Control);
    set(VK_LCONTROL, modifiers & Control);
    SetKeyboardState(keys);
}

namespace {

// A plain function: a lambda has the wrong calling convention for a callback on i686.
BOOL CALLBACK AddVisibleTooltip(HWND hwnd, LPARAM param)
{
    char className[64] = "";
    GetClassNameA(hwnd, className, sizeof className);
    if (lstrcmpiA(className, TOOLTIPS_CLASSA) == 0 && IsWindowVisible(hwnd)) {
        char text[512] = "";
        GetWindowTextA(hwnd, text, sizeof text);
        reinterpret_cast<std::vector<std::string>*>(param)->push_back(text);
    }
    return TRUE;
}

}  // namespace

std::vector<std::string> VisibleTooltipTexts()
{
    std::vector<std::string> texts;
    EnumThreadWindows(GetCurrentThreadId(), &AddVisibleTooltip, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

}  // namespace person

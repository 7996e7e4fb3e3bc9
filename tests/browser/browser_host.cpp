// What a host does to call KivBrowseDialog, and what a person sees in the browser.
#include "browser_host.h"

#include <gtest/gtest.h>

#include <derar.h>

#include <cctype>
#include <cstring>

#include "resource.h"
#include "test_fixtures.h"

namespace browser_host {

const char kCaption[] = "Browse Kiv File";

namespace {

// Every field quoted, so empty texts and blanks need no care.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string KvdText(const std::vector<FileObject>& objects)
{
    std::string text = "KVD 1\n";
    for (const FileObject& object : objects) {
        text += "object " + Quoted(object.name) + " " + Quoted(object.author) + " "
                + Quoted(object.version) + " " + Quoted(object.wellId) + " "
                + Quoted(object.date) + "\n";
        for (const FileValue& v : object.values) {
            text += "value " + Quoted(v.group) + " " + Quoted(v.parent) + " "
                    + std::to_string(v.record) + " " + Quoted(v.name) + " " + Quoted(v.value)
                    + " " + Quoted(v.suffix) + "\n";
        }
    }
    return text + "end\n";
}

std::string IndentedTree(const dialog_driver::TreeView& tree)
{
    std::string text;
    for (const dialog_driver::TreeItem& item : tree.Items())
        text += std::string(static_cast<size_t>(item.depth) * 2, ' ') + item.text + "\n";
    return text;
}

std::string MarkedTree(const dialog_driver::TreeView& tree)
{
    std::string text;
    for (const dialog_driver::TreeItem& item : tree.Items()) {
        text += std::string(static_cast<size_t>(item.depth) * 2, ' ');
        if (item.hasChildren)
            text += item.expanded ? "- " : "+ ";
        text += item.text + "\n";
    }
    return text;
}

std::string WithMarks(std::string outline, const std::string& marks)
{
    size_t next = 0;
    for (char mark : marks) {
        next = outline.find('?', next);
        outline[next] = mark;
    }
    return outline;
}

void ExpectLastFileKey(const std::string& pathName, const std::string& fileName)
{
    auto path = fixtures::last_file_key::GetRaw("PathName");
    auto name = fixtures::last_file_key::GetRaw("FileName");
    ASSERT_TRUE(path && name) << "the last file key holds both texts";
    EXPECT_EQ(path->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(path->bytes, pathName + std::string(1, '\0'));
    EXPECT_EQ(name->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(name->bytes, fileName + std::string(1, '\0'));
}

bool IsInView(const dialog_driver::TreeView& tree, HTREEITEM item)
{
    // TVM_GETITEMRECT takes the item in the rectangle's first bytes.
    RECT row = {};
    std::memcpy(&row, &item, sizeof item);
    if (!SendMessageA(tree.Handle(), TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&row)))
        return false;
    RECT client = {};
    GetClientRect(tree.Handle(), &client);
    return row.top >= client.top && row.bottom <= client.bottom;
}

namespace {

const UINT kReleaseModifiers = WM_APP + 1;

LRESULT CALLBACK KeyboardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kReleaseModifiers) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = keys[VK_LCONTROL] = keys[VK_SHIFT] = keys[VK_LSHIFT] = 0;
        SetKeyboardState(keys);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A window of the test's thread that lets go of the modifiers when its message comes:
// posted after a key, it comes after the loop has taken that key's messages.
HWND KeyboardWindow()
{
    static HWND window = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = KeyboardWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "DerarTestKeyboard";
        RegisterClassA(&wc);
        return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }();
    return window;
}

HWND FocusOrWindow(const dialog_driver::Dialog& window)
{
    HWND focus = GetFocus();
    if (!focus || (focus != window.Handle() && !IsChild(window.Handle(), focus)))
        focus = window.Handle();
    return focus;
}

}  // namespace

void PressKeyWith(const dialog_driver::Dialog& window, UINT virtualKey, int modifiers)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = (modifiers & kControl) ? 0x80 : 0;
    keys[VK_SHIFT] = keys[VK_LSHIFT] = (modifiers & kShift) ? 0x80 : 0;
    SetKeyboardState(keys);
    HWND target = FocusOrWindow(window);
    const UINT scan = MapVirtualKeyA(virtualKey, 0 /* MAPVK_VK_TO_VSC */);
    const LPARAM down = 1 | (LPARAM(scan & 0xFF) << 16);
    const LPARAM up = down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    const bool system = virtualKey == VK_F10;
    PostMessageA(target, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, down);
    PostMessageA(target, system ? WM_SYSKEYUP : WM_KEYUP, virtualKey, up);
    PostMessageA(KeyboardWindow(), kReleaseModifiers, 0, 0);
}

void Type(const dialog_driver::Dialog& window, const std::string& text)
{
    HWND target = FocusOrWindow(window);
    for (char c : text)
        PostMessageA(target, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void RightClick(const dialog_driver::TreeView& tree, HTREEITEM item)
{
    RECT label = {};
    std::memcpy(&label, &item, sizeof item);
    SendMessageA(tree.Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
    POINT point = { (label.left + label.right) / 2, (label.top + label.bottom) / 2 };
    POINT screen = point;
    ClientToScreen(tree.Handle(), &screen);
    SetCursorPos(screen.x, screen.y);
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageA(tree.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageA(tree.Handle(), WM_RBUTTONUP, 0, at);
}

HWND OpenMenuWindow()
{
    for (HWND hwnd : dialog_driver::VisibleThreadWindows()) {
        char name[32] = "";
        GetClassNameA(hwnd, name, sizeof name);
        if (std::strcmp(name, "#32768") == 0)
            return hwnd;
    }
    return nullptr;
}

std::vector<MenuEntry> OpenMenuEntries()
{
    std::vector<MenuEntry> entries;
    HWND window = OpenMenuWindow();
    HMENU menu = window ? reinterpret_cast<HMENU>(SendMessageA(window, 0x01E1 /* MN_GETHMENU */, 0, 0)) : nullptr;
    if (!menu)
        return entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        MenuEntry entry;
        entry.text = text;
        entry.enabled = !(state & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
        entries.push_back(entry);
    }
    return entries;
}

void ChooseFromMenu(char letter)
{
    HWND target = GetFocus() ? GetFocus() : OpenMenuWindow();
    const UINT key = static_cast<UINT>(std::toupper(static_cast<unsigned char>(letter)));
    const LPARAM down = 1 | (LPARAM(MapVirtualKeyA(key, 0) & 0xFF) << 16);
    PostMessageA(target, WM_KEYDOWN, key, down);
    PostMessageA(target, WM_KEYUP, key, down | (LPARAM(3) << 30));
}

ClipboardText ReadClipboard()
{
    ClipboardText text;
    bool open = false;
    for (int i = 0; i < 10 && !(open = OpenClipboard(nullptr)); ++i)
        Sleep(20);
    if (!open)
        return text;
    if (HANDLE unicode = GetClipboardData(CF_UNICODETEXT)) {
        text.unicode = static_cast<const wchar_t*>(GlobalLock(unicode));
        GlobalUnlock(unicode);
    }
    if (HANDLE ansi = GetClipboardData(CF_TEXT)) {
        text.ansi = static_cast<const char*>(GlobalLock(ansi));
        GlobalUnlock(ansi);
    }
    CloseClipboard();
    return text;
}

void EmptyTheClipboard()
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

View Look(const dialog_driver::Dialog& browser)
{
    View view;
    dialog_driver::TreeView tree = browser.Tree(IDC_TREE);
    view.tree = IndentedTree(tree);
    view.openTree = tree.Outline(true);
    view.directory = browser.Text(IDC_DIRECTORY);
    dialog_driver::ComboBox combo = browser.Combo(IDC_FILE_COMBO);
    view.files = combo.Items();
    view.selectedFile = combo.SelectedText();
    view.treeHasFocus = browser.FocusId() == IDC_TREE;
    return view;
}

void RunBrowser(dialog_driver::ScriptedUser& user, const std::string& directory,
                const std::string& fileName)
{
    int result = 0;
    user.Run([&] { result = KivBrowseDialog(directory.c_str(), fileName.c_str()); });
    EXPECT_EQ(result, 1) << "KivBrowseDialog returns 1 whatever happened";
}

View OpenAndLook(const std::string& directory, const std::string& fileName)
{
    View view;
    dialog_driver::ScriptedUser user;
    user.When(kCaption, [&](dialog_driver::Dialog& d) {
        view = Look(d);
        d.Click(IDOK);
    });
    RunBrowser(user, directory, fileName);
    return view;
}

}  // namespace browser_host

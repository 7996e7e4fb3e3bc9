// browser_host.h - what a host does to call KivBrowseDialog, what the browser
// shows, and the .kvd files the browser tests read.
#ifndef DERAR_BROWSER_HOST_H
#define DERAR_BROWSER_HOST_H

#include <functional>
#include <string>
#include <vector>

#include "dialog_driver.h"

namespace browser_host {

extern const char kCaption[];   // "Browse Kiv File"

// One value line of a .kvd file.
struct FileValue {
    std::string group, parent;
    int record = 1;
    std::string name, value, suffix;
};

struct FileObject {
    std::string name, author, version, wellId;
    std::string date;   // "YYYY-MM-DD HH:MM"
    std::vector<FileValue> values;
};

// The text of a .kvd file with these objects, in this order.
std::string KvdText(const std::vector<FileObject>& objects);

// What a person sees in the browser.
struct View {
    std::string tree;                   // every item, one line each, indented two blanks per depth
    std::string openTree;               // the items under open branches only, marked "+"/"-" as in Outline
    std::string directory;              // the directory box
    std::vector<std::string> files;     // the file name combo box, top to bottom
    std::string selectedFile;           // its shown text ("" when nothing is selected)
    bool treeHasFocus = false;
};
View Look(const dialog_driver::Dialog& browser);

// Every item as "text" lines indented two blanks per depth (the full tree).
std::string IndentedTree(const dialog_driver::TreeView& tree);

// The full tree with its open state: "- " before open items that have children,
// "+ " before closed ones, nothing before leaves; indented two blanks per depth.
std::string MarkedTree(const dialog_driver::TreeView& tree);

// An expected MarkedTree written with "?" for every mark: each "?" in turn becomes the
// next of marks ("-" open, "+" closed).
std::string WithMarks(std::string outline, const std::string& marks);

// Expects the last file key to hold these two texts, each stored as REG_SZ: the text,
// then exactly one terminating zero.
void ExpectLastFileKey(const std::string& pathName, const std::string& fileName);

// True when the item's row lies inside the tree's client area.
bool IsInView(const dialog_driver::TreeView& tree, HTREEITEM item);

// Keys as the keyboard gives them: a press and a release posted to the focused control
// (or to the window when nothing of it has the focus), with the modifiers held until the
// loop has taken both. F10 comes as a system key, as the keyboard sends it.
enum Modifier { kNoModifier = 0, kControl = 1, kShift = 2 };
void PressKeyWith(const dialog_driver::Dialog& window, UINT virtualKey, int modifiers);
// Types text into the focused control of window, one WM_CHAR a character.
void Type(const dialog_driver::Dialog& window, const std::string& text);

// A click with the right button on the item's label, the pointer moved there first.
void RightClick(const dialog_driver::TreeView& tree, HTREEITEM item);

// The popup menu open on this thread, as a person sees it: every entry's text ("" for a
// separator) and whether it can be chosen. Empty when no menu is open.
struct MenuEntry {
    std::string text;
    bool enabled = false;
    bool operator==(const MenuEntry& other) const { return text == other.text && enabled == other.enabled; }
};
HWND OpenMenuWindow();
std::vector<MenuEntry> OpenMenuEntries();
// Chooses the entry of the open menu with this underlined letter, as its key does.
void ChooseFromMenu(char letter);

// The clipboard's text in both forms ("missing" for a form it does not hold).
struct ClipboardText {
    std::wstring unicode = L"missing";
    std::string ansi = "missing";
};
ClipboardText ReadClipboard();
void EmptyTheClipboard();

// Opens the browser with the host's two texts, looks at it, closes it with Close,
// and checks that KivBrowseDialog returned 1.
View OpenAndLook(const std::string& directory, const std::string& fileName);

// Runs KivBrowseDialog under the user's script and checks that it returned 1.
void RunBrowser(dialog_driver::ScriptedUser& user, const std::string& directory,
                const std::string& fileName);

}  // namespace browser_host

#endif

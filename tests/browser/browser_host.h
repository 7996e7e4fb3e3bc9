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

// Opens the browser with the host's two texts, looks at it, closes it with Close,
// and checks that KivBrowseDialog returned 1.
View OpenAndLook(const std::string& directory, const std::string& fileName);

// Runs KivBrowseDialog under the user's script and checks that it returned 1.
void RunBrowser(dialog_driver::ScriptedUser& user, const std::string& directory,
                const std::string& fileName);

}  // namespace browser_host

#endif

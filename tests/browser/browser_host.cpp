// What a host does to call KivBrowseDialog, and what a person sees in the browser.
#include "browser_host.h"

#include <gtest/gtest.h>

#include <derar.h>

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

// A file too big for the memory the browser may take: refused with a message, the tree
// empty, and the dialog (and the host) going on with the next file. The limit is lowered
// for the test (DERAR_BROWSER_MEMORY_MB) so that a file of a few megabytes stands for one
// of hundreds in a 32-bit host.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "browser_host.h"
#include "resource.h"
#include "test_fixtures.h"

using browser_host::FileObject;
using browser_host::FileValue;
using browser_host::View;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
namespace key = fixtures::last_file_key;

namespace {

// objects objects of values values each, in records of ten.
std::string BigFile(int objects, int values)
{
    std::vector<FileObject> file;
    for (int o = 0; o < objects; ++o) {
        FileObject object{ "Log-" + std::to_string(o), "Smith", "1", "W-17", "2024-03-05 14:07", {} };
        for (int v = 0; v < values; ++v)
            object.values.push_back({ "Survey", "", v / 10 + 1, "Depth-" + std::to_string(v % 10), "1200.5", "m" });
        file.push_back(object);
    }
    return browser_host::KvdText(file);
}

class MemoryLimit : public ::testing::Test {
protected:
    void SetUp() override
    {
        key::Remove();
        SetEnvironmentVariableA("DERAR_BROWSER_MEMORY_MB", "2");
        folder.Write("big.kvd", BigFile(20, 1000));  // 22,000 items: about 6 MB as the browser keeps them
        folder.Write("small.kvd", BigFile(1, 3));
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("DERAR_BROWSER_MEMORY_MB", nullptr);
        key::Remove();
    }

    fixtures::TempFolder folder;
};

TEST_F(MemoryLimit, TooBigAFileIsRefusedWithAMessageAndTheBrowserGoesOn)
{
    struct Case {
        const char* name;
        const char* first;   // the file the browser opens with
        bool pickBig;        // then a pick of big.kvd in the combo box
    };
    const Case cases[] = {
        { "the file it opens with", "big.kvd", false },
        { "a file picked after a small one", "small.kvd", true },
    };
    for (const Case& c : cases) {
        std::vector<std::string> messages;
        View refused, after;
        ScriptedUser user;
        auto answer = [&] {
            user.When(dialog_driver::AnyMessageBox(), [&](Dialog& box) {
                messages.push_back(box.MessageText());
                box.ClickButton("OK");
            });
        };
        // The steps come in the order a person meets them: the message first when the
        // browser opens with the big file, the browser first when it is picked there.
        if (!c.pickBig)
            answer();
        user.When(browser_host::kCaption, [&](Dialog& d) {
            if (c.pickBig)
                d.Combo(IDC_FILE_COMBO).Pick("big.kvd");
            refused = browser_host::Look(d);
            d.Combo(IDC_FILE_COMBO).Pick("small.kvd");
            after = browser_host::Look(d);
            d.Click(IDOK);
        });
        if (c.pickBig)
            answer();
        browser_host::RunBrowser(user, folder.Path(), c.first);

        ASSERT_EQ(messages.size(), 1u) << c.name;
        EXPECT_EQ(messages[0], "The file " + folder.Path() + "big.kvd is too big to show: it needs more memory than "
                               "this program has free. Close other programs and try again, or open a smaller file.")
            << c.name;
        EXPECT_EQ(refused.tree, "") << c.name;
        EXPECT_EQ(refused.directory, folder.Path()) << c.name;
        EXPECT_EQ(refused.selectedFile, "big.kvd") << c.name;
        EXPECT_EQ(after.tree.substr(0, after.tree.find('\n')), "Log-0 - Smith - 1 - W-17 - Tuesday, March 05, 2024  14:07")
            << c.name;
    }
}

}  // namespace

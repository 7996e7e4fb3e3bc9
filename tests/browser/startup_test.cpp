// Which file the browser shows when it opens: the host's two texts, or the last
// file key when the host gives neither; and what the key holds afterwards.
#include <gtest/gtest.h>

#include "browser_host.h"
#include "resource.h"
#include "test_fixtures.h"

using browser_host::FileObject;
using browser_host::View;
namespace key = fixtures::last_file_key;

namespace {

const std::vector<FileObject> kOneObject = {
    { "Casing", "Smith", "1", "W-17", "2024-03-05 14:07", { { "G", "", 1, "Size", "7", "in" } } },
};
const char kCasingLabel[] = "Casing - Smith - 1 - W-17 - Tuesday, March 05, 2024  14:07";

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        key::Remove();
        folder.Write("casing.kvd", browser_host::KvdText(kOneObject));
    }
    void TearDown() override { key::Remove(); }

    bool ShowsNothing(const View& view)
    {
        return view.tree.empty() && view.directory.empty() && view.files.empty()
               && view.selectedFile.empty();
    }

    fixtures::TempFolder folder;
};

TEST_F(Startup, DrawnInTheTemplatesFontAtItsSize)
{
    dialog_driver::ScriptedUser user;
    user.When("Browse Kiv File", [](dialog_driver::Dialog& d) {
        dialog_driver::ExpectTemplateFontAndSize(d, GetModuleHandleA("derar.dll"), IDD_BROWSE);
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "casing.kvd");
}

TEST_F(Startup, HostTextsShowTheFileAndOverwriteTheKey)
{
    key::SetText("PathName", "C:\\elsewhere\\");
    key::SetText("FileName", "other.kvd");

    View view = browser_host::OpenAndLook(folder.Path(), "casing.kvd");

    EXPECT_EQ(view.openTree, std::string("- ") + kCasingLabel + "\n  + G\n");
    EXPECT_EQ(view.directory, folder.Path());
    EXPECT_EQ(view.selectedFile, "casing.kvd");
    browser_host::ExpectLastFileKey(folder.Path(), "casing.kvd");
}

TEST_F(Startup, NoTextsAndNoKeyCreateAnEmptyKeyAndShowNothing)
{
    View view = browser_host::OpenAndLook("", "");
    EXPECT_TRUE(ShowsNothing(view)) << view.tree << view.directory;
    EXPECT_TRUE(key::Exists());
    EXPECT_FALSE(key::GetRaw("PathName"));
    EXPECT_FALSE(key::GetRaw("FileName"));
}

TEST_F(Startup, NoTextsShowTheFileOfTheKey)
{
    key::SetText("PathName", folder.Path());
    key::SetText("FileName", "casing.kvd");
    View view = browser_host::OpenAndLook("", "");
    EXPECT_EQ(view.tree, std::string(kCasingLabel) + "\n  G\n    1\n      Size: 7 [in]\n");
    EXPECT_EQ(view.directory, folder.Path());
    EXPECT_EQ(view.selectedFile, "casing.kvd");
}

TEST_F(Startup, StoredFileDeletedSinceShowsNothingAndKeepsTheKey)
{
    key::SetText("PathName", folder.Path());
    key::SetText("FileName", "gone.kvd");
    View view = browser_host::OpenAndLook("", "");
    EXPECT_TRUE(ShowsNothing(view)) << view.tree << view.directory;
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>("gone.kvd"));
}

// One text from the host is enough to leave the key unread, so nothing is found.
struct HalfCase {
    const char* name;
    bool giveDirectory;     // else the file name alone
    const char* text;
};

class HostGivesOneText : public Startup, public ::testing::WithParamInterface<HalfCase> {};

TEST_P(HostGivesOneText, KeyIsNotReadAndNothingIsShown)
{
    key::SetText("PathName", folder.Path());
    key::SetText("FileName", "casing.kvd");
    const HalfCase& c = GetParam();
    std::string text = std::string(c.text) == "<folder>" ? folder.Path() : c.text;
    View view = c.giveDirectory ? browser_host::OpenAndLook(text, "")
                                : browser_host::OpenAndLook("", text);
    EXPECT_TRUE(ShowsNothing(view)) << c.name << ": " << view.tree << view.directory;
    EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>("casing.kvd")) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostGivesOneText, ::testing::Values(
    HalfCase{ "OnlyDirectory", true, "<folder>" },
    HalfCase{ "OnlyFileName", false, "casing.kvd" }   // a relative path: not in the program's folder
), [](const ::testing::TestParamInfo<HalfCase>& info) { return std::string(info.param.name); });

TEST_F(Startup, DirectoryWithoutSeparatorNamesNothing)
{
    std::string directory = folder.Path().substr(0, folder.Path().size() - 1);
    View view = browser_host::OpenAndLook(directory, "casing.kvd");
    EXPECT_TRUE(ShowsNothing(view)) << view.tree;
    EXPECT_FALSE(key::GetRaw("FileName")) << "no refresh, so no key written";
}

// Stored values in other forms than the browser writes: read up to the first zero
// byte whatever their type, whole when they have no zero, and ignored when huge.
struct StoredCase {
    const char* name;
    DWORD type;
    std::string pathBytes;      // "<folder>" stands for the folder's path
    bool shown;
};

class StoredValue : public Startup, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValue, IsReadAsItsBytesUpToTheFirstZero)
{
    const StoredCase& c = GetParam();
    std::string bytes = c.pathBytes;
    size_t at = bytes.find("<folder>");
    if (at != std::string::npos)
        bytes.replace(at, 8, folder.Path());
    key::SetRaw("PathName", c.type, bytes);
    key::SetText("FileName", "casing.kvd");

    View view = browser_host::OpenAndLook("", "");

    if (c.shown) {
        EXPECT_EQ(view.directory, folder.Path()) << c.name;
        EXPECT_EQ(view.selectedFile, "casing.kvd") << c.name;
        EXPECT_FALSE(view.tree.empty()) << c.name;
    } else {
        EXPECT_TRUE(ShowsNothing(view)) << c.name << ": " << view.tree << view.directory;
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, StoredValue, ::testing::Values(
    StoredCase{ "TextWithZero", REG_SZ, std::string("<folder>") + '\0', true },
    StoredCase{ "TextWithoutZero", REG_SZ, "<folder>", true },
    StoredCase{ "BinaryWithTrailingBytes", REG_BINARY, std::string("<folder>") + '\0' + "junk", true },
    StoredCase{ "BinaryWithoutZero", REG_BINARY, "<folder>", true },
    StoredCase{ "ExpandText", REG_EXPAND_SZ, std::string("<folder>") + '\0', true },
    StoredCase{ "EmptyBinary", REG_BINARY, "", false },
    StoredCase{ "ZeroFirst", REG_BINARY, std::string(1, '\0') + "<folder>", false },
    // Longer than any path: taken as missing, so the file name alone is looked for.
    StoredCase{ "HugeText", REG_SZ, std::string(40000, 'x') + '\0', false }
), [](const ::testing::TestParamInfo<StoredCase>& info) { return std::string(info.param.name); });

TEST_F(Startup, OverlongHostPathIsHandledWithoutHarm)
{
    std::string directory = folder.Path() + std::string(300, 'd') + "\\";
    View view = browser_host::OpenAndLook(directory, "casing.kvd");
    EXPECT_TRUE(ShowsNothing(view)) << view.tree;
}

}  // namespace

// Hostile host input through the real exports: names at and beyond the 256-byte
// buffer, empty names, bytes above 127, a flood of candidates, odd counts, holes
// in the names array, directories with and without their separator, and paths
// longer than MAX_PATH and than the longest path Win32 knows. Each case must end
// without a crash, write nothing past a caller's buffer, and give the documented
// result.
#include <gtest/gtest.h>

#include <derar.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "browser_host.h"
#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using transfer_host::FileObject;
using transfer_host::kExport;
using transfer_host::kImport;

namespace {

const char kFileDate[] = "2000-12-05 14:07";
const size_t kBufferSize = 256;
const size_t kGuardSize = 64;
const char kGuard = '#';

FileObject Obj(const std::string& name) { return { name, "jdoe", "1", "W-17", kFileDate }; }

// One host buffer: at least 256 bytes holding the name handed in (a longer name
// needs more room to be handed in at all), then guard bytes.
struct HostBuffer {
    explicit HostBuffer(const std::string& name)
        : bytes(std::max(kBufferSize, name.size() + 1) + kGuardSize, kGuard)
    {
        std::copy(name.begin(), name.end(), bytes.begin());
        bytes[name.size()] = '\0';
        before = bytes;
    }
    // Bytes from 256 on are the caller's, not the dialog's.
    bool BeyondBufferUntouched() const
    {
        return std::equal(bytes.begin() + kBufferSize, bytes.end(), before.begin() + kBufferSize);
    }
    std::string Text() const { return std::string(bytes.data(), strnlen(bytes.data(), kBufferSize)); }

    std::vector<char> bytes, before;
};

class HostileTransfer : public ::testing::Test {
protected:
    void WriteFile(const std::vector<FileObject>& objects)
    {
        folder.Write("hostile.kvd", transfer_host::KvdText(objects));
    }
    fixtures::TempFolder folder;
};

// Import of one object whose name is in the file and handed in as the candidate:
// the dialog shows it whole, and it comes back cut to 255 characters within the
// first 256 bytes.
TEST_F(HostileTransfer, NameLengthsAtAndBeyondTheBuffer)
{
    struct Case {
        const char* name;
        std::string objectName;
    };
    std::string highBytes = "Bohrung \xC4\xD6\xDC \xE9\xE8 \xFF\x80\x81 end";
    const Case cases[] = {
        { "255 characters", std::string(255, 'a') },
        { "256 characters", std::string(256, 'b') },
        { "10,000 characters", std::string(10000, 'c') },
        { "bytes above 127", highBytes },
        { "255 characters ending in bytes above 127", std::string(250, 'd') + "\xE4\xF6\xFC\xDF\xE9" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile({ Obj(c.objectName), Obj("Zulu") });
        HostBuffer buffer(c.objectName);
        char* names[1] = { buffer.bytes.data() };
        int count = 1;
        std::vector<std::string> listed;
        std::vector<std::string> warnings;
        ScriptedUser user;
        user.When("Kiv Import", [&](Dialog& d) {
            listed = d.List(IDC_AVAILABLE_LIST).Column(0);
            d.Click(IDC_ADDALL);
            d.Click(IDOK);
        });
        user.When("Warning", [&](Dialog& w) {
            warnings.push_back(w.Text(IDC_WARNING_TEXT));
            w.Click(IDC_YESALL);
        });
        int result = -1;
        user.Run([&] {
            result = KivImpExpDialog(kImport, folder.Path().c_str(), "hostile.kvd", "jdoe", "W-17", names, &count);
        });
        EXPECT_EQ(listed, std::vector<std::string>{ c.objectName }) << "only the candidate, shown whole";
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].rfind("Object = " + c.objectName + "\n", 0), 0u) << "the warning names it whole";
        EXPECT_EQ(result, 1);
        ASSERT_EQ(count, 1);
        EXPECT_EQ(buffer.Text(), c.objectName.substr(0, 255));
        EXPECT_EQ(buffer.bytes[std::min<size_t>(c.objectName.size(), 255)], '\0') << "terminated within the buffer";
        EXPECT_TRUE(buffer.BeyondBufferUntouched()) << "written past 256 bytes";
    }
}

// Export of candidates the file lacks beside one it holds: they become "New" rows
// and come back as they went in (cut to 255), also when empty or of odd bytes.
// The current author "New" and an empty well let New rows pass without a warning.
TEST_F(HostileTransfer, NewCandidatesOfOddFormsComeBackIntact)
{
    WriteFile({ { "Zulu", "New", "1", "", kFileDate } });
    const std::vector<std::string> candidates = {
        "", std::string(256, 'n'), "\xE9t\xE9", std::string(10000, 'm'), "plain", "Zulu",
    };
    std::vector<HostBuffer> buffers;
    for (const std::string& name : candidates)
        buffers.emplace_back(name);
    std::vector<char*> names;
    for (HostBuffer& b : buffers)
        names.push_back(b.bytes.data());
    int count = static_cast<int>(names.size());
    std::vector<std::string> selected, available;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        available = d.List(IDC_AVAILABLE_LIST).Column(0);
        selected = d.List(IDC_SELECTED_LIST).Column(0);
        d.Click(IDOK);
    });
    int result = -1;
    user.Run([&] {
        result = KivImpExpDialog(kExport, folder.Path().c_str(), "hostile.kvd", "New", "", names.data(), &count);
    });
    EXPECT_EQ(available, std::vector<std::string>{ "Zulu" });
    std::vector<std::string> shown = selected;
    std::sort(shown.begin(), shown.end());
    std::vector<std::string> newOnes(candidates.begin(), candidates.end() - 1);
    std::sort(newOnes.begin(), newOnes.end());
    EXPECT_TRUE(shown == newOnes) << "every new candidate is a New row, shown whole; rows: " << selected.size();
    EXPECT_EQ(result, 1);
    ASSERT_EQ(count, static_cast<int>(selected.size()));
    for (size_t i = 0; i < buffers.size(); ++i)
        EXPECT_TRUE(buffers[i].BeyondBufferUntouched()) << "buffer " << i;
    // Returned in the order of the lower list, each cut to 255.
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(buffers[i].Text() == selected[i].substr(0, 255))
            << "name " << i << " of " << selected[i].size() << " characters came back as "
            << buffers[i].Text().size() << " characters";
}

// 100,000 candidates against a file of three objects: only the two that the file
// holds are offered, and they come back; a flood that matches nothing ends at once.
TEST_F(HostileTransfer, HundredThousandCandidatesAgainstASmallFile)
{
    WriteFile({ Obj("Well-00042"), Obj("Well-99999"), Obj("NotACandidate") });
    const int kCandidates = 100000;
    std::vector<std::vector<char>> buffers(kCandidates, std::vector<char>(kBufferSize, '\0'));
    std::vector<char*> names;
    for (int i = 0; i < kCandidates; ++i) {
        snprintf(buffers[i].data(), kBufferSize, "Well-%05d", kCandidates - 1 - i);  // descending
        names.push_back(buffers[i].data());
    }
    {
        SCOPED_TRACE("two of them in the file");
        int count = kCandidates;
        std::vector<std::string> listed;
        ScriptedUser user;
        user.When("Kiv Import", [&](Dialog& d) {
            listed = d.List(IDC_AVAILABLE_LIST).Column(0);
            d.Click(IDC_ADDALL);
            d.Click(IDOK);
        });
        user.When("Warning", [&](Dialog& w) { w.Click(IDC_YESALL); });
        int result = -1;
        user.Run([&] {
            result = KivImpExpDialog(kImport, folder.Path().c_str(), "hostile.kvd", "jdoe", "W-17", names.data(),
                                     &count);
        });
        EXPECT_EQ(listed, (std::vector<std::string>{ "Well-00042", "Well-99999" }));
        EXPECT_EQ(result, 1);
        ASSERT_EQ(count, 2);
        EXPECT_STREQ(names[0], "Well-00042");
        EXPECT_STREQ(names[1], "Well-99999");
    }
    {
        SCOPED_TRACE("none of them in the file");
        WriteFile({ Obj("Elsewhere") });
        int count = kCandidates;
        ScriptedUser user;
        int result = -1;
        user.Run([&] {
            result = KivImpExpDialog(kImport, folder.Path().c_str(), "hostile.kvd", "jdoe", "W-17", names.data(),
                                     &count);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(user.ShownWindows().empty());
    }
}

TEST_F(HostileTransfer, TheMostNegativeCountMeansNoCandidates)
{
    WriteFile({ Obj("Gamma") });
    char buffer[kBufferSize] = "Gamma";
    char* names[1] = { buffer };
    int count = INT_MIN;
    ScriptedUser user;
    int result = -1;
    user.Run([&] { result = KivImpExpDialog(kImport, folder.Path().c_str(), "hostile.kvd", "", "", names, &count); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(count, 0);
    EXPECT_STREQ(buffer, "Gamma");
    EXPECT_TRUE(user.ShownWindows().empty());
}

// A hole in the names array (an element that is NULL) is a host's mistake; the
// dialog must neither crash on it nor write through it, and the buffer beside it
// keeps to its 256 bytes. (What count then says is left open: today a NULL
// element is read as an empty name, in export a New row, and is counted among the
// names returned although nothing could be written to it.)
TEST_F(HostileTransfer, NullElementInTheNamesArray)
{
    WriteFile({ Obj("Gamma"), Obj("Delta") });
    for (int mode : { kImport, kExport }) {
        SCOPED_TRACE(mode == kImport ? "import" : "export");
        HostBuffer buffer("Gamma");
        char* names[3] = { nullptr, buffer.bytes.data(), nullptr };
        int count = 3;
        ScriptedUser user;
        user.When(mode == kImport ? "Kiv Import" : "Kiv Export", [&](Dialog& d) {
            d.Click(IDC_ADDALL);
            d.Click(IDOK);
        });
        user.When("Warning", [&](Dialog& w) { w.Click(IDC_YESALL); });
        int result = -1;
        user.Run([&] {
            result = KivImpExpDialog(mode, folder.Path().c_str(), "hostile.kvd", "", "", names, &count);
        });
        EXPECT_EQ(result, 1);
        EXPECT_GE(count, 1);
        EXPECT_LE(count, 3);
        EXPECT_EQ(names[0], nullptr);
        EXPECT_EQ(names[2], nullptr);
        EXPECT_TRUE(buffer.BeyondBufferUntouched());
    }
}

// The directory is joined to the file name with nothing between: with its
// separator (either kind) it finds the file, without one it names another file,
// which is missing and so offers nothing.
TEST_F(HostileTransfer, DirectoryWithAndWithoutItsSeparator)
{
    WriteFile({ Obj("Gamma") });
    std::string withBackslash = folder.Path();
    std::string bare = withBackslash.substr(0, withBackslash.size() - 1);
    struct Case {
        const char* name;
        std::string directory;
        bool found;
    };
    const Case cases[] = {
        { "backslash", withBackslash, true },
        { "forward slash", bare + "/", true },
        { "doubled separator", withBackslash + "\\", true },
        { "no separator", bare, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[kBufferSize] = "Gamma";
        char* names[1] = { buffer };
        int count = 1;
        std::vector<std::string> listed;
        ScriptedUser user;
        if (c.found) {
            user.When("Kiv Import", [&](Dialog& d) {
                listed = d.List(IDC_AVAILABLE_LIST).Column(0);
                d.Click(IDCANCEL);
            });
        }
        int result = -1;
        user.Run([&] { result = KivImpExpDialog(kImport, c.directory.c_str(), "hostile.kvd", "", "", names, &count); });
        if (c.found) {
            EXPECT_EQ(listed, std::vector<std::string>{ "Gamma" });
            EXPECT_EQ(result, 0) << "cancelled";
        } else {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(count, 0);
            EXPECT_TRUE(user.ShownWindows().empty());
        }
    }
}

// Paths longer than MAX_PATH (260) and than the longest Win32 path (32,767) name
// no file: with nothing of the file to choose from, either mode ends at once.
TEST_F(HostileTransfer, OverlongPathsNameNoFile)
{
    struct Case {
        const char* name;
        std::string directory;
        std::string fileName;
    };
    const Case cases[] = {
        { "directory over 260", folder.Path() + std::string(300, 'd') + "\\", "hostile.kvd" },
        { "directory over 32,767", folder.Path() + std::string(40000, 'd') + "\\", "hostile.kvd" },
        { "file name over 260", folder.Path(), std::string(300, 'f') + ".kvd" },
        { "file name over 32,767", folder.Path(), std::string(40000, 'f') + ".kvd" },
        { "many short folders over 32,767", folder.Path() + [] {
              std::string s;
              while (s.size() < 40000)
                  s += "abcdefgh\\";
              return s;
          }(), "hostile.kvd" },
    };
    for (const Case& c : cases) {
        for (int mode : { kImport, kExport }) {
            SCOPED_TRACE(c.name);
            HostBuffer buffer("Gamma");
            char* names[1] = { buffer.bytes.data() };
            int count = 1;
            ScriptedUser user;
            int result = -1;
            user.Run([&] {
                result = KivImpExpDialog(mode, c.directory.c_str(), c.fileName.c_str(), "", "", names, &count);
            });
            EXPECT_EQ(result, 1) << (mode == kImport ? "import" : "export");
            EXPECT_EQ(count, 0) << (mode == kImport ? "import" : "export");
            EXPECT_TRUE(user.ShownWindows().empty());
            EXPECT_EQ(buffer.Text(), "Gamma");
            EXPECT_TRUE(buffer.BeyondBufferUntouched());
        }
    }
}

// ---------------------------------------------------------------------------
// The browser.

class HostileBrowser : public ::testing::Test {
protected:
    void SetUp() override { fixtures::last_file_key::Remove(); }
    void TearDown() override { fixtures::last_file_key::Remove(); }
    fixtures::TempFolder folder;
};

browser_host::FileObject BrowserObject(const std::string& name)
{
    return { name, "Smith", "1", "W-17", "2024-03-05 14:07", { { "A", "", 1, "a", "1", "" } } };
}

bool ShowsNothing(const browser_host::View& view)
{
    return view.tree.empty() && view.directory.empty() && view.selectedFile.empty();
}

TEST_F(HostileBrowser, NullTextsActAsEmptyOnes)
{
    // No key and no texts: nothing to show.
    browser_host::View view = browser_host::OpenAndLook("", "");
    ASSERT_TRUE(ShowsNothing(view));
    int result = 0;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        view = browser_host::Look(d);
        d.Click(IDOK);
    });
    user.Run([&] { result = KivBrowseDialog(nullptr, nullptr); });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(ShowsNothing(view)) << view.tree;

    // With a remembered file, NULL texts show it as empty texts do.
    folder.Write("kept.kvd", browser_host::KvdText({ BrowserObject("Kept") }));
    browser_host::OpenAndLook(folder.Path(), "kept.kvd");
    for (bool nullDirectory : { true, false }) {
        SCOPED_TRACE(nullDirectory ? "NULL directory" : "NULL file name");
        ScriptedUser again;
        again.When(browser_host::kCaption, [&](Dialog& d) {
            view = browser_host::Look(d);
            d.Click(IDOK);
        });
        again.Run([&] { result = nullDirectory ? KivBrowseDialog(nullptr, "") : KivBrowseDialog("", nullptr); });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(view.directory, folder.Path());
        EXPECT_EQ(view.selectedFile, "kept.kvd");
    }
}

TEST_F(HostileBrowser, OverlongAndOddTextsShowNothingAndKeepTheKey)
{
    folder.Write("kept.kvd", browser_host::KvdText({ BrowserObject("Kept") }));
    struct Case {
        const char* name;
        std::string directory;
        std::string fileName;
    };
    const Case cases[] = {
        { "directory over 32,767", folder.Path() + std::string(40000, 'd') + "\\", "kept.kvd" },
        { "file name over 260", folder.Path(), std::string(300, 'f') + ".kvd" },
        { "file name over 32,767", folder.Path(), std::string(40000, 'f') + ".kvd" },
        { "file name of 10,000 with bytes above 127", folder.Path(), std::string(10000, '\xE9') },
        { "empty file name", folder.Path(), "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        browser_host::OpenAndLook(folder.Path(), "kept.kvd");   // remembered
        browser_host::View view = browser_host::OpenAndLook(c.directory, c.fileName);
        EXPECT_TRUE(view.tree.empty()) << view.tree;
        EXPECT_EQ(fixtures::last_file_key::GetText("FileName"), std::optional<std::string>("kept.kvd"))
            << "no refresh, so the key stays";
    }
}

TEST_F(HostileBrowser, FileNamesWithBytesAboveOneTwentySevenAreShownAndRemembered)
{
    const std::string name = "Bohrf\xE4higkeit \xE9t\xE9.kvd";
    folder.Write(name, browser_host::KvdText({ BrowserObject("Gr\xFC\xDF") }));
    browser_host::View view = browser_host::OpenAndLook(folder.Path(), name);
    EXPECT_EQ(view.selectedFile, name);
    EXPECT_NE(std::find(view.files.begin(), view.files.end(), name), view.files.end());
    EXPECT_EQ(view.tree.rfind("Gr\xFC\xDF - Smith", 0), 0u) << view.tree;
    EXPECT_EQ(fixtures::last_file_key::GetText("FileName"), std::optional<std::string>(name));
}

}  // namespace

// ---------------------------------------------------------------------------
// Controls that are gone: the dialogs look their controls up each time, and one that no
// longer exists must be passed over, never take the host down (an access violation is
// not a C++ exception: nothing would catch it).

TEST(MissingControls, TheTransferCommandsGoOnWithoutThem)
{
    fixtures::TempFolder folder;
    folder.Write("gone.kvd", transfer_host::KvdText({ Obj("Alpha"), Obj("Beta") }));
    transfer_host::Call call(kExport, folder.Path(), "gone.kvd", { "Alpha", "Beta" }, "jdoe", "W-17");
    const struct {
        const char* name;
        int goneId;
        int commandId;
    } cases[] = {
        { "OK button, then Add all", IDOK, IDC_ADDALL },
        { "OK button, then Remove all", IDOK, IDC_REMOVEALL },
        { "caption box, then Add all", IDC_AVAILABLE_GROUP, IDC_ADDALL },
    };
    for (const auto& c : cases) {
        size_t selectedRows = 0;
        ScriptedUser user;
        user.When("Kiv Export", [&](Dialog& d) {
            DestroyWindow(d.Item(c.goneId));
            d.Click(c.commandId);
            selectedRows = d.List(IDC_SELECTED_LIST).Rows().size();
            d.Click(IDCANCEL);
        });
        transfer_host::Outcome outcome;
        user.Run([&] { outcome = transfer_host::CallImpExp(call); });
        EXPECT_EQ(outcome.result, 0) << c.name << ": cancelled";
        EXPECT_EQ(selectedRows, c.commandId == IDC_ADDALL ? 2u : 0u) << c.name << ": the rows moved";
    }
}

TEST(MissingControls, TheRefreshGoesOnWithoutTheDirectoryBox)
{
    fixtures::last_file_key::Remove();
    fixtures::TempFolder folder;
    folder.Write("first.kvd", browser_host::KvdText({ BrowserObject("First") }));
    folder.Write("second.kvd", browser_host::KvdText({ BrowserObject("Second") }));
    std::string root;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        DestroyWindow(d.Item(IDC_DIRECTORY));
        EXPECT_TRUE(d.Combo(IDC_FILE_COMBO).Pick("second.kvd"));
        dialog_driver::TreeView tree = d.Tree(IDC_TREE);
        root = tree.Text(tree.Root());
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), "first.kvd");
    EXPECT_EQ(root.rfind("Second - Smith", 0), 0u) << root;
    fixtures::last_file_key::Remove();
}

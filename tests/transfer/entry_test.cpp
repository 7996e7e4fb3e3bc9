// KivImpExpDialog's contract with hosts that pass unusual arguments: long names,
// missing pointers, NULL texts, negative counts.
#include <gtest/gtest.h>

#include <algorithm>

#include <derar.h>

#include <cstring>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using namespace transfer_host;  // the host side of every test here

namespace {

class Entry : public ::testing::Test {
protected:
    std::string WriteFile(const std::vector<FileObject>& objects)
    {
        folder.Write("entry.kvd", transfer_host::KvdText(objects));
        return "entry.kvd";
    }
    fixtures::TempFolder folder;
};

TEST_F(Entry, NamesLongerThan255CharactersComeBackCutWithinTheBuffer)
{
    const std::string longName(300, 'L');
    WriteFile({ { longName, "jdoe", "1", "W-17", "2000-12-05 14:07" } });
    // A host may hand in a longer text than 256 bytes; the name that comes back
    // fills 256 bytes at most, and what lies beyond them stays as it was.
    std::vector<char> memory(320, '#');
    std::memcpy(memory.data(), longName.c_str(), longName.size() + 1);
    const std::vector<char> before = memory;
    char* names[1] = { memory.data() };
    int count = 1;
    std::string listed;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        listed = d.List(IDC_AVAILABLE_LIST).Cell(0, 0);
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    int result = 0;
    user.Run([&] {
        result = KivImpExpDialog(kExport, folder.Path().c_str(), "entry.kvd", "jdoe", "W-17", names, &count);
    });
    EXPECT_EQ(listed, longName) << "the dialog shows the whole name";
    EXPECT_EQ(result, 1);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(std::string(memory.data()), longName.substr(0, 255));
    EXPECT_TRUE(std::equal(memory.begin() + 256, memory.end(), before.begin() + 256)) << "written past 256 bytes";
}

TEST_F(Entry, MissingCountOrNamesReturnZeroAtOnceAndWriteNothing)
{
    WriteFile({ { "Gamma", "jdoe", "1", "W-17", "2000-12-05 14:07" } });
    char buffer[256] = "Gamma";
    char* names[1] = { buffer };
    {
        SCOPED_TRACE("count NULL");
        ScriptedUser user;
        int result = -1;
        user.Run([&] { result = KivImpExpDialog(kImport, folder.Path().c_str(), "entry.kvd", "", "", names, nullptr); });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(user.Windows().empty());
        EXPECT_STREQ(buffer, "Gamma");
    }
    {
        SCOPED_TRACE("names NULL with a positive count");
        ScriptedUser user;
        int count = 2;
        int result = -1;
        user.Run([&] { result = KivImpExpDialog(kImport, folder.Path().c_str(), "entry.kvd", "", "", nullptr, &count); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(count, 2) << "nothing written";
        EXPECT_TRUE(user.Windows().empty());
    }
}

TEST_F(Entry, NoOrNegativeCountMeansNoCandidates)
{
    WriteFile({ { "Gamma", "jdoe", "1", "W-17", "2000-12-05 14:07" } });
    for (int given : { 0, -1, -100 }) {
        SCOPED_TRACE(given);
        char buffer[256] = "Gamma";
        char* names[1] = { buffer };
        int count = given;
        ScriptedUser user;
        int result = -1;
        user.Run([&] {
            result = KivImpExpDialog(kExport, folder.Path().c_str(), "entry.kvd", "", "", given == 0 ? nullptr : names,
                                     &count);
        });
        EXPECT_EQ(result, 1) << "nothing available: the dialog ends at once";
        EXPECT_EQ(count, 0);
        EXPECT_STREQ(buffer, "Gamma");
        EXPECT_TRUE(user.ShownWindows().empty());
    }
}

TEST_F(Entry, NullTextsCountAsEmpty)
{
    WriteFile({ { "Gamma", "", "1", "", "2000-12-05 14:07" }, { "Beta", "", "1", "", "2000-12-05 14:07" } });
    const std::string path = folder.Path() + "entry.kvd";
    char first[256] = "Gamma";
    char second[256] = "Beta";
    char* names[2] = { first, second };
    int count = 2;
    std::vector<std::string> shown;
    ScriptedUser user;
    // A NULL directory leaves the file name as the whole path; NULL author and well
    // equal the rows' empty texts, so no warning comes.
    user.When("Kiv Export", [&](Dialog& d) {
        shown = d.List(IDC_AVAILABLE_LIST).Column(0);
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    int result = -1;
    user.Run([&] { result = KivImpExpDialog(kExport, nullptr, path.c_str(), nullptr, nullptr, names, &count); });
    EXPECT_EQ(shown, (std::vector<std::string>{ "Beta", "Gamma" }));
    EXPECT_EQ(result, 1);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(first, "Beta");
    EXPECT_STREQ(second, "Gamma");

    // A NULL file name with a NULL directory names no file: nothing is available.
    count = 2;
    ScriptedUser nobody;
    nobody.Run([&] { result = KivImpExpDialog(kImport, nullptr, nullptr, nullptr, nullptr, names, &count); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(count, 0);
}

}  // namespace

// A host whose manifest sets the active code page to UTF-8 (the guide's activeCodePage setting): every
// text reaches it whole through the ANSI calls, Cyrillic and CJK included, from the
// write calls through the file to the read calls and the transfer dialog and back.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include <kivapi.h>

#include "derar.h"
#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"

namespace {

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

// Скважина 7, Иванова and 井深 (well depth): in UTF-8, as this host holds them.
const std::string kName = "\xD0\xA1\xD0\xBA\xD0\xB2\xD0\xB0\xD0\xB6\xD0\xB8\xD0\xBD\xD0\xB0 7";
const std::string kAuthor = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xB0";
const std::string kValueName = "\xE4\xBA\x95\xE6\xB7\xB1";

class Utf8CodePage : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's activeCodePage UTF-8 did not take";
        m_path = m_folder.File("wells.kvd");
        char* message = nullptr;
        ASSERT_TRUE(KivAttach(&message));
        ASSERT_TRUE(KivBeginWrite(m_path.c_str(), &message, KIV_WRITE_REPLACE)) << message;
        ASSERT_TRUE(KivPutObject(kName.c_str(), kAuthor.c_str(), "1", "W-1", "2001-02-03 04:05", &message))
            << message;
        ASSERT_TRUE(KivPutValue("G", "", 1, kValueName.c_str(), kAuthor.c_str(), "m", "", &message)) << message;
        ASSERT_TRUE(KivCommitWrite(&message)) << message;
        KivDetach();
    }

    fixtures::TempFolder m_folder;
    std::string m_path;
};

TEST_F(Utf8CodePage, TheFileAndTheReadCallsHoldEveryCharacter)
{
    const std::string bytes = fixtures::ReadFile(m_path);
    EXPECT_NE(bytes.find("object \"" + kName + "\" " + kAuthor + " "), std::string::npos) << bytes;
    char* message = nullptr;
    ASSERT_TRUE(KivAttach(&message));
    ASSERT_TRUE(KivOpen(m_path.c_str(), &message, 0)) << message;
    char *name, *author, *version, *wellId, *date;
    ASSERT_TRUE(KivGetNextObject(&name, &author, &version, &wellId, &date));
    EXPECT_EQ(name, kName);
    EXPECT_EQ(author, kAuthor);
    char *group, *valueName, *extra, *suffix, *text, *parent;
    int record = 0;
    ASSERT_TRUE(KivGetNextValue(&group, &valueName, &extra, &suffix, &text, &parent, &record));
    EXPECT_EQ(valueName, kValueName);
    EXPECT_EQ(text, kAuthor);
    KivDetach();
}

TEST_F(Utf8CodePage, TheTransferDialogShowsAndReturnsTheName)
{
    std::vector<std::string> shown;
    ScriptedUser user;
    user.When("Kiv Import", [&](Dialog& dialog) {
        auto available = dialog.List(IDC_AVAILABLE_LIST);
        shown = available.Row(0).cells;
        available.SelectOnly({0});
        dialog.Click(IDC_ADD);
        dialog.Click(IDOK);
    });
    user.When("Warning", [](Dialog& warning) { warning.Click(IDYES); });
    std::string buffer = kName;
    buffer.resize(256);
    char* names[1] = {&buffer[0]};
    int count = 1, result = -1;
    user.Run([&] { result = KivImpExpDialog(1, m_folder.Path().c_str(), "wells.kvd", "", "", names, &count); });
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0], kName);
    EXPECT_EQ(shown[1], kAuthor);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(std::string(names[0]), kName);
}

}  // namespace

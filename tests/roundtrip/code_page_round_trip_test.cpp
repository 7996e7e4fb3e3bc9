// Names such as "Brønn 7/11-A" go from a host in the Western code page through the
// write calls into a UTF-8 file, and come back unchanged through the transfer
// dialog (which matches them with the host's candidates), the browser and the read
// calls. A name that the code page cannot show arrives with '?' and fails nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
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

// In the code page 1252, as the host holds them.
const std::string kBronn = "Br\xF8nn 7/11-A";
const std::string kGrosse = "Gr\xF6\xDF" "e";
const std::string kSkvazina = "Skva\x9Eina";
const std::string kAuthor = "\xD8" "deg\xE5rd";
// The same in UTF-8, as the file holds them.
const std::string kBronnUtf8 = "Br\xC3\xB8nn 7/11-A";
const std::string kSkvazinaUtf8 = "Skva\xC5\xBEina";
// Скважина: no letter of it is in the code page 1252.
const std::string kCyrillicUtf8 = "\xD0\xA1\xD0\xBA\xD0\xB2\xD0\xB0\xD0\xB6\xD0\xB8\xD0\xBD\xD0\xB0";

class CodePageRoundTrip : public testing::Test {
protected:
    void SetUp() override
    {
        if (GetACP() != 1252)
            GTEST_SKIP() << "this test assumes the ANSI code page 1252; the process has " << GetACP();
        // A file that another program wrote in UTF-8, with a Cyrillic object.
        m_path = m_folder.Write("wells.kvd", "KVD 1\nobject " + kCyrillicUtf8 +
                                                 " Ivanova 1 W-1 \"2001-02-03 04:05\"\nvalue G \"\" 1 N 1\nend\n");
    }

    // The host writes its three objects in update mode.
    void HostWrites()
    {
        char* message = nullptr;
        ASSERT_TRUE(KivAttach(&message));
        ASSERT_TRUE(KivBeginWrite(m_path.c_str(), &message, KIV_WRITE_UPDATE)) << message;
        for (const std::string& name : {kBronn, kGrosse, kSkvazina}) {
            ASSERT_TRUE(KivPutObject(name.c_str(), kAuthor.c_str(), "1", kSkvazina.c_str(), "2026-12-08 18:00",
                                     &message))
                << message;
            ASSERT_TRUE(KivPutValue(kGrosse.c_str(), "", 1, kGrosse.c_str(), kBronn.c_str(), "m", "", &message))
                << message;
        }
        ASSERT_TRUE(KivCommitWrite(&message)) << message;
        KivDetach();
    }

    fixtures::TempFolder m_folder;
    std::string m_path;
};

TEST_F(CodePageRoundTrip, TheFileHoldsUtf8)
{
    HostWrites();
    const std::string bytes = fixtures::ReadFile(m_path);
    EXPECT_NE(bytes.find("object \"" + kBronnUtf8 + "\""), std::string::npos) << bytes;
    EXPECT_NE(bytes.find(kSkvazinaUtf8), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("object " + kCyrillicUtf8), std::string::npos) << "the other program's object is kept";
    EXPECT_EQ(bytes.find(kBronn), std::string::npos) << "a byte of the code page reached the file";
}

TEST_F(CodePageRoundTrip, TheTransferDialogMatchesTheHostsNames)
{
    HostWrites();
    std::vector<std::string> offered;
    ScriptedUser user;
    user.When("Kiv Import", [&](Dialog& dialog) {
        offered = dialog.List(IDC_AVAILABLE_LIST).Column(0);
        dialog.Click(IDCANCEL);
    });
    std::vector<std::string> candidates = {kBronn, kGrosse, kSkvazina, "Skvazina"};
    std::vector<char*> names;
    for (std::string& name : candidates) {
        name.resize(256);
        names.push_back(&name[0]);
    }
    int count = static_cast<int>(names.size());
    user.Run([&] { KivImpExpDialog(1, m_folder.Path().c_str(), "wells.kvd", "", "", names.data(), &count); });
    std::sort(offered.begin(), offered.end());
    std::vector<std::string> expected = {kBronn, kGrosse, kSkvazina};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(offered, expected) << "the names as the host wrote them, and no look-alike";
}

TEST_F(CodePageRoundTrip, TheBrowserShowsTheNamesAndQuestionMarksForWhatTheCodePageLacks)
{
    HostWrites();
    std::vector<std::string> objects;
    std::vector<std::string> values;
    ScriptedUser user;
    user.When("Browse Kiv File", [&](Dialog& dialog) {
        for (const dialog_driver::TreeItem& item : dialog.Tree(IDC_TREE).Items()) {
            if (item.depth == 0) objects.push_back(item.text);
            if (item.depth == 3) values.push_back(item.text);
        }
        dialog.Click(IDOK);
    });
    user.Run([&] { KivBrowseDialog(m_folder.Path().c_str(), "wells.kvd"); });
    EXPECT_TRUE(user.MessageBoxTexts().empty()) << "nothing fails";
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(objects[0].substr(0, 16), "???????? - Ivano") << objects[0];
    EXPECT_EQ(objects[1].substr(0, kBronn.size() + 3 + kAuthor.size() + 7 + kSkvazina.size()),
              kBronn + " - " + kAuthor + " - 1 - " + kSkvazina);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[1], kGrosse + ": " + kBronn + " [m]");
}

TEST_F(CodePageRoundTrip, TheReadCallsGiveBackWhatWasPut)
{
    HostWrites();
    char* message = nullptr;
    ASSERT_TRUE(KivAttach(&message));
    ASSERT_TRUE(KivOpen(m_path.c_str(), &message, 0)) << message;
    std::vector<std::string> names;
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        names.push_back(name);
        if (names.size() > 1) {
            EXPECT_EQ(author, kAuthor);
            EXPECT_EQ(wellId, kSkvazina);
        }
    }
    KivDetach();
    EXPECT_EQ(names, (std::vector<std::string>{"????????", kBronn, kGrosse, kSkvazina}));
}

}  // namespace

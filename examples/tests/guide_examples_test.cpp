// The guide's example hosts, run as a person uses them: the transfer dialog is
// played by a scripted user, then the example writes or reads through Kiv.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include <kivapi.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"

extern "C" {
int ExportObjects(HWND owner, const char* directory, const char* fileName, const char* author,
                  const char* wellId);
int ImportObjects(HWND owner, const char* directory, const char* fileName, const char* author,
                  const char* wellId);
}

namespace {

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

const char kFile[] =
    "KVD 1\n"
    "object Kept \"B. Okafor\" 1 NF-002 \"1991-11-08 07:15\"\n"
    "value Test \"\" 1 Rate 1200 m3/d\n"
    "object \"Deviation survey\" \"A. Rahman\" 3 NF-001 \"1987-03-14 09:30\"\n"
    "value Survey \"\" 1 Depth 1200 m\n"
    "value Survey \"\" 1 Angle 3.5 deg\n"
    "value Survey \"\" 2 Depth 1300 m\n"
    "value Point Survey 1 X 10\n"
    "value Survey \"\" 2 Angle 4.0 deg\n"
    "value Casing \"\" 1 Size 7 in\n"
    "object \"Also kept\" \"C. Lindqvist\" 2 NF-002 \"1992-01-01 00:00\"\n"
    "end\n";

struct ReadObject {
    std::string name, author, wellId;
    std::vector<std::string> values;  // "group/record/name=text suffix"
};

std::vector<ReadObject> ReadBack(const std::string& path)
{
    std::vector<ReadObject> objects;
    char* message = nullptr;
    KivAttach(&message);
    if (!KivOpen(path.c_str(), &message, 0)) {
        ADD_FAILURE() << "the file does not read back: " << message;
        KivDetach();
        return objects;
    }
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        ReadObject object{name, author, wellId, {}};
        char *group, *valueName, *extra, *suffix, *text, *parent;
        int record = 0;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &text, &parent, &record))
            object.values.push_back(std::string(group) + "/" + std::to_string(record) + "/" + valueName + "=" +
                                    text + " " + suffix);
        objects.push_back(object);
    }
    KivDetach();
    return objects;
}

// Moves the row of this name to the lower list and presses OK.
ScriptedUser::Action ChooseAndConfirm(const std::string& name)
{
    return [name](Dialog& dialog) {
        auto available = dialog.List(IDC_AVAILABLE_LIST);
        const int row = available.FindRow(name);
        ASSERT_GE(row, 0) << name << " is not offered";
        available.SelectOnly({row});
        dialog.Click(IDC_ADD);
        dialog.Click(IDOK);
    };
}

TEST(GuideExamples, TheWritingHostReplacesTheChosenObjectAndKeepsTheOthers)
{
    fixtures::TempFolder folder;
    const std::string path = folder.Write("wells.kvd", kFile);
    int written = -1;
    ScriptedUser user;
    user.When("Kiv Export", ChooseAndConfirm("Deviation survey"));
    // "Casing program" is new to the file: its "New" row draws the author warning.
    user.When("Warning", [](Dialog& warning) { warning.Click(IDYES); });
    user.Run([&] { written = ExportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
    ASSERT_EQ(written, 1);

    const std::vector<ReadObject> objects = ReadBack(path);
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(objects[0].name, "Kept");
    EXPECT_EQ(objects[0].values, std::vector<std::string>{"Test/1/Rate=1200 m3/d"});
    EXPECT_EQ(objects[1].name, "Deviation survey") << "the new object takes the old one's place";
    EXPECT_EQ(objects[1].values,
              (std::vector<std::string>{"Survey/1/MD=0 m", "Survey/1/Inclination=0.0 deg", "Survey/2/MD=500 m",
                                        "Survey/2/Inclination=2.5 deg", "Tool/1/Name=MWD "}));
    EXPECT_EQ(objects[2].name, "Also kept");
    EXPECT_EQ(objects[3].name, "Casing program") << "a name the file lacked comes at the end";
    EXPECT_EQ(objects[3].values, (std::vector<std::string>{"Casing/1/Size=13 3/8 in", "Casing/1/Shoe=480 m"}));
}

TEST(GuideExamples, TheWritingHostShowsTheLibrarysMessageAndLeavesAReadOnlyFileAlone)
{
    fixtures::TempFolder folder;
    const std::string path = folder.Write("wells.kvd", kFile);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    int written = -1;
    std::string message;
    ScriptedUser user;
    user.When("Kiv Export", ChooseAndConfirm("Deviation survey"));
    user.When("Warning", [](Dialog& warning) { warning.Click(IDYES); });
    user.When(dialog_driver::MessageBoxCaption("Export"), [&](Dialog& box) {
        message = box.MessageText();
        box.ClickButton("OK");
    });
    user.Run([&] { written = ExportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(written, 0);
    EXPECT_NE(message.find("wells.kvd"), std::string::npos) << message;
    EXPECT_EQ(fixtures::ReadFile(path), kFile);
}

TEST(GuideExamples, TheReadingHostReadsTheValuesOfTheChosenObjectOnly)
{
    fixtures::TempFolder folder;
    folder.Write("wells.kvd", kFile);
    int values = -1;
    ScriptedUser user;
    user.When("Kiv Import", ChooseAndConfirm("Deviation survey"));
    // On import every row draws the warning about the host's current data.
    user.When("Warning", [](Dialog& warning) { warning.Click(IDYES); });
    user.Run([&] { values = ImportObjects(nullptr, folder.Path().c_str(), "wells.kvd", "A. Rahman", "NF-001"); });
    EXPECT_EQ(values, 6);
}

}  // namespace

// The tree of one exchange file: labels, order and depths of objects, groups,
// records and values, read from real .kvd files through the real exchange library.
#include <gtest/gtest.h>

#include "browser_host.h"
#include "resource.h"
#include "test_fixtures.h"

using browser_host::FileObject;
using browser_host::FileValue;
using browser_host::View;

namespace {

const char kTuesday[] = "Tuesday, March 05, 2024  14:07";

FileObject Object(const std::string& name, std::vector<FileValue> values)
{
    return FileObject{ name, "Smith", "1.0", "W-17", "2024-03-05 14:07", std::move(values) };
}

std::string ObjectLabel(const std::string& name)
{
    return name + " - Smith - 1.0 - W-17 - " + kTuesday;
}

class Tree : public ::testing::Test {
protected:
    void SetUp() override { fixtures::last_file_key::Remove(); }
    void TearDown() override { fixtures::last_file_key::Remove(); }

    View Show(const std::vector<FileObject>& objects)
    {
        folder.Write("wells.kvd", browser_host::KvdText(objects));
        return browser_host::OpenAndLook(folder.Path(), "wells.kvd");
    }

    fixtures::TempFolder folder;
};

// The walk's worked example: one object whose values enter a group, start a second
// record, nest a group, return to the enclosing group, and open a second top-level group.
TEST_F(Tree, WorkedExampleItemByItem)
{
    View view = Show({ Object("Well A", {
        { "Survey", "", 1, "Depth", "1200", "m" },
        { "Survey", "", 1, "Angle", "3.5", "deg" },
        { "Survey", "", 2, "Depth", "1300", "m" },
        { "Point", "Survey", 1, "X", "10", "" },
        { "Survey", "", 2, "Angle", "4.0", "deg" },
        { "Casing", "", 1, "Size", "7", "in" },
    }) });

    EXPECT_EQ(view.tree, ObjectLabel("Well A") + "\n"
                         "  Survey\n"
                         "    1\n"
                         "      Depth: 1200 [m]\n"
                         "      Angle: 3.5 [deg]\n"
                         "    2\n"
                         "      Depth: 1300 [m]\n"
                         "      Point\n"
                         "        1\n"
                         "          X: 10 \n"
                         "    2\n"
                         "      Angle: 4.0 [deg]\n"
                         "  Casing\n"
                         "    1\n"
                         "      Size: 7 [in]\n");
    // The opening view: the object open one level, its groups closed, the tree focused.
    EXPECT_EQ(view.openTree, "- " + ObjectLabel("Well A") + "\n  + Survey\n  + Casing\n");
    EXPECT_TRUE(view.treeHasFocus);
    EXPECT_EQ(view.directory, folder.Path());
    EXPECT_EQ(view.files, std::vector<std::string>{ "wells.kvd" });
    EXPECT_EQ(view.selectedFile, "wells.kvd");
}

struct WalkCase {
    const char* name;
    std::vector<FileObject> objects;
    std::string tree;
};

class Walk : public Tree, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(Walk, ShowsTheDocumentedTree)
{
    EXPECT_EQ(Show(GetParam().objects).tree, GetParam().tree) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Consequences, Walk, ::testing::Values(
    // The value that opened a record, again with the same record number: a second record item "1".
    WalkCase{ "RecordNumberOnlyLabels", { Object("O", {
        { "G", "", 1, "a", "1", "" },
        { "G", "", 1, "b", "2", "" },
        { "G", "", 1, "a", "3", "" },
        { "G", "", 7, "b", "4", "" },
    }) }, ObjectLabel("O") + "\n  G\n    1\n      a: 1 \n      b: 2 \n    1\n      a: 3 \n      b: 4 \n" },
    // A top-level group left for another and met again gets a second group item.
    WalkCase{ "GroupLeftAndMetAgain", { Object("O", {
        { "A", "", 1, "x", "1", "" },
        { "B", "", 1, "y", "2", "" },
        { "A", "", 2, "x", "3", "" },
    }) }, ObjectLabel("O") + "\n  A\n    1\n      x: 1 \n  B\n    1\n      y: 2 \n  A\n    2\n      x: 3 \n" },
    // Each object walks from an empty group path: the same names give new items.
    WalkCase{ "TwoObjectsSameGroups", {
        Object("First", { { "G", "", 1, "v", "1", "" }, { "H", "G", 1, "w", "2", "" } }),
        Object("Second", { { "G", "", 1, "v", "3", "" }, { "H", "G", 1, "w", "4", "" } }),
    }, ObjectLabel("First") + "\n  G\n    1\n      v: 1 \n      H\n        1\n          w: 2 \n"
       + ObjectLabel("Second") + "\n  G\n    1\n      v: 3 \n      H\n        1\n          w: 4 \n" },
    // Two levels down and back to the top: the return opens a record under the top group.
    WalkCase{ "ReturnOverTwoLevels", { Object("O", {
        { "A", "", 1, "a", "1", "" },
        { "B", "A", 1, "b", "2", "" },
        { "C", "B", 1, "c", "3", "" },
        { "A", "", 1, "d", "4", "" },
        { "B", "A", 2, "b", "5", "" },
    }) }, ObjectLabel("O") + "\n  A\n    1\n      a: 1 \n      B\n        1\n          b: 2 \n"
          "          C\n            1\n              c: 3 \n    1\n      d: 4 \n      B\n        2\n"
          "          b: 5 \n" },
    // Siblings nested in one record: leaving C for D climbs to B's record.
    WalkCase{ "NestedSiblings", { Object("O", {
        { "A", "", 1, "a", "1", "" },
        { "C", "A", 1, "c", "2", "" },
        { "D", "A", 1, "d", "3", "" },
    }) }, ObjectLabel("O") + "\n  A\n    1\n      a: 1 \n      C\n        1\n          c: 2 \n"
          "      D\n        1\n          d: 3 \n" },
    // A group naming a group on the path as its parent is not nested again: back to A.
    WalkCase{ "LoopBackToEnclosingGroup", { Object("O", {
        { "A", "", 1, "a", "1", "" },
        { "B", "A", 1, "b", "2", "" },
        { "A", "B", 1, "c", "3", "" },
    }) }, ObjectLabel("O") + "\n  A\n    1\n      a: 1 \n      B\n        1\n          b: 2 \n"
          "    1\n      c: 3 \n" },
    WalkCase{ "GroupNamingItselfAsParent", { Object("O", {
        { "A", "", 1, "a", "1", "" },
        { "A", "A", 1, "x", "2", "" },
    }) }, ObjectLabel("O") + "\n  A\n    1\n      a: 1 \n      x: 2 \n" },
    // Labels: a suffix in brackets, none without one, and two blanks for an empty value.
    WalkCase{ "ValueLabels", { Object("O", {
        { "G", "", 1, "Depth", "1200", "m" },
        { "G", "", 1, "Note", "deep well", "" },
        { "G", "", 1, "Empty", "", "" },
        { "G", "", 1, "Unit", "", "ft" },
    }) }, ObjectLabel("O") + "\n  G\n    1\n      Depth: 1200 [m]\n      Note: deep well \n"
          "      Empty:  \n      Unit:  [ft]\n" },
    // Record numbers are signed decimal; an object without values has no children.
    WalkCase{ "RecordNumbersAndBareObjects", {
        Object("Bare", {}),
        Object("O", { { "G", "", -3, "a", "1", "" }, { "G", "", 0, "a", "2", "" } }),
    }, ObjectLabel("Bare") + "\n" + ObjectLabel("O") + "\n  G\n    -3\n      a: 1 \n    0\n      a: 2 \n" }
), [](const ::testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST_F(Tree, ObjectLabelJoinsFieldsWellIdBeforeDate)
{
    FileObject object{ "Name", "Author", "V2", "Well 9", "1999-12-31 23:59", {} };
    View view = Show({ object });
    EXPECT_EQ(view.tree, "Name - Author - V2 - Well 9 - Friday, December 31, 1999  23:59\n");
}

// Dates the file may hold but a local time cannot: the object shows without its date.
TEST_F(Tree, DateBeforeTheCalendarOfLocalTimeShowsEmpty)
{
    FileObject object{ "Old", "Monk", "1", "W-1", "1500-06-30 12:00", {} };
    EXPECT_EQ(Show({ object }).tree, "Old - Monk - 1 - W-1 - \n");
}

TEST_F(Tree, EveryObjectOpensOneLevelAndNothingDeeper)
{
    View view = Show({
        Object("One", { { "A", "", 1, "a", "1", "" }, { "B", "A", 1, "b", "2", "" } }),
        Object("Two", { { "C", "", 1, "c", "3", "" } }),
        Object("Three", {}),
    });
    EXPECT_EQ(view.openTree, "- " + ObjectLabel("One") + "\n  + A\n- " + ObjectLabel("Two")
                             + "\n  + C\n  " + ObjectLabel("Three") + "\n");
    EXPECT_TRUE(view.treeHasFocus);
}

TEST_F(Tree, FileWithoutObjectsLeavesAnEmptyFocusedTreeAndStillRefreshes)
{
    View view = Show({});
    EXPECT_EQ(view.tree, "");
    EXPECT_TRUE(view.treeHasFocus);
    EXPECT_EQ(view.directory, folder.Path());
    EXPECT_EQ(view.selectedFile, "wells.kvd");
    EXPECT_EQ(fixtures::last_file_key::GetText("FileName"), std::optional<std::string>("wells.kvd"));
}

}  // namespace

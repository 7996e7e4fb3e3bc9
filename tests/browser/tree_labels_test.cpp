// The labels of the browser's model of the tree on their own: what Find finds from where, whether it went
// round, and what Copy with everything under an item gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TreeModel.h"

namespace {

// "depth label" lines in display order with every branch open.
CTreeModel Labels(const std::vector<std::pair<int, std::string>>& items)
{
    CTreeModel labels;
    for (const auto& item : items)
        labels.Add(item.second.c_str(), item.first);
    return labels;
}

// 0 Alpha / 1 Survey / 2 1 / 3 Depth: 1200 [m] / 3 Angle: 3.5 [deg] / 0 Beta / 1 Casing /
// 2 1 / 3 Note: depth marker / 3 Size: 7_in / 0 Gamma / 1 Survey / 2 1 / 3 Depth: 1300 [m] /
// 3 Temperature (e acute, code page 1252) / 3 DEPTHS
const std::vector<std::pair<int, std::string>> kItems = {
    { 0, "Alpha" },  { 1, "Survey" }, { 2, "1" }, { 3, "Depth: 1200 [m]" },     { 3, "Angle: 3.5 [deg]" },
    { 0, "Beta" },   { 1, "Casing" }, { 2, "1" }, { 3, "Note: depth marker " }, { 3, "Size: 7_in" },
    { 0, "Gamma" },  { 1, "Survey" }, { 2, "1" }, { 3, "Depth: 1300 [m]" },     { 3, "Temp\xe9rature: 18 " },
    { 3, "DEPTHS" },
};

struct FindCase {
    const char* name;
    const char* text;
    bool matchCase, wholeWord;
    int from;
    bool down;
    int found;  // -1: none
    bool wrapped;
};

const FindCase kFindCases[] = {
    { "from nothing selected, down from the first item", "depth", false, false, -1, true, 3, false },
    { "from nothing selected, up from the last item", "depth", false, false, -1, false, 15, false },
    { "the next match after the one selected", "depth", false, false, 3, true, 8, false },
    { "a match in the item itself is not the next one", "depth", false, false, 8, true, 13, false },
    { "the last match goes round to the first", "depth", false, false, 15, true, 3, true },
    { "up from the first match goes round to the last", "depth", false, false, 3, false, 15, true },
    { "the only match, selected, is found again after going round", "Angle", false, false, 4, true, 4, true },
    { "up: the nearest match above", "depth", false, false, 13, false, 8, false },
    { "case ignored", "DEPTH", false, false, 0, true, 3, false },
    { "case matched", "depth", true, false, 0, true, 8, false },
    { "case matched, upper case", "DEPTH", true, false, 0, true, 15, false },
    { "whole word: a part of a word is no match", "dept", false, true, -1, true, -1, false },
    { "whole word: DEPTHS is not the word depth", "depth", false, true, 13, true, 3, true },
    { "whole word: the underscore joins a word", "7", false, true, -1, true, -1, false },
    { "whole word: brackets and blanks end a word", "m", false, true, -1, true, 3, false },
    { "a text across two labels is in neither", "Alpha\nSurvey", false, false, -1, true, -1, false },
    { "letters beyond ASCII fold in the code page", "TEMP\xc9RATURE", false, false, -1, true, 14, false },
    { "letters beyond ASCII match their case", "TEMP\xc9RATURE", true, false, -1, true, -1, false },
    { "a label whole", "Gamma", false, true, -1, true, 10, false },
    { "not there", "Casing2", false, false, 2, true, -1, false },
    { "an empty text finds nothing", "", false, false, -1, true, -1, false },
    { "from past the end, as from nothing", "Alpha", false, false, 99, true, 0, false },
};

class Find : public ::testing::TestWithParam<FindCase> {};

TEST_P(Find, FromWhereItStarts)
{
    const FindCase& c = GetParam();
    CTreeModel labels = Labels(kItems);
    bool wrapped = !c.wrapped;
    EXPECT_EQ(labels.Find(c.text, c.matchCase, c.wholeWord, c.from, c.down, &wrapped), c.found) << c.name;
    EXPECT_EQ(wrapped, c.wrapped) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Find, ::testing::ValuesIn(kFindCases));

TEST(TreeModelLabels, EachSearchUsesItsOwnOptionsAfterAnother)
{
    // The folded copy and the exact one are both kept: the order of searches does not matter.
    CTreeModel labels = Labels(kItems);
    EXPECT_EQ(labels.Find("DEPTH", false, false, -1, true, nullptr), 3);
    EXPECT_EQ(labels.Find("DEPTH", true, false, -1, true, nullptr), 15);
    EXPECT_EQ(labels.Find("DEPTH", false, false, -1, true, nullptr), 3);
    // A new label after a search is searched too.
    labels.Add("Zeta depth", 0);
    EXPECT_EQ(labels.Find("zeta", false, false, -1, true, nullptr), 16);
}

TEST(TreeModelLabels, ParentsSubtreesAndBranchText)
{
    CTreeModel labels = Labels(kItems);
    EXPECT_EQ(labels.GetParent(0), -1);
    EXPECT_EQ(labels.GetParent(4), 2);
    EXPECT_EQ(labels.GetParent(6), 5);
    EXPECT_EQ(labels.GetSubtreeEnd(5), 10);
    EXPECT_EQ(labels.GetSubtreeEnd(15), 16);
    EXPECT_TRUE(labels.HasChildren(6));
    EXPECT_FALSE(labels.HasChildren(9));
    EXPECT_TRUE(labels.HasGrandchildren(6));
    EXPECT_FALSE(labels.HasGrandchildren(7)) << "a record whose children are all values";
    EXPECT_EQ(std::string(labels.GetLabel(8)), "Note: depth marker ");
    EXPECT_EQ(std::string(labels.GetBranchText(6)), "Casing\r\n\t1\r\n\t\tNote: depth marker \r\n\t\tSize: 7_in\r\n");
    EXPECT_EQ(std::string(labels.GetBranchText(9)), "Size: 7_in\r\n");
    // A depth that skips levels is taken as one below the last item.
    CTreeModel skipped = Labels({ { 0, "a" }, { 3, "b" }, { 5, "c" } });
    EXPECT_EQ(skipped.GetDepth(1), 1);
    EXPECT_EQ(skipped.GetDepth(2), 2);
    EXPECT_EQ(std::string(skipped.GetBranchText(0)), "a\r\n\tb\r\n\t\tc\r\n");
}

TEST(TreeModelLabels, EmptyAndCleared)
{
    CTreeModel labels;
    EXPECT_EQ(labels.Find("a", false, false, -1, true, nullptr), -1);
    labels = Labels(kItems);
    labels.Clear();
    EXPECT_EQ(labels.GetCount(), 0);
    EXPECT_EQ(labels.Find("Alpha", false, false, -1, true, nullptr), -1);
}

}  // namespace

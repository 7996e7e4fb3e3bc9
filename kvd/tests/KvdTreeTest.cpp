// The browser's tree drawn without a window: the walk's items and the labels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KvdTree.h"

namespace {

struct Item {
    int depth;
    std::string label;
    bool operator==(const Item& other) const { return depth == other.depth && label == other.label; }
};

std::ostream& operator<<(std::ostream& out, const Item& item)
{
    return out << item.depth << " \"" << item.label << "\"";
}

// The items one object's values add, in insertion order.
std::vector<Item> Walk(const std::vector<KvdTreeValue>& values)
{
    std::vector<Item> items;
    KvdTreeWalk walk;
    walk.BeginObject();
    for (const KvdTreeValue& value : values)
        walk.AddValue(value, [&](int depth, const std::string& label) { items.push_back({depth, label}); });
    return items;
}

struct WalkCase {
    const char* name;
    std::vector<KvdTreeValue> values;  // group, parent, name, text, suffix, record
    std::vector<Item> items;
};

TEST(KvdTreeWalk, PlacesEveryValueAsTheBrowserDoes)
{
    const WalkCase cases[] = {
        {"the worked example: a second record, a nested group, the return, a new group",
         {{"Survey", "", "Depth", "1200", "m", 1},
          {"Survey", "", "Angle", "3.5", "deg", 1},
          {"Survey", "", "Depth", "1300", "m", 2},
          {"Point", "Survey", "X", "10", "", 1},
          {"Survey", "", "Angle", "4.0", "deg", 2},
          {"Casing", "", "Size", "7", "in", 1}},
         {{1, "Survey"}, {2, "1"}, {3, "Depth: 1200 [m]"}, {3, "Angle: 3.5 [deg]"},
          {2, "2"}, {3, "Depth: 1300 [m]"},
          {3, "Point"}, {4, "1"}, {5, "X: 10 "},
          {2, "2"}, {3, "Angle: 4.0 [deg]"},
          {1, "Casing"}, {2, "1"}, {3, "Size: 7 [in]"}}},
        {"a change of the record number alone opens no record",
         {{"G", "", "A", "1", "", 1}, {"G", "", "B", "2", "", 2}},
         {{1, "G"}, {2, "1"}, {3, "A: 1 "}, {3, "B: 2 "}}},
        {"the first value name again with the same number opens a second record",
         {{"G", "", "A", "1", "", 7}, {"G", "", "A", "2", "", 7}},
         {{1, "G"}, {2, "7"}, {3, "A: 1 "}, {2, "7"}, {3, "A: 2 "}}},
        {"a group naming itself as its parent is not nested again",
         {{"G", "", "A", "1", "", 1}, {"G", "G", "B", "2", "", 1}},
         {{1, "G"}, {2, "1"}, {3, "A: 1 "}, {3, "B: 2 "}}},
        {"a group on the path under another parent goes back to it",
         {{"G", "", "A", "1", "", 1}, {"H", "G", "B", "2", "", 1}, {"G", "H", "C", "3", "", 2}},
         {{1, "G"}, {2, "1"}, {3, "A: 1 "}, {3, "H"}, {4, "1"}, {5, "B: 2 "}, {2, "2"}, {3, "C: 3 "}}},
        {"a top-level group left and met again gets a second group item",
         {{"G", "", "A", "1", "", 1}, {"H", "", "B", "2", "", 1}, {"G", "", "A", "3", "", 1}},
         {{1, "G"}, {2, "1"}, {3, "A: 1 "}, {1, "H"}, {2, "1"}, {3, "B: 2 "},
          {1, "G"}, {2, "1"}, {3, "A: 3 "}}},
        {"three levels deep, then back to the middle and to the top",
         {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "2", "", 1}, {"C", "B", "c", "3", "", 1},
          {"B", "A", "b", "4", "", 2}, {"A", "", "a", "5", "", 2}},
         {{1, "A"}, {2, "1"}, {3, "a: 1 "}, {3, "B"}, {4, "1"}, {5, "b: 2 "}, {5, "C"}, {6, "1"},
          {7, "c: 3 "}, {4, "2"}, {5, "b: 4 "}, {2, "2"}, {3, "a: 5 "}}},
        {"a sibling nested group leaves the first one's record",
         {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "2", "", 1}, {"C", "A", "c", "3", "", 1}},
         {{1, "A"}, {2, "1"}, {3, "a: 1 "}, {3, "B"}, {4, "1"}, {5, "b: 2 "}, {3, "C"}, {4, "1"},
          {5, "c: 3 "}}},
        {"an empty value and suffix keep both blanks; negative records in decimal",
         {{"G", "", "N", "", "", -4}},
         {{1, "G"}, {2, "-4"}, {3, "N:  "}}},
        {"names compare with letter case",
         {{"G", "", "A", "1", "", 1}, {"g", "", "a", "2", "", 1}},
         {{1, "G"}, {2, "1"}, {3, "A: 1 "}, {1, "g"}, {2, "1"}, {3, "a: 2 "}}},
        {"a first value naming a parent it cannot be placed under opens a top-level group",
         {{"G", "P", "A", "1", "", 1}, {"H", "Q", "B", "2", "", 1}},
         {{1, "G"}, {2, "1"}, {3, "A: 1 "}, {1, "H"}, {2, "1"}, {3, "B: 2 "}}},
    };
    for (const WalkCase& c : cases)
        EXPECT_EQ(Walk(c.values), c.items) << c.name;
}

TEST(KvdTreeWalk, EachObjectStartsWithAnEmptyPath)
{
    std::vector<Item> items;
    auto sink = [&](int depth, const std::string& label) { items.push_back({depth, label}); };
    KvdTreeWalk walk;
    walk.BeginObject();
    walk.AddValue({"G", "", "A", "1", "", 1}, sink);
    walk.AddValue({"H", "G", "B", "2", "", 1}, sink);
    walk.BeginObject();
    walk.AddValue({"H", "", "A", "3", "", 1}, sink);
    walk.AddValue({"H", "", "A", "4", "", 1}, sink);
    const std::vector<Item> second(items.begin() + 6, items.end());
    EXPECT_EQ(second, (std::vector<Item>{{1, "H"}, {2, "1"}, {3, "A: 3 "}, {2, "1"}, {3, "A: 4 "}}));
}

TEST(KvdTreeLabels, ObjectValueAndRecord)
{
    EXPECT_EQ(KvdObjectLabel("Deviation survey", "A. Rahman", "3", "NF-001",
                             "Saturday, March 14, 1987  09:30"),
              "Deviation survey - A. Rahman - 3 - NF-001 - Saturday, March 14, 1987  09:30");
    EXPECT_EQ(KvdObjectLabel("N", "", "", "", ""), "N -  -  -  - ");
    EXPECT_EQ(KvdValueLabel("Depth", "1200", "m"), "Depth: 1200 [m]");
    EXPECT_EQ(KvdRecordLabel(-2147483647 - 1), "-2147483648");
}

TEST(KvdDisplayDate, ShowsValidTimesAndNothingElse)
{
    struct Case {
        int year, month, day, hour, minute;
        const char* shown;
    } cases[] = {
        {1987, 3, 14, 9, 30, "Saturday, March 14, 1987  09:30"},
        {2000, 12, 5, 14, 7, "Tuesday, December 05, 2000  14:07"},
        {2000, 2, 29, 0, 0, "Tuesday, February 29, 2000  00:00"},
        {1601, 1, 1, 0, 0, "Monday, January 01, 1601  00:00"},
        {9999, 12, 31, 23, 59, "Friday, December 31, 9999  23:59"},
        {1957, 6, 30, 14, 5, "Sunday, June 30, 1957  14:05"},
        {1900, 2, 29, 0, 0, ""},   // not a leap year
        {2023, 4, 31, 0, 0, ""},
        {1600, 12, 31, 0, 0, ""},  // before the browser's first year
        {2023, 13, 1, 0, 0, ""},
        {2023, 1, 1, 24, 0, ""},
        {2023, 1, 1, 0, 60, ""},
        {0, 0, 0, 0, 0, ""},       // what the library gives for an unreadable date
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KvdDisplayDate(c.year, c.month, c.day, c.hour, c.minute), c.shown)
            << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute;
    }
}

}  // namespace

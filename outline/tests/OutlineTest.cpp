// The outline without a window or a file: the items each case of the format makes,
// written down by hand, and the display date.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "Outline.h"

namespace {

// A time zone for the cases that need one, from a POSIX rule so that no zone files are read.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_)
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope()
    {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

const char kUtc[] = "UTC0";
// Central European time: daylight saving from 02:00 on the last Sunday of March (02:00 to
// 03:00 is skipped) to 03:00 on the last Sunday of October (02:00 to 03:00 comes twice).
const char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";

struct Object {
    const char* date;  // "YYYY-MM-DD HH:MM"; nullptr: the values alone, no object item
    std::vector<OutlineValue> values;  // group, parent, name, text, suffix, record
};

// The items of the objects as "depth label" lines; each object "O" by "A", version "1", well "W".
std::string Outlined(const std::vector<Object>& objects)
{
    std::string lines;
    auto sink = [&](int depth, const std::string& label) { lines += std::to_string(depth) + " " + label + "\n"; };
    OutlineWalk walk;
    for (const Object& object : objects) {
        if (object.date != nullptr) {
            OutlineDate date;
            std::sscanf(object.date, "%d-%d-%d %d:%d", &date.year, &date.month, &date.day, &date.hour,
                        &date.minute);
            sink(0, OutlineObjectLabel("O", "A", "1", "W", OutlineDisplayDate(date, OutlineRuntimeClock)));
        }
        walk.BeginObject();
        for (const OutlineValue& value : object.values)
            walk.AddValue(value, sink);
    }
    return lines;
}

struct WalkCase {
    const char* name;
    const char* zone;
    std::vector<Object> objects;
    const char* items;
};

const WalkCase kWalkCases[] = {
    {"the first value of an object opens its group and a record", kUtc,
     {{nullptr, {{"Survey", "", "Depth", "1200", "m", 1}}}},
     "1 Survey\n2 1\n3 Depth: 1200 [m]\n"},
    {"the worked example: a second record, a nested group, the return, a new group", kUtc,
     {{nullptr,
       {{"Survey", "", "Depth", "1200", "m", 1},
        {"Survey", "", "Angle", "3.5", "deg", 1},
        {"Survey", "", "Depth", "1300", "m", 2},
        {"Point", "Survey", "X", "10", "", 1},
        {"Survey", "", "Angle", "4.0", "deg", 2},
        {"Casing", "", "Size", "7", "in", 1}}}},
     "1 Survey\n2 1\n3 Depth: 1200 [m]\n3 Angle: 3.5 [deg]\n2 2\n3 Depth: 1300 [m]\n3 Point\n4 1\n5 X: 10 \n"
     "2 2\n3 Angle: 4.0 [deg]\n1 Casing\n2 1\n3 Size: 7 [in]\n"},
    {"the value that opened the record opens the next one; a new number alone does not", kUtc,
     {{nullptr, {{"G", "", "a", "1", "", 1}, {"G", "", "b", "1", "", 2}, {"G", "", "a", "1", "", 2},
                 {"G", "", "b", "1", "", 2}}}},
     "1 G\n2 1\n3 a: 1 \n3 b: 1 \n2 2\n3 a: 1 \n3 b: 1 \n"},
    {"the first value name again with the same number opens a second record", kUtc,
     {{nullptr, {{"G", "", "A", "1", "", 7}, {"G", "", "A", "2", "", 7}}}},
     "1 G\n2 7\n3 A: 1 \n2 7\n3 A: 2 \n"},
    {"a nested group goes into the current record of its parent", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "1", "", 1}, {"C", "B", "c", "1", "", 4}}}},
     "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n5 C\n6 4\n7 c: 1 \n"},
    {"a sibling of a nested group climbs to the parent's record", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "2", "", 1}, {"C", "A", "c", "3", "", 1}}}},
     "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 2 \n3 C\n4 1\n5 c: 3 \n"},
    {"a return to an outer group over two levels opens a record there", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "1", "", 1}, {"C", "B", "c", "1", "", 1},
                 {"A", "", "d", "1", "", 3}}}},
     "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n5 C\n6 1\n7 c: 1 \n2 3\n3 d: 1 \n"},
    {"three levels deep, then back to the middle and to the top", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "2", "", 1}, {"C", "B", "c", "3", "", 1},
                 {"B", "A", "b", "4", "", 2}, {"A", "", "a", "5", "", 2}}}},
     "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 2 \n5 C\n6 1\n7 c: 3 \n4 2\n5 b: 4 \n2 2\n3 a: 5 \n"},
    {"after the return, the value that opened it opens the next record", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "1", "", 1}, {"A", "", "x", "1", "", 2},
                 {"A", "", "x", "1", "", 3}}}},
     "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n2 2\n3 x: 1 \n2 3\n3 x: 1 \n"},
    {"a top-level group left and met again gets a second group item", kUtc,
     {{nullptr, {{"A", "", "x", "1", "", 1}, {"B", "", "y", "1", "", 1}, {"A", "", "x", "1", "", 2}}}},
     "1 A\n2 1\n3 x: 1 \n1 B\n2 1\n3 y: 1 \n1 A\n2 2\n3 x: 1 \n"},
    {"a group naming itself as its parent stays the same group", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"A", "A", "x", "1", "", 1}}}},
     "1 A\n2 1\n3 a: 1 \n3 x: 1 \n"},
    {"a group on the path named under another parent is a return, not a nesting", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "1", "", 1}, {"A", "B", "c", "1", "", 2}}}},
     "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n2 2\n3 c: 1 \n"},
    {"the first value naming a parent cannot be placed: a new top-level group each time", kUtc,
     {{nullptr, {{"X", "Y", "v", "1", "", 1}, {"X", "Y", "w", "1", "", 1}, {"H", "Q", "B", "2", "", 1}}}},
     "1 X\n2 1\n3 v: 1 \n3 w: 1 \n1 H\n2 1\n3 B: 2 \n"},
    {"a parent that is not on the path cannot be placed: a new top-level group", kUtc,
     {{nullptr, {{"A", "", "a", "1", "", 1}, {"B", "A", "b", "1", "", 1}, {"C", "Z", "c", "1", "", 1},
                 {"D", "C", "d", "1", "", 1}}}},
     "1 A\n2 1\n3 a: 1 \n3 B\n4 1\n5 b: 1 \n1 C\n2 1\n3 c: 1 \n3 D\n4 1\n5 d: 1 \n"},
    {"labels: a suffix in brackets, both blanks without value and suffix, signed record numbers", kUtc,
     {{nullptr, {{"G", "", "Depth", "1200", "m", -3}, {"G", "", "Empty", "", "", -3}, {"G", "", "Unit", "", "ft", -3},
                 {"H", "", "N", "", "", -2147483647 - 1}}}},
     "1 G\n2 -3\n3 Depth: 1200 [m]\n3 Empty:  \n3 Unit:  [ft]\n1 H\n2 -2147483648\n3 N:  \n"},
    {"names compare byte for byte: another case is another group and another value", kUtc,
     {{nullptr, {{"G", "", "a", "1", "", 1}, {"g", "", "A", "1", "", 1}, {"g", "", "a", "1", "", 2}}}},
     "1 G\n2 1\n3 a: 1 \n1 g\n2 1\n3 A: 1 \n3 a: 1 \n"},
    {"each object starts with an empty path, after its object item", kUtc,
     {{"1987-03-14 09:30", {{"G", "", "A", "1", "", 1}, {"H", "G", "B", "2", "", 1}}},
      {"2000-12-05 14:07", {{"H", "", "A", "3", "", 1}, {"H", "", "A", "4", "", 1}}}},
     "0 O - A - 1 - W - Saturday, March 14, 1987  09:30\n1 G\n2 1\n3 A: 1 \n3 H\n4 1\n5 B: 2 \n"
     "0 O - A - 1 - W - Tuesday, December 05, 2000  14:07\n1 H\n2 1\n3 A: 3 \n2 1\n3 A: 4 \n"},
    {"an object without a date that can be shown: the label ends with its separator", kUtc,
     {{"0000-00-00 00:00", {}}},
     "0 O - A - 1 - W - \n"},
    // The zone's clock, not the fields: the skipped hour shows as the moment it names
    // (02:30 standard time is 03:30 daylight time), the repeated hour as it is.
    {"a time in the hour the zone skips shows as the zone's clock reads it", kCentralEurope,
     {{"2001-03-25 02:30", {{"G", "", "A", "1", "", 1}}}},
     "0 O - A - 1 - W - Sunday, March 25, 2001  03:30\n1 G\n2 1\n3 A: 1 \n"},
    {"the hours either side of the skipped one stay", kCentralEurope,
     {{"2001-03-25 01:59", {}}, {"2001-03-25 03:00", {}}},
     "0 O - A - 1 - W - Sunday, March 25, 2001  01:59\n0 O - A - 1 - W - Sunday, March 25, 2001  03:00\n"},
    {"a time in the hour the zone shows twice stays", kCentralEurope,
     {{"2001-10-28 02:30", {}}},
     "0 O - A - 1 - W - Sunday, October 28, 2001  02:30\n"},
    {"the skipped hour is no shift in a zone without daylight saving time", kUtc,
     {{"2001-03-25 02:30", {}}},
     "0 O - A - 1 - W - Sunday, March 25, 2001  02:30\n"},
};

TEST(OutlineWalk, MakesTheItemsWrittenDownForEachCase)
{
    for (const WalkCase& c : kWalkCases) {
        ZoneScope zone(c.zone);
        EXPECT_EQ(Outlined(c.objects), c.items) << c.name;
    }
}

TEST(OutlineLabels, ObjectLabelKeepsEmptyTexts)
{
    EXPECT_EQ(OutlineObjectLabel("Deviation survey", "A. Rahman", "3", "NF-001", "Saturday, March 14, 1987  09:30"),
              "Deviation survey - A. Rahman - 3 - NF-001 - Saturday, March 14, 1987  09:30");
    EXPECT_EQ(OutlineObjectLabel("N", "", "", "", ""), "N -  -  -  - ");
}

// Clocks that read every time as another: the next new year's first hour, or a year on.
bool NewYear(OutlineDate& local)
{
    local = {local.year + 1, 1, 1, 0, local.minute};
    return true;
}
bool YearOn(OutlineDate& local)
{
    ++local.year;
    return true;
}
bool Refuses(OutlineDate&) { return false; }

TEST(OutlineDisplayDate, ShowsValidTimesThroughTheClockAndNothingElse)
{
    ZoneScope zone(kUtc);
    struct Case {
        OutlineDate date;
        OutlineLocalClock clock;
        const char* shown;
    } cases[] = {
        {{1987, 3, 14, 9, 30}, OutlineRuntimeClock, "Saturday, March 14, 1987  09:30"},
        {{2000, 12, 5, 14, 7}, OutlineRuntimeClock, "Tuesday, December 05, 2000  14:07"},
        {{2000, 2, 29, 0, 0}, OutlineRuntimeClock, "Tuesday, February 29, 2000  00:00"},
        {{1601, 1, 1, 0, 0}, OutlineRuntimeClock, "Monday, January 01, 1601  00:00"},
        {{9999, 12, 31, 23, 59}, OutlineRuntimeClock, "Friday, December 31, 9999  23:59"},
        {{1957, 6, 30, 14, 5}, OutlineRuntimeClock, "Sunday, June 30, 1957  14:05"},
        {{1900, 2, 29, 0, 0}, OutlineRuntimeClock, ""},  // not a leap year
        {{2023, 4, 31, 0, 0}, OutlineRuntimeClock, ""},
        {{1600, 12, 31, 0, 0}, OutlineRuntimeClock, ""},  // before the platform's first year
        {{2023, 13, 1, 0, 0}, OutlineRuntimeClock, ""},
        {{2023, 1, 1, 24, 0}, OutlineRuntimeClock, ""},
        {{2023, 1, 1, 0, 60}, OutlineRuntimeClock, ""},
        {{0, 0, 0, 0, 0}, OutlineRuntimeClock, ""},  // what the library gives for an unreadable date
        // The weekday and the names follow the clock's time, not the fields.
        {{2000, 12, 31, 23, 7}, NewYear, "Monday, January 01, 2001  00:07"},
        // A clock that cannot place a time, or places it outside the years shown, leaves the fields.
        {{2000, 12, 5, 14, 7}, Refuses, "Tuesday, December 05, 2000  14:07"},
        {{9999, 12, 31, 23, 59}, YearOn, "Friday, December 31, 9999  23:59"},
        {{2000, 12, 5, 14, 7}, nullptr, "Tuesday, December 05, 2000  14:07"},
        {{2023, 4, 31, 0, 0}, Refuses, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OutlineDisplayDate(c.date, c.clock), c.shown)
            << c.date.year << "-" << c.date.month << "-" << c.date.day << " " << c.date.hour << ":" << c.date.minute;
    }
}

}  // namespace

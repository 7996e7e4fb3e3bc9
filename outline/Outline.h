// Outline.h - an exchange file's outline: the items that the browser's tree and
// `kvd dump` show, in portable code (no window, no exchange library).
//
// The walk is fed the values of one object in the order the exchange library
// delivers them and hands out the items for each, in insertion order. Depth 0 is
// an object item; a group at nesting level k has its group item at depth 2k+1,
// its record items at 2k+2 and its values and nested groups at 2k+3. A record
// item opens when a group is entered, when the value that opened the current
// record comes again in the same group, and on every return to an enclosing
// group. No item is ever more than one level below the item before it, so
// printing each item indented by its depth draws the tree.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The five texts of an object, joined by " - " with its display date (name,
// author, version, well identifier, date).
std::string OutlineObjectLabel(std::string_view name, std::string_view author, std::string_view version,
                               std::string_view wellId, std::string_view displayDate);

// Name, ": ", value, one blank, and "[suffix]" only when there is a suffix.
std::string OutlineValueLabel(std::string_view name, std::string_view value, std::string_view suffix);

// The record number in signed decimal.
std::string OutlineRecordLabel(int record);

// An object's date as the exchange library's calendar fields.
struct OutlineDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
};

// The host's local clock: turns a local time into the moment it names and back,
// so that a time the clock skips (the hour lost when daylight saving time starts)
// comes back as the zone shows that moment, and a time it shows twice comes back
// as it was. False when it cannot place the time.
using OutlineLocalClock = bool (*)(OutlineDate& local);

// The C runtime's clock (mktime with daylight saving left to the zone, then
// localtime): the time zone the process was started under.
bool OutlineRuntimeClock(OutlineDate& local);

// The display date: the fields as a local time with seconds 0, through the clock,
// in "%A, %B %d, %Y  %H:%M" with English names, for example
// "Saturday, March 14, 1987  09:30". Fields that form no time of the years 1601 to
// 9999 (month 13, 30 February, hour 24, all zero ...) or that the clock cannot
// place give "".
std::string OutlineDisplayDate(const OutlineDate& date, OutlineLocalClock clock);

struct OutlineValue {
    std::string_view group;
    std::string_view parentGroup;
    std::string_view name;
    std::string_view text;
    std::string_view suffix;
    int record = 0;
};

class OutlineWalk {
public:
    using ItemSink = std::function<void(int depth, const std::string& label)>;

    // Starts the values of a new object: an empty group path.
    void BeginObject();

    // Hands the items that this value adds to `sink`, in the order they are inserted.
    void AddValue(const OutlineValue& value, const ItemSink& sink);

private:
    bool OnPath(std::string_view group) const;

    // From the top-level group of the last value down to the last value's own group;
    // no name occurs twice.
    std::vector<std::string> groupPath_;
    std::string previousGroup_;
    std::string firstValueName_;
    int valueDepth_ = 0;
};

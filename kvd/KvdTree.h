// KvdTree.h - an exchange file's content as the browser's tree shows it, in
// portable code: the labels of objects, records and values, and the walk that
// gives every value its place (depth) among groups and records.
//
// The walk is fed the values of one object in the order the exchange library
// delivers them and hands out the items the browser inserts for each, in
// insertion order. Depth 0 is an object item; a group at nesting level k has its
// group item at depth 2k+1, its record items at 2k+2 and its values at 2k+3.
// No item is ever more than one level below the item before it, so printing each
// item indented by its depth draws the tree.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The five texts of an object, joined by " - " with the date as the browser shows
// it (name, author, version, well identifier, date).
std::string KvdObjectLabel(std::string_view name, std::string_view author, std::string_view version,
                           std::string_view wellId, std::string_view displayDate);

// Name, ": ", value, one blank, and "[suffix]" only when there is a suffix.
std::string KvdValueLabel(std::string_view name, std::string_view value, std::string_view suffix);

// The record number in signed decimal.
std::string KvdRecordLabel(int record);

// The browser's display date, "%A, %B %d, %Y  %H:%M" in English names, for example
// "Saturday, March 14, 1987  09:30". Fields that form no time the browser can show
// (year before 1601, month 13, 30 February, hour 24, all zero ...) give "".
std::string KvdDisplayDate(int year, int month, int day, int hour, int minute);

struct KvdTreeValue {
    std::string_view group;
    std::string_view parentGroup;
    std::string_view name;
    std::string_view text;
    std::string_view suffix;
    int record = 0;
};

class KvdTreeWalk {
public:
    using ItemSink = std::function<void(int depth, const std::string& label)>;

    // Starts the values of a new object: an empty group path.
    void BeginObject();

    // Hands the items that this value adds to `sink`, in the order they are inserted.
    void AddValue(const KvdTreeValue& value, const ItemSink& sink);

private:
    bool OnPath(std::string_view group) const;

    // From the top-level group of the last value down to the last value's own group;
    // no name occurs twice.
    std::vector<std::string> groupPath_;
    std::string previousGroup_;
    std::string firstValueName_;
    int valueDepth_ = 0;
};

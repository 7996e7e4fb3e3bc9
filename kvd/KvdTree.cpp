// KvdTree.cpp - the browser's labels and value walk, without a window.
#include "KvdTree.h"

#include <algorithm>
#include <cstdio>

std::string KvdObjectLabel(std::string_view name, std::string_view author, std::string_view version,
                           std::string_view wellId, std::string_view displayDate)
{
    std::string label;
    for (std::string_view part : {name, author, version, wellId}) {
        label += part;
        label += " - ";
    }
    label += displayDate;
    return label;
}

std::string KvdValueLabel(std::string_view name, std::string_view value, std::string_view suffix)
{
    std::string label;
    label.reserve(name.size() + value.size() + suffix.size() + 5);
    label += name;
    label += ": ";
    label += value;
    label += ' ';
    if (!suffix.empty()) {
        label += '[';
        label += suffix;
        label += ']';
    }
    return label;
}

std::string KvdRecordLabel(int record)
{
    return std::to_string(record);
}

namespace {

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int MonthLength(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// 0 = Sunday. Days since 1 January 1970 (a Thursday) by the civil-date rule.
int DayOfWeek(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = y / 400;  // years here are positive
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

}  // namespace

std::string KvdDisplayDate(int year, int month, int day, int hour, int minute)
{
    // The browser's time type holds the years 1601 to 9999 and shows nothing otherwise.
    if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1
        || day > MonthLength(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::string();
    static const char* const kWeekdays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[12] = {"January", "February", "March", "April",
                                            "May", "June", "July", "August",
                                            "September", "October", "November", "December"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %s %02d, %04d  %02d:%02d",
                  kWeekdays[DayOfWeek(year, month, day)], kMonths[month - 1], day, year, hour,
                  minute);
    return text;
}

void KvdTreeWalk::BeginObject()
{
    groupPath_.clear();
    previousGroup_.clear();
    firstValueName_.clear();
    valueDepth_ = 0;
}

bool KvdTreeWalk::OnPath(std::string_view group) const
{
    return std::find(groupPath_.begin(), groupPath_.end(), group) != groupPath_.end();
}

void KvdTreeWalk::AddValue(const KvdTreeValue& value, const ItemSink& sink)
{
    const std::string recordLabel = KvdRecordLabel(value.record);
    const std::string valueLabel = KvdValueLabel(value.name, value.text, value.suffix);
    const bool onPath = OnPath(value.group);
    // The library never delivers a value the walk cannot place (the first one of an
    // object naming a parent group, or one whose parent group is not on the path);
    // should one come, it opens a new top-level group, as in the browser.
    const bool unplaceable = !value.parentGroup.empty() && !onPath
                             && (groupPath_.empty() || !OnPath(value.parentGroup));

    if ((value.parentGroup.empty() && !onPath) || unplaceable || groupPath_.empty()) {
        // A new top-level group.
        sink(1, std::string(value.group));
        sink(2, recordLabel);
        sink(3, valueLabel);
        groupPath_.assign(1, std::string(value.group));
        firstValueName_ = value.name;
        valueDepth_ = 3;
    } else if (value.group == previousGroup_ || value.group == groupPath_.back()) {
        // The same group: the value that opened the record opens the next one.
        if (value.name == firstValueName_)
            sink(valueDepth_ - 1, recordLabel);
        sink(valueDepth_, valueLabel);
    } else if (!onPath) {
        // A nested group, inside the current record of its parent group.
        int depth = valueDepth_ - 1;
        while (groupPath_.back() != value.parentGroup) {
            groupPath_.pop_back();
            depth -= 2;
        }
        sink(depth + 1, std::string(value.group));
        sink(depth + 2, recordLabel);
        sink(depth + 3, valueLabel);
        groupPath_.emplace_back(value.group);
        firstValueName_ = value.name;
        valueDepth_ = depth + 3;
    } else {
        // Back to an enclosing group: its values go under a new record item.
        int depth = valueDepth_ - 1;
        while (groupPath_.back() != value.group) {
            groupPath_.pop_back();
            depth -= 2;
        }
        sink(depth, recordLabel);
        sink(depth + 1, valueLabel);
        firstValueName_ = value.name;
        valueDepth_ = depth + 1;
    }
    previousGroup_ = value.group;
}

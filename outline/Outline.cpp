// Outline.cpp - the labels, the display date and the value walk, without a window.
#include "Outline.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "Calendar.h"

std::string OutlineObjectLabel(std::string_view name, std::string_view author, std::string_view version,
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

std::string OutlineValueLabel(std::string_view name, std::string_view value, std::string_view suffix)
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

std::string OutlineRecordLabel(int record)
{
    return std::to_string(record);
}

namespace {

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

bool IsShowable(const OutlineDate& d)
{
    // The years of the platform's time type; nothing is shown outside them.
    return d.year >= 1601 && d.year <= 9999 && d.day >= 1 && d.day <= OutlineDaysInMonth(d.year, d.month)
           && d.hour >= 0 && d.hour <= 23 && d.minute >= 0 && d.minute <= 59;
}

}  // namespace

bool OutlineRuntimeClock(OutlineDate& local)
{
    std::tm fields = {};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_isdst = -1;  // the zone decides whether daylight saving time applies
    const std::time_t moment = std::mktime(&fields);
    if (moment == static_cast<std::time_t>(-1))
        return false;
    std::tm shown = {};
#ifdef _WIN32
    if (localtime_s(&shown, &moment) != 0)
        return false;
#else
    if (localtime_r(&moment, &shown) == nullptr)
        return false;
#endif
    local = {shown.tm_year + 1900, shown.tm_mon + 1, shown.tm_mday, shown.tm_hour, shown.tm_min};
    return true;
}

std::string OutlineDisplayDate(const OutlineDate& date, OutlineLocalClock clock)
{
    if (!IsShowable(date))
        return std::string();
    OutlineDate shown = date;
    // A clock that cannot place the time (the C runtime's begins in 1970 on some
    // platforms) leaves it as the fields say, as the platform's time type does near
    // the ends of its range.
    if (clock == nullptr || !clock(shown) || !IsShowable(shown))
        shown = date;
    static const char* const kWeekdays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[12] = {"January", "February", "March", "April",
                                            "May", "June", "July", "August",
                                            "September", "October", "November", "December"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %s %02d, %04d  %02d:%02d",
                  kWeekdays[DayOfWeek(shown.year, shown.month, shown.day)], kMonths[shown.month - 1], shown.day,
                  shown.year, shown.hour, shown.minute);
    return text;
}

void OutlineWalk::BeginObject()
{
    groupPath_.clear();
    previousGroup_.clear();
    firstValueName_.clear();
    valueDepth_ = 0;
}

bool OutlineWalk::OnPath(std::string_view group) const
{
    return std::find(groupPath_.begin(), groupPath_.end(), group) != groupPath_.end();
}

void OutlineWalk::AddValue(const OutlineValue& value, const ItemSink& sink)
{
    const std::string recordLabel = OutlineRecordLabel(value.record);
    const std::string valueLabel = OutlineValueLabel(value.name, value.text, value.suffix);
    const bool onPath = OnPath(value.group);
    // The library never delivers a value the walk cannot place (the first one of an
    // object naming a parent group, or one whose parent group is not on the path);
    // should one come, it opens a new top-level group.
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

// CTime::Format over the whole Win32 calendar, and invalid fields giving the empty text.
#include <afxwin.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char kDisplayFormat[] = "%A, %B %d, %Y  %H:%M";

TEST(CTime, DisplayFormatAcrossTheCalendar)
{
    struct Case
    {
        const char* name;
        int year, month, day, hour, minute;
        const char* expected;
    } cases[] = {
        { "the reference date", 2000, 12, 5, 14, 7, "Tuesday, December 05, 2000  14:07" },
        { "before 1970", 1969, 7, 20, 20, 17, "Sunday, July 20, 1969  20:17" },
        { "1900", 1900, 1, 1, 0, 0, "Monday, January 01, 1900  00:00" },
        { "1850", 1850, 6, 15, 9, 30, "Saturday, June 15, 1850  09:30" },
        { "last day of 32-bit time", 2038, 1, 19, 3, 14, "Tuesday, January 19, 2038  03:14" },
        { "after 2038, leap day", 2040, 2, 29, 23, 59, "Wednesday, February 29, 2040  23:59" },
        { "2100 is no leap year", 2100, 3, 1, 12, 0, "Monday, March 01, 2100  12:00" },
        { "first year of Win32", 1601, 1, 1, 12, 0, "Monday, January 01, 1601  12:00" },
        { "last year", 9999, 12, 31, 23, 59, "Friday, December 31, 9999  23:59" },
    };
    for (const Case& c : cases)
    {
        const CTime t(c.year, c.month, c.day, c.hour, c.minute, 0, -1);
        EXPECT_EQ(std::string(t.Format(kDisplayFormat)), c.expected) << c.name;
    }
}

TEST(CTime, InvalidFieldsFormatAsEmptyText)
{
    struct Case
    {
        const char* name;
        int year, month, day, hour, minute, second;
    } cases[] = {
        { "all zero", 0, 0, 0, 0, 0, 0 },
        { "month 0", 2000, 0, 5, 14, 7, 0 },
        { "month 13", 2000, 13, 5, 14, 7, 0 },
        { "day 0", 2000, 12, 0, 14, 7, 0 },
        { "31 April", 2000, 4, 31, 14, 7, 0 },
        { "29 February 1900", 1900, 2, 29, 0, 0, 0 },
        { "hour 24", 2000, 12, 5, 24, 0, 0 },
        { "minute 60", 2000, 12, 5, 14, 60, 0 },
        { "second 60", 2000, 12, 5, 14, 7, 60 },
        { "negative fields", -1, -1, -1, -1, -1, -1 },
        { "year 1600", 1600, 12, 31, 0, 0, 0 },
        { "year 10000", 10000, 1, 1, 0, 0, 0 },
        { "huge values", 2147483647, 2147483647, 2147483647, 2147483647, 2147483647, 2147483647 },
    };
    for (const Case& c : cases)
    {
        const CTime t(c.year, c.month, c.day, c.hour, c.minute, c.second, -1);
        EXPECT_EQ(std::string(t.Format(kDisplayFormat)), "") << c.name;
    }
}

TEST(CTime, OtherFormatSequences)
{
    const CTime t(2000, 12, 5, 14, 7, 9, -1);
    struct Case
    {
        const char* format;
        const char* expected;
    } cases[] = {
        { "%a %b", "Tue Dec" },
        { "%#d.%#m.%y", "5.12.00" },
        { "%I:%M:%S %p", "02:07:09 PM" },
        { "%j %w", "340 2" },
        { "%x %X", "12/05/00 14:07:09" },
        { "100%%", "100%" },
        { "%Q stays", "%Q stays" },
        { "trailing %", "trailing %" },
        { "", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(t.Format(c.format)), c.expected) << "format \"" << c.format << "\"";
    EXPECT_EQ(std::string(CTime(2000, 12, 5, 0, 30, 0).Format("%I %p")), "12 AM");
}

}  // namespace

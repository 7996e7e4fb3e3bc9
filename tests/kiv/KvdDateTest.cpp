// KvdDateTest.cpp - KivStringToDate on the one date form, and on everything else.
#include <string>

#include <gtest/gtest.h>

#include "kivapi.h"

namespace {

struct DateCase {
    const char* name;
    const char* text;
    int year, month, day, hour, minute;  // all 0: refused
};

const DateCase kDates[] = {
    {"ordinary", "1987-03-14 09:30", 1987, 3, 14, 9, 30},
    {"well older than 1970", "1850-01-01 00:00", 1850, 1, 1, 0, 0},
    {"after 2038", "2100-12-31 23:59", 2100, 12, 31, 23, 59},
    {"first possible", "0001-01-01 00:00", 1, 1, 1, 0, 0},
    {"last possible", "9999-12-31 23:59", 9999, 12, 31, 23, 59},
    {"Feb 29 in a leap year", "2024-02-29 12:00", 2024, 2, 29, 12, 0},
    {"Feb 29 in a leap century", "2000-02-29 12:00", 2000, 2, 29, 12, 0},
    {"Feb 29 in a plain year", "2023-02-29 12:00", 0, 0, 0, 0, 0},
    {"Feb 29 in a plain century", "1900-02-29 12:00", 0, 0, 0, 0, 0},
    {"April 31", "2023-04-31 00:00", 0, 0, 0, 0, 0},
    {"month 13", "2023-13-01 00:00", 0, 0, 0, 0, 0},
    {"month 0", "2023-00-10 00:00", 0, 0, 0, 0, 0},
    {"day 0", "2023-01-00 00:00", 0, 0, 0, 0, 0},
    {"hour 24", "2023-01-01 24:00", 0, 0, 0, 0, 0},
    {"minute 60", "2023-01-01 23:60", 0, 0, 0, 0, 0},
    {"year 0", "0000-01-01 00:00", 0, 0, 0, 0, 0},
    {"empty", "", 0, 0, 0, 0, 0},
    {"date without time", "1987-03-14", 0, 0, 0, 0, 0},
    {"T between date and time", "1987-03-14T09:30", 0, 0, 0, 0, 0},
    {"one-digit month", "1987-3-14 09:30", 0, 0, 0, 0, 0},
    {"blank before", " 1987-03-14 09:30", 0, 0, 0, 0, 0},
    {"blank after", "1987-03-14 09:30 ", 0, 0, 0, 0, 0},
    {"seconds", "1987-03-14 09:30:00", 0, 0, 0, 0, 0},
    {"sign in the year", "+987-03-14 09:30", 0, 0, 0, 0, 0},
    {"letters", "abcd-ef-gh ij:kl", 0, 0, 0, 0, 0},
};

TEST(KivStringToDate, TurnsTheDateFormIntoFiveFields)
{
    for (const DateCase& c : kDates) {
        int year = 77, month = 77, day = 77, hour = 77, minute = 77;
        int result = KivStringToDate(c.text, &year, &month, &day, &hour, &minute);
        bool valid = c.year != 0;
        EXPECT_EQ(result != 0, valid) << c.name << ": " << c.text;
        EXPECT_EQ(year, c.year) << c.name;
        EXPECT_EQ(month, c.month) << c.name;
        EXPECT_EQ(day, c.day) << c.name;
        EXPECT_EQ(hour, c.hour) << c.name;
        EXPECT_EQ(minute, c.minute) << c.name;
    }
}

TEST(KivStringToDate, NullTextSetsZeros)
{
    int year = 77, month = 77, day = 77, hour = 77, minute = 77;
    EXPECT_EQ(KivStringToDate(nullptr, &year, &month, &day, &hour, &minute), 0);
    EXPECT_EQ(year + month + day + hour + minute, 0);
}

}  // namespace

// Calendar.h - the Gregorian calendar's month lengths, for every part that checks a date.
#pragma once

// Days in the month (1 to 12) of the year; 0 for a month that is none.
inline int OutlineDaysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

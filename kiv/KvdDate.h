// KvdDate.h - the one date form of .kvd files: "YYYY-MM-DD HH:MM".
#pragma once

#include <cstddef>

struct KvdDate {
    int year = 0;    // full year, 1 to 9999
    int month = 0;   // 1 to 12
    int day = 0;     // 1 to the length of the month (Gregorian leap years)
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
};

// Reads exactly "YYYY-MM-DD HH:MM" (16 bytes, nothing before or after).
// On a text it cannot read it returns false and leaves all five fields 0.
// True when the text has the form "YYYY-MM-DD HH:MM" (digits and separators),
// whether or not that date and time exist.
bool HasKvdDateForm(const char* text, size_t length);

bool ParseKvdDate(const char* text, size_t length, KvdDate& date);

// KvdDate.cpp - reading the date form of .kvd files.
#include "KvdDate.h"

#include "Calendar.h"

namespace {

// Reads `count` decimal digits at text; false if any of them is not a digit.
bool ReadDigits(const char* text, int count, int& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        unsigned digit = static_cast<unsigned char>(text[i]) - '0';
        if (digit > 9)
            return false;
        value = value * 10 + static_cast<int>(digit);
    }
    return true;
}

// The five numbers of "YYYY-MM-DD HH:MM", unchecked.
bool ReadFields(const char* text, size_t length, KvdDate& d)
{
    if (text == nullptr || length != 16)
        return false;
    if (text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':')
        return false;
    return ReadDigits(text, 4, d.year) && ReadDigits(text + 5, 2, d.month) && ReadDigits(text + 8, 2, d.day) &&
           ReadDigits(text + 11, 2, d.hour) && ReadDigits(text + 14, 2, d.minute);
}

}  // namespace

bool HasKvdDateForm(const char* text, size_t length)
{
    KvdDate d;
    return ReadFields(text, length, d);
}

bool ParseKvdDate(const char* text, size_t length, KvdDate& date)
{
    date = KvdDate();
    KvdDate d;
    if (!ReadFields(text, length, d))
        return false;
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > OutlineDaysInMonth(d.year, d.month) || d.hour > 23 || d.minute > 59)
        return false;
    date = d;
    return true;
}

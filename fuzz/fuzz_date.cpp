// fuzz_date.cpp - libFuzzer target: KivStringToDate on any text. A date it accepts
// is a real calendar date and reads back to the same text; on any other text all
// five fields are 0.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kivapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);  // stops at a zero byte, as callers' texts do
    int year = -1, month = -1, day = -1, hour = -1, minute = -1;
    if (KivStringToDate(text.c_str(), &year, &month, &day, &hour, &minute) == 0) {
        if ((year | month | day | hour | minute) != 0)
            std::abort();
        return 0;
    }
    static const int kDays[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > kDays[month] || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59)
        std::abort();
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap)
        std::abort();
    char again[32];
    std::snprintf(again, sizeof again, "%04d-%02d-%02d %02d:%02d", year, month, day, hour, minute);
    if (text.c_str() != std::string(again))
        std::abort();
    return 0;
}

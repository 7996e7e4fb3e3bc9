// wells_file.h - the file that the tests of Find, Copy and the item menu show.
#ifndef DERAR_WELLS_FILE_H
#define DERAR_WELLS_FILE_H

#include <string>
#include <vector>

#include "browser_host.h"

namespace wells_file {

inline std::string Label(const std::string& name)
{
    return name + " - Smith - 1 - W-17 - Tuesday, March 05, 2024  14:07";
}

inline browser_host::FileObject Object(const std::string& name, std::vector<browser_host::FileValue> values)
{
    return browser_host::FileObject{ name, "Smith", "1", "W-17", "2024-03-05 14:07", std::move(values) };
}

// "depth" is in three labels: Alpha's, Beta's note and Gamma's, in that order. The file is
// UTF-8; the tree shows "Temp\xe9rature" and "\xb0" in the code page (1252).
inline std::vector<browser_host::FileObject> Objects()
{
    return {
        Object("Alpha", { { "Survey", "", 1, "Depth", "1200", "m" },
                          { "Survey", "", 1, "Angle", "3.5", "deg" },
                          { "Point", "Survey", 1, "X", "10", "" } }),
        Object("Beta", { { "Casing", "", 1, "Size", "7", "in" }, { "Casing", "", 1, "Note", "depth marker", "" } }),
        Object("Gamma", { { "Survey", "", 1, "Depth", "1300", "m" },
                          { "Survey", "", 1, "Temp\xc3\xa9rature", "18.5",
                            "\xc2\xb0"
                            "C" } }),
    };
}

const char kTemperature[] =
    "Temp\xe9rature: 18.5 [\xb0"
    "C]";

}  // namespace wells_file

#endif

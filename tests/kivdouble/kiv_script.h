// kiv_script.h - the script that tells the Kiv.dll double what to answer.
// The format is described in kiv_double.h.
#ifndef DERAR_KIV_SCRIPT_H
#define DERAR_KIV_SCRIPT_H

#include <map>
#include <string>
#include <vector>

namespace kiv_double {

struct ScriptValue {
    std::string group, parent, name, extra, suffix, value;
    int record = 0;
};

struct ScriptObject {
    std::string name, author, version, wellId, date;
    std::vector<ScriptValue> values;
};

struct ScriptFile {
    std::string name;               // matched against the end of the opened path
    bool openFails = false;
    std::string openMessage;
    std::vector<ScriptObject> objects;
};

struct ScriptDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    bool fails = false;
};

struct Script {
    bool attachFails = false;
    std::string attachMessage;
    ScriptFile anyFile;             // statements before the first "file" line
    std::vector<ScriptFile> files;
    std::map<std::string, ScriptDate> dates;

    // The file description for a path: the last "file" whose name ends the path
    // (letter case ignored, at a path separator or the path's start), else anyFile.
    const ScriptFile& FileFor(const std::string& path) const;
};

// Parses a script. On error returns false and sets error to "line N: what".
bool ParseScript(const std::string& text, Script& script, std::string& error);

// Reads "YYYY-MM-DD HH:MM" (the real library's form). False: unreadable.
bool ReadDateText(const std::string& text, ScriptDate& date);

}  // namespace kiv_double

#endif

// kiv_double.h - the scripted stand-in for Kiv.dll that failure tests load.
//
// The double exports the six read calls of include/kivapi.h (none of the write
// calls) and answers them from a script that the test loads first. The script is
// plain text, one statement a line; texts are in double quotes with \n, \t, \" and
// \\ as escapes; # starts a comment line.
//
//   attach fail "text"         KivAttach returns 0 and hands back this text
//   file "name.kvd"            the statements after it describe every file whose
//                              path ends with this name (letter case ignored);
//                              statements before the first file line describe any
//                              other path
//   open fail "text"           KivOpen of this file returns 0 with this text
//   object "name" "author" "version" "wellId" "date"
//                              the next object of this file, in file order
//   value "group" "parent" "name" "extra" "suffix" "value" record
//                              the next value of the last object, in delivery order
//                              (the double delivers values as written, also ones a
//                              real file could not hold)
//   date "text" year month day hour minute [fail]
//                              what KivStringToDate answers for this date text
//                              (fields may be out of range); "fail" makes it
//                              return 0 with those fields. Texts without a date
//                              line are read as "YYYY-MM-DD HH:MM" (all 0 and
//                              result 0 when unreadable).
//
// The double keeps the lifecycle of the real library: objects only after a
// successful open within an attachment, values only of the object delivered last,
// a new open replaces the file, detach ends everything. Calls out of that order are
// counted as misuse (a detach without attach is harmless, as the library promises).
#ifndef DERAR_KIV_DOUBLE_H
#define DERAR_KIV_DOUBLE_H

#include <windows.h>

#include <string>

extern "C" {

// What the double was asked since the last KivDoubleLoad.
struct KivDoubleCalls {
    int attach;               // KivAttach calls
    int open;                 // KivOpen calls
    int openSucceeded;
    int objectsDelivered;     // KivGetNextObject calls that returned an object
    int valuesDelivered;
    int stringToDate;
    int detach;
    int attached;             // 1 while an attachment is open
    int misuse;               // calls out of the lifecycle's order
    int lastOpenMode;
    char lastOpenPath[520];
    char lastMisuse[256];     // what the last misuse was
};

// Control exports of the double (cdecl, plain names).
typedef int (__cdecl* KivDoubleLoadProc)(const char* script, char* error, int errorSize);
typedef void (__cdecl* KivDoubleCallsProc)(KivDoubleCalls* calls);
}

namespace kiv_double {

// The double's control export, looked up in the Kiv.dll of this process (loaded
// with derar.dll, or loaded here from the program's folder).
template <typename Proc>
Proc ControlExport(const char* name)
{
    HMODULE kiv = GetModuleHandleA("Kiv.dll");
    if (!kiv)
        kiv = LoadLibraryA("Kiv.dll");
    return kiv ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(kiv, name))) : nullptr;
}

// True when the Kiv.dll of this process is the double.
inline bool IsLoaded()
{
    return ControlExport<KivDoubleLoadProc>("KivDoubleLoad") != nullptr;
}

// Loads a script into the double (and clears its counters). Returns "" on
// success, else the script error ("line 3: expected a quoted text") or a note
// that Kiv.dll is not the double.
inline std::string Load(const std::string& script)
{
    KivDoubleLoadProc load = ControlExport<KivDoubleLoadProc>("KivDoubleLoad");
    if (!load)
        return "Kiv.dll of this process is not the test double";
    char error[512] = "";
    return load(script.c_str(), error, sizeof error) ? std::string() : std::string(error);
}

// The counters since the last Load.
inline KivDoubleCalls Calls()
{
    KivDoubleCalls calls = {};
    if (KivDoubleCallsProc get = ControlExport<KivDoubleCallsProc>("KivDoubleGetCalls"))
        get(&calls);
    return calls;
}

}  // namespace kiv_double

#endif

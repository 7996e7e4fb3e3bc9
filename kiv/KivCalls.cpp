// KivCalls.cpp - the six calls of Kiv.dll over one KivSession.
// No C++ exception may leave the library: every call catches them all.
#define KIV_BUILDING_DLL
#include "kivapi.h"

#include <cstring>
#include <new>
#include <string>

#include "KvdDate.h"
#include "KivSession.h"

namespace {

KivSession& Session()
{
    static KivSession session;
    return session;
}

char g_empty[1] = "";
std::string g_message;  // the text handed out through a message pointer

// Out-pointers may be NULL ("not wanted"); every wanted one is set.
inline void Put(char** out, const char* text)
{
    if (out != nullptr)
        *out = const_cast<char*>(text != nullptr ? text : g_empty);
}
inline void Put(int* out, int number)
{
    if (out != nullptr)
        *out = number;
}

void PutMessage(char** message, const std::string& text)
{
    g_message = text;
    Put(message, g_message.c_str());
}

constexpr const char* kOutOfMemory =
    "The exchange library ran out of memory. Close other programs and try again.";

}  // namespace

extern "C" {

KIVAPI int KIVCALL KivAttach(char** message)
{
    try {
        Session().Attach();
        Put(message, g_empty);
        return 1;
    } catch (...) {
        Put(message, kOutOfMemory);
        return 0;
    }
}

KIVAPI int KIVCALL KivOpen(const char* path, char** message, int /*mode: always 0*/)
{
    try {
        if (Session().Open(path)) {
            Put(message, g_empty);
            return 1;
        }
        PutMessage(message, Session().Message());
        return 0;
    } catch (...) {
        Put(message, kOutOfMemory);
        return 0;
    }
}

KIVAPI int KIVCALL KivGetNextObject(char** name, char** author, char** version, char** wellId,
                                    char** date)
{
    KivSession::Object object = {};
    bool delivered = false;
    try {
        delivered = Session().NextObject(object);
    } catch (...) {
        delivered = false;
    }
    if (!delivered)
        object = KivSession::Object();
    Put(name, object.name);
    Put(author, object.author);
    Put(version, object.version);
    Put(wellId, object.wellId);
    Put(date, object.date);
    return delivered ? 1 : 0;
}

KIVAPI int KIVCALL KivGetNextValue(char** groupName, char** valueName, char** extraText,
                                   char** suffixText, char** valueText, char** parentGroupName,
                                   int* recordNumber)
{
    KivSession::Value value = {};
    bool delivered = false;
    try {
        delivered = Session().NextValue(value);
    } catch (...) {
        delivered = false;
    }
    if (!delivered)
        value = KivSession::Value();
    Put(groupName, value.groupName);
    Put(valueName, value.valueName);
    Put(extraText, value.extraText);
    Put(suffixText, value.suffixText);
    Put(valueText, value.valueText);
    Put(parentGroupName, value.parentGroupName);
    Put(recordNumber, value.recordNumber);
    return delivered ? 1 : 0;
}

KIVAPI int KIVCALL KivStringToDate(const char* date, int* year, int* month, int* day, int* hour,
                                   int* minute)
{
    KvdDate fields;
    bool valid = date != nullptr && ParseKvdDate(date, std::strlen(date), fields);
    Put(year, fields.year);
    Put(month, fields.month);
    Put(day, fields.day);
    Put(hour, fields.hour);
    Put(minute, fields.minute);
    return valid ? 1 : 0;
}

KIVAPI void KIVCALL KivDetach(void)
{
    try {
        Session().Detach();
    } catch (...) {
    }
}

// The write calls: declared, not yet carried out.
KIVAPI int KIVCALL KivBeginWrite(const char* /*path*/, char** message, int /*mode*/)
{
    Put(message, "Writing .kvd files is not available in this version of the exchange library.");
    return 0;
}

KIVAPI int KIVCALL KivPutObject(const char*, const char*, const char*, const char*, const char*,
                                char** message)
{
    Put(message, "No write is open: call KivBeginWrite first.");
    return 0;
}

KIVAPI int KIVCALL KivPutValue(const char*, const char*, int, const char*, const char*, const char*,
                               const char*, char** message)
{
    Put(message, "No write is open: call KivBeginWrite first.");
    return 0;
}

KIVAPI int KIVCALL KivCommitWrite(char** message)
{
    Put(message, "No write is open: call KivBeginWrite first.");
    return 0;
}

KIVAPI void KIVCALL KivAbandonWrite(void) {}

}  // extern "C"

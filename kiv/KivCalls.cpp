// KivCalls.cpp - the calls of Kiv.dll over one KivSession: texts cross in the
// callers' code page, and the session works in the UTF-8 of the files.
// No C++ exception may leave the library: every call catches them all.
#define KIV_BUILDING_DLL
#include "kivapi.h"

#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <utility>

#include "KivCodePage.h"
#include "KivSession.h"
#include "KvdDate.h"

namespace {

KivSession& Session()
{
    static KivSession session;
    static bool converting = [] {
        // Kept lines of an older file in the Windows code page become UTF-8 too.
        if (!AnsiIsUtf8())
            session.Writer().SetLegacyConverter(&AnsiToUtf8);
        return true;
    }();
    (void)converting;
    return session;
}

char g_empty[1] = "";
std::string g_message;     // the text handed out through a message pointer
std::string g_texts[6];    // texts of a UTF-8 file, converted for the caller

// A text of the open file as the caller reads it: converted when the file is UTF-8.
const char* Shown(const char* text, int slot)
{
    if (text == nullptr)
        return g_empty;
    return Session().FileIsUtf8() ? Utf8ToAnsi(text, g_texts[slot]) : text;
}

// A caller's text in UTF-8: the text itself when it needs no conversion, else `storage`.
std::string_view Utf8(const char* text, std::string& storage)
{
    if (text == nullptr)
        return std::string_view();
    std::string_view view(text);
    if (AnsiIsUtf8() || IsAsciiText(view))
        return view;
    storage = AnsiToUtf8(view);
    return storage;
}

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

// Texts of the open file into the wanted out-pointers, each in its own slot.
void PutShown(std::initializer_list<std::pair<char**, const char*>> texts)
{
    int slot = 0;
    for (const auto& [out, text] : texts)
        Put(out, Shown(text, slot++));
}

void PutMessage(char** message, const std::string& text)
{
    g_message = MessageToAnsi(text);
    Put(message, g_message.c_str());
}

constexpr const char* kOutOfMemory =
    "The exchange library ran out of memory. Close other programs and try again.";

// One write call: an empty message when `step` succeeds, the writer's own message
// when it refuses, and the writing abandoned when it throws.
template <typename Step>
int WriteStep(char** message, Step step)
{
    try {
        if (step()) {
            Put(message, g_empty);
            return 1;
        }
        PutMessage(message, Session().Writer().Message());
    } catch (...) {
        Session().Writer().Abandon();
        Put(message, kOutOfMemory);
    }
    return 0;
}

// A step whose failure and whose exception both just mean "nothing delivered".
template <typename Step>
bool Quietly(Step step)
{
    try {
        return step();
    } catch (...) {
        return false;
    }
}

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
    bool delivered = Quietly([&] { return Session().NextObject(object); });
    if (!delivered)
        object = KivSession::Object();
    PutShown({{name, object.name}, {author, object.author}, {version, object.version}, {wellId, object.wellId}});
    Put(date, object.date);  // digits and separators only
    return delivered ? 1 : 0;
}

KIVAPI int KIVCALL KivGetNextValue(char** groupName, char** valueName, char** extraText,
                                   char** suffixText, char** valueText, char** parentGroupName,
                                   int* recordNumber)
{
    KivSession::Value value = {};
    bool delivered = Quietly([&] { return Session().NextValue(value); });
    if (!delivered)
        value = KivSession::Value();
    PutShown({{groupName, value.groupName},
              {valueName, value.valueName},
              {extraText, value.extraText},
              {suffixText, value.suffixText},
              {valueText, value.valueText},
              {parentGroupName, value.parentGroupName}});
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

KIVAPI int KIVCALL KivBeginWrite(const char* path, char** message, int mode)
{
    return WriteStep(message, [&] { return Session().Writer().Begin(path, mode); });
}

KIVAPI int KIVCALL KivPutObject(const char* name, const char* author, const char* version, const char* wellId,
                                const char* date, char** message)
{
    return WriteStep(message, [&] {
        std::string s[5];
        return Session().Writer().PutObject(Utf8(name, s[0]), Utf8(author, s[1]), Utf8(version, s[2]),
                                            Utf8(wellId, s[3]), Utf8(date, s[4]));
    });
}

KIVAPI int KIVCALL KivPutValue(const char* groupName, const char* parentGroupName, int recordNumber,
                               const char* valueName, const char* valueText, const char* suffixText,
                               const char* extraText, char** message)
{
    return WriteStep(message, [&] {
        std::string s[6];
        return Session().Writer().PutValue(Utf8(groupName, s[0]), Utf8(parentGroupName, s[1]), recordNumber,
                                           Utf8(valueName, s[2]), Utf8(valueText, s[3]), Utf8(suffixText, s[4]),
                                           Utf8(extraText, s[5]));
    });
}

KIVAPI int KIVCALL KivCommitWrite(char** message)
{
    return WriteStep(message, [&] { return Session().CommitWrite(); });
}

KIVAPI void KIVCALL KivAbandonWrite(void)
{
    try {
        Session().Writer().Abandon();
    } catch (...) {
    }
}

}  // extern "C"

#if defined(_WIN32) && defined(__GLIBCXX__)
#include <windows.h>

namespace __gnu_cxx {
void __freeres();
}

// The statically linked C++ runtime takes a reserve for exceptions thrown when memory is
// short (about 72 KB, at load) and never gives it back: a host that loads and frees
// Kiv.dll again and again would lose it each time. Freed only on FreeLibrary (pReserved
// NULL), not at process exit.
extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        __gnu_cxx::__freeres();
    return TRUE;
}
#endif

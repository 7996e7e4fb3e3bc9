// The Kiv.dll double: the six read calls of the exchange library (none of its write
// calls) answered from a script, with the library's lifecycle, and two control exports
// for tests.
#include <windows.h>

#include <kivapi.h>

#include <cstring>
#include <string>

#include "kiv_double.h"
#include "kiv_script.h"

namespace {

using kiv_double::Script;
using kiv_double::ScriptDate;
using kiv_double::ScriptFile;
using kiv_double::ScriptObject;

struct DoubleState {
    Script script;
    KivDoubleCalls calls = {};
    bool attached = false;
    const ScriptFile* openFile = nullptr;   // nullptr: no file open
    size_t nextObject = 0;
    const ScriptObject* lastObject = nullptr;
    size_t nextValue = 0;
};

DoubleState& State()
{
    static DoubleState state;
    return state;
}

// Out texts live in fixed slots until the next call. A caller that keeps a
// pointer past that call finds the slot overwritten, as with the real library.
enum Slot { kMessage, kText0, kSlotCount = kText0 + 7 };
std::string g_slots[kSlotCount];

void Hand(char** out, Slot slot, const std::string& text)
{
    if (!out)
        return;
    std::string& s = g_slots[slot];
    std::fill(s.begin(), s.end(), '#');   // scribble over what the last call handed out
    s = text;
    *out = &s[0];
}

void Misuse(const char* what)
{
    DoubleState& st = State();
    ++st.calls.misuse;
    std::strncpy(st.calls.lastMisuse, what, sizeof st.calls.lastMisuse - 1);
}

}  // namespace

extern "C" {

KIVAPI int KIVCALL KivAttach(char** message)
{
    DoubleState& st = State();
    ++st.calls.attach;
    if (st.attached)
        Misuse("KivAttach while attached");
    if (st.script.attachFails) {
        Hand(message, kMessage, st.script.attachMessage);
        return 0;
    }
    Hand(message, kMessage, "");
    st.attached = true;
    st.calls.attached = 1;
    st.openFile = nullptr;
    st.lastObject = nullptr;
    return 1;
}

KIVAPI int KIVCALL KivOpen(const char* path, char** message, int mode)
{
    DoubleState& st = State();
    ++st.calls.open;
    st.calls.lastOpenMode = mode;
    std::strncpy(st.calls.lastOpenPath, path ? path : "", sizeof st.calls.lastOpenPath - 1);
    st.openFile = nullptr;
    st.lastObject = nullptr;
    if (!st.attached) {
        Misuse("KivOpen without an attachment");
        Hand(message, kMessage, "Kiv.dll is not attached.");
        return 0;
    }
    const ScriptFile& file = st.script.FileFor(path ? path : "");
    if (file.openFails) {
        Hand(message, kMessage, file.openMessage);
        return 0;
    }
    Hand(message, kMessage, "");
    ++st.calls.openSucceeded;
    st.openFile = &file;
    st.nextObject = 0;
    return 1;
}

KIVAPI int KIVCALL KivGetNextObject(char** name, char** author, char** version, char** wellId,
                                    char** date)
{
    DoubleState& st = State();
    if (!st.attached)
        Misuse("KivGetNextObject without an attachment");
    char** outs[] = {name, author, version, wellId, date};
    if (!st.attached || !st.openFile || st.nextObject >= st.openFile->objects.size()) {
        for (int i = 0; i < 5; ++i)
            Hand(outs[i], Slot(kText0 + i), "");
        st.lastObject = nullptr;
        return 0;
    }
    const ScriptObject& object = st.openFile->objects[st.nextObject++];
    const std::string* texts[] = {&object.name, &object.author, &object.version, &object.wellId,
                                  &object.date};
    for (int i = 0; i < 5; ++i)
        Hand(outs[i], Slot(kText0 + i), *texts[i]);
    st.lastObject = &object;
    st.nextValue = 0;
    ++st.calls.objectsDelivered;
    return 1;
}

KIVAPI int KIVCALL KivGetNextValue(char** groupName, char** valueName, char** extraText,
                                   char** suffixText, char** valueText, char** parentGroupName,
                                   int* recordNumber)
{
    DoubleState& st = State();
    if (!st.attached)
        Misuse("KivGetNextValue without an attachment");
    char** outs[] = {groupName, valueName, extraText, suffixText, valueText, parentGroupName};
    if (!st.attached || !st.lastObject || st.nextValue >= st.lastObject->values.size()) {
        for (int i = 0; i < 6; ++i)
            Hand(outs[i], Slot(kText0 + i), "");
        if (recordNumber)
            *recordNumber = 0;
        return 0;
    }
    const kiv_double::ScriptValue& v = st.lastObject->values[st.nextValue++];
    const std::string* texts[] = {&v.group, &v.name, &v.extra, &v.suffix, &v.value, &v.parent};
    for (int i = 0; i < 6; ++i)
        Hand(outs[i], Slot(kText0 + i), *texts[i]);
    if (recordNumber)
        *recordNumber = v.record;
    ++st.calls.valuesDelivered;
    return 1;
}

KIVAPI int KIVCALL KivStringToDate(const char* date, int* year, int* month, int* day, int* hour,
                                   int* minute)
{
    DoubleState& st = State();
    ++st.calls.stringToDate;
    std::string text = date ? date : "";
    ScriptDate fields;
    bool ok;
    auto scripted = st.script.dates.find(text);
    if (scripted != st.script.dates.end()) {
        fields = scripted->second;
        ok = !fields.fails;
    } else {
        ok = kiv_double::ReadDateText(text, fields);
    }
    int* outs[] = {year, month, day, hour, minute};
    int values[] = {fields.year, fields.month, fields.day, fields.hour, fields.minute};
    for (int i = 0; i < 5; ++i) {
        if (outs[i])
            *outs[i] = values[i];
    }
    return ok ? 1 : 0;
}

KIVAPI void KIVCALL KivDetach(void)
{
    DoubleState& st = State();
    ++st.calls.detach;
    st.attached = false;
    st.calls.attached = 0;
    st.openFile = nullptr;
    st.lastObject = nullptr;
}

__declspec(dllexport) int __cdecl KivDoubleLoad(const char* script, char* error, int errorSize)
{
    DoubleState& st = State();
    std::string message;
    Script parsed;
    if (!kiv_double::ParseScript(script ? script : "", parsed, message)) {
        if (error && errorSize > 0) {
            std::strncpy(error, message.c_str(), errorSize - 1);
            error[errorSize - 1] = '\0';
        }
        return 0;
    }
    // A new script starts a new story: no attachment, no file, fresh counters.
    st = DoubleState();
    st.script = parsed;
    return 1;
}

__declspec(dllexport) void __cdecl KivDoubleGetCalls(KivDoubleCalls* calls)
{
    if (calls)
        *calls = State().calls;
}

}  // extern "C"

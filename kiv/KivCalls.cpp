// KivCalls.cpp - the calls of Kiv.dll, each answered by the innermost attachment of
// the calling thread (KivAttachments.h): texts cross in the callers' code page, and
// the session works in the UTF-8 of the files.
// No C++ exception may leave the library: every call catches them all.
#define KIV_BUILDING_DLL
#include "kivapi.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "KivAttachments.h"
#include "KivCodePage.h"
#include "KvdDate.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

char g_empty[1] = "";

constexpr const char* kOutOfMemory =
    "The exchange library ran out of memory. Close other programs and try again.";
constexpr const char* kTooDeep =
    "The exchange library cannot be attached once more on this thread: 16 attachments are open on it, each "
    "begun by KivAttach and not ended by KivDetach. The program that uses the library must call KivDetach "
    "once for every KivAttach, also for one that was refused; tell its makers.";
constexpr const char* kNotAttachedToOpen =
    "Cannot open a file: the exchange library is not attached on this thread. The program that uses the "
    "library must call KivAttach first; tell its makers.";
constexpr const char* kNotAttachedToWrite =
    "Nothing is written: the exchange library is not attached on this thread. The program that writes must "
    "call KivAttach before KivBeginWrite, and KivDetach when it is done; tell its makers.";

constexpr const char* kRefusedToOpen =
    "Cannot open a file: the last KivAttach on this thread was refused, and until its KivDetach the exchange "
    "library answers no call here, so that the sessions below it stay as they are. The program that uses the "
    "library must call KivDetach once for every KivAttach; tell its makers.";
constexpr const char* kRefusedToWrite =
    "Nothing is written: the last KivAttach on this thread was refused, and until its KivDetach the exchange "
    "library answers no call here, so that the sessions below it stay as they are. The program that uses the "
    "library must call KivDetach once for every KivAttach; tell its makers.";

// The calling thread's innermost attachment, or nullptr.
KivAttachment* Innermost()
{
    KivThread* thread = KivThread::Current(false);
    return thread != nullptr ? thread->Innermost() : nullptr;
}

// Why no attachment answers: none was made, or a refused one waits for its detach.
bool WaitsForDetach()
{
    KivThread* thread = KivThread::Current(false);
    return thread != nullptr && thread->WaitsForDetach();
}

// A text of the open file as the caller reads it: converted when the file is UTF-8.
const char* Shown(KivAttachment& attachment, const char* text, int slot)
{
    if (text == nullptr)
        return g_empty;
    return attachment.session.FileIsUtf8() ? Utf8ToAnsi(text, attachment.texts[slot]) : text;
}

// The callers' code page is fixed for the life of the process.
bool CallersSpeakUtf8()
{
    static const bool utf8 = AnsiIsUtf8();
    return utf8;
}

// A call's texts in UTF-8: each text itself when it needs no conversion (a NULL text is
// ""); only a text that does takes storage.
template <size_t kCount>
class Utf8Texts {
public:
    Utf8Texts(std::initializer_list<const char*> texts)
    {
        size_t i = 0;
        bool utf8 = CallersSpeakUtf8();
        for (const char* text : texts) {
            std::string_view view = text != nullptr ? std::string_view(text) : std::string_view();
            if (!utf8 && !IsAsciiText(view)) {
                if (!storage_)
                    storage_.reset(new std::string[kCount]);
                storage_[i] = AnsiToUtf8(view);
                view = storage_[i];
            }
            views_[i++] = view;
        }
    }
    std::string_view operator[](size_t i) const { return views_[i]; }

private:
    std::string_view views_[kCount];
    std::unique_ptr<std::string[]> storage_;
};

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

// The attachment's message, kept in it until its next call.
void PutMessage(char** message, KivAttachment& attachment, const std::string& text)
{
    if (message == nullptr)
        return;
    attachment.message = MessageToAnsi(text);
    Put(message, attachment.message.c_str());
}

// One write call: an empty message when `step` succeeds, the writer's own message when
// it refuses, and the writing abandoned when it throws.
template <typename Step>
int WriteStep(char** message, Step step)
{
    KivAttachment* attachment = Innermost();
    if (attachment == nullptr) {
        Put(message, WaitsForDetach() ? kRefusedToWrite : kNotAttachedToWrite);
        return 0;
    }
    try {
        if (step(attachment->session)) {
            Put(message, g_empty);
            return 1;
        }
        PutMessage(message, *attachment, attachment->session.WriteMessage());
    } catch (...) {
        attachment->session.AbandonWrite();
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
        KivThread* thread = KivThread::Current(true);
        if (thread == nullptr) {
            Put(message, kOutOfMemory);
            return 0;
        }
        // Kept lines of an older file in the Windows code page become UTF-8 too. A refusal
        // is still ended by a KivDetach (KivAttachments.h).
        bool outOfMemory = false;
        if (thread->Attach(CallersSpeakUtf8() ? nullptr : &AnsiToUtf8, outOfMemory) == nullptr) {
            Put(message, outOfMemory ? kOutOfMemory : kTooDeep);
            return 0;
        }
        Put(message, g_empty);
        return 1;
    } catch (...) {
        Put(message, kOutOfMemory);
        return 0;
    }
}

KIVAPI int KIVCALL KivOpen(const char* path, char** message, int /*mode: always 0*/)
{
    KivAttachment* attachment = Innermost();
    if (attachment == nullptr) {
        Put(message, WaitsForDetach() ? kRefusedToOpen : kNotAttachedToOpen);
        return 0;
    }
    try {
        if (attachment->session.Open(path)) {
            Put(message, g_empty);
            return 1;
        }
        PutMessage(message, *attachment, attachment->session.Message());
        return 0;
    } catch (...) {
        Put(message, kOutOfMemory);
        return 0;
    }
}

// A read call that delivers nothing says how the delivery ended where a host can ask
// without a change to the calls: GetLastError() (errno natively) is ERROR_READ_FAULT
// (EIO) when it ended early, ERROR_NO_MORE_ITEMS (0) at the end or without a file.
static void SayHowTheDeliveryEnded(const KivAttachment* attachment)
{
    bool failed = attachment != nullptr && attachment->session.DeliveryFailed();
#ifdef _WIN32
    SetLastError(failed ? ERROR_READ_FAULT : ERROR_NO_MORE_ITEMS);
#else
    errno = failed ? EIO : 0;
#endif
}

KIVAPI int KIVCALL KivGetNextObject(char** name, char** author, char** version, char** wellId,
                                    char** date)
{
    KivAttachment* attachment = Innermost();
    KivSession::Object object = {};
    bool delivered = attachment != nullptr && Quietly([&] { return attachment->session.NextObject(object); });
    if (!delivered) {
        for (char** out : {name, author, version, wellId, date})
            Put(out, g_empty);
        SayHowTheDeliveryEnded(attachment);
        return 0;
    }
    Put(name, Shown(*attachment, object.name, 0));
    Put(author, Shown(*attachment, object.author, 1));
    Put(version, Shown(*attachment, object.version, 2));
    Put(wellId, Shown(*attachment, object.wellId, 3));
    Put(date, object.date);  // digits and separators only
    return 1;
}

KIVAPI int KIVCALL KivGetNextValue(char** groupName, char** valueName, char** extraText,
                                   char** suffixText, char** valueText, char** parentGroupName,
                                   int* recordNumber)
{
    KivAttachment* attachment = Innermost();
    KivSession::Value value = {};
    bool delivered = attachment != nullptr && Quietly([&] { return attachment->session.NextValue(value); });
    if (!delivered) {
        for (char** out : {groupName, valueName, extraText, suffixText, valueText, parentGroupName})
            Put(out, g_empty);
        Put(recordNumber, 0);
        SayHowTheDeliveryEnded(attachment);
        return 0;
    }
    Put(groupName, Shown(*attachment, value.groupName, 0));
    Put(valueName, Shown(*attachment, value.valueName, 1));
    Put(extraText, Shown(*attachment, value.extraText, 2));
    Put(suffixText, Shown(*attachment, value.suffixText, 3));
    Put(valueText, Shown(*attachment, value.valueText, 4));
    Put(parentGroupName, Shown(*attachment, value.parentGroupName, 5));
    Put(recordNumber, value.recordNumber);
    return 1;
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
        if (KivThread* thread = KivThread::Current(false))
            thread->Detach();
    } catch (...) {
    }
}

KIVAPI int KIVCALL KivBeginWrite(const char* path, char** message, int mode)
{
    return WriteStep(message, [&](KivSession& session) { return session.BeginWrite(path, mode); });
}

KIVAPI int KIVCALL KivPutObject(const char* name, const char* author, const char* version, const char* wellId,
                                const char* date, char** message)
{
    return WriteStep(message, [&](KivSession& session) {
        Utf8Texts<5> t({name, author, version, wellId, date});
        return session.PutObject(t[0], t[1], t[2], t[3], t[4]);
    });
}

KIVAPI int KIVCALL KivPutValue(const char* groupName, const char* parentGroupName, int recordNumber,
                               const char* valueName, const char* valueText, const char* suffixText,
                               const char* extraText, char** message)
{
    return WriteStep(message, [&](KivSession& session) {
        // Most values pass as they are given; the others are converted, checked and told.
        KvdValueTexts texts = {groupName, parentGroupName, recordNumber, valueName, valueText, suffixText, extraText};
        switch (session.PutValueQuickly(texts, !CallersSpeakUtf8())) {
        case KvdWriteSession::Quickly::kPut: return true;
        case KvdWriteSession::Quickly::kBroken: return false;
        default: break;
        }
        Utf8Texts<6> t({groupName, parentGroupName, valueName, valueText, suffixText, extraText});
        return session.PutValue(t[0], t[1], recordNumber, t[2], t[3], t[4], t[5]);
    });
}

KIVAPI int KIVCALL KivCommitWrite(char** message)
{
    return WriteStep(message, [&](KivSession& session) { return session.CommitWrite(); });
}

KIVAPI void KIVCALL KivAbandonWrite(void)
{
    try {
        if (KivAttachment* attachment = Innermost())
            attachment->session.AbandonWrite();
    } catch (...) {
    }
}

}  // extern "C"

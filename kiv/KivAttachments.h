// KivAttachments.h - who holds which session. Each thread has its own stack of
// attachments: KivAttach puts a fresh one on top, KivDetach ends the innermost and the
// thread is back in the one below, as that one was. A thread only ever reaches its own
// stack, so calls from several threads never meet in a session.
//
// The texts that the calls hand out live in the attachment that answered the call, so
// a nested attachment (a dialog's, inside a host's) never overwrites the texts that the
// one below handed out.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "KivSession.h"

struct KivAttachment {
    explicit KivAttachment(KvdLegacyToUtf8 convert) : session(kvddisk::SystemDisk(), convert) {}
    KivSession session;
    std::string message;   // the text last handed out through a message pointer
    std::string texts[6];  // texts of a UTF-8 file, converted for the caller
};

class KivThread {
public:
    // Attachments open at once on one thread: enough for a host, a dialog inside it and
    // whatever nests in that; a host that forgets KivDetach in a loop meets the bound.
    static constexpr size_t kMaxAttachments = 16;

    // The calling thread's stack; made on first use when `make` (it may throw
    // std::bad_alloc then). nullptr: the thread has none.
    static KivThread* Current(bool make);

    KivAttachment* Innermost() { return stack_.empty() ? nullptr : stack_.back().get(); }
    // A fresh attachment on top. nullptr: kMaxAttachments are open.
    KivAttachment* Attach(KvdLegacyToUtf8 convert);
    // Ends the innermost attachment, with its open file and its write; harmless when
    // there is none.
    void Detach();

private:
    std::vector<std::unique_ptr<KivAttachment>> stack_;
};

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

    // The attachment that answers the thread's calls; nullptr when there is none, or
    // while a refused attach waits for its detach.
    KivAttachment* Innermost() { return refused_ > 0 || stack_.empty() ? nullptr : stack_.back().get(); }
    // A fresh attachment on top. nullptr: refused, because kMaxAttachments are open (or
    // memory ran out: `outOfMemory`).
    //
    // A refused attach still takes its place on the stack, holding nothing: the dialogs
    // detach without asking whether their attach succeeded, as hosts expect, so its
    // KivDetach must end nothing. Until then no attachment answers (the attachments
    // below belong to whoever attached them), and an attach is refused too.
    KivAttachment* Attach(KvdLegacyToUtf8 convert, bool& outOfMemory);
    // Ends the innermost attachment, with its open file and its write, or the refused
    // attach on top; harmless when there is none.
    void Detach();
    bool WaitsForDetach() const { return refused_ > 0; }

private:
    std::vector<std::unique_ptr<KivAttachment>> stack_;
    size_t refused_ = 0;  // refused attaches on top of the stack, each waiting for its detach
};

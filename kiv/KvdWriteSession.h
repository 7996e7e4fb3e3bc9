// KvdWriteSession.h - one write of a .kvd file: objects and values are checked as
// they are put and go to a temporary file beside the target; the commit puts the
// finished file in the target's place in one step, so the target is never half
// written. Memory does not grow with the size of the target.
//
// Replace mode writes only what is put, in the order put. Update mode keeps the
// target's other objects by the rules of KvdMerge.h.
//
// Writers of every process take turns: a write holds the writers' lock of its target
// from the begin, before it examines the target, until its end (KvdDisk.h, WriteLock).
// The check at the commit stays, for programs that write the file without the lock.
//
// The order of a commit's steps is what keeps the target whole: the new file is
// written and flushed to the disk; then the target is checked to be the file that the
// write began on (its stamp, and its content's hash); then the new file takes its place
// in one step. A failure before that last step leaves the target as it was and no
// temporary file; after it, nothing can fail that would matter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "KvdDisk.h"
#include "KvdMerge.h"
#include "KvdWriter.h"

class KvdWriteSession {
public:
    enum Mode { kUpdate = 1, kReplace = 2 };

    // `convert`: turns bytes of an older file in the Windows code page into UTF-8, so that
    // an update converts its kept lines (nullptr: they are copied unchanged).
    explicit KvdWriteSession(kvddisk::Disk& disk = kvddisk::SystemDisk(), KvdLegacyToUtf8 convert = nullptr);
    ~KvdWriteSession();
    KvdWriteSession(const KvdWriteSession&) = delete;
    KvdWriteSession& operator=(const KvdWriteSession&) = delete;

    // Each returns false with Message() saying why. Texts are UTF-8 here.
    bool Begin(const char* path, int mode);
    bool PutObject(std::string_view name, std::string_view author, std::string_view version,
                   std::string_view wellId, std::string_view date);
    bool PutValue(std::string_view group, std::string_view parent, int record, std::string_view name,
                  std::string_view value, std::string_view suffix, std::string_view extra);
    // PutValue for texts as the calls receive them, written in one pass. kOtherWay:
    // nothing was done, and PutValue (with the texts in UTF-8) does it or says why not; so
    // it is when `convertHigh` and a text holds a byte above 127 (the caller's code page).
    // kBroken: the disk failed, the write is abandoned and Message() says why.
    enum class Quickly { kPut, kOtherWay, kBroken };
    Quickly PutValueQuickly(const KvdValueTexts& texts, bool convertHigh);
    // Ends the write either way.
    bool Commit();
    // Ends the write; the target is untouched and no temporary file is left.
    void Abandon();

    // How long Begin waits for another writer of the file, in any process, to finish
    // (KvdDisk.h, WriteLock) before it refuses.
    static constexpr unsigned kLockWait = 5000;  // milliseconds
    void SetLockWait(unsigned milliseconds) { lockWait_ = milliseconds; }

    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }
    const std::string& Message() const { return message_; }

private:
    enum class Sameness { kSame, kChanged, kUnknown };

    bool Refuse(const std::string& text);
    bool TakeLock();
    bool RefuseObject(const std::string& text);
    bool RefuseValue(const std::string& text);
    bool Say(const std::string& text);
    bool Broken(const kvddisk::Error& error);
    std::string Head() const;
    std::string Callers(const std::string& text) const;  // in UTF-8
    std::string FailureText(const kvddisk::Error& error) const;
    std::string ChangedText() const;
    std::string CannotReadTargetText(const kvddisk::Error& error);
    bool FieldsHaveNoZero(std::initializer_list<std::pair<const char*, std::string_view>> fields,
                          const char* what);
    bool Emit(const std::string& line);
    bool Emit(const KvdLine& line);
    bool HashTarget(uint64_t& hash, uint64_t& size, kvddisk::Error& error);
    Sameness StillTheSame(bool compareContent, uint64_t hash, uint64_t size, kvddisk::Error& error);
    bool Checked(bool compareContent, uint64_t hash, uint64_t size);
    bool CommitSteps();
    bool CommitReplace();
    bool CommitUpdate();

    kvddisk::Disk& disk_;
    KvdLegacyToUtf8 legacyToUtf8_;
    kvddisk::WriteLock lock_;  // held from the begin to the end of the write
    unsigned lockWait_ = kLockWait;
    bool open_ = false;
    int mode_ = kUpdate;
    std::string path_;
    kvddisk::Stamp stamp_;   // the target at the begin
    uint64_t hash_ = 0;      // its content then
    bool targetIsUtf8_ = true;
    kvddisk::NewFile out_;   // replace: the new file; update: the spool of what is put
    uint64_t written_ = 0;   // bytes given to out_
    KvdPutObjects put_;      // update: where in the spool each name's objects are
    KvdPutObjects::Piece* current_ = nullptr;  // the object that takes values, or none
    KvdPutObjects::Piece replacePiece_ = {};   // replace mode places nothing later
    KvdGroupPath groups_;
    std::string line_;
    std::string message_;
};

// The local time now as a .kvd date, "YYYY-MM-DD HH:MM".
std::string KvdDateNow();

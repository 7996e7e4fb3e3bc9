// KvdWriteSession.h - one write of a .kvd file: objects and values are checked as
// they are put and go to a temporary file beside the target; the commit puts the
// finished file in the target's place in one step, so the target is never half
// written. Memory does not grow with the size of the target.
//
// Update mode keeps the target's other objects: every name put replaces all
// objects of that name; the first object put with a name stands where the first
// old one stood, further ones follow it; names that the target did not hold are
// added before its "end" line, in the order first put, each name's objects
// together. Every other line (kept objects, comments, blank lines) is copied byte
// for byte. Replace mode writes only what is put, in the order put.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "KvdDisk.h"
#include "KvdWriter.h"

class KvdWriteSession {
public:
    enum Mode { kUpdate = 1, kReplace = 2 };
    // Turns bytes of an older file in the Windows code page into UTF-8 (kept lines of
    // such a file are converted when it is updated). nullptr: copied unchanged.
    using LegacyToUtf8 = std::string (*)(std::string_view);

    KvdWriteSession();
    ~KvdWriteSession();
    KvdWriteSession(const KvdWriteSession&) = delete;
    KvdWriteSession& operator=(const KvdWriteSession&) = delete;

    void SetLegacyConverter(LegacyToUtf8 convert) { legacyToUtf8_ = convert; }

    // Each returns false with Message() saying why. Texts are UTF-8 here.
    bool Begin(const char* path, int mode);
    bool PutObject(std::string_view name, std::string_view author, std::string_view version,
                   std::string_view wellId, std::string_view date);
    bool PutValue(std::string_view group, std::string_view parent, int record, std::string_view name,
                  std::string_view value, std::string_view suffix, std::string_view extra);
    // Ends the write either way.
    bool Commit();
    // Ends the write; the target is untouched and no temporary file is left.
    void Abandon();

    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }
    const std::string& Message() const { return message_; }

    // For tests: called at the named steps of a commit ("written": the temporary
    // file is complete on the disk and the target not yet replaced).
    static void (*commitStepHook)(const char* step);

private:
    struct Piece {  // one object put, with its values: a range of the spool
        uint64_t offset;
        uint64_t length;
    };
    struct Name {
        std::vector<Piece> pieces;
        bool placed = false;  // written into the new file already
    };

    bool Refuse(const std::string& text);
    bool RefuseObject(const std::string& text);
    bool RefuseValue(const std::string& text);
    bool Broken(const kvddisk::Error& error);
    std::string Head() const;
    std::string FailureText(const kvddisk::Error& error) const;
    std::string ChangedText() const;
    bool FieldsHaveNoZero(std::initializer_list<std::pair<const char*, std::string_view>> fields,
                          const char* what);
    bool Emit(const std::string& line);
    bool StillTheSame(uint64_t hash, uint64_t size);
    bool Merge(kvddisk::NewFile& out, uint64_t& hash, uint64_t& size);
    bool PlaceName(Name& name, std::FILE* spool, kvddisk::NewFile& out);
    std::string CannotReadTargetText() const;
    bool Say(const std::string& text);
    bool CommitSteps();

    LegacyToUtf8 legacyToUtf8_ = nullptr;
    bool open_ = false;
    int mode_ = kUpdate;
    std::string path_;
    kvddisk::Stamp stamp_;   // the target at the begin
    uint64_t hash_ = 0;      // its content then
    bool targetIsUtf8_ = true;
    kvddisk::NewFile out_;   // replace: the new file; update: the spool of what is put
    uint64_t written_ = 0;   // bytes given to out_
    std::unordered_map<std::string, Name> names_;
    std::vector<std::string> order_;  // names in the order first put
    Piece* current_ = nullptr;        // the object that takes values, or none
    KvdGroupPath groups_;
    std::string line_;
    std::string message_;
};

// The local time now as a .kvd date, "YYYY-MM-DD HH:MM".
std::string KvdDateNow();

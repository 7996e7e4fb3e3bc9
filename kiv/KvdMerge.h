// KvdMerge.h - update mode's rules, applied at the commit: the target's lines are
// copied into the new file, and the objects put stand in place of the old objects of
// their names.
//
// - Every object name put replaces all objects of that name in the file.
// - The first object put with a name takes the place of the first old object of that
//   name; further objects put with that name follow it directly, in the order put.
// - Names that the file did not hold are added before its "end" line, in the order in
//   which they were first put, each name's objects together.
// - Every other line is kept byte for byte (kept objects, comments, blank lines, line
//   ends, a byte order mark); the lines of an older file in the Windows code page are
//   converted to UTF-8 on the way.
// The target's lines come from the reader (KvdReader::NextRawLine), which decodes the
// names of objects by the same rules as everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "KvdDisk.h"
#include "KvdReader.h"

// What update mode put, as the merge places it: the spool holds every object line put
// with its value lines, in the order put; this says which ranges of it belong to which
// name.
class KvdPutObjects {
public:
    struct Piece {  // one object put, with its values
        uint64_t offset;
        uint64_t length;
    };
    struct Name {
        std::vector<Piece> pieces;
        bool placed = false;  // written into the new file already
    };

    // A new object of `name`, whose line starts at `offset` of the spool. The piece grows
    // by the values put after it; it stays valid until the next Add.
    Piece& Add(std::string_view name, uint64_t offset, uint64_t length);
    void Clear();

    Name* Find(const std::string& name);
    const std::vector<std::string>& Order() const { return order_; }  // names in the order first put
    Name& Of(const std::string& name) { return names_[name]; }

private:
    std::unordered_map<std::string, Name> names_;
    std::vector<std::string> order_;
};

enum class KvdMergeEnd {
    kWritten,      // the new file is complete in `out`
    kChanged,      // the target is not the file the write began on
    kFailed,       // a disk call failed: `error` says which and why
    kLineTooLong,  // a line of an older code page file would be too long in UTF-8
};

// Writes the new file of an update into `out`. `target` is the reader, open on the old
// file and set to hash it (nullptr: there was no file at the begin, and the new file
// holds only what was put). `spool` holds what was put, handed to the disk. `convert`:
// the target is an older code page file whose lines become UTF-8 (nullptr: copied as
// they are).
KvdMergeEnd MergeUpdate(KvdReader* target, KvdPutObjects& put, kvddisk::NewFile& spool, kvddisk::NewFile& out,
                        KvdLegacyToUtf8 convert, kvddisk::Error& error);

// A line of an older file in the Windows code page, in UTF-8: the bytes above 127 of
// texts and comments are converted, and so is a byte above 127 that a quoted text
// writes as \xHH (it stands for a character of that code page too).
std::string LegacyLineToUtf8(std::string_view line, KvdLegacyToUtf8 convert);

// KvdMerge.cpp - the update merge: the target's lines, read once, each kept, skipped
// (a value of a replaced object) or followed by the objects put in its place.
#include "KvdMerge.h"

#include <cstring>
#include <memory>

#include "KvdBytes.h"
#include "KvdWriter.h"

KvdPutObjects::Piece& KvdPutObjects::Add(std::string_view name, uint64_t offset, uint64_t length)
{
    auto found = names_.find(std::string(name));
    if (found == names_.end()) {
        found = names_.emplace(std::string(name), Name()).first;
        order_.push_back(found->first);
    }
    found->second.pieces.push_back({offset, length});
    return found->second.pieces.back();
}

void KvdPutObjects::Clear()
{
    names_.clear();
    order_.clear();
}

KvdPutObjects::Name* KvdPutObjects::Find(const std::string& name)
{
    auto found = names_.find(name);
    return found == names_.end() ? nullptr : &found->second;
}

namespace {

constexpr size_t kCopyBuffer = size_t(64) << 10;

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Copies the objects put under one name from the spool into the new file.
bool PlaceName(KvdPutObjects::Name& name, kvddisk::NewFile& spool, kvddisk::NewFile& out, char* buffer,
               kvddisk::Error& error)
{
    name.placed = true;
    for (const KvdPutObjects::Piece& piece : name.pieces) {
        for (uint64_t offset = piece.offset, left = piece.length; left > 0;) {
            size_t want = left < kCopyBuffer ? static_cast<size_t>(left) : kCopyBuffer;
            if (!spool.ReadBack(offset, buffer, want, error) || !out.Write(buffer, want, error))
                return false;
            offset += want;
            left -= want;
        }
    }
    return true;
}

}  // namespace

std::string LegacyLineToUtf8(std::string_view line, KvdLegacyToUtf8 convert)
{
    std::string out;
    out.reserve(line.size() + line.size() / 2);
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    bool comment = i < line.size() && line[i] == '#';
    bool quoted = false;
    std::string run;  // bytes above 127 waiting for conversion
    auto flush = [&] {
        if (!run.empty())
            out += convert(run);
        run.clear();
    };
    for (i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x80) {
            run += static_cast<char>(c);
            continue;
        }
        if (quoted && !comment && c == '\\' && i + 1 < line.size()) {
            if (line[i + 1] == 'x' && i + 3 < line.size() && HexDigit(line[i + 2]) >= 8 && HexDigit(line[i + 3]) >= 0) {
                run += static_cast<char>(HexDigit(line[i + 2]) * 16 + HexDigit(line[i + 3]));
                i += 3;
                continue;
            }
            flush();
            out += line.substr(i, 2);
            ++i;
            continue;
        }
        flush();
        if (c == '"' && !comment)
            quoted = !quoted;
        out += static_cast<char>(c);
    }
    flush();
    return out;
}

KvdMergeEnd MergeUpdate(KvdReader* target, KvdPutObjects& put, kvddisk::NewFile& spool, kvddisk::NewFile& out,
                        KvdLegacyToUtf8 convert, kvddisk::Error& error)
{
    std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
    if (target == nullptr) {
        if (!out.Write(std::string(kKvdHeader) + "\n", error))
            return KvdMergeEnd::kFailed;
        for (const std::string& key : put.Order())
            if (!PlaceName(put.Of(key), spool, out, buffer.get(), error))
                return KvdMergeEnd::kFailed;
        return out.Write("end\n", 4, error) ? KvdMergeEnd::kWritten : KvdMergeEnd::kFailed;
    }

    bool skipping = false, ended = false;
    std::string converted, name;
    KvdReader::RawLine raw;
    while (target->NextRawLine(raw)) {
        const char* line = raw.bytes;
        size_t length = raw.size;
        if (convert != nullptr) {
            // A byte order mark stays as it is: UTF-8 already, and what the reader looks for.
            size_t mark = raw.kind == KvdReader::kHeaderLine && length >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0
                              ? 3
                              : 0;
            converted.assign(line, mark);
            converted += LegacyLineToUtf8(std::string_view(line + mark, length - mark), convert);
            if (!KvdReader::Fits(converted.data(), converted.size()))
                return KvdMergeEnd::kLineTooLong;
            line = converted.data();
            length = converted.size();
        }
        bool keep = true;
        switch (raw.kind) {
        case KvdReader::kHeaderLine:
        case KvdReader::kBlankOrComment: break;
        case KvdReader::kValueLine: keep = !skipping; break;
        case KvdReader::kObjectLine: {
            name.assign(target->Text(KvdReader::kName), target->Length(KvdReader::kName));
            if (convert != nullptr)
                name = convert(name);
            KvdPutObjects::Name* replaced = put.Find(name);
            skipping = replaced != nullptr;
            keep = !skipping;
            if (skipping && !replaced->placed && !PlaceName(*replaced, spool, out, buffer.get(), error))
                return KvdMergeEnd::kFailed;
            break;
        }
        case KvdReader::kEndLine:
            for (const std::string& key : put.Order()) {
                KvdPutObjects::Name& entry = put.Of(key);
                if (!entry.placed && !PlaceName(entry, spool, out, buffer.get(), error))
                    return KvdMergeEnd::kFailed;
            }
            ended = true;
            break;
        default:  // the reader accepted this file at the begin: it changed since
            return KvdMergeEnd::kChanged;
        }
        if (keep && !out.Write(line, length, error))
            return KvdMergeEnd::kFailed;
    }
    if (target->Failed() && target->DiskError().kind != kvddisk::Failure::kNone) {
        error = target->DiskError();
        return KvdMergeEnd::kFailed;
    }
    return target->Failed() || !ended ? KvdMergeEnd::kChanged : KvdMergeEnd::kWritten;
}

// fuzz_update.cpp - libFuzzer target: update mode over any file, UTF-8 or an older one
// in the Windows code page (Latin-1 here stands for it), with a disk that fails one
// chosen call. It checks what a write promises: a file that the reader refuses is not
// begun on; a write that fails or is refused leaves the file byte for byte and nothing
// beside it; a commit that succeeds leaves a file that the reader accepts, in UTF-8 as a
// whole, with the objects put in the place of those of their names and every other
// object kept.
//
// The input: a byte that picks the disk call to fail (0: none), a byte that says what to
// put and whether the file's first comment is stretched to about half the line limit (its
// bytes above 127 then pass the limit in UTF-8, or not, by a few bytes), then the file.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "KvdReader.h"
#include "KvdTestDisks.h"
#include "KvdWriteSession.h"
#include "fuzz_input.h"

namespace {

void Require(bool condition, const char* what, const std::string& message = "")
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s %s\n", what, message.c_str());
        std::abort();
    }
}

std::string Latin1ToUtf8(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Folder()
{
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    std::string folder = std::string(dir) + "/kiv_fuzz_update_" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    return folder + "/";
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

std::string Bytes(const std::string& path)
{
    std::string content;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            content.append(buffer, got);
        std::fclose(file);
    }
    return content;
}

void Put(const std::string& path, const std::string& content)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "the input can be written");
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

// What the reader makes of a file: accepted or not, UTF-8 or not, its objects' names.
struct Reading {
    bool accepted = false;
    bool utf8 = false;
    std::vector<std::string> names;
    std::string message;  // why the reader refuses it
};

Reading Read(const std::string& path)
{
    Reading reading;
    KvdReader reader;
    if (!reader.Open(path.c_str()) || !reader.CheckToEnd()) {
        reading.message = reader.Message();
        return reading;
    }
    reading.accepted = true;
    reading.utf8 = reader.IsUtf8();
    Require(reader.Open(path.c_str()), "an accepted file opens again");
    for (KvdReader::Record record; (record = reader.Next()) != KvdReader::kFinished;) {
        Require(record != KvdReader::kError, "an accepted file reads to its end", reader.Message());
        if (record == KvdReader::kObject)
            reading.names.emplace_back(reader.Text(KvdReader::kName), reader.Length(KvdReader::kName));
    }
    return reading;
}

// The first comment line after the first line, its text repeated to `length` bytes.
std::string Stretched(const std::string& file, size_t length)
{
    size_t at = file.find("\n#");
    if (at == std::string::npos)
        return file;
    size_t begin = at + 2, end = file.find_first_of("\r\n", begin);
    if (end == std::string::npos || end == begin)
        return file;
    std::string text = file.substr(begin, end - begin), longer;
    longer.reserve(length);
    while (longer.size() < length)
        longer += text;
    longer.resize(length);
    return file.substr(0, begin) + longer + file.substr(end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    static const std::string folder = Folder();
    static const std::string path = folder + "update.kvd";
    static const bool removedAtExit = std::atexit([] {
        for (const std::string& name : Names(folder))
            std::remove((folder + name).c_str());
        rmdir(folder.c_str());
    }) == 0;
    (void)removedAtExit;
    const int failCall = data[0];
    const uint8_t what = data[1];
    std::string content = fuzzinput::LaidOut(data + 2, size - 2);
    if (what & 4)
        content = Stretched(content, KvdReader::kMaxLine / 2 - 8 + ((what >> 3) & 15));
    Put(path, content);

    const Reading before = Read(path);
    std::map<std::string, int> put;  // objects put, by name (in UTF-8)
    FaultDisk disk;
    disk.FailCall(failCall);
    KvdWriteSession writer(disk, &Latin1ToUtf8);
    bool begun = writer.Begin(path.c_str(), KvdWriteSession::kUpdate);
    if (!before.accepted)
        Require(!begun, "a file that the reader refuses is not begun on");
    bool committed = false;
    if (begun) {
        std::vector<std::string> names;
        if ((what & 1) && !before.names.empty())
            names.push_back(before.utf8 ? before.names.front() : Latin1ToUtf8(before.names.front()));
        if (what & 2)
            names.push_back("Br\xC3\xB8nn");
        if (what & 0x80)
            names.push_back(names.empty() ? "New" : names.front());  // a name put twice
        for (const std::string& name : names) {
            if (!writer.PutObject(name, "fuzz", "1", "W", "2001-01-01 10:00"))
                break;
            ++put[name];
            writer.PutValue("G", "", 1, "v", "\xC3\xA9", "", "");
        }
        committed = writer.Commit();
        if (failCall == 0 || failCall > disk.Count())
            Require(committed || writer.Message().find("longer in UTF-8") != std::string::npos,
                    "a write that meets no fault commits, or says which line is too long:", writer.Message());
    }

    const std::vector<std::string> beside = Names(folder);
    Require(beside.size() == 1 && beside[0] == "update.kvd", "nothing is left beside the file");
    if (!committed) {
        Require(Bytes(path) == content, "a write that fails leaves the file byte for byte");
        return 0;
    }
    const Reading after = Read(path);
    Require(after.accepted, "a committed file opens:", after.message);
    Require(after.utf8, "a committed update is UTF-8 as a whole");
    std::map<std::string, int> expected = put;
    for (const std::string& name : before.names) {
        std::string utf8 = before.utf8 ? name : Latin1ToUtf8(name);
        if (put.count(utf8) == 0)
            ++expected[utf8];
    }
    std::map<std::string, int> found;
    for (const std::string& name : after.names)
        ++found[name];
    Require(found == expected, "the objects put stand for those of their names, and every other is kept");
    return 0;
}

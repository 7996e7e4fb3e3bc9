// fuzz_writer.cpp - libFuzzer target: a .kvd file that the reader accepts is written
// again through the write calls and read once more. It checks what the writer
// promises: everything read writes without a refusal (the writer's group order is the
// reader's), reads back the same; an update that puts nothing leaves the file byte
// for byte; an update that puts the first object again replaces every object of its
// name by it, in the place of the first, and keeps the others in order.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "kivapi.h"

namespace {

std::string TemporaryPath(const char* what)
{
    // tmpfs when there is one: writing the input costs no disk.
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    return std::string(dir) + "/kiv_fuzz_writer_" + what + "_" + std::to_string(getpid()) + ".kvd";
}

void Require(bool condition, const char* what, const char* message = "")
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s %s\n", what, message);
        std::abort();
    }
}

struct Value {
    std::string group, parent, name, text, suffix, extra;
    int record;
    bool operator==(const Value& o) const
    {
        return group == o.group && parent == o.parent && name == o.name && text == o.text && suffix == o.suffix &&
               extra == o.extra && record == o.record;
    }
};
struct Object {
    std::string name, author, version, wellId, date;
    std::vector<Value> values;
    bool operator==(const Object& o) const
    {
        return name == o.name && author == o.author && version == o.version && wellId == o.wellId &&
               date == o.date && values == o.values;
    }
};

bool ReadAll(const std::string& path, std::vector<Object>& objects)
{
    objects.clear();
    char* message = nullptr;
    KivAttach(&message);
    if (!KivOpen(path.c_str(), &message, 0)) {
        KivDetach();
        return false;
    }
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        Object o{name, author, version, wellId, date, {}};
        char *group, *valueName, *extra, *suffix, *text, *parent;
        int record;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &text, &parent, &record))
            o.values.push_back({group, parent, valueName, text, suffix, extra, record});
        objects.push_back(o);
    }
    KivDetach();
    return true;
}

void Write(const std::string& path, int mode, const std::vector<Object>& objects)
{
    char* message = nullptr;
    KivAttach(&message);
    Require(KivBeginWrite(path.c_str(), &message, mode) != 0, "a write begins on a file the reader accepts:",
            message);
    for (const Object& o : objects) {
        Require(KivPutObject(o.name.c_str(), o.author.c_str(), o.version.c_str(), o.wellId.c_str(), o.date.c_str(),
                             &message) != 0,
                "an object read is written:", message);
        for (const Value& v : o.values)
            Require(KivPutValue(v.group.c_str(), v.parent.c_str(), v.record, v.name.c_str(), v.text.c_str(),
                                v.suffix.c_str(), v.extra.c_str(), &message) != 0,
                    "a value read is written:", message);
    }
    Require(KivCommitWrite(&message) != 0, "the commit succeeds:", message);
    KivDetach();
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
    if (file == nullptr)
        std::abort();
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string input = TemporaryPath("in"), output = TemporaryPath("out");
    static const bool removedAtExit = std::atexit([] {
        std::remove(input.c_str());
        std::remove(output.c_str());
    }) == 0;
    (void)removedAtExit;
    const std::string content = fuzzinput::LaidOut(data, size);  // across the reader's buffer, at times
    Put(input, content);
    std::vector<Object> read;
    if (!ReadAll(input, read))
        return 0;

    // Replace: what was read, written anew, reads back the same.
    std::remove(output.c_str());
    Write(output, KIV_WRITE_REPLACE, read);
    std::vector<Object> again;
    Require(ReadAll(output, again), "the written file reads");
    Require(again == read, "the written file reads back what was read");

    // Update putting nothing: the file stays byte for byte.
    Write(input, KIV_WRITE_UPDATE, {});
    Require(Bytes(input) == content, "an update that puts nothing keeps every byte");

    // Update putting the first object again, with another author.
    if (!read.empty()) {
        Object first = read.front();
        first.author += "*";
        Write(input, KIV_WRITE_UPDATE, {first});
        std::vector<Object> expected;
        bool placed = false;
        for (const Object& o : read) {
            if (o.name != first.name)
                expected.push_back(o);
            else if (!placed)
                expected.push_back(first), placed = true;
        }
        Require(ReadAll(input, again), "the updated file reads");
        Require(again == expected, "an update replaces the objects of the name put and keeps the others");
    }
    return 0;
}

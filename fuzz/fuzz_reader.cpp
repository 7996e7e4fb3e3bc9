// fuzz_reader.cpp - libFuzzer target: a .kvd file from KivOpen through the whole
// enumeration. Besides crashes it checks what the calls promise: a refused file
// has a message naming it, every delivered date converts, and the values come in
// an order that the depth-first walk can place. Some inputs are laid across the edge of
// the reader's buffer (fuzz_input.h).
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

std::string InputPath()
{
    // tmpfs when there is one: writing the input costs no disk.
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    return std::string(dir) + "/kiv_fuzz_reader_" + std::to_string(getpid()) + ".kvd";
}

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

bool OnPath(const std::vector<std::string>& path, const std::string& name)
{
    for (const std::string& group : path)
        if (group == name)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = InputPath();
    static const bool removedAtExit = std::atexit([] { std::remove(path.c_str()); }) == 0;
    (void)removedAtExit;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const std::string content = fuzzinput::LaidOut(data, size);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);

    // Half of the inputs leave their session attached, with its file open, for the next
    // input's KivOpen to replace.
    static bool attached = false;
    char* message = nullptr;
    if (!attached)
        Require(KivAttach(&message) != 0, "an attach after every detach succeeds");
    attached = true;
    if (!KivOpen(path.c_str(), &message, 0)) {
        std::string expected = "Cannot open \"" + path + "\": ";
        Require(std::strncmp(message, expected.c_str(), expected.size()) == 0, "a refusal names the file");
        char* name;
        Require(KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr) == 0, "a refused file has no object");
        if (size == 0 || (data[size - 1] & 1)) {
            KivDetach();
            attached = false;
        }
        return 0;
    }
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        int y, mo, d, h, mi;
        Require(KivStringToDate(date, &y, &mo, &d, &h, &mi) != 0, "every delivered date converts");
        Require(name[0] != '\0', "objects have names");
        std::vector<std::string> groupPath;  // the walk's path, as the browser keeps it
        char *group, *valueName, *extra, *suffix, *valueText, *parent;
        int record;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record)) {
            std::string g = group, p = parent;
            Require(!g.empty(), "groups have names");
            if (groupPath.empty())
                Require(p.empty(), "the first value of an object is in a top-level group");
            if (!p.empty())
                Require(OnPath(groupPath, p), "a parent group is on the path of the value before");
            if (!groupPath.empty() && g == groupPath.back())
                continue;
            if (OnPath(groupPath, g)) {
                while (groupPath.back() != g)
                    groupPath.pop_back();
            } else if (p.empty()) {
                groupPath.assign(1, g);
            } else {
                while (groupPath.back() != p)
                    groupPath.pop_back();
                groupPath.push_back(g);
            }
        }
    }
    Require(KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr) == 0, "the end lasts");
    if (data[size - 1] & 1) {
        KivDetach();
        attached = false;
    }
    return 0;
}

// sample_files.cpp - finds the sample files and lists their objects through Kiv.dll.
#include "sample_files.h"

#include <windows.h>

#include <algorithm>

#include "kivapi.h"

std::string WithSeparator(std::string directory)
{
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/')
        directory += '\\';
    return directory;
}

std::string ProgramDirectory()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // the path was cut: try a larger buffer
    }
    return path.substr(0, path.find_last_of("\\/") + 1);
}

namespace {

std::string g_samplesDirectory;   // empty: the bundled folder

bool CopyExchangeFiles(const std::string& from, const std::string& to, std::string& error)
{
    if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = "cannot make the folder " + to;
        return false;
    }
    for (const std::string& name : ListExchangeFiles(from)) {
        if (!CopyFileA((from + name).c_str(), (to + name).c_str(), FALSE)) {
            error = "cannot copy " + from + name + " to " + to;
            return false;
        }
    }
    return true;
}

} // namespace

std::string SamplesDirectory()
{
    return g_samplesDirectory.empty() ? ProgramDirectory() + "samples\\" : g_samplesDirectory;
}

bool UseSamplesFrom(const std::string& directory, std::string& error)
{
    const std::string bundled = ProgramDirectory() + "samples\\";
    const std::string chosen = WithSeparator(directory);
    if (!CopyExchangeFiles(bundled, chosen, error) ||
        !CopyExchangeFiles(bundled + "damaged\\", chosen + "damaged\\", error))
        return false;
    g_samplesDirectory = chosen;
    return true;
}

std::vector<std::string> ListExchangeFiles(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((WithSeparator(directory) + "*.kvd").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        // The search also matches long names whose short name ends in .KVD: keep real .kvd files.
        const bool isKvd = name.size() > 4 && lstrcmpiA(name.c_str() + name.size() - 4, ".kvd") == 0;
        if (isKvd && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool ReadObjects(const std::string& directory, const std::string& fileName,
                 std::vector<SampleObject>& objects, std::string& error)
{
    objects.clear();
    char* message = nullptr;
    if (!KivAttach(&message)) {
        error = message ? message : "The exchange library could not be attached.";
        return false;
    }
    const std::string path = WithSeparator(directory) + fileName;
    bool opened = KivOpen(path.c_str(), &message, 0) != 0;
    if (!opened) {
        error = message ? message : "The exchange library refused " + path + ".";
    } else {
        char *name, *author, *version, *wellId, *date;
        while (KivGetNextObject(&name, &author, &version, &wellId, &date))
            objects.push_back({name ? name : "", author ? author : "", version ? version : "",
                               wellId ? wellId : "", date ? date : ""});
    }
    KivDetach();
    return opened;
}

// KivTestSupport.cpp
#include "KivTestSupport.h"

#include <atomic>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

namespace {
std::atomic<int> g_fileCount{0};
}

TestFile::TestFile(const std::string& content, const std::string& name)
{
    path_ = testing::TempDir() + "kiv_" + std::to_string(g_fileCount++) + "_" + name;
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

TestFile::~TestFile() { std::remove(path_.c_str()); }

ReadResult ReadKvdFile(const std::string& path)
{
    ReadResult result;
    char* message = nullptr;
    KivAttach(&message);
    result.opened = KivOpen(path.c_str(), &message, 0) != 0;
    result.message = message;
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        ReadObject object{name, author, version, wellId, date, {}};
        char *group, *valueName, *extra, *suffix, *valueText, *parent;
        int record;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record))
            object.values.push_back({group, parent, valueName, valueText, suffix, extra, record});
        result.objects.push_back(object);
    }
    KivDetach();
    return result;
}

ReadResult ReadKvdText(const std::string& content)
{
    TestFile file(content);
    return ReadKvdFile(file.Path());
}

std::string KvdFile(const std::string& body) { return "KVD 1\n" + body + "end\n"; }

std::string SamplesDir() { return KIV_SAMPLES_DIR; }

WriterCounts WriteDistinctObjects(const std::string& path, int w, int commits, int tries)
{
    WriterCounts counts;
    char* message = nullptr;
    KivAttach(&message);
    for (int i = 0; i < commits; ++i) {
        const std::string name = "W" + std::to_string(w) + "-" + std::to_string(i);
        bool done = false;
        for (int attempt = 0; attempt < tries && !done; ++attempt) {
            done = KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE) &&
                   KivPutObject(name.c_str(), "stress", "1", "", "2001-01-01 10:00", &message) &&
                   KivCommitWrite(&message);
            if (!done) {
                if (counts.refused++ == 0)
                    counts.firstRefusal = message;
                KivAbandonWrite();
            }
        }
        counts.committed += done;
        counts.gaveUp += !done;
    }
    KivDetach();
    return counts;
}

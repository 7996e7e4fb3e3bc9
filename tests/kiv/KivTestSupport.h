// KivTestSupport.h - files for the tests of the exchange library, and reading a
// whole file back through the six calls.
#pragma once

#include <string>
#include <vector>

#include "kivapi.h"

// A file in the test's own temporary folder; removed when the object dies.
class TestFile {
public:
    explicit TestFile(const std::string& content, const std::string& name = "test.kvd");
    ~TestFile();
    TestFile(const TestFile&) = delete;
    TestFile& operator=(const TestFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

struct ReadValue {
    std::string group, parent, name, value, suffix, extra;
    int record = 0;
};
struct ReadObject {
    std::string name, author, version, wellId, date;
    std::vector<ReadValue> values;
};
struct ReadResult {
    bool opened = false;
    std::string message;
    std::vector<ReadObject> objects;
};

// What one writer of the stress tests between processes did: `commits` updates of
// `path`, each adding the object "W<w>-<i>", a refused one tried again up to `tries` times.
struct WriterCounts {
    int committed = 0;  // commits that reported success
    int refused = 0;    // commits or begins refused, tried again
    int gaveUp = 0;     // objects given up after `tries` refusals
    std::string firstRefusal;
};
WriterCounts WriteDistinctObjects(const std::string& path, int w, int commits, int tries);

// Attach, open, read every object and value, detach.
ReadResult ReadKvdFile(const std::string& path);
ReadResult ReadKvdText(const std::string& content);

// "KVD 1\n" + body + "end\n"
std::string KvdFile(const std::string& body);

std::string SamplesDir();

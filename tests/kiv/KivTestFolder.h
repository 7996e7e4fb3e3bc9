// KivTestFolder.h - a folder of a native test's own, and its files read and written
// as plain bytes (POSIX: the writer's tests look at the folder beside the library).
#pragma once

#include <string>
#include <vector>

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> NamesIn(const std::string& folder);
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& content);

// A fresh folder under the test framework's temporary folder, removed with everything
// in it (made writable first) when the object dies.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    const std::string& Path() const { return path_; }  // with its trailing '/'
    std::string operator/(const std::string& name) const { return path_ + name; }
    std::vector<std::string> Names() const { return NamesIn(path_); }

private:
    std::string path_;
};

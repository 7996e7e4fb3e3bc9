// test_fixtures.h - small helpers that dialog tests set their stage with.
#ifndef DERAR_TEST_FIXTURES_H
#define DERAR_TEST_FIXTURES_H

#include <windows.h>

#include <optional>
#include <string>

namespace fixtures {

// A fresh, empty folder under the prefix's TEMP, named after the running test,
// removed with everything in it when the object dies.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with its trailing backslash ("C:\...\derar-Suite-Test-1\"), the
    // form in which the dialogs keep a directory.
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + name; }

    // Writes a file with exactly these bytes; returns its full path.
    std::string Write(const std::string& name, const std::string& content) const;
    // Copies an existing file in; returns the new full path.
    std::string CopyIn(const std::string& source, const std::string& name) const;
    std::string MakeFolder(const std::string& name) const;  // with trailing backslash

private:
    std::string m_path;
};

bool FileExists(const std::string& path);
std::string ReadFile(const std::string& path);

// The folder of the running program, with its trailing backslash.
std::string ProgramFolder();

// The Windows path of a bundled sample file under demo/samples ("worked_example.kvd",
// "damaged/bad-date.kvd"), reached in the source tree through Wine's Z: drive.
std::string SamplePath(const std::string& relative);

// The last file key, HKCU\Software\DerAR\LastKiv, read and written raw so tests
// can set up any content (any type, with or without terminating zero) and see
// exactly what the browser stored.
namespace last_file_key {

extern const char* const kPath;  // "Software\\DerAR\\LastKiv"

struct RawValue {
    DWORD type = REG_NONE;
    std::string bytes;  // exactly the stored bytes, terminator included if stored
};

void Remove();                                           // the key and its values
bool Exists();
// Stores a value: REG_SZ text with its terminating zero (the usual form).
void SetText(const char* name, const std::string& text);
// Stores exactly these bytes with this type (no terminator added).
void SetRaw(const char* name, DWORD type, const std::string& bytes);
std::optional<RawValue> GetRaw(const char* name);        // nullopt: no such value
// The value as text up to its first zero byte; nullopt: no such value.
std::optional<std::string> GetText(const char* name);

}  // namespace last_file_key

}  // namespace fixtures

#endif

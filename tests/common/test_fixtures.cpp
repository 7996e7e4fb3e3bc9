// Small stage-setting helpers for the dialog tests.
#include "test_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace fixtures {
namespace {

void RemoveTree(const std::string& folder)  // folder with trailing backslash
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string SafeName(std::string text)
{
    for (char& c : text) {
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '-';
    }
    return text;
}

}  // namespace

TempFolder::TempFolder()
{
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, temp);
    std::string base = (n > 0 && n < MAX_PATH) ? std::string(temp, n) : std::string("C:\\");
    if (base.back() != '\\')
        base += '\\';
    std::string name = "derar";
    if (const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info())
        name += "-" + SafeName(test->test_suite_name()) + "-" + SafeName(test->name());
    name += "-" + std::to_string(GetCurrentProcessId());
    m_path = base + name + "\\";
    RemoveTree(m_path);
    CreateDirectoryA(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

std::string TempFolder::Write(const std::string& name, const std::string& content) const
{
    std::string path = m_path + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << "cannot write " << path;
    if (file) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
    return path;
}

std::string TempFolder::CopyIn(const std::string& source, const std::string& name) const
{
    std::string path = m_path + name;
    EXPECT_TRUE(CopyFileA(source.c_str(), path.c_str(), FALSE)) << "cannot copy " << source;
    return path;
}

std::string TempFolder::MakeFolder(const std::string& name) const
{
    std::string path = m_path + name;
    CreateDirectoryA(path.c_str(), nullptr);
    return path + "\\";
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& path)
{
    std::string content;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            content.append(buffer, n);
        std::fclose(file);
    }
    return content;
}

std::string ProgramFolder()
{
    std::vector<char> buffer(MAX_PATH);
    DWORD n;
    while ((n = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()))) >= buffer.size())
        buffer.resize(buffer.size() * 2);
    std::string path(buffer.data(), n);
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string SamplePath(const std::string& relative)
{
    std::string path = std::string("Z:") + DERAR_SAMPLES_DIR + "/" + relative;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

namespace last_file_key {

const char* const kPath = "Software\\DerAR\\LastKiv";

void Remove()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
}

bool Exists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SetRaw(const char* name, DWORD type, const std::string& bytes)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // A text stored without its zero needs a non-zero byte after the counted
    // bytes, or the platform's registry adds a terminator of its own.
    std::string buffer = bytes + '\x7F';
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                             DWORD(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetText(const char* name, const std::string& text)
{
    SetRaw(name, REG_SZ, text + '\0');
}

std::optional<RawValue> GetRaw(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RawValue value;
    DWORD size = 0;
    std::optional<RawValue> result;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        // Exactly the value's size: the platform then adds no terminator of its own.
        std::vector<char> buffer(size ? size : 1);
        if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer.data()),
                             &size) == ERROR_SUCCESS) {
            value.bytes.assign(buffer.data(), size);
            result = value;
        }
    }
    RegCloseKey(key);
    return result;
}

std::optional<std::string> GetText(const char* name)
{
    std::optional<RawValue> raw = GetRaw(name);
    if (!raw)
        return std::nullopt;
    return raw->bytes.substr(0, raw->bytes.find('\0'));
}

}  // namespace last_file_key

}  // namespace fixtures

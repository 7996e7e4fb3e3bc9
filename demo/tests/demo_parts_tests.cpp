// demo_parts_tests.cpp - the demo's own parts, one case a row: the sample listing and the
// path joining. The tours' scripted user is hostkit's, tested with the dialog driver.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sample_files.h"

namespace {

int g_failures = 0;

void Expect(bool ok, const std::string& what)
{
    if (!ok) {
        std::printf("FAILED: %s\n", what.c_str());
        ++g_failures;
    }
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return "[" + text + "]";
}

std::string MakeTempFolder()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = WithSeparator(temp) + "derardemo-parts-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void CreateEmptyFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

// Only real .kvd files, in byte order: the platform's "*.kvd" also matches long names
// whose short name ends in .KVD, and folders.
void TestSampleListing()
{
    const std::string folder = MakeTempFolder();
    const char* const files[] = {"a.kvd", "B.KVD", "three.kvdx", "notes.txt", "z.kvd", "kvd"};
    for (const char* file : files) CreateEmptyFile(folder + file);
    CreateDirectoryA((folder + "folder.kvd").c_str(), nullptr);

    const std::vector<std::string> expected = {"B.KVD", "a.kvd", "z.kvd"};
    const std::vector<std::string> listed = ListExchangeFiles(folder);
    Expect(listed == expected, "listing: got " + Joined(listed) + ", expected " + Joined(expected));
    Expect(ListExchangeFiles(folder + "missing\\").empty(), "listing: a missing folder lists nothing");
    Expect(ListExchangeFiles(folder.substr(0, folder.size() - 1)) == expected,
           "listing: a folder without its separator lists the same");

    for (const char* file : files) DeleteFileA((folder + file).c_str());
    RemoveDirectoryA((folder + "folder.kvd").c_str());
    RemoveDirectoryA(folder.c_str());
}

void TestWithSeparator()
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""}, {"C:\\data", "C:\\data\\"}, {"C:\\data\\", "C:\\data\\"}, {"C:/data/", "C:/data/"}, {"C:", "C:\\"},
    };
    for (const auto& c : cases)
        Expect(WithSeparator(c.in) == c.out, std::string("separator: \"") + c.in + "\" gave \"" +
                                                 WithSeparator(c.in) + "\", expected \"" + c.out + "\"");
}

} // namespace

int main()
{
    InitCommonControls();
    TestSampleListing();
    TestWithSeparator();
    std::printf(g_failures == 0 ? "all passed\n" : "%d failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}

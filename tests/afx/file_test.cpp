// CFile::GetStatus: anything at the path in every form the platform opens, never a pattern.
#include <afxwin.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class GetStatusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, szTemp), 0u);
        m_dir = std::string(szTemp) + "afx_status_test";
        CreateDirectoryA(m_dir.c_str(), NULL);
        m_file = m_dir + "\\data.kvd";
        HANDLE h = CreateFileA(m_file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(h, "12345", 5, &n, NULL);
        CloseHandle(h);
    }
    void TearDown() override
    {
        DeleteFileA(m_file.c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    std::string m_dir, m_file;
};

TEST_F(GetStatusTest, AnswersForEveryFormAsThePlatformResolvesIt)
{
    char szCurrent[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, szCurrent);
    const std::string parent = m_dir.substr(0, m_dir.find_last_of('\\') + 1);
    ASSERT_TRUE(SetCurrentDirectoryA(parent.c_str()));
    std::string slashes = m_file;
    for (char& c : slashes)
        if (c == '\\')
            c = '/';
    struct Case
    {
        const char* name;
        std::string path;
        BOOL expected;
    } cases[] = {
        { "file", m_file, TRUE },
        { "directory", m_dir, TRUE },
        { "doubled separator", m_dir + "\\\\data.kvd", TRUE },
        { "directory with trailing separator", m_dir + "\\", FALSE },
        { "missing file", m_dir + "\\missing.kvd", FALSE },
        { "pattern that would match", m_dir + "\\*.kvd", FALSE },
        { "question mark", m_dir + "\\data.kv?", FALSE },
        { "question mark after the long-path prefix", "\\\\?\\" + m_dir + "\\data.kv?", FALSE },
        { "empty path", "", FALSE },
        { "missing, longer than MAX_PATH", m_dir + "\\" + std::string(400, 'x'), FALSE },
        { "long-path prefix", "\\\\?\\" + m_file, TRUE },
        { "device namespace prefix", "\\\\.\\" + m_file, TRUE },
        { "forward slashes", slashes, TRUE },
        { "relative folder", "afx_status_test\\data.kvd", TRUE },
        { "trailing dot", m_file + ".", TRUE },
        { "trailing spaces", m_file + "  ", TRUE },
        { "trailing dot taken as it stands after the long-path prefix", "\\\\?\\" + m_file + ".", FALSE },
        // Devices and pipes are there, unopened: whoever opens them says what they are.
        { "device name in a folder", m_dir + "\\CON", TRUE },
        { "device name with an extension", m_dir + "\\COM1.kvd", TRUE },
        { "bare device name", "NUL", TRUE },
        { "device namespace", "\\\\.\\COM1", TRUE },
        { "pipe", "\\\\.\\pipe\\derar-no-such-pipe", TRUE },
        { "pipe through the long-path prefix", "\\\\?\\pipe\\derar-no-such-pipe", TRUE },
        { "a server's pipe", "\\\\server\\pipe\\derar-no-such-pipe", TRUE },
        { "device name taken as a plain name after the long-path prefix", "\\\\?\\" + m_dir + "\\CON", FALSE },
    };
    for (const Case& c : cases)
    {
        CFileStatus status;
        EXPECT_EQ(CFile::GetStatus(c.path.c_str(), status), c.expected) << c.name << ": " << c.path;
    }
    CFileStatus status;
    EXPECT_EQ(CFile::GetStatus(NULL, status), FALSE);
    SetCurrentDirectoryA(szCurrent);
}

// A long-path form reaches a file whose path is longer than MAX_PATH; its full name does
// not fit in the status and is left empty.
TEST_F(GetStatusTest, LongPathFormReachesAFileBeyondMaxPath)
{
    std::wstring deep = L"\\\\?\\";
    for (char c : m_dir)
        deep += static_cast<wchar_t>(c);
    std::vector<std::wstring> made;
    while (deep.size() < 400)
    {
        deep += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), NULL)) << GetLastError();
        made.push_back(deep);
    }
    const std::wstring file = deep + L"\\deep.kvd";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    const std::string path(file.begin(), file.end());
    CFileStatus status;
    EXPECT_TRUE(CFile::GetStatus(path.c_str(), status));
    EXPECT_EQ(status.m_szFullName[0], '\0');

    DeleteFileW(file.c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        RemoveDirectoryW(it->c_str());
}

TEST_F(GetStatusTest, FillsSizeAttributesAndFullName)
{
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(m_file.c_str(), status));
    EXPECT_EQ(status.m_size, 5u);
    EXPECT_EQ(status.m_attribute & FILE_ATTRIBUTE_DIRECTORY, 0);
    EXPECT_EQ(lstrcmpiA(status.m_szFullName, m_file.c_str()), 0);

    ASSERT_TRUE(CFile::GetStatus(m_dir.c_str(), status));
    EXPECT_NE(status.m_attribute & FILE_ATTRIBUTE_DIRECTORY, 0);
}

}  // namespace

// CFile::GetStatus: anything at the path, never a pattern, never an overflow.
#include <afxwin.h>

#include <gtest/gtest.h>

#include <string>

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

TEST_F(GetStatusTest, AnswersForFilesAndDirectoriesOnly)
{
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
        { "empty path", "", FALSE },
        { "longer than MAX_PATH", m_dir + "\\" + std::string(400, 'x'), FALSE },
    };
    for (const Case& c : cases)
    {
        CFileStatus status;
        EXPECT_EQ(CFile::GetStatus(c.path.c_str(), status), c.expected) << c.name;
    }
    CFileStatus status;
    EXPECT_EQ(CFile::GetStatus(NULL, status), FALSE);
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

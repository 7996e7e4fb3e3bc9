// CFileDialog: MFC's filter syntax, a bounded initial name, and a real run of the platform dialog.
#include <afxdlgs.h>

#include <gtest/gtest.h>

#include <string>

#include <dialog_driver.h>

namespace {

// The zero-separated filter list up to its double zero, with '|' standing for each zero.
std::string FilterAsText(const char* p)
{
    std::string s;
    while (p != NULL && (p[0] != '\0' || p[1] != '\0'))
        s += *p != '\0' ? *p : '|', ++p;
    return s;
}

TEST(FileDialog, ConstructionPreparesThePlatformStructure)
{
    const std::string tooLong(MAX_PATH + 40, 'x');
    const std::string longest(MAX_PATH - 1, 'y');
    struct Case
    {
        const char* name;
        const char* fileName;
        const char* filter;
        std::string expectedFile;
        std::string expectedFilter;
    } cases[] = {
        { "kvd filter", "C:\\data\\*.kvd", "Data Exchange Files (*.kvd)|*.kvd||", "C:\\data\\*.kvd",
          "Data Exchange Files (*.kvd)|*.kvd" },
        { "two filters", "a.kvd", "A (*.a)|*.a|B (*.b)|*.b||", "a.kvd", "A (*.a)|*.a|B (*.b)|*.b" },
        { "no filter, no name", NULL, NULL, "", "" },
        { "a name that does not fit is dropped", tooLong.c_str(), NULL, "", "" },
        { "longest name that fits", longest.c_str(), NULL, longest, "" },
    };
    for (const Case& c : cases)
    {
        CFileDialog dlg(TRUE, "kvd", c.fileName, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, c.filter);
        EXPECT_EQ(std::string(dlg.m_ofn.lpstrFile), c.expectedFile) << c.name;
        EXPECT_GE(dlg.m_ofn.nMaxFile, (DWORD)MAX_PATH) << c.name;
        EXPECT_EQ(FilterAsText(dlg.m_ofn.lpstrFilter), c.expectedFilter) << c.name;
        EXPECT_EQ(dlg.m_ofn.Flags & (OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST),
                  (DWORD)(OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST))
            << c.name;
        EXPECT_EQ(std::string(dlg.m_ofn.lpstrDefExt), "kvd") << c.name;
    }
}

// Runs an open-file dialog on the initial name and presses the given button.
int RunOpenDialog(CFileDialog& dlg, int nButton, bool* pTimedOut)
{
    dialog_driver::ScriptedUser user;
    user.Until("the open-file dialog", [&] {
        HWND hDlg = dialog_driver::FindThreadDialog(dialog_driver::WithControl(nButton));
        if (hDlg == NULL)
            return false;
        PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nButton, BN_CLICKED), (LPARAM)GetDlgItem(hDlg, nButton));
        return true;
    });
    int nResult = 0;
    user.Run([&] { nResult = dlg.DoModal(); });
    *pTimedOut = user.TimedOut();
    return nResult;
}

TEST(FileDialog, OKReturnsThePathAndItsParts)
{
    char szWindows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(szWindows, MAX_PATH), 0u);
    const std::string path = std::string(szWindows) + "\\win.ini";
    CFileDialog dlg(TRUE, "kvd", path.c_str(), OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, "All Files (*.*)|*.*||");
    bool bTimedOut = false;
    ASSERT_EQ(RunOpenDialog(dlg, IDOK, &bTimedOut), IDOK);
    EXPECT_FALSE(bTimedOut);
    EXPECT_EQ(lstrcmpiA(dlg.GetPathName(), path.c_str()), 0) << (LPCSTR)dlg.GetPathName();
    EXPECT_EQ(lstrcmpiA(dlg.GetFileName(), "win.ini"), 0);
    EXPECT_EQ(lstrcmpiA(dlg.GetFileExt(), "ini"), 0);
    // The directory is what remains when the name is cut off, separator included.
    CString directory = dlg.GetPathName().Left(dlg.GetPathName().GetLength() - dlg.GetFileName().GetLength());
    EXPECT_EQ(lstrcmpiA(directory, (std::string(szWindows) + "\\").c_str()), 0);
}

TEST(FileDialog, CancelReturnsIDCANCEL)
{
    CFileDialog dlg(TRUE, "kvd", "*.kvd", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, "Data Exchange Files (*.kvd)|*.kvd||");
    bool bTimedOut = false;
    EXPECT_EQ(RunOpenDialog(dlg, IDCANCEL, &bTimedOut), IDCANCEL);
    EXPECT_FALSE(bTimedOut);
}

}  // namespace

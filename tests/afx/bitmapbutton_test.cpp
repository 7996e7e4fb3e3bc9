// Bitmap buttons beyond their images: which scale of images fits a DPI, and the name an
// assistive program reads (the window text unless the button is given a name of its own).
// A tooltip control for the dialog's controls.
#include "test_dialog.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <functional>
#include <string>

#include <dialog_driver.h>

namespace {

// MinGW's oleacc import library resolves IID_IAccessible to a code thunk: our own copy.
const IID kIID_IAccessible = { 0x618736e0, 0x3c3d, 0x11cf, { 0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };

TEST(BitmapButton, TheImagesOfTheLargestScaleThatTheDpiReaches)
{
    const struct
    {
        int nDpi;
        int nScale;
    } cases[] = {
        { 72, 100 },  { 96, 100 },  { 120, 100 }, { 143, 100 }, { 144, 150 },
        { 168, 150 }, { 191, 150 }, { 192, 200 }, { 288, 200 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(AfxBitmapScaleForDpi(c.nDpi), c.nScale) << c.nDpi << " DPI";
}

// The client object's name as an assistive program reads it.
std::string AccessibleName(HWND hWnd)
{
    IAccessible* pAccessible = NULL;
    if (FAILED(AccessibleObjectFromWindow(hWnd, OBJID_CLIENT, kIID_IAccessible, (void**)&pAccessible)) ||
        pAccessible == NULL)
        return "(no object)";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = NULL;
    std::string text = "(no name)";
    if (SUCCEEDED(pAccessible->get_accName(self, &name)) && name != NULL)
    {
        char sz[256] = "";
        WideCharToMultiByte(CP_ACP, 0, name, -1, sz, sizeof(sz), NULL, NULL);
        text = sz;
    }
    SysFreeString(name);
    pAccessible->Release();
    return text;
}

class CNamedButtonDialog : public CTestDialog
{
public:
    CBitmapButton m_btn, m_btnUnnamed;

    virtual BOOL OnInitDialog() override
    {
        CTestDialog::OnInitDialog();
        m_btn.AutoLoad(IDC_BITMAP, this);
        m_btnUnnamed.AutoLoad(IDC_BITMAP_DISABLED, this);
        m_btn.SetAccessibleName("Paint it red");
        return TRUE;
    }
};

TEST(BitmapButton, AnAccessibleNameIsWhatAssistiveProgramsReadInsteadOfTheText)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)));
    CNamedButtonDialog dlg;
    std::vector<std::string> seen;
    dialog_driver::ScriptedUser user;
    user.Until("the dialog shown", [&] { return dlg.m_hWnd != NULL && IsWindowVisible(dlg.m_hWnd); });
    user.Until("the names read", [&] {
        HWND hNamed = GetDlgItem(dlg.m_hWnd, IDC_BITMAP), hUnnamed = GetDlgItem(dlg.m_hWnd, IDC_BITMAP_DISABLED);
        char szText[32] = "";
        GetWindowTextA(hNamed, szText, sizeof(szText));
        seen.push_back(szText);
        seen.push_back(AccessibleName(hNamed));
        seen.push_back(AccessibleName(hUnnamed));
        dlg.m_btn.SetAccessibleName("Paint it blue");
        seen.push_back(AccessibleName(hNamed));
        dlg.m_btn.SetAccessibleName("");
        seen.push_back(AccessibleName(hNamed));
        dlg.m_btn.SetAccessibleName("Paint it green");
        seen.push_back(AccessibleName(hNamed));
        PostMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0);
        return true;
    });
    int nResult = 0;
    user.Run([&] { nResult = dlg.DoModal(); });
    CoUninitialize();
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "TEST",           // the window text stays
                        "Paint it red",   // the name given
                        "DIS",            // a button without a name: its window text
                        "Paint it blue",  // a name given again
                        "TEST",           // an empty name: the window text
                        "Paint it green",
                    }));
}

TEST(ToolTipCtrl, OneToolPerControlOwnedByTheDialog)
{
    CTestDialog dlg;
    CToolTipCtrl tips;
    BOOL bCreated = FALSE, bAdded = FALSE;
    HWND hTips = NULL, hOwner = NULL;
    LRESULT nTools = 0;
    std::string text;
    dlg.m_init = [&](CTestDialog& d) {
        bCreated = tips.Create(&d);
        bAdded = tips.AddTool(d.GetDlgItem(IDC_CLICK), "Counts the clicks");
        hTips = tips.m_hWnd;
        hOwner = GetWindow(hTips, GW_OWNER);
        nTools = SendMessageA(hTips, TTM_GETTOOLCOUNT, 0, 0);
        char szText[80] = "";
        TTTOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = d.m_hWnd;
        ti.uId = (UINT_PTR)GetDlgItem(d.m_hWnd, IDC_CLICK);
        ti.lpszText = szText;
        SendMessageA(hTips, TTM_GETTEXTA, 0, (LPARAM)&ti);
        text = szText;
        d.EndDialog(IDOK);
        return TRUE;
    };
    dialog_driver::ScriptedUser user;  // only its watchdog
    user.Run([&] { dlg.DoModal(); });
    EXPECT_TRUE(bCreated);
    EXPECT_TRUE(bAdded);
    EXPECT_EQ(hOwner, dlg.m_hWndDuringRun);
    EXPECT_EQ(nTools, 1);
    EXPECT_EQ(text, "Counts the clicks");
    EXPECT_FALSE(IsWindow(hTips)) << "destroyed with the dialog that owns it";
}

}  // namespace

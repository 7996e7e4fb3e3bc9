// The four bitmap buttons' names and tooltips: an assistive program reads what each
// button does and its key through the platform's accessibility interfaces, and the
// pointer resting on a button shows the same text; the window texts, which name the
// bitmaps, stay as they are.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <string>

#include "dialog_driver.h"
#include "person_input.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using namespace transfer_host;

namespace {

// MinGW's oleacc import library resolves IID_IAccessible to a code thunk: our own copy.
const IID kIID_IAccessible = { 0x618736e0, 0x3c3d, 0x11cf, { 0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };

struct Button {
    int id;
    const char* text;  // the window text: the stem of its bitmaps' names
    const char* name;  // what it does and its key
};
const Button kButtons[] = {
    { IDC_ADD, "ADD", "Add the selected objects (Insert)" },
    { IDC_ADDALL, "ADDALL", "Add all objects (Shift+Insert)" },
    { IDC_REMOVEALL, "REMALL", "Remove all objects (Shift+Delete)" },
    { IDC_REMOVE, "REMOVE", "Remove the selected objects (Delete)" },
};

std::string Narrow(const wchar_t* text)
{
    if (text == nullptr)
        return "(none)";
    char buffer[512] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

VARIANT Self()
{
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

// What an assistive program reads of a window's client object, as it reads it:
// AccessibleObjectFromWindow, then the object's name, role and state.
struct Read {
    HRESULT found = E_FAIL;
    std::string name;
    LONG role = -1;
    LONG state = -1;
};

// The name, role and state of an object that `found` says was got; the object is released.
Read ReadObject(HRESULT found, IAccessible* object)
{
    Read read;
    read.found = found;
    if (FAILED(found) || object == nullptr)
        return read;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(Self(), &name)))
        read.name = Narrow(name);
    SysFreeString(name);
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accRole(Self(), &value)) && value.vt == VT_I4)
        read.role = value.lVal;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accState(Self(), &value)) && value.vt == VT_I4)
        read.state = value.lVal;
    object->Release();
    return read;
}

Read ReadAccessible(HWND window)
{
    IAccessible* object = nullptr;
    const HRESULT found =
        AccessibleObjectFromWindow(window, OBJID_CLIENT, kIID_IAccessible, reinterpret_cast<void**>(&object));
    return ReadObject(found, object);
}

// The platform's own object for the window, with nothing of ours.
Read ReadStandard(HWND window)
{
    IAccessible* object = nullptr;
    const HRESULT found =
        CreateStdAccessibleObject(window, OBJID_CLIENT, kIID_IAccessible, reinterpret_cast<void**>(&object));
    return ReadObject(found, object);
}

class Names : public ::testing::Test {
protected:
    void SetUp() override { person::MoveAway(); }
    void TearDown() override { person::MoveAway(); }

    Call MakeCall(int mode)
    {
        folder.Write("names.kvd", KvdText({
                                      { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
                                      { "Gamma", "jdoe", "3", "W-17", "2000-12-05 14:07" },
                                  }));
        return Call(mode, folder.Path(), "names.kvd", { "Porosity", "Gamma", "Sonic" }, "jdoe", "W-17");
    }

    fixtures::TempFolder folder;
};

// An assistive program in a thread (and a COM apartment) of its own, as a screen reader
// is in a process of its own: its calls reach the dialog's thread through the platform.
struct ReaderThread {
    HWND window = nullptr;
    Read read;
    HANDLE handle = nullptr;

    static DWORD WINAPI Run(void* param)
    {
        auto* self = static_cast<ReaderThread*>(param);
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        self->read = ReadAccessible(self->window);
        CoUninitialize();
        return 0;
    }
    void Start(HWND w)
    {
        window = w;
        handle = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    bool Done() const { return handle == nullptr || WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }
    ~ReaderThread()
    {
        if (handle != nullptr) {
            WaitForSingleObject(handle, 10000);
            CloseHandle(handle);
        }
    }
};

TEST_F(Names, AnAssistiveProgramReadsWhatEachButtonDoesAndItsKey)
{
    for (int mode : { kImport, kExport }) {
        SCOPED_TRACE(mode == kImport ? "import" : "export");
        ReaderThread readers[4];
        Read standard[4];
        ScriptedUser user;
        // The dialog's thread has no COM apartment of its own, as a host's may not.
        user.When(mode == kImport ? "Kiv Import" : "Kiv Export", [&](Dialog& d) {
            for (int i = 0; i < 4; ++i) {
                standard[i] = ReadStandard(d.Item(kButtons[i].id));
                readers[i].Start(d.Item(kButtons[i].id));
            }
        });
        user.Until("the assistive program's reading", [&] {
            for (const ReaderThread& reader : readers)
                if (!reader.Done())
                    return false;
            HWND dialog = dialog_driver::FindThreadDialog(dialog_driver::WithControl(IDC_ADD));
            return dialog != nullptr && Dialog(dialog).PostClick(IDCANCEL);
        });
        PlayImpExp(user, MakeCall(mode));
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(kButtons[i].text);
            EXPECT_EQ(readers[i].read.found, S_OK);
            EXPECT_EQ(readers[i].read.name, kButtons[i].name);
            // Everything but the name is the platform's own answer for the button.
            EXPECT_EQ(standard[i].name, kButtons[i].text) << "the platform names it by its window text";
            EXPECT_EQ(readers[i].read.role, standard[i].role);
            EXPECT_EQ(readers[i].read.state & ~STATE_SYSTEM_FOCUSED, standard[i].state & ~STATE_SYSTEM_FOCUSED);
        }
    }
}

TEST_F(Names, TheNameIsReadInTheDialogsOwnThreadToo)
{
    // A host whose thread has a COM apartment already, reading in that same thread.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        for (const Button& b : kButtons) {
            SCOPED_TRACE(b.text);
            const Read read = ReadAccessible(d.Item(b.id));
            EXPECT_EQ(read.found, S_OK);
            EXPECT_EQ(read.name, b.name);
            EXPECT_EQ(read.name, ReadAccessible(d.Item(b.id)).name) << "a second reading";
        }
        d.Click(IDCANCEL);
    });
    PlayImpExp(user, MakeCall(kExport));
    CoUninitialize();
}

TEST_F(Names, WindowTextsAndEveryOtherControlStayAsTheyWere)
{
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        for (const Button& b : kButtons) {
            SCOPED_TRACE(b.text);
            EXPECT_EQ(d.Text(b.id), b.text) << "the window text names the bitmaps";
        }
        // The other controls answer assistive programs as the platform does.
        for (int id : { IDOK, IDCANCEL, ID_HELP, IDC_AVAILABLE_LIST, IDC_SELECTED_LIST }) {
            SCOPED_TRACE(id);
            const Read standard = ReadStandard(d.Item(id));
            const Read read = ReadAccessible(d.Item(id));
            EXPECT_EQ(read.name, standard.name);
            EXPECT_EQ(read.role, standard.role);
        }
        EXPECT_TRUE(person::VisibleTooltipTexts().empty()) << "no tooltip before the pointer rests on a button";
        d.Click(IDCANCEL);
    });
    PlayImpExp(user, MakeCall(kExport));
    ASSERT_EQ(user.Windows().size(), 1u) << "the tooltips are no dialog of their own";
    EXPECT_EQ(user.ShownWindows().size(), 1u);
}

TEST_F(Names, ThePointerRestingOnAButtonShowsItsTooltip)
{
    ScriptedUser user;
    std::vector<std::string> shown;
    for (const Button& b : kButtons) {
        const int id = b.id;
        const std::string expected = b.name;
        user.When("Kiv Import", [id](Dialog& d) { person::MoveTo(person::Middle(d.Item(id))); });
        // The tooltip comes after the platform's initial delay; the next step waits for it.
        user.Until(std::string("the tooltip of ") + b.text, [&shown, expected] {
            for (const std::string& text : person::VisibleTooltipTexts())
                if (text == expected) {
                    shown.push_back(text);
                    return true;
                }
            return false;
        });
    }
    user.When("Kiv Import", [](Dialog& d) {
        person::MoveAway();
        d.Click(IDCANCEL);
    });
    Outcome outcome = PlayImpExp(user, MakeCall(kImport));
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(shown,
              (std::vector<std::string>{ kButtons[0].name, kButtons[1].name, kButtons[2].name, kButtons[3].name }));
}

}  // namespace

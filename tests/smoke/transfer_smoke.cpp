// KivImpExpDialog in both modes on a real .kvd file through the real Kiv.dll:
// the listing, Add all, an OK pass that raises each kind of warning and answers
// it, the names handed back, Help, and a refused file's message box.
#include <gtest/gtest.h>

#include <derar.h>
#include <kivapi.h>

#include <algorithm>
#include <cstring>

#include "dialog_driver.h"
#include "help_observer.h"
#include "resource.h"
#include "smoke_files.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::AnyMessageBox;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using transfer_host::Call;
using transfer_host::FileObject;
using transfer_host::kExport;
using transfer_host::kImport;
using transfer_host::Outcome;
using Names = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

namespace {

const char kFileDate[] = "2000-12-05 14:07";
const char kShownDate[] = "Tuesday, December 05, 2000  14:07";

FileObject Obj(const char* name, const char* author, const char* version, const char* wellId)
{
    return { name, author, version, wellId, kFileDate };
}

// Objects neither in name order nor in candidate order, two of one author and well.
const std::vector<FileObject> kWellFile = {
    Obj("Gamma", "jdoe", "3", "W-99"),
    Obj("Alpha", "jdoe", "1", "W-17"),
    Obj("Delta", "kim", "4", "W-17"),
    Obj("Beta", "jdoe", "2", "W-18"),
};

Rows RowTexts(const dialog_driver::ListView& list)
{
    Rows rows;
    for (const auto& row : list.Rows())
        rows.push_back(row.cells);
    return rows;
}

// The object a warning names, and which of the three warnings it is.
std::string Kind(const std::string& text)
{
    if (text.find("\nAuthor = ") != std::string::npos)
        return "author";
    if (text.find("\nWell Identifier = ") != std::string::npos)
        return "well";
    return "current data";
}
std::string Named(const std::string& text)
{
    size_t end = text.find('\n');
    return text.rfind("Object = ", 0) == 0 && end != std::string::npos ? text.substr(9, end - 9) : "?";
}

struct Answer {
    int button;
    std::string object, kind;   // what the warning answered must name
};

struct PassCase {
    const char* name;
    int mode;
    Names candidates;
    Rows available;              // the listing before any move
    Rows selected;
    std::vector<Answer> answers; // in the order the warnings come
    Names names;                 // handed back
    int helpContext;             // what the Help button asks for
};

class TransferSmoke : public ::testing::Test {
protected:
    void SetUp() override { folder.Write("wells.kvd", transfer_host::KvdText(kWellFile)); }
    fixtures::TempFolder folder;
};

TEST_F(TransferSmoke, ListingAddAllAndAnOkPassInBothModes)
{
    const PassCase cases[] = {
        { "import: current data and author warnings", kImport, { "Delta", "Missing", "Gamma", "Alpha" },
          { { "Alpha", "jdoe", "1", kShownDate, "W-17" },
            { "Delta", "kim", "4", kShownDate, "W-17" },
            { "Gamma", "jdoe", "3", kShownDate, "W-99" } },
          {},
          { { IDYES, "Alpha", "current data" }, { IDNO, "Delta", "author" }, { IDYES, "Gamma", "current data" } },
          { "Alpha", "Gamma" }, HELP_CONTEXT_IMPORT },
        { "export: well and author warnings, a New row, Yes All", kExport,
          { "Gamma", "Fresh", "Delta", "Beta", "Alpha" },
          { { "Alpha", "jdoe", "1", kShownDate, "W-17" },
            { "Beta", "jdoe", "2", kShownDate, "W-18" },
            { "Delta", "kim", "4", kShownDate, "W-17" },
            { "Gamma", "jdoe", "3", kShownDate, "W-99" } },
          { { "Fresh", "New", "", "", "" } },
          { { IDYES, "Beta", "well" }, { IDNO, "Delta", "author" }, { IDC_YESALL, "Fresh", "author" } },
          { "Alpha", "Beta", "Fresh", "Gamma" }, HELP_CONTEXT_EXPORT },
        { "export: No All keeps the rows before it", kExport, { "Alpha", "Beta", "Delta" },
          { { "Alpha", "jdoe", "1", kShownDate, "W-17" },
            { "Beta", "jdoe", "2", kShownDate, "W-18" },
            { "Delta", "kim", "4", kShownDate, "W-17" } },
          {},
          { { IDC_NOALL, "Beta", "well" } },
          { "Alpha" }, HELP_CONTEXT_EXPORT },
    };
    for (const PassCase& c : cases) {
        SCOPED_TRACE(c.name);
        HelpObserver help;
        ASSERT_TRUE(help.IsReady());
        Rows available, selected, afterAddAll;
        std::vector<Answer> seen;
        ScriptedUser user;
        user.When(c.mode == kImport ? "Kiv Import" : "Kiv Export", [&](Dialog& d) {
            available = RowTexts(d.List(IDC_AVAILABLE_LIST));
            selected = RowTexts(d.List(IDC_SELECTED_LIST));
            d.Click(ID_HELP);
            d.Click(IDC_ADDALL);
            afterAddAll = RowTexts(d.List(IDC_SELECTED_LIST));
            EXPECT_EQ(d.List(IDC_AVAILABLE_LIST).RowCount(), 0);
            EXPECT_TRUE(d.IsEnabled(IDOK));
            d.Click(IDOK);
        });
        for (const Answer& answer : c.answers) {
            user.When("Warning", [&, answer](Dialog& w) {
                std::string text = w.Text(IDC_WARNING_TEXT);
                seen.push_back({ answer.button, Named(text), Kind(text) });
                w.Click(answer.button);
            });
        }
        Call call(c.mode, folder.Path(), "wells.kvd", c.candidates, "jdoe", "W-17");
        Outcome outcome;
        user.Run([&] { outcome = transfer_host::CallImpExp(call); });

        EXPECT_EQ(available, c.available);
        EXPECT_EQ(selected, c.selected);
        Rows all = c.available;
        all.insert(all.end(), c.selected.begin(), c.selected.end());
        std::sort(all.begin(), all.end());
        EXPECT_EQ(afterAddAll, all) << "Add all moves every row, kept in name order";
        ASSERT_EQ(seen.size(), c.answers.size());
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].object, c.answers[i].object) << "warning " << i;
            EXPECT_EQ(seen[i].kind, c.answers[i].kind) << "warning " << i;
        }
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.count, static_cast<int>(c.names.size()));
        EXPECT_EQ(outcome.names, c.names);
        std::vector<HelpRequest> requests = help.ContextRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].command, static_cast<UINT>(HELP_CONTEXT));
        EXPECT_EQ(requests[0].data, static_cast<ULONG_PTR>(c.helpContext));
        EXPECT_EQ(requests[0].file, DERAR_HELP_FILE);
    }
}

// The three warning texts, byte for byte: each names the object, its date and the
// texts that differ.
TEST_F(TransferSmoke, TheWarningTextsByteForByte)
{
    std::vector<std::string> texts;
    ScriptedUser user;
    user.When("Kiv Export", [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    for (int i = 0; i < 2; ++i)
        user.When("Warning", [&](Dialog& w) {
            texts.push_back(w.Text(IDC_WARNING_TEXT));
            w.Click(IDYES);
        });
    Call call(kExport, folder.Path(), "wells.kvd", { "Beta", "Delta" }, "jdoe", "W-17");
    user.Run([&] { transfer_host::CallImpExp(call); });
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], std::string("Object = Beta\nObject date = ") + kShownDate +
                            "\nWell Identifier = W-18 does not match the\nCurrent Well Identifier = W-17.\n"
                            "This may result in the incorrect overwriting of data.\n\n"
                            "Do you wish to overwrite data?");
    EXPECT_EQ(texts[1], std::string("Object = Delta\nObject date = ") + kShownDate +
                            "\nAuthor = kim does not match the\nCurrent Author = jdoe.\n"
                            "This may result in the incorrect overwriting of the data.\n\n"
                            "Do you wish to overwrite data?");

    std::string currentData;
    ScriptedUser importUser;
    importUser.When("Kiv Import", [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    importUser.When("Warning", [&](Dialog& w) {
        currentData = w.Text(IDC_WARNING_TEXT);
        w.Click(IDCANCEL);
    });
    importUser.When("Kiv Import", [](Dialog& d) { d.Click(IDCANCEL); });
    call.mode = kImport;
    call.candidates = { "Alpha" };
    Outcome outcome;
    importUser.Run([&] { outcome = transfer_host::CallImpExp(call); });
    EXPECT_EQ(currentData, std::string("Object = Alpha\nObject date = ") + kShownDate +
                               ".\nThis may result in the incorrect overwriting of current data.\n\n"
                               "Do you wish to overwrite Data?");
    EXPECT_EQ(outcome.result, 0) << "Cancel";
    EXPECT_EQ(outcome.count, 0);
}

// A damaged file: the library's own text in a message box with OK, no dialog, and
// the host's names handed back unchanged.
TEST_F(TransferSmoke, ARefusedFileShowsTheLibrarysMessage)
{
    folder.CopyIn(smoke::SamplePath("damaged/bad-date.kvd"), "refused.kvd");
    std::string expected;
    {
        char* message = nullptr;
        ASSERT_NE(KivAttach(&message), 0);
        EXPECT_EQ(KivOpen(folder.File("refused.kvd").c_str(), &message, 0), 0);
        ASSERT_NE(message, nullptr);
        expected = message;
        KivDetach();
    }
    EXPECT_NE(expected.find("refused.kvd"), std::string::npos) << expected;
    for (int mode : { kImport, kExport }) {
        SCOPED_TRACE(mode == kImport ? "import" : "export");
        std::string shown;
        std::vector<std::string> buttons;
        ScriptedUser user;
        user.When(AnyMessageBox(), [&](Dialog& box) {
            shown = box.MessageText();
            buttons = box.ButtonTexts();
            box.ClickButton("OK");
        });
        Call call(mode, folder.Path(), "refused.kvd", { "Zeta", "Alpha" }, "jdoe", "W-17");
        Outcome outcome;
        user.Run([&] { outcome = transfer_host::CallImpExp(call); });
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(buttons, (std::vector<std::string>{ "OK" }));
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.names, (Names{ "Zeta", "Alpha" })) << "the host's names, unchanged";
        for (const auto& window : user.ShownWindows())
            EXPECT_TRUE(window.isMessageBox) << "a dialog was shown: " << window.caption;
    }
}

}  // namespace

// The OK pass: which rows draw which warning, what each answer does to the pass,
// the warning texts, and the overwrite warning dialog itself.
#include <gtest/gtest.h>

#include <derar.h>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using transfer_host::Call;
using transfer_host::FileObject;
using transfer_host::kExport;
using transfer_host::kImport;
using transfer_host::Outcome;
using Names = std::vector<std::string>;

namespace {

const char kDate[] = "Tuesday, December 05, 2000  14:07";
const char kFileDate[] = "2000-12-05 14:07";

// The buttons of the warning dialog, as a person names them.
const int Yes = IDYES;
const int YesAll = IDC_YESALL;
const int No = IDNO;
const int NoAll = IDC_NOALL;
const int Cancel = IDCANCEL;

enum class Warning { Author, WellId, CurrentData };

const char* KindName(Warning kind)
{
    return kind == Warning::Author ? "author" : kind == Warning::WellId ? "well identifier" : "current data";
}

struct Warned {
    std::string object;
    Warning kind;
    bool operator==(const Warned& o) const { return object == o.object && kind == o.kind; }
};

std::ostream& operator<<(std::ostream& out, const Warned& w)
{
    return out << w.object << " (" << KindName(w.kind) << ")";
}

// Reads which object a warning names and which of the three warnings it is.
Warned ReadWarning(const std::string& text)
{
    Warned warned;
    size_t start = text.find("Object = ");
    size_t end = text.find('\n');
    if (start == 0 && end != std::string::npos)
        warned.object = text.substr(9, end - 9);
    if (text.find("\nAuthor = ") != std::string::npos)
        warned.kind = Warning::Author;
    else if (text.find("\nWell Identifier = ") != std::string::npos)
        warned.kind = Warning::WellId;
    else
        warned.kind = Warning::CurrentData;
    return warned;
}

struct PassCase {
    const char* name;
    int mode;
    std::string currentAuthor;
    std::string currentWellId;
    std::vector<FileObject> file;        // every object is a candidate
    Names newCandidates;                 // export: "New" rows
    std::vector<int> answers;            // the button pressed at each warning, in order
    std::vector<Warned> expectedWarnings;
    Names expectedNames;
};

FileObject Obj(const char* name, const char* author, const char* wellId)
{
    return { name, author, "1", wellId, kFileDate };
}

class OkPass : public ::testing::Test {
protected:
    Call MakeCall(const PassCase& c)
    {
        folder.Write("pass.kvd", transfer_host::KvdText(c.file));
        Call call;
        call.mode = c.mode;
        call.directory = folder.Path();
        call.fileName = "pass.kvd";
        call.currentAuthor = c.currentAuthor;
        call.currentWellId = c.currentWellId;
        // Candidates in reverse: the names must come back in row order all the same.
        for (auto it = c.file.rbegin(); it != c.file.rend(); ++it)
            call.candidates.push_back(it->name);
        for (const std::string& name : c.newCandidates)
            call.candidates.push_back(name);
        return call;
    }

    fixtures::TempFolder folder;
};

// Every row of the warning table and of the answer table. Rows are moved with Add
// all and confirmed with OK; the warnings are answered in order.
TEST_F(OkPass, WarningAndAnswerTable)
{
    const PassCase cases[] = {
        { "import: every row warns, by author", kImport, "jdoe", "W-17",
          { Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "jdoe", "W-99") },
          {}, { Yes, Yes, Yes },
          { { "Alpha", Warning::CurrentData }, { "Beta", Warning::Author }, { "Gamma", Warning::CurrentData } },
          { "Alpha", "Beta", "Gamma" } },
        { "author differing only in case", kImport, "jdoe", "", { Obj("Alpha", "JDoe", "") }, {}, { Yes },
          { { "Alpha", Warning::Author } }, { "Alpha" } },
        { "export: same author and well draws nothing", kExport, "jdoe", "W-17",
          { Obj("Beta", "jdoe", "W-17"), Obj("Alpha", "jdoe", "W-17") }, {}, {}, {}, { "Alpha", "Beta" } },
        { "export: author first, then well", kExport, "jdoe", "W-17",
          { Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "jdoe", "W-18"), Obj("Gamma", "kim", "W-18") }, {},
          { Yes, Yes }, { { "Beta", Warning::WellId }, { "Gamma", Warning::Author } },
          { "Alpha", "Beta", "Gamma" } },
        { "export: well differing only in case", kExport, "jdoe", "W-17", { Obj("Alpha", "jdoe", "w-17") }, {},
          { No }, { { "Alpha", Warning::WellId } }, {} },
        { "empty author and well equal empty current texts", kExport, "", "", { Obj("Alpha", "", "") }, {}, {},
          {}, { "Alpha" } },
        { "empty author against a current author", kImport, "jdoe", "", { Obj("Alpha", "", "") }, {}, { Yes },
          { { "Alpha", Warning::Author } }, { "Alpha" } },
        { "New row draws the author warning", kExport, "jdoe", "W-17", { Obj("Alpha", "jdoe", "W-17") },
          { "Fresh" }, { Yes }, { { "Fresh", Warning::Author } }, { "Alpha", "Fresh" } },
        { "New row with current author New draws the well warning", kExport, "New", "W-17",
          { Obj("Alpha", "New", "W-17") }, { "Fresh" }, { Yes }, { { "Fresh", Warning::WellId } },
          { "Alpha", "Fresh" } },
        { "New row with current author New and empty well draws nothing", kExport, "New", "",
          { Obj("Alpha", "New", "") }, { "Fresh" }, {}, {}, { "Alpha", "Fresh" } },
        { "No leaves the row out; a later quiet row is appended", kExport, "jdoe", "W-17",
          { Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W-17") }, {}, { No },
          { { "Alpha", Warning::Author } }, { "Beta" } },
        { "No holds for its own row only", kExport, "jdoe", "W-17",
          { Obj("Alpha", "kim", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17") }, {},
          { No, Yes, No }, { { "Alpha", Warning::Author }, { "Beta", Warning::Author }, { "Gamma", Warning::Author } },
          { "Beta" } },
        { "Yes then a quiet row", kExport, "jdoe", "W-17",
          { Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W-17") }, {}, { Yes },
          { { "Alpha", Warning::Author } }, { "Alpha", "Beta" } },
        { "Yes All takes every later row without a warning", kImport, "jdoe", "W-17",
          { Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-1"), Obj("Gamma", "x", "W-2") }, {}, { YesAll },
          { { "Alpha", Warning::CurrentData } }, { "Alpha", "Beta", "Gamma" } },
        { "Yes All at a later row", kExport, "jdoe", "W-17",
          { Obj("Alpha", "kim", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17") }, {},
          { No, YesAll }, { { "Alpha", Warning::Author }, { "Beta", Warning::Author } }, { "Beta", "Gamma" } },
        { "No All at the first row", kExport, "jdoe", "W-17",
          { Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W-17") }, {}, { NoAll },
          { { "Alpha", Warning::Author } }, {} },
        { "No All at a later row keeps the rows before it", kExport, "jdoe", "W-17",
          { Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17"),
            Obj("Omega", "jdoe", "W-17") },
          {}, { Yes, NoAll }, { { "Beta", Warning::Author }, { "Gamma", Warning::Author } }, { "Alpha", "Beta" } },
        { "rows of the same name each add a name", kImport, "jdoe", "",
          { Obj("GR", "jdoe", ""), Obj("GR", "jdoe", "W-2") }, {}, { Yes, Yes },
          { { "GR", Warning::CurrentData }, { "GR", Warning::CurrentData } }, { "GR", "GR" } },
    };
    for (const PassCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Warned> warnings;
        ScriptedUser user;
        user.When(c.mode == kImport ? "Kiv Import" : "Kiv Export", [&](Dialog& d) {
            d.Click(IDC_ADDALL);
            d.Click(IDOK);
        });
        for (int answer : c.answers) {
            user.When("Warning", [&, answer](Dialog& w) {
                warnings.push_back(ReadWarning(w.Text(IDC_WARNING_TEXT)));
                w.Click(answer);
            });
        }
        Outcome outcome;
        user.Run([&] { outcome = transfer_host::CallImpExp(MakeCall(c)); });
        EXPECT_EQ(warnings, c.expectedWarnings);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.names, c.expectedNames);
        EXPECT_EQ(outcome.count, static_cast<int>(c.expectedNames.size()));
    }
}

TEST_F(OkPass, CancelWithdrawsThePassAndASecondOkWarnsAgain)
{
    PassCase c = { "", kExport, "jdoe", "W-17",
                   { Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17") },
                   {}, {}, {}, {} };
    std::vector<Warned> warnings;
    auto answer = [&](int button) {
        return [&, button](Dialog& w) {
            warnings.push_back(ReadWarning(w.Text(IDC_WARNING_TEXT)));
            w.Click(button);
        };
    };
    ScriptedUser user;
    user.When("Kiv Export", [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    user.When("Warning", answer(Yes));      // Beta
    user.When("Warning", answer(Cancel));   // Gamma: the pass is withdrawn
    user.When("Kiv Export", [](Dialog& d) {
        EXPECT_EQ(d.List(IDC_SELECTED_LIST).Column(0), (Names{ "Alpha", "Beta", "Gamma" })) << "rows unchanged";
        EXPECT_TRUE(d.List(IDC_AVAILABLE_LIST).Rows().empty());
        d.Click(IDOK);
    });
    user.When("Warning", answer(No));       // Beta again
    user.When("Warning", answer(Yes));      // Gamma again
    Outcome outcome;
    user.Run([&] { outcome = transfer_host::CallImpExp(MakeCall(c)); });
    EXPECT_EQ(warnings, (std::vector<Warned>{ { "Beta", Warning::Author }, { "Gamma", Warning::Author },
                                              { "Beta", Warning::Author }, { "Gamma", Warning::Author } }));
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.names, (Names{ "Alpha", "Gamma" })) << "nothing of the withdrawn pass is left";
}

TEST_F(OkPass, CancelAnswerThenTheDialogsCancelReturnsNoNames)
{
    PassCase c = { "", kImport, "jdoe", "", { Obj("Alpha", "jdoe", "") }, {}, {}, {}, {} };
    ScriptedUser user;
    user.When("Kiv Import", [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    user.When("Warning", [](Dialog& w) { w.Click(IDCANCEL); });
    user.When("Kiv Import", [](Dialog& d) { d.Click(IDCANCEL); });
    Outcome outcome;
    user.Run([&] { outcome = transfer_host::CallImpExp(MakeCall(c)); });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.count, 0);
}

TEST_F(OkPass, TheThreeWarningTextsByteForByte)
{
    PassCase c = { "", kExport, "jdoe", "W-17",
                   { Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W 18") }, { "Fresh" }, {}, {}, {} };
    std::vector<std::string> texts;
    ScriptedUser user;
    user.When("Kiv Export", [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    for (int i = 0; i < 3; ++i) {
        user.When("Warning", [&](Dialog& w) {
            texts.push_back(w.Text(IDC_WARNING_TEXT));
            w.Click(IDYES);
        });
    }
    user.Run([&] { transfer_host::CallImpExp(MakeCall(c)); });
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], std::string("Object = Alpha\nObject date = ") + kDate +
                            "\nAuthor = kim does not match the\nCurrent Author = jdoe.\n"
                            "This may result in the incorrect overwriting of the data.\n\n"
                            "Do you wish to overwrite data?");
    EXPECT_EQ(texts[1], std::string("Object = Beta\nObject date = ") + kDate +
                            "\nWell Identifier = W 18 does not match the\nCurrent Well Identifier = W-17.\n"
                            "This may result in the incorrect overwriting of data.\n\n"
                            "Do you wish to overwrite data?");
    EXPECT_EQ(texts[2], "Object = Fresh\nObject date = \nAuthor = New does not match the\nCurrent Author = jdoe.\n"
                        "This may result in the incorrect overwriting of the data.\n\n"
                        "Do you wish to overwrite data?");

    PassCase import = { "", kImport, "jdoe", "", { Obj("Alpha", "jdoe", "") }, {}, {}, {}, {} };
    std::string currentData;
    ScriptedUser importUser;
    importUser.When("Kiv Import", [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    importUser.When("Warning", [&](Dialog& w) {
        currentData = w.Text(IDC_WARNING_TEXT);
        w.Click(IDYES);
    });
    importUser.Run([&] { transfer_host::CallImpExp(MakeCall(import)); });
    EXPECT_EQ(currentData, std::string("Object = Alpha\nObject date = ") + kDate +
                               ".\nThis may result in the incorrect overwriting of current data.\n\n"
                               "Do you wish to overwrite Data?");
}

// The warning dialog as a person meets it: keys, close box, Tab, and its look.
class WarningDialog : public OkPass {
protected:
    // One import row, so exactly one warning; returns what the host got.
    Outcome RunWithWarning(const std::vector<ScriptedUser::Action>& warningSteps,
                           bool dialogStaysOpen)
    {
        PassCase c = { "", kImport, "jdoe", "", { Obj("Alpha", "jdoe", "") }, {}, {}, {}, {} };
        ScriptedUser user;
        user.When("Kiv Import", [](Dialog& d) {
            d.Click(IDC_ADDALL);
            d.Click(IDOK);
        });
        for (const auto& step : warningSteps)
            user.When("Warning", step);
        if (dialogStaysOpen)
            user.When("Kiv Import", [](Dialog& d) { d.Click(IDCANCEL); });
        Outcome outcome;
        user.Run([&] { outcome = transfer_host::CallImpExp(MakeCall(c)); });
        return outcome;
    }
};

TEST_F(WarningDialog, KeysAndCloseBoxAnswer)
{
    struct Case {
        const char* name;
        ScriptedUser::Action act;
        bool accepted;   // Yes: the name comes back; Cancel: the dialog stays open
    };
    const Case cases[] = {
        { "Enter right away answers Yes", [](Dialog& w) { w.PressEnter(); }, true },
        { "Esc answers Cancel", [](Dialog& w) { w.PressEscape(); }, false },
        { "the close box answers Cancel", [](Dialog& w) { w.Close(); }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = RunWithWarning({ c.act }, !c.accepted);
        EXPECT_EQ(outcome.result, c.accepted ? 1 : 0);
        EXPECT_EQ(outcome.names, c.accepted ? Names{ "Alpha" } : Names{});
    }
}

TEST_F(WarningDialog, TabMovesBetweenYesAndYesAllOnly)
{
    std::vector<int> focus;
    auto look = [&](Dialog& w) {
        focus.push_back(w.FocusId());
        w.PressTab();
    };
    // Yes -> Yes All -> Yes -> Yes All, then Enter presses the focused Yes All.
    Outcome outcome = RunWithWarning({ look, look, look,
                                       [&](Dialog& w) {
                                           focus.push_back(w.FocusId());
                                           w.PressEnter();
                                       } },
                                     false);
    EXPECT_EQ(focus, (std::vector<int>{ IDYES, IDC_YESALL, IDYES, IDC_YESALL }));
    EXPECT_EQ(outcome.result, 1) << "Yes All ends the pass with the row accepted";
    EXPECT_EQ(outcome.names, Names{ "Alpha" });
}

TEST_F(WarningDialog, ShowsTheTextAndTheFiveAnswers)
{
    RunWithWarning({ [](Dialog& w) {
                       EXPECT_EQ(w.Caption(), "Warning");
                       EXPECT_EQ(w.Text(IDYES), "&Yes");
                       EXPECT_EQ(w.Text(IDC_YESALL), "Yes &All");
                       EXPECT_EQ(w.Text(IDNO), "&No");
                       EXPECT_EQ(w.Text(IDC_NOALL), "N&o All");
                       EXPECT_EQ(w.Text(IDCANCEL), "Cancel");
                       EXPECT_EQ(w.Text(IDC_WARNING_TEXT).rfind("Object = Alpha\n", 0), 0u);
                       w.Click(IDYES);
                   } },
                   false);
}

}  // namespace

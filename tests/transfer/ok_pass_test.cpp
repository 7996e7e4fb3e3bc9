// The OK pass: which rows draw which warning, what each answer does to the pass,
// the warning texts, and the overwrite warning dialog itself.
#include <gtest/gtest.h>

#include <derar.h>

#include "dialog_driver.h"
#include "resource.h"
#include "warning_text.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using namespace transfer_host;  // the host side of every test here
using Names = std::vector<std::string>;

namespace {

const char kFileDate[] = "2000-12-05 14:07";

// The buttons of the warning dialog, as a person names them.
const int Yes = IDYES;
const int YesAll = IDC_YESALL;
const int No = IDNO;
const int NoAll = IDC_NOALL;
const int Cancel = IDCANCEL;

// The three warnings, as the tables name them.
const hostkit::WarningKind Author = hostkit::WarningKind::Author;
const hostkit::WarningKind WellId = hostkit::WarningKind::WellId;
const hostkit::WarningKind CurrentData = hostkit::WarningKind::CurrentData;

struct Warned {
    std::string object;
    hostkit::WarningKind kind;
    bool operator==(const Warned& o) const { return object == o.object && kind == o.kind; }
};

std::ostream& operator<<(std::ostream& out, const Warned& w)
{
    return out << w.object << " (" << hostkit::WarningKindName(w.kind) << ")";
}

// Reads which object a warning names and which of the three warnings it is.
Warned ReadWarning(const std::string& text)
{
    return { hostkit::WarnedObject(text), hostkit::KindOfWarning(text) };
}

// A row of the OK pass tables, built field by field:
//   Export("name").Current("jdoe", "W-17").File({...}).Answers({ Yes }).Warns({...}).Returns({...})
struct PassCase {
    std::string name;
    int mode = kExport;
    std::string currentAuthor;
    std::string currentWellId;
    std::vector<FileObject> file;        // every object is a candidate
    Names newCandidates;                 // export: "New" rows
    std::vector<int> answers;            // the button pressed at each warning, in order
    std::vector<Warned> expectedWarnings;
    Names expectedNames;

    PassCase& Current(std::string author, std::string wellId)
    {
        currentAuthor = std::move(author);
        currentWellId = std::move(wellId);
        return *this;
    }
    PassCase& File(std::vector<FileObject> objects) { file = std::move(objects); return *this; }
    PassCase& New(Names names) { newCandidates = std::move(names); return *this; }
    PassCase& Answers(std::vector<int> buttons) { answers = std::move(buttons); return *this; }
    PassCase& Warns(std::vector<Warned> warnings) { expectedWarnings = std::move(warnings); return *this; }
    PassCase& Returns(Names names) { expectedNames = std::move(names); return *this; }
};

PassCase Import(std::string name = "")
{
    PassCase c;
    c.name = std::move(name);
    c.mode = kImport;
    return c;
}

PassCase Export(std::string name = "")
{
    PassCase c;
    c.name = std::move(name);
    c.mode = kExport;
    return c;
}

FileObject Obj(const char* name, const char* author, const char* wellId)
{
    return { name, author, "1", wellId, kFileDate };
}

class OkPass : public ::testing::Test {
protected:
    Call MakeCall(const PassCase& c)
    {
        folder.Write("pass.kvd", transfer_host::KvdText(c.file));
        Call call(c.mode, folder.Path(), "pass.kvd", {}, c.currentAuthor, c.currentWellId);
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
        Import("import: every row warns, by author").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "jdoe", "W-99") })
            .Answers({ Yes, Yes, Yes })
            .Warns({ { "Alpha", CurrentData }, { "Beta", Author }, { "Gamma", CurrentData } })
            .Returns({ "Alpha", "Beta", "Gamma" }),
        Import("author differing only in case").Current("jdoe", "").File({ Obj("Alpha", "JDoe", "") })
            .Answers({ Yes }).Warns({ { "Alpha", Author } }).Returns({ "Alpha" }),
        Export("export: same author and well draws nothing").Current("jdoe", "W-17")
            .File({ Obj("Beta", "jdoe", "W-17"), Obj("Alpha", "jdoe", "W-17") }).Returns({ "Alpha", "Beta" }),
        Export("export: author first, then well").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "jdoe", "W-18"), Obj("Gamma", "kim", "W-18") })
            .Answers({ Yes, Yes }).Warns({ { "Beta", WellId }, { "Gamma", Author } })
            .Returns({ "Alpha", "Beta", "Gamma" }),
        Export("export: well differing only in case").Current("jdoe", "W-17").File({ Obj("Alpha", "jdoe", "w-17") })
            .Answers({ No }).Warns({ { "Alpha", WellId } }),
        Export("empty author and well equal empty current texts").Current("", "").File({ Obj("Alpha", "", "") })
            .Returns({ "Alpha" }),
        Import("empty author against a current author").Current("jdoe", "").File({ Obj("Alpha", "", "") })
            .Answers({ Yes }).Warns({ { "Alpha", Author } }).Returns({ "Alpha" }),
        Export("New row draws the author warning").Current("jdoe", "W-17").File({ Obj("Alpha", "jdoe", "W-17") })
            .New({ "Fresh" }).Answers({ Yes }).Warns({ { "Fresh", Author } }).Returns({ "Alpha", "Fresh" }),
        Export("New row with current author New draws the well warning").Current("New", "W-17")
            .File({ Obj("Alpha", "New", "W-17") }).New({ "Fresh" })
            .Answers({ Yes }).Warns({ { "Fresh", WellId } }).Returns({ "Alpha", "Fresh" }),
        Export("New row with current author New and empty well draws nothing").Current("New", "")
            .File({ Obj("Alpha", "New", "") }).New({ "Fresh" }).Returns({ "Alpha", "Fresh" }),
        Export("No leaves the row out; a later quiet row is appended").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W-17") })
            .Answers({ No }).Warns({ { "Alpha", Author } }).Returns({ "Beta" }),
        Export("No holds for its own row only").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "kim", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17") })
            .Answers({ No, Yes, No }).Warns({ { "Alpha", Author }, { "Beta", Author }, { "Gamma", Author } })
            .Returns({ "Beta" }),
        Export("Yes then a quiet row").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W-17") })
            .Answers({ Yes }).Warns({ { "Alpha", Author } }).Returns({ "Alpha", "Beta" }),
        Import("Yes All takes every later row without a warning").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-1"), Obj("Gamma", "x", "W-2") })
            .Answers({ YesAll }).Warns({ { "Alpha", CurrentData } }).Returns({ "Alpha", "Beta", "Gamma" }),
        Export("Yes All at a later row").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "kim", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17") })
            .Answers({ No, YesAll }).Warns({ { "Alpha", Author }, { "Beta", Author } }).Returns({ "Beta", "Gamma" }),
        Export("No All at the first row").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W-17") })
            .Answers({ NoAll }).Warns({ { "Alpha", Author } }),
        Export("No All at a later row keeps the rows before it").Current("jdoe", "W-17")
            .File({ Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17"),
                    Obj("Omega", "jdoe", "W-17") })
            .Answers({ Yes, NoAll }).Warns({ { "Beta", Author }, { "Gamma", Author } }).Returns({ "Alpha", "Beta" }),
        Import("rows of the same name each add a name").Current("jdoe", "")
            .File({ Obj("GR", "jdoe", ""), Obj("GR", "jdoe", "W-2") })
            .Answers({ Yes, Yes }).Warns({ { "GR", CurrentData }, { "GR", CurrentData } }).Returns({ "GR", "GR" }),
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
        Outcome outcome = transfer_host::PlayImpExp(user, MakeCall(c));
        EXPECT_EQ(warnings, c.expectedWarnings);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.names, c.expectedNames);
        EXPECT_EQ(outcome.count, static_cast<int>(c.expectedNames.size()));
    }
}

TEST_F(OkPass, CancelWithdrawsThePassAndASecondOkWarnsAgain)
{
    PassCase c = Export().Current("jdoe", "W-17").File(
        { Obj("Alpha", "jdoe", "W-17"), Obj("Beta", "kim", "W-17"), Obj("Gamma", "kim", "W-17") });
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
    Outcome outcome = transfer_host::PlayImpExp(user, MakeCall(c));
    EXPECT_EQ(warnings, (std::vector<Warned>{ { "Beta", Author }, { "Gamma", Author },
                                              { "Beta", Author }, { "Gamma", Author } }));
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.names, (Names{ "Alpha", "Gamma" })) << "nothing of the withdrawn pass is left";
}

TEST_F(OkPass, CancelAnswerThenTheDialogsCancelReturnsNoNames)
{
    PassCase c = Import().Current("jdoe", "").File({ Obj("Alpha", "jdoe", "") });
    ScriptedUser user;
    user.When("Kiv Import", [](Dialog& d) {
        d.Click(IDC_ADDALL);
        d.Click(IDOK);
    });
    user.When("Warning", [](Dialog& w) { w.Click(IDCANCEL); });
    user.When("Kiv Import", [](Dialog& d) { d.Click(IDCANCEL); });
    Outcome outcome = transfer_host::PlayImpExp(user, MakeCall(c));
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.count, 0);
}

TEST_F(OkPass, TheThreeWarningTextsByteForByte)
{
    PassCase c = Export().Current("jdoe", "W-17")
                     .File({ Obj("Alpha", "kim", "W-17"), Obj("Beta", "jdoe", "W 18") })
                     .New({ "Fresh" });
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
    EXPECT_EQ(texts[0], AuthorWarning("Alpha", kShownDate, "kim", "jdoe"));
    EXPECT_EQ(texts[1], WellIdWarning("Beta", kShownDate, "W 18", "W-17"));
    EXPECT_EQ(texts[2], AuthorWarning("Fresh", "", "New", "jdoe"));

    PassCase import = Import().Current("jdoe", "").File({ Obj("Alpha", "jdoe", "") });
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
    EXPECT_EQ(currentData, CurrentDataWarning("Alpha", kShownDate));
}

// The warning dialog as a person meets it: keys, close box, Tab, and its look.
class WarningDialog : public OkPass {
protected:
    // One import row, so exactly one warning; returns what the host got.
    Outcome RunWithWarning(const std::vector<ScriptedUser::Action>& warningSteps,
                           bool dialogStaysOpen)
    {
        PassCase c = Import().Current("jdoe", "").File({ Obj("Alpha", "jdoe", "") });
        ScriptedUser user;
        user.When("Kiv Import", [](Dialog& d) {
            d.Click(IDC_ADDALL);
            d.Click(IDOK);
        });
        for (const auto& step : warningSteps)
            user.When("Warning", step);
        if (dialogStaysOpen)
            user.When("Kiv Import", [](Dialog& d) { d.Click(IDCANCEL); });
        Outcome outcome = transfer_host::PlayImpExp(user, MakeCall(c));
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

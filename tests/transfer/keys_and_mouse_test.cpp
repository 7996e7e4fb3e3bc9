// The four transfer commands from the keyboard and with the mouse: Insert and Delete
// (with Shift for every row) in either list, and rows dragged from one list to the
// other. Each ends where its button ends; the keys and clicks that the lists and the
// dialog already use keep their meaning, and a drag that is not dropped on the other
// list moves nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "dialog_driver.h"
#include "person_input.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::Dialog;
using dialog_driver::ListView;
using dialog_driver::ScriptedUser;
using namespace transfer_host;

namespace {

const char kExistsCaption[] = "Objects Which Already Exists in the Export File";
const char kExportCaption[] = "Objects Available for Export";

using Names = std::vector<std::string>;
const Names kAll = { "Casing", "Density", "Gamma", "Porosity", "Temperature" };

// What a person sees of the dialog's state: both lists (texts and selected rows), the
// three captions and whether OK can be pressed.
std::string Seen(const Dialog& d)
{
    std::ostringstream out;
    for (int id : { IDC_AVAILABLE_LIST, IDC_SELECTED_LIST }) {
        out << (id == IDC_AVAILABLE_LIST ? "available:" : "\nselected:");
        for (const dialog_driver::ListRow& row : d.List(id).Rows()) {
            out << " [";
            for (const std::string& cell : row.cells)
                out << cell << "|";
            out << (row.selected ? "*" : "") << "]";
        }
    }
    out << "\n"
        << d.Caption() << " / " << d.Text(IDC_AVAILABLE_GROUP) << " / " << d.Text(IDC_SELECTED_GROUP) << "\nOK "
        << (d.IsEnabled(IDOK) ? "enabled" : "disabled");
    return out.str();
}

class KeysAndMouse : public ::testing::Test {
protected:
    void SetUp() override { person::MoveAway(); }
    void TearDown() override
    {
        person::HoldModifiers(person::None);
        person::MoveAway();
    }

    // Five objects in the file; in export mode "Brand new" is a candidate the file lacks.
    Call MakeCall(int mode)
    {
        folder.Write("wells.kvd", KvdText({
                                      { "Porosity", "jdoe", "2", "W-17", "2000-12-05 14:07" },
                                      { "Casing", "asmith", "1", "W-17", "2000-12-05 14:07" },
                                      { "Temperature", "jdoe", "5", "W-09", "2000-12-05 14:07" },
                                      { "Gamma", "jdoe", "3", "W-17", "2000-12-05 14:07" },
                                      { "Density", "kim", "4", "W-02", "2000-12-05 14:07" },
                                  }));
        Call call(mode, folder.Path(), "wells.kvd", kAll, "jdoe", "W-17");
        if (mode == kExport)
            call.candidates.push_back("Brand new");
        return call;
    }

    // Runs the dialog through these steps, each waiting for the dialog again (a key or
    // a drag takes effect between two steps), then Cancel.
    Outcome Play(int mode, const std::vector<std::function<void(Dialog&)>>& steps)
    {
        ScriptedUser user;
        const char* title = mode == kImport ? "Kiv Import" : "Kiv Export";
        for (const auto& step : steps)
            user.When(title, step);
        user.When(title, [](Dialog& d) { d.Click(IDCANCEL); });
        return PlayImpExp(user, MakeCall(mode));
    }

    fixtures::TempFolder folder;
};

// Selects the rows of these names in a list, and only them.
void SelectNames(const ListView& list, const Names& names)
{
    std::vector<int> rows;
    for (const std::string& name : names) {
        const int row = list.FindRow(name);
        ASSERT_GE(row, 0) << name << " is not listed";
        rows.push_back(row);
    }
    list.SelectOnly(rows);
}

// ---------------------------------------------------------------------------
// Drags.

TEST_F(KeysAndMouse, RowsDroppedOnTheOtherListEndWhereTheirCommandEnds)
{
    struct Case {
        const char* name;
        int mode;
        int from;        // the list the rows are dragged from
        Names selected;  // selected there before the drag; the drag starts on the first
        int command;     // the button that moves the same rows
    };
    const Case cases[] = {
        { "import, two rows down", kImport, IDC_AVAILABLE_LIST, { "Porosity", "Density" }, IDC_ADD },
        { "import, an unselected row: the press selects it alone", kImport, IDC_AVAILABLE_LIST, {}, IDC_ADD },
        { "export, a new row up (the caption changes)", kExport, IDC_SELECTED_LIST, { "Brand new" }, IDC_REMOVE },
        { "export, every row down", kExport, IDC_AVAILABLE_LIST, kAll, IDC_ADD },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int to = c.from == IDC_AVAILABLE_LIST ? IDC_SELECTED_LIST : IDC_AVAILABLE_LIST;
        // The row the press lands on: the first selected, else Gamma (unselected).
        const std::string pressed = c.selected.empty() ? "Gamma" : c.selected.front();
        std::string before, byButton, byDrag;
        Play(c.mode, { [&](Dialog& d) {
                 before = Seen(d);
                 SelectNames(d.List(c.from), c.selected.empty() ? Names{ pressed } : c.selected);
                 d.Click(c.command);
                 byButton = Seen(d);
             } });
        Play(c.mode, {
                         [&](Dialog& d) {
                             SelectNames(d.List(c.from), c.selected);
                             const ListView from = d.List(c.from);
                             person::BeginDrag(person::RowPoint(from, from.FindRow(pressed)));
                         },
                         [&](Dialog& d) { person::EndDrag(person::Middle(d.Item(to))); },
                         [&](Dialog& d) { byDrag = Seen(d); },
                     });
        EXPECT_NE(byButton, before) << "the command moved rows";
        EXPECT_EQ(byDrag, byButton);
    }
}

TEST_F(KeysAndMouse, ADragThatEndsAnywhereButTheOtherListMovesNothing)
{
    struct Case {
        const char* name;
        std::function<POINT(const Dialog&)> drop;
    };
    const Case cases[] = {
        { "on the list the rows came from",
          [](const Dialog& d) { return person::RowPoint(d.List(IDC_AVAILABLE_LIST), 4); } },
        { "on the Add button", [](const Dialog& d) { return person::Middle(d.Item(IDC_ADD)); } },
        { "on the label between the lists",
          [](const Dialog& d) {
              POINT pt = person::Middle(d.Item(IDC_ADD));
              RECT rc;
              GetWindowRect(d.Item(IDC_AVAILABLE_LIST), &rc);
              return POINT{ rc.left + 20, pt.y };
          } },
        { "outside the dialog",
          [](const Dialog&) {
              return POINT{ 2, 2 };
          } },
    };
    for (int mode : { kImport, kExport }) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(mode == kImport ? "import, " : "export, ") + c.name);
            std::string before, after;
            Play(mode, {
                           [&](Dialog& d) {
                               ListView available = d.List(IDC_AVAILABLE_LIST);
                               SelectNames(available, { "Casing", "Gamma" });
                               before = Seen(d);
                               person::BeginDrag(person::RowPoint(available, available.FindRow("Gamma")));
                           },
                           [&](Dialog& d) { person::EndDrag(c.drop(d)); },
                           [&](Dialog& d) {
                               after = Seen(d);
                               if (mode == kExport) {
                                   EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), kExistsCaption) << "no command ran";
                               }
                           },
                       });
            EXPECT_EQ(after, before);
        }
    }
}

TEST_F(KeysAndMouse, EscGivesUpADragAndLeavesTheDialogOpen)
{
    std::string before, after;
    bool stillOpen = false;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        ListView available = d.List(IDC_AVAILABLE_LIST);
        SelectNames(available, { "Density" });
        before = Seen(d);
        person::BeginDrag(person::RowPoint(available, available.FindRow("Density")));
    });
    user.When("Kiv Export", [&](Dialog& d) {
        // Moved onto the lower list, not released.
        person::MoveTo(person::Middle(d.Item(IDC_SELECTED_LIST)));
    });
    user.When("Kiv Export", [&](Dialog& d) {
        // The drag holds the mouse now; Esc is its key, not the dialog's.
        EXPECT_EQ(GetCapture(), d.Handle()) << "the drag has begun";
        d.PressEscape();
    });
    user.When("Kiv Export", [&](Dialog& d) {
        EXPECT_EQ(GetCapture(), nullptr) << "the drag has ended";
        person::EndDrag(person::Middle(d.Item(IDC_SELECTED_LIST)));  // let go over the lower list, after Esc
    });
    user.When("Kiv Export", [&](Dialog& d) {
        after = Seen(d);
        stillOpen = d.IsVisible(IDOK);
        d.Click(IDCANCEL);
    });
    Outcome outcome = PlayImpExp(user, MakeCall(kExport));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(after, before);
    EXPECT_EQ(outcome.result, 0) << "ended by its Cancel button";
}

TEST_F(KeysAndMouse, ClicksAndDoubleClicksKeepTheirMeaning)
{
    // A press and release on a row without moving is a click: it selects that row alone
    // and moves nothing. A double-click still runs Add.
    Play(kImport, {
                      [](Dialog& d) {
                          ListView available = d.List(IDC_AVAILABLE_LIST);
                          SelectNames(available, { "Casing", "Density" });
                          person::Click(person::RowPoint(available, available.FindRow("Gamma")));
                      },
                      [](Dialog& d) {
                          ListView available = d.List(IDC_AVAILABLE_LIST);
                          EXPECT_EQ(available.Column(0), kAll);
                          EXPECT_EQ(available.SelectedRows(), (std::vector<int>{ available.FindRow("Gamma") }));
                          EXPECT_TRUE(d.List(IDC_SELECTED_LIST).Rows().empty());
                          available.DoubleClick(available.FindRow("Temperature"));
                          EXPECT_EQ(d.List(IDC_SELECTED_LIST).Column(0), (Names{ "Temperature" }));
                      },
                  });
}

// ---------------------------------------------------------------------------
// Keys.

struct KeyStep {
    const char* name;
    int focus;        // the list that has the keyboard focus
    Names available;  // selected in the available list before the key
    Names selected;   // selected in the selected list before the key
    int modifiers;
    UINT key;
    Names availableAfter;
    Names selectedAfter;
    bool okAfter;
};

TEST_F(KeysAndMouse, InsertAndDeleteRunTheCommandsInEitherList)
{
    for (int mode : { kImport, kExport }) {
        const bool exp = mode == kExport;
        const Names brandNew = exp ? Names{ "Brand new" } : Names{};
        auto with = [&](Names names) {
            if (exp)
                names.insert(names.begin(), "Brand new");
            return names;
        };
        const KeyStep keys[] = {
            { "Insert in the available list adds its selected rows",
              IDC_AVAILABLE_LIST,
              { "Density", "Porosity" },
              {},
              person::None,
              VK_INSERT,
              { "Casing", "Gamma", "Temperature" },
              with({ "Density", "Porosity" }),
              true },
            { "Delete in the selected list removes its selected rows",
              IDC_SELECTED_LIST,
              {},
              { "Density" },
              person::None,
              VK_DELETE,
              { "Casing", "Density", "Gamma", "Temperature" },
              with({ "Porosity" }),
              true },
            { "Shift+Insert in the selected list adds every row",
              IDC_SELECTED_LIST,
              {},
              {},
              person::Shift,
              VK_INSERT,
              {},
              with(kAll),
              true },
            { "Shift+Delete in the available list removes every row",
              IDC_AVAILABLE_LIST,
              {},
              {},
              person::Shift,
              VK_DELETE,
              exp ? Names{ "Brand new", "Casing", "Density", "Gamma", "Porosity", "Temperature" } : kAll,
              {},
              false },
            { "Insert in the selected list adds the available list's selected rows",
              IDC_SELECTED_LIST,
              { "Gamma" },
              {},
              person::None,
              VK_INSERT,
              exp ? Names{ "Brand new", "Casing", "Density", "Porosity", "Temperature" }
                  : Names{ "Casing", "Density", "Porosity", "Temperature" },
              { "Gamma" },
              true },
            { "Delete in the available list removes the selected list's selected rows",
              IDC_AVAILABLE_LIST,
              {},
              { "Gamma" },
              person::None,
              VK_DELETE,
              exp ? Names{ "Brand new", "Casing", "Density", "Gamma", "Porosity", "Temperature" } : kAll,
              {},
              false },
        };
        SCOPED_TRACE(exp ? "export" : "import");
        std::vector<std::function<void(Dialog&)>> steps;
        steps.push_back([&](Dialog& d) {
            EXPECT_EQ(d.List(IDC_SELECTED_LIST).Column(0), brandNew);
            if (exp) {
                EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), kExistsCaption);
            }
        });
        for (const KeyStep& k : keys) {
            // Set up and press; the key takes effect when the step returns.
            steps.push_back([&](Dialog& d) {
                SelectNames(d.List(IDC_AVAILABLE_LIST), k.available);
                SelectNames(d.List(IDC_SELECTED_LIST), k.selected);
                d.SetFocus(k.focus);
                person::HoldModifiers(k.modifiers);
                d.PressKey(k.key);
            });
            steps.push_back([&](Dialog& d) {
                person::HoldModifiers(person::None);
                SCOPED_TRACE(k.name);
                EXPECT_EQ(d.List(IDC_AVAILABLE_LIST).Column(0), k.availableAfter);
                EXPECT_EQ(d.List(IDC_SELECTED_LIST).Column(0), k.selectedAfter);
                EXPECT_EQ(d.IsEnabled(IDOK), k.okAfter);
                EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), exp ? kExportCaption : "Objects Available for Import");
                EXPECT_EQ(d.FocusId(), k.focus) << "the focus stays in the list";
            });
        }
        Play(mode, steps);
    }
}

TEST_F(KeysAndMouse, KeysThatTheListsAndTheDialogUseMoveNoRow)
{
    struct Case {
        const char* name;
        int modifiers;
        UINT key;
    };
    const Case cases[] = {
        { "Down", person::None, VK_DOWN },
        { "Shift+Down", person::Shift, VK_DOWN },
        { "Ctrl+Down", person::Control, VK_DOWN },
        { "Up", person::None, VK_UP },
        { "Home", person::None, VK_HOME },
        { "End", person::None, VK_END },
        { "Space", person::None, VK_SPACE },
        { "Ctrl+Insert", person::Control, VK_INSERT },
        { "Ctrl+Delete", person::Control, VK_DELETE },
        { "Ctrl+Shift+Insert", person::Control | person::Shift, VK_INSERT },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Play(kExport, {
                          [&](Dialog& d) {
                              SelectNames(d.List(IDC_AVAILABLE_LIST), { "Gamma" });
                              SelectNames(d.List(IDC_SELECTED_LIST), { "Brand new" });
                              d.SetFocus(IDC_AVAILABLE_LIST);
                              person::HoldModifiers(c.modifiers);
                              d.PressKey(c.key);
                          },
                          [&](Dialog& d) {
                              person::HoldModifiers(person::None);
                              // The list view may move its own selection; no row leaves its list.
                              EXPECT_EQ(d.List(IDC_AVAILABLE_LIST).Column(0), kAll);
                              EXPECT_EQ(d.List(IDC_SELECTED_LIST).Column(0), (Names{ "Brand new" }));
                              EXPECT_EQ(d.Text(IDC_AVAILABLE_GROUP), kExistsCaption) << "no command ran";
                              EXPECT_TRUE(d.IsEnabled(IDOK));
                          },
                      });
    }
}

TEST_F(KeysAndMouse, EscInAListStillCancelsTheDialog)
{
    ScriptedUser user;
    user.When("Kiv Export", [](Dialog& d) {
        d.List(IDC_AVAILABLE_LIST).SelectOnly({ 0 });
        d.SetFocus(IDC_AVAILABLE_LIST);
        d.PressEscape();
    });
    Outcome outcome = PlayImpExp(user, MakeCall(kExport));
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.count, 0);
}

}  // namespace

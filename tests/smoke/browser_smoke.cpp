// KivBrowseDialog on the worked example through the real Kiv.dll: the tree item by
// item, Expand Node, Expand Tree, Help, and the last file key written and read back.
#include <gtest/gtest.h>

#include "browser_host.h"
#include "help_observer.h"
#include "resource.h"
#include "smoke_files.h"
#include "test_fixtures.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using dialog_driver::TreeView;
namespace key = fixtures::last_file_key;

namespace {

const char kFile[] = "worked_example.kvd";
const char kObject[] = "Deviation survey - A. Rahman - 3 - NF-001 - Saturday, March 14, 1987  09:30";

// The worked example's tree with open marks: every "?" stands for the mark of the
// item it precedes ("-" open, "+" closed), taken in order from marks.
std::string Marked(const std::string& marks)
{
    std::string text = std::string("? ") + kObject + "\n"
                       "  ? Survey\n"
                       "    ? 1\n"
                       "      Depth: 1200 [m]\n"
                       "      Angle: 3.5 [deg]\n"
                       "    ? 2\n"
                       "      Depth: 1300 [m]\n"
                       "      ? Point\n"
                       "        ? 1\n"
                       "          X: 10 \n"
                       "    ? 2\n"
                       "      Angle: 4.0 [deg]\n"
                       "  ? Casing\n"
                       "    ? 1\n"
                       "      Size: 7 [in]\n";
    return browser_host::WithMarks(text, marks);
}

// Marks in item order: object, Survey 1 2 Point 1 2, Casing 1.
const char kOpening[] = "-" "++++++" "++";
const char kSurveyOpen[] = "-" "------" "++";
const char kAllOpen[] = "-" "------" "--";

class BrowserSmoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        key::Remove();
        folder.CopyIn(smoke::SamplePath(kFile), kFile);
    }
    void TearDown() override { key::Remove(); }
    fixtures::TempFolder folder;
};

TEST_F(BrowserSmoke, WorkedExampleTreeCommandsAndHelp)
{
    HelpObserver help;
    ASSERT_TRUE(help.IsReady());
    HWND browser = nullptr;
    struct Seen {
        const char* step;
        std::string marks;
        int focus;
    };
    std::vector<Seen> seen;
    browser_host::View opening;
    ScriptedUser user;
    user.When(browser_host::kCaption, [&](Dialog& d) {
        browser = d.Handle();
        opening = browser_host::Look(d);
        TreeView tree = d.Tree(IDC_TREE);
        seen.push_back({ "opening", browser_host::MarkedTree(tree), d.FocusId() });

        HTREEITEM survey = tree.Find({ kObject, "Survey" });
        ASSERT_NE(survey, nullptr);
        tree.Select(survey);
        d.SetFocus(IDOK);
        d.Click(ID_EXPAND_NODE);
        seen.push_back({ "Expand Node on Survey", browser_host::MarkedTree(tree), d.FocusId() });
        EXPECT_EQ(tree.Selected(), survey) << "the selection stays";

        d.SetFocus(IDOK);
        d.Click(ID_EXPAND_TREE);
        seen.push_back({ "Expand Tree", browser_host::MarkedTree(tree), d.FocusId() });
        EXPECT_TRUE(browser_host::IsInView(tree, tree.Items().back().handle)) << "ends at the last item";

        d.Click(ID_HELP);
        d.SetFocus(IDC_TREE);
        d.PressF1();
        d.Click(IDOK);
    });
    browser_host::RunBrowser(user, folder.Path(), kFile);

    EXPECT_EQ(opening.directory, folder.Path());
    EXPECT_EQ(opening.files, std::vector<std::string>{ kFile });
    EXPECT_EQ(opening.selectedFile, kFile);
    EXPECT_TRUE(opening.treeHasFocus);
    const Seen expected[] = {
        { "opening", Marked(kOpening), IDC_TREE },
        { "Expand Node on Survey", Marked(kSurveyOpen), IDC_TREE },
        { "Expand Tree", Marked(kAllOpen), IDC_TREE },
    };
    ASSERT_EQ(seen.size(), std::size(expected));
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].marks, expected[i].marks) << expected[i].step;
        EXPECT_EQ(seen[i].focus, expected[i].focus) << expected[i].step;
    }

    HelpRequest context5;
    context5.command = HELP_CONTEXT;
    context5.data = HELP_CONTEXT_BROWSE;
    context5.file = DERAR_HELP_FILE;
    std::vector<HelpRequest> requests = help.ContextRequests();
    ASSERT_EQ(requests.size(), 2u) << "the Help button and F1";
    for (const HelpRequest& request : requests) {
        EXPECT_EQ(request, context5);
        EXPECT_EQ(request.caller, browser);
    }
}

// The host's texts are stored as the last file; a host that gives none is shown
// that file again.
TEST_F(BrowserSmoke, TheLastFileKeyIsWrittenAndReadBack)
{
    browser_host::View first = browser_host::OpenAndLook(folder.Path(), kFile);
    EXPECT_EQ(first.openTree, std::string("- ") + kObject + "\n  + Survey\n  + Casing\n");

    browser_host::ExpectLastFileKey(folder.Path(), kFile);

    browser_host::View again = browser_host::OpenAndLook("", "");
    EXPECT_EQ(again.directory, folder.Path());
    EXPECT_EQ(again.selectedFile, kFile);
    EXPECT_EQ(again.tree, first.tree);
    EXPECT_EQ(again.openTree, first.openTree);
}

}  // namespace

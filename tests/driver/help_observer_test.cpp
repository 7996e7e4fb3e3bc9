// The help observer receives what the platform's WinHelpA sends, as sent.
#include <gtest/gtest.h>

#include <help_observer.h>

namespace {

TEST(HelpObserver, RecordsWinHelpRequests)
{
    struct Case {
        const char* name;
        const char* file;
        UINT command;
        ULONG_PTR data;
    };
    const Case cases[] = {
        {"context of the import topic", "kiv.hlp", HELP_CONTEXT, 3},
        {"context of the browser topic", "kiv.hlp", HELP_CONTEXT, 5},
        {"a file with a directory", "C:\\help\\other.hlp", HELP_CONTEXT, 77},
    };
    HelpObserver observer;
    ASSERT_TRUE(observer.IsReady());
    HWND caller = CreateWindowExA(0, "Static", "caller", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        observer.Clear();
        EXPECT_TRUE(WinHelpA(caller, c.file, c.command, c.data));
        std::vector<HelpRequest> requests = observer.ContextRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].file, c.file);
        EXPECT_EQ(requests[0].command, c.command);
        EXPECT_EQ(requests[0].data, c.data);
        EXPECT_EQ(requests[0].caller, caller);
    }
    DestroyWindow(caller);
}

TEST(HelpObserver, EveryLivingObserverSeesTheRequest)
{
    HelpObserver outer;
    {
        HelpObserver inner;
        WinHelpA(nullptr, "kiv.hlp", HELP_CONTEXT, 4);
        EXPECT_EQ(inner.ContextRequests().size(), 1u);
    }
    WinHelpA(nullptr, "kiv.hlp", HELP_CONTEXT, 4);
    EXPECT_EQ(outer.ContextRequests().size(), 2u);
    EXPECT_EQ(outer.ContextRequests()[1], (HelpRequest{nullptr, HELP_CONTEXT, 4, "kiv.hlp"}));
}

}  // namespace

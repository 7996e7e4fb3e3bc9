// The exchange library's attachment as an object: every way out of its scope ends it
// exactly when its rule says so, counted by the scripted double of Kiv.dll.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "kiv_double.h"
#include "KivAttachment.h"

namespace {

struct Case
{
    const char* name;
    const char* script;
    CKivAttachment::DetachRule rule;
    std::function<void(CKivAttachment&)> use;   // what the owner does; may throw
    int expectedDetaches;
};

void Attach(CKivAttachment& kiv)
{
    CString message;
    kiv.Attach(message);
}

TEST(KivAttachment, EndsOnEveryWayOutAsItsRuleSays)
{
    const Case cases[] = {
        { "attached, then the scope ends", "", CKivAttachment::detachWhenAttached, Attach, 1 },
        { "attached, then an exception", "", CKivAttachment::detachWhenAttached,
          [](CKivAttachment& kiv) {
              Attach(kiv);
              throw std::runtime_error("between attach and detach");
          },
          1 },
        { "detached by hand, then the scope ends", "", CKivAttachment::detachWhenAttached,
          [](CKivAttachment& kiv) {
              Attach(kiv);
              kiv.Detach();
              kiv.Detach();
          },
          1 },
        { "refused", "attach fail \"no licence\"", CKivAttachment::detachWhenAttached, Attach, 0 },
        { "never attached", "", CKivAttachment::detachWhenAttached, [](CKivAttachment&) {}, 0 },
        { "refused, detaching always", "attach fail \"no licence\"", CKivAttachment::detachAlways, Attach, 1 },
        { "never attached, detaching always", "", CKivAttachment::detachAlways, [](CKivAttachment&) {}, 1 },
        { "attached, detaching always", "", CKivAttachment::detachAlways, Attach, 1 },
        { "attached twice after a detach", "", CKivAttachment::detachWhenAttached,
          [](CKivAttachment& kiv) {
              Attach(kiv);
              kiv.Detach();
              Attach(kiv);
          },
          2 },
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(kiv_double::Load(c.script), "") << c.name;
        try
        {
            CKivAttachment kiv(c.rule);
            c.use(kiv);
        }
        catch (const std::exception&)
        {
        }
        KivDoubleCalls calls = kiv_double::Calls();
        EXPECT_EQ(calls.detach, c.expectedDetaches) << c.name;
        EXPECT_EQ(calls.attached, 0) << c.name << ": still attached";
    }
}

TEST(KivAttachment, HandsOverTheLibrarysMessage)
{
    ASSERT_EQ(kiv_double::Load("attach fail \"Kiv.dll: no licence\""), "");
    CKivAttachment kiv;
    CString message("previous");
    EXPECT_FALSE(kiv.Attach(message));
    EXPECT_EQ(std::string(message), "Kiv.dll: no licence");

    ASSERT_EQ(kiv_double::Load(""), "");
    EXPECT_TRUE(kiv.Attach(message));
    EXPECT_EQ(std::string(message), "") << "no message after a successful attach";
}

}  // namespace

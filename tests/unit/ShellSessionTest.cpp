#include <gtest/gtest.h>

#include <algorithm>

#include "FakePlatform.h"
#include "app/ShellSession.h"
#include "texts/Texts.h"

namespace tovik {
namespace {

// The program's logon session against the shell's, and what follows: start, start again as
// the shell's user, or say it cannot and end.
TEST(ShellSession, TheSessionsDecideAndACopyStartedAgainNeverStartsAnother) {
    constexpr std::optional<std::uint64_t> kUnknown;
    struct Case {
        const char* name;
        std::optional<std::uint64_t> own, shell;
        const char* arguments;
        bool startFails;
        bool startsHere, startsAgain, says;
    } cases[] = {
        {"one session (UAC off, Wine)", 7, 7, "", false, true, false, false},
        {"own rights unreadable", kUnknown, 7, "", false, true, false, false},
        {"no shell, or its rights unreadable", 9, kUnknown, "", false, true, false, false},
        {"run as administrator", 9, 7, "", false, false, true, false},
        {"run as administrator, no new copy", 9, 7, "", true, false, true, true},
        {"started again, still elsewhere", 9, 7, "/shelluser", false, false, false, true},
        {"started again, in the shell's session", 7, 7, " /shelluser", false, true, false, false},
        {"a look-alike", 9, 7, "/shellusers", false, false, true, false},
    };
    for (const Case& c : cases) {
        test::FakePlatform platform;
        platform.ownSession = c.own;
        platform.shellSession = c.shell;
        if (c.startFails) platform.FailOn("StartAsShellUser");
        EXPECT_EQ(StartInShellSession(platform, c.arguments), c.startsHere) << c.name;
        const bool triedAgain =
            std::count(platform.calls.begin(), platform.calls.end(), "StartAsShellUser /shelluser");
        EXPECT_EQ(triedAgain, c.startsAgain) << c.name;
        ASSERT_EQ(platform.messages.size(), c.says ? 1u : 0u) << c.name;
        if (c.says) {
            EXPECT_EQ(platform.messages[0].text, text::kRunAsAdministrator);
            EXPECT_EQ(platform.messages[0].title, text::kError);
            EXPECT_EQ(platform.messages[0].flags, kErrorBox);
        }
    }
}

}  // namespace
}  // namespace tovik

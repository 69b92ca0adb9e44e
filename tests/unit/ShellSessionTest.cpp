#include <gtest/gtest.h>

#include <algorithm>

#include "FakePlatform.h"
#include "app/ShellSession.h"
#include "texts/Texts.h"

namespace tovik {
namespace {

constexpr char kUser[] = "S-1-5-21-1-1001";
constexpr char kAdmin[] = "S-1-5-21-1-500";

// The program's rights against the shell's, and what follows: start, start again as the
// shell's user (with its rights copied, or by the shell itself), or say it cannot and end.
TEST(ShellSession, TheSessionsDecideAndACopyStartedAgainNeverStartsAnother) {
    constexpr std::optional<std::uint64_t> kUnknown;
    constexpr std::optional<std::string_view> kNoOne;
    struct Case {
        const char* name;
        std::optional<std::uint64_t> own;
        bool shellRuns;
        std::optional<std::uint64_t> shell;
        std::optional<std::string_view> shellUser;
        bool elevated;
        const char* arguments;
        bool copyFails, shellFails;
        bool startsHere;
        int startsAgain;  // 0 no, 1 with the shell's rights copied, 2 by the shell
        bool says;
    } cases[] = {
        {"one session (UAC off, Wine)", 7, true, 7, kNoOne, true, "", false, false, true, 0, false},
        {"own rights unreadable", kUnknown, true, 7, kNoOne, false, "", false, false, true, 0,
         false},
        {"no shell", 9, false, kUnknown, kNoOne, true, "", false, false, true, 0, false},
        {"run as administrator", 9, true, 7, kNoOne, true, "", false, false, false, 1, false},
        {"shell unreadable, another user", 9, true, kUnknown, kAdmin, false, "", false, false,
         false, 1, false},
        {"unreadable, same user, elevated", 9, true, kUnknown, kUser, true, "", false, false, false,
         1, false},
        {"unreadable, same user, not elevated", 9, true, kUnknown, kUser, false, "", false, false,
         true, 0, false},
        {"unreadable, user unnamed, not elevated", 9, true, kUnknown, kNoOne, false, "", false,
         false, true, 0, false},
        {"rights not copied, the shell starts it", 9, true, kUnknown, kAdmin, false, "", true,
         false, false, 2, false},
        {"neither way", 9, true, kUnknown, kAdmin, false, "", true, true, false, 2, true},
        {"started again, still elsewhere", 9, true, 7, kNoOne, false, "/shelluser", false, false,
         false, 0, true},
        {"started again, in the shell's session", 7, true, 7, kNoOne, false, " /shelluser", false,
         false, true, 0, false},
        {"a look-alike", 9, true, 7, kNoOne, false, "/shellusers", false, false, false, 1, false},
    };
    for (const Case& c : cases) {
        test::FakePlatform platform;
        platform.ownSession = c.own;
        platform.shell = {c.shellRuns, c.shell,
                          c.shellUser ? std::optional<std::string>(*c.shellUser) : std::nullopt};
        platform.ownUser = kUser;
        platform.elevated = c.elevated;
        if (c.copyFails) platform.FailOn("StartAsShellUser");
        if (c.shellFails) platform.FailOn("StartThroughShell");
        EXPECT_EQ(StartInShellSession(platform, c.arguments), c.startsHere) << c.name;
        const auto tried = [&](const char* how) {
            return std::count(platform.calls.begin(), platform.calls.end(),
                              std::string(how) + " /shelluser") != 0;
        };
        EXPECT_EQ(tried("StartAsShellUser"), c.startsAgain > 0) << c.name;
        EXPECT_EQ(tried("StartThroughShell"), c.startsAgain == 2) << c.name;
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

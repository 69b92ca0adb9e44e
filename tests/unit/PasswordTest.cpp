#include <gtest/gtest.h>

#include <functional>

#include "FakePlatform.h"
#include "FakeViews.h"
#include "password/PasswordFile.h"
#include "platform/Text.h"
#include "texts/Texts.h"

namespace tovik {
namespace {

constexpr char kFile[] = "D:\\Recycled\\Tovik\\Recycled\\password.dat";

class PasswordTest : public ::testing::Test {
protected:
    PasswordTest() {
        platform.AddDrive('C', kDriveFixed);
        platform.AddDrive('D', kDriveFixed);
        platform.AddFolder("D:\\Recycled\\Tovik\\Recycled", 7);
    }
    bool Check(bool notice = false) {
        return CheckPassword(platform, dialogs, entered, "D:", notice);
    }
    bool CheckWith(const std::string& stored, const std::string& typed) {
        platform.AddFile(kFile, stored);
        dialogs.prompts = {typed};
        platform.messages.clear();
        return Check();
    }
    test::FakePlatform platform;
    test::FakeDialogs dialogs;
    std::string entered;
};

TEST_F(PasswordTest, WithoutAFileEveryoneMayGoOnAndOnlyOpenIsToldSo) {
    EXPECT_TRUE(Check(false));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(Check(true));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::kNoPasswordYet);
    EXPECT_EQ(platform.messages[0].title, text::kNotice);
    EXPECT_EQ(platform.messages[0].flags, 64);
    EXPECT_EQ(dialogs.promptShown, 0);

    // Whatever its attributes, a password file is a password file.
    int shown = 0;
    for (int attributes :
         {int{kReadOnly}, int{kHidden}, int{kSystem}, kHidden | kSystem, kAllAttributes}) {
        platform.AddFile(kFile, "secret\r\n", attributes);
        dialogs.prompts = {"guess"};
        EXPECT_FALSE(Check(true)) << attributes;
        EXPECT_EQ(dialogs.promptShown, ++shown) << attributes;
    }
}

TEST_F(PasswordTest, ComparesTheFirstLineExactlyAfterTrimmingBlanksOnBothSides) {
    EXPECT_TRUE(CheckWith("abc\r\n", "  abc "));
    EXPECT_TRUE(CheckWith("  abc  \r\n", "abc"));
    EXPECT_TRUE(CheckWith("abc\r\nsecond line\r\n", "abc"));
    EXPECT_TRUE(CheckWith("abc", "abc")) << "no line end at all";
    EXPECT_TRUE(CheckWith("\xC3\xDC\xC2\xEB\r\n", "密码")) << "the file holds code page 936";
    EXPECT_FALSE(CheckWith("?\r\n", "😀")) << "what the code page cannot hold matches nothing";
    EXPECT_FALSE(CheckWith("abc\r\n", "ABC"));
    EXPECT_FALSE(CheckWith("a bc\r\n", "abc"));
    EXPECT_FALSE(CheckWith("abc\r\n", "abc\t"));
    EXPECT_FALSE(CheckWith("abc\r\nxyz\r\n", "xyz"));
    EXPECT_FALSE(CheckWith(std::string("ab\0c", 4) + "\r\n", "ab"));
}

// The dialog never saves a blank password, so a blank first line is damage: it opens nothing.
TEST_F(PasswordTest, ABlankStoredLineOpensNothing) {
    for (const char* stored : {"", "\r\nabc\r\n", "   \r\n"}) {
        EXPECT_FALSE(CheckWith(stored, "   "));
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, text::kPasswordFileUnreadable);
    }
    EXPECT_EQ(dialogs.promptShown, 0);
}

TEST_F(PasswordTest, AWrongEntryIsReportedOnceWithoutRetry) {
    EXPECT_FALSE(CheckWith("abc\r\n", "abd"));
    EXPECT_EQ(dialogs.promptShown, 1);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::kWrongPassword);
    EXPECT_EQ(platform.messages[0].title, text::kPassword);
    EXPECT_EQ(platform.messages[0].flags, 4144);
}

TEST_F(PasswordTest, ClosingThePromptCancelsAndNeverComparesAnEarlierEntry) {
    EXPECT_TRUE(CheckWith("abc\r\n", "abc"));
    EXPECT_TRUE(entered.empty()) << "the typed text is not kept after the comparison";
    dialogs.prompts = {std::nullopt};
    platform.messages.clear();
    EXPECT_FALSE(Check());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(PasswordTest, FailsClosedWhenTheFileCannotBeProbedOrRead) {
    const auto expectRefused = [&] {
        dialogs.prompts = {"abc"};
        platform.messages.clear();
        EXPECT_FALSE(Check(true));
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, text::kPasswordFileUnreadable);
        EXPECT_EQ(platform.messages[0].title, text::kPassword);
        EXPECT_EQ(platform.messages[0].flags, 4144);
    };
    platform.AddFile(kFile, std::string(kMaxFirstLineBytes + 1, 'a'));
    expectRefused();
    platform.AddFile(kFile, "abc\r\n");
    platform.FailOn("ReadFirstLine");
    expectRefused();
    platform.RemoveFile(kFile);
    platform.AddFolder(kFile);  // nothing a password can be read from
    expectRefused();

    // Only a file not there in a vault folder that answers is no password: a partition not
    // ready or gone (its letter says "not there", as a missing folder does), or a vault folder
    // that went, cannot tell.
    const std::vector<std::pair<const char*, std::function<void(test::FakePlatform&)>>> cannotTell =
        {{"not ready", [](test::FakePlatform& m) { m.unreadable.insert('D'); }},
         {"gone", [](test::FakePlatform& m) { m.drives.clear(); }},
         {"folder gone", [](test::FakePlatform&) {}}};
    for (const auto& [what, change] : cannotTell) {
        test::FakePlatform machine;
        machine.AddDrive('D', kDriveFixed);
        if (std::string(what) != "folder gone") machine.AddFolder("D:\\Recycled\\Tovik\\Recycled");
        change(machine);
        dialogs.prompts = {""};
        EXPECT_FALSE(CheckPassword(machine, dialogs, entered, "D:", true)) << what;
        ASSERT_EQ(machine.messages.size(), 1u) << what;
        EXPECT_EQ(machine.messages[0].text, text::kPasswordFileUnreadable) << what;
    }
    EXPECT_EQ(dialogs.promptShown, 0);
}

TEST_F(PasswordTest, SavesTheTextAsTypedWithCrLf) {
    ASSERT_TRUE(SavePassword(platform, "D:", "abc"));
    EXPECT_EQ(platform.Find(kFile)->bytes, "abc\r\n");
    ASSERT_TRUE(SavePassword(platform, "D:", " x "));
    EXPECT_EQ(platform.Find(kFile)->bytes, " x \r\n");
    EXPECT_EQ(platform.Find(std::string(kFile) + ".tmp"), nullptr);
    platform.SetAttributes(kFile, kHidden | kSystem);
    ASSERT_TRUE(SavePassword(platform, "D:", "y"));
    EXPECT_EQ(platform.Find(kFile)->attributes, kHidden | kSystem) << "a file hidden stays so";
}

TEST_F(PasswordTest, AFailedSaveKeepsTheOldFileWholeAndLeavesNoTemporary) {
    platform.AddFile(kFile, "old\r\n");
    platform.FailOn("MoveFileReplacing");
    EXPECT_FALSE(SavePassword(platform, "D:", "new"));
    EXPECT_EQ(platform.Find(kFile)->bytes, "old\r\n");
    EXPECT_EQ(platform.Find(std::string(kFile) + ".tmp"), nullptr);

    test::FakePlatform full;
    full.AddDrive('D', kDriveFixed);
    full.AddFolder("D:\\Recycled\\Tovik\\Recycled");
    full.AddFile(kFile, "old\r\n");
    full.FailOn("WriteTextFile");
    EXPECT_FALSE(SavePassword(full, "D:", "new"));
    EXPECT_EQ(full.Find(kFile)->bytes, "old\r\n");
}

TEST_F(PasswordTest, ALeftoverTemporaryFileNeverBlocksASave) {
    platform.AddFile(std::string(kFile) + ".tmp", "half a passw", kReadOnly);
    ASSERT_TRUE(SavePassword(platform, "D:", "new"));
    EXPECT_EQ(platform.Find(kFile)->bytes, "new\r\n");
    EXPECT_EQ(platform.Find(std::string(kFile) + ".tmp"), nullptr);
}

// Saved as "?", such a password could never be typed again while "?" would open the vault.
TEST_F(PasswordTest, APasswordTheCodePageCannotHoldIsRefusedBeforeAnythingIsWritten) {
    platform.AddFile(kFile, "old\r\n");
    test::FakeSetPasswordView view;
    view.first = view.second = "密码😀";
    AcceptNewPassword(platform, "D:", view);
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(view.focusedAndSelected);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::kPasswordNotHoldable);
    EXPECT_EQ(platform.messages[0].title, text::kError);
    EXPECT_EQ(platform.messages[0].flags, 48);
    EXPECT_EQ(platform.Find(kFile)->bytes, "old\r\n");
    EXPECT_EQ(platform.Find(std::string(kFile) + ".tmp"), nullptr);

    view.first = view.second = "ab\rc";  // the file keeps its first line only
    AcceptNewPassword(platform, "D:", view);
    EXPECT_FALSE(view.closed);
    EXPECT_EQ(platform.messages.size(), 2u);

    view.first = view.second = "密码";
    AcceptNewPassword(platform, "D:", view);
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(platform.Find(kFile)->bytes, "\xC3\xDC\xC2\xEB\r\n");
}

TEST_F(PasswordTest, NewPasswordNeedsTwoEqualEntriesThatAreNotBlank) {
    const auto press = [&](std::string first, std::string second) {
        test::FakeSetPasswordView view;
        view.first = std::move(first);
        view.second = std::move(second);
        platform.messages.clear();
        AcceptNewPassword(platform, "D:", view);
        return view;
    };
    for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"   ", "   "}, {"abc", "ABC"}, {"abc", "abc "}}) {
        const auto view = press(a, b);
        EXPECT_FALSE(view.closed) << '"' << a << "\" / \"" << b << '"';
        EXPECT_TRUE(view.focusedAndSelected);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, text::kEntriesDiffer);
        EXPECT_EQ(platform.messages[0].title, text::kError);
        EXPECT_EQ(platform.messages[0].flags, 64);
        EXPECT_EQ(platform.Find(kFile), nullptr);
    }

    const auto saved = press(" pass", " pass");
    EXPECT_TRUE(saved.closed);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.Find(kFile)->bytes, " pass\r\n");
}

TEST_F(PasswordTest, ANewPasswordThatCannotBeSavedIsReportedAndTheDialogStays) {
    platform.AddFile(kFile, "old\r\n", kReadOnly);
    test::FakeSetPasswordView view;
    view.first = view.second = "new";
    AcceptNewPassword(platform, "D:", view);
    EXPECT_FALSE(view.closed);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::kPasswordNotSaved);
    EXPECT_EQ(platform.messages[0].title, text::kError);
    EXPECT_EQ(platform.messages[0].flags, 48);
    EXPECT_EQ(platform.Find(kFile)->bytes, "old\r\n");
}

}  // namespace
TEST(FirstLine, EndsAtTheFirstCrWhereverThePiecesBreakAndNeverGrowsPastTheLimit) {
    FirstLineReader split;
    EXPECT_TRUE(split.Feed("ab"));
    EXPECT_FALSE(split.Feed("c\rdef\r\n"));
    EXPECT_FALSE(split.Feed("more"));
    EXPECT_EQ(split.Line(), "abc");

    FirstLineReader noCr;
    noCr.Feed(std::string("a\0b\n\xff", 5));
    EXPECT_EQ(noCr.Line(), std::string("a\0b\n\xff", 5));
    EXPECT_EQ(FirstLineReader().Line(), "");

    FirstLineReader atLimit;
    atLimit.Feed(std::string(kMaxFirstLineBytes, 'x'));
    atLimit.Feed("\r");
    EXPECT_EQ(atLimit.Line()->size(), kMaxFirstLineBytes);

    // A file that never ends its line is read no further than just past the limit.
    FirstLineReader endless;
    std::size_t pieces = 0;
    while (endless.Feed(std::string(65536, 'x'))) ++pieces;
    EXPECT_EQ(pieces, kMaxFirstLineBytes / 65536);
    EXPECT_EQ(endless.Line(), std::nullopt);
}

}  // namespace tovik

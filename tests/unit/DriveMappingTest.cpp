#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "vault/DriveMapping.h"

namespace tovik {
namespace {

constexpr char kSubst[] = "C:\\WINDOWS\\SYSTEM32\\subst.exe";

class DriveMappingTest : public ::testing::Test {
protected:
    DriveMappingTest() {
        platform.AddDrive('C', kDriveFixed);
        platform.AddDrive('D', kDriveFixed);
        platform.AddDrive('E', kDriveOptical);
        platform.AddFile(kSubst, "MZ");
        table = BuildPartitionTable(platform.drives);
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const auto& command : platform.commands) lines.push_back(command.line);
        return lines;
    }
    test::FakePlatform platform;
    PartitionTable table;
};

TEST_F(DriveMappingTest, OpenAndCloseRunTheJoinedCommandLines) {
    OpenVault(platform, table, "D:", 2);
    ASSERT_EQ(platform.commands.size(), 2u);
    EXPECT_EQ(platform.commands[0].line, "C:\\WINDOWS\\SYSTEM32\\subst.exe G: D:\\Recycled\\Tovik");
    EXPECT_EQ(platform.commands[0].style, kShowHidden);
    EXPECT_TRUE(platform.commands[0].waited);
    EXPECT_EQ(platform.commands[1].line, "Explorer.exe   G: ");
    EXPECT_EQ(platform.commands[1].style, kShowMaximized);
    EXPECT_FALSE(platform.commands[1].waited);
    EXPECT_TRUE(table.VaultOpen[1]);

    CloseVault(platform, table, 2);
    ASSERT_EQ(platform.commands.size(), 3u);
    EXPECT_EQ(platform.commands[2].line, "C:\\WINDOWS\\SYSTEM32\\subst.exe G:   /d");
    EXPECT_EQ(platform.commands[2].style, kShowHidden);
    EXPECT_TRUE(platform.commands[2].waited);
    EXPECT_FALSE(table.VaultOpen[1]);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DriveMappingTest, FindsSubstInTheSystemFolderThenUnderCommandElseReportsError) {
    platform.systemDirectory = "  C:\\WINDOWS\\SYSTEM32  ";
    EXPECT_EQ(FindSubstPath(platform), kSubst);

    platform.RemoveFile(kSubst);
    platform.AddFile("C:\\WINDOWS\\command\\subst.exe", "MZ");
    EXPECT_EQ(FindSubstPath(platform), "C:\\WINDOWS\\command\\subst.exe");

    platform.RemoveFile("C:\\WINDOWS\\command\\subst.exe");
    EXPECT_EQ(FindSubstPath(platform), "Error");

    // A hidden or system subst.exe is not an ordinary file and does not count.
    platform.AddFile(kSubst, "MZ", kHidden);
    EXPECT_EQ(FindSubstPath(platform), "Error");
}

TEST_F(DriveMappingTest, LongDirectoriesAreUsedWhole) {
    const std::string longDir = "C:\\" + std::string(200, 'w');
    platform.systemDirectory = longDir;
    platform.AddFile(longDir + "\\subst.exe", "MZ");
    EXPECT_EQ(FindSubstPath(platform), longDir + "\\subst.exe");
}

TEST_F(DriveMappingTest, AFailedListingFallsBackFirstAndIsTakenAsFoundLast) {
    platform.FailOn("FirstMatch", "SYSTEM32");
    EXPECT_EQ(FindSubstPath(platform), "Error");
    platform.FailOn("FirstMatch", "command");
    EXPECT_EQ(FindSubstPath(platform), "C:\\WINDOWS\\command\\subst.exe");
}

TEST_F(DriveMappingTest, MissingSubstReportsAndKeepsTheFlags) {
    platform.RemoveFile(kSubst);
    OpenVault(platform, table, "D:", 2);
    EXPECT_FALSE(table.VaultOpen[1]);
    table.VaultOpen[0] = table.VaultOpen[1] = true;
    CloseAllVaults(platform, table);

    EXPECT_TRUE(platform.commands.empty());
    ASSERT_EQ(platform.messages.size(), 3u);
    EXPECT_EQ(platform.messages[0].text, "系统文件丢失，无法创建映射，重装系统可能解决此问题");
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(platform.messages[i].text, "系统文件丢失，无法关闭映射，重装系统可能解决此问题");
    }
    for (const auto& message : platform.messages) {
        EXPECT_EQ(message.title, "错误");
        EXPECT_EQ(message.flags, 4144);
    }
    EXPECT_TRUE(table.VaultOpen[0] && table.VaultOpen[1]);
}

TEST_F(DriveMappingTest, AFailedMappingIsReportedAndNeitherShownNorMarkedOpen) {
    for (std::optional<int> outcome : {std::optional<int>(1), std::optional<int>()}) {
        platform.messages.clear();
        platform.commands.clear();
        platform.exitCodeOf = [&](const std::string&) { return outcome; };
        OpenVault(platform, table, "D:", 2);
        EXPECT_FALSE(table.VaultOpen[1]);
        ASSERT_EQ(platform.commands.size(), 1u) << "Explorer must not start";
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, "无法将此Tovik映射到盘符 G:，该盘符可能已被占用。");
        EXPECT_EQ(platform.messages[0].title, "错误");
        EXPECT_EQ(platform.messages[0].flags, 4144);
    }
}

TEST_F(DriveMappingTest, CloseAllUnmapsOpenVaultsInAscendingOrderAndSkipsTheRest) {
    CloseAllVaults(platform, table);
    EXPECT_TRUE(platform.commands.empty());

    table.VaultOpen = {true, true};
    platform.exitCodeOf = [](const std::string&) { return std::optional<int>(); };
    CloseAllVaults(platform, table);
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " F:   /d",
                                                 std::string(kSubst) + " G:   /d"}));
    EXPECT_EQ(table.VaultOpen, (std::vector<bool>{false, false}));
    CloseVault(platform, table, 7);
    EXPECT_EQ(platform.commands.size(), 2u);
}

TEST_F(DriveMappingTest, OpeningAnOpenVaultRunsBothCommandsAgain) {
    OpenVault(platform, table, "D:", 2);
    OpenVault(platform, table, "D:", 2);
    EXPECT_EQ(platform.commands.size(), 4u);
    EXPECT_TRUE(table.VaultOpen[1]);
}

}  // namespace
}  // namespace tovik

#include <gtest/gtest.h>

#include <algorithm>

#include "FakePlatform.h"
#include "texts/Texts.h"
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
    // Vault n open, its letter mapped as subst.exe would have mapped it.
    void MarkOpen(int n) {
        table.VaultOpen[n - 1] = true;
        platform.mappings[table.MappedLetters[n - 1][1]] =
            "\\??\\" + table.PartitionNames[n - 1] + "\\Recycled\\Tovik";
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
    EXPECT_EQ(platform.commands[1].line, "C:\\WINDOWS\\Explorer.exe   G: ");
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
    // The shell hears of the letter once the system has confirmed it, before Explorer starts.
    EXPECT_EQ(platform.shellTold,
              (std::vector<std::string>{"drive added G:\\", "drive removed G:\\"}));
    const auto at = [&](const std::string& call) {
        return std::find(platform.calls.begin(), platform.calls.end(), call) -
               platform.calls.begin();
    };
    EXPECT_LT(at("DriveTarget G"), at("TellShell drive added G:\\"));
    EXPECT_LT(at("TellShell drive added G:\\"), at("RunCommand C:\\WINDOWS\\Explorer.exe   G: "));
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
    MarkOpen(1);
    MarkOpen(2);
    EXPECT_FALSE(CloseVault(platform, table, 2));

    EXPECT_TRUE(platform.commands.empty());
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[0].text, text::kNoSubstToMap);
    EXPECT_EQ(platform.messages[1].text, text::kNoSubstToUnmap);
    for (const auto& message : platform.messages) {
        EXPECT_EQ(message.title, text::kError);
        EXPECT_EQ(message.flags, 4144);
    }
    EXPECT_EQ(CloseAllVaults(platform, table), (std::vector<std::string>{"F:", "G:"}));
    EXPECT_EQ(platform.messages.size(), 2u) << "closing them all says nothing itself";
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
        EXPECT_EQ(platform.messages[0].text, text::CannotMap("G:"));
        EXPECT_EQ(platform.messages[0].title, text::kError);
        EXPECT_EQ(platform.messages[0].flags, 4144);
    }
    EXPECT_TRUE(platform.shellTold.empty());
}

TEST_F(DriveMappingTest, CloseAllUnmapsOpenVaultsInAscendingOrderAndSkipsTheRest) {
    EXPECT_TRUE(CloseAllVaults(platform, table).empty());
    EXPECT_TRUE(platform.commands.empty());

    MarkOpen(1);
    MarkOpen(2);
    EXPECT_TRUE(CloseAllVaults(platform, table).empty());
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " F:   /d",
                                                 std::string(kSubst) + " G:   /d"}));
    EXPECT_EQ(table.VaultOpen, (std::vector<bool>{false, false}));
    EXPECT_TRUE(platform.mappings.empty());
    EXPECT_TRUE(CloseVault(platform, table, 7));
    EXPECT_EQ(platform.commands.size(), 2u);
}

// Whatever subst.exe answers, the letter decides: a vault is closed once its letter no longer
// leads to it, and only then.
TEST_F(DriveMappingTest, CloseIsWhatTheSystemSaysOfTheLetterNotWhatSubstAnswers) {
    MarkOpen(2);
    for (std::optional<int> outcome : {std::optional<int>(1), std::optional<int>()}) {
        platform.messages.clear();
        platform.exitCodeOf = [&](const std::string&) { return outcome; };
        EXPECT_FALSE(CloseVault(platform, table, 2));
        EXPECT_TRUE(table.VaultOpen[1]);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, text::StillMapped("G:"));
        EXPECT_EQ(platform.messages[0].title, text::kError);
        EXPECT_EQ(platform.messages[0].flags, 48);
    }
    // Unmapped by someone else: closed without a word, and nothing run.
    platform.commands.clear();
    platform.messages.clear();
    platform.mappings.clear();
    EXPECT_TRUE(CloseVault(platform, table, 2));
    EXPECT_FALSE(table.VaultOpen[1]);
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_TRUE(platform.messages.empty());

    // When the system cannot say, subst.exe's answer is all there is.
    MarkOpen(2);
    platform.exitCodeOf = [](const std::string&) { return std::optional<int>(0); };
    platform.FailOn("DriveTarget");
    EXPECT_TRUE(CloseVault(platform, table, 2));
    EXPECT_TRUE(platform.mappings.empty());
    EXPECT_EQ(platform.shellTold, (std::vector<std::string>{"drive removed G:\\"}))
        << "only the letter this program removed";
}

// However many hang, closing them all, or the letters an earlier run left, ends within one
// limit, the stopping of each hung subst.exe included, and every one is tried.
TEST_F(DriveMappingTest, CloseAllAndTheStartUpSweepShareOneTimeLimit) {
    MarkOpen(1);
    MarkOpen(2);
    platform.exitCodeOf = [](const std::string&) { return std::optional<int>(); };  // hangs
    EXPECT_EQ(CloseAllVaults(platform, table), (std::vector<std::string>{"F:", "G:"}));
    EXPECT_EQ(platform.timeouts.size(), 2u);
    EXPECT_LE(platform.clock, 10000u);
    EXPECT_GE(platform.timeouts[1], 4900) << "the first hang leaves the second its share";
    EXPECT_TRUE(platform.messages.empty());

    platform.clock = 0;
    for (char letter : {'H', 'K', 'M'}) platform.mappings[letter] = "\\??\\D:\\Recycled\\Tovik";
    EXPECT_EQ(CloseLeftoverMappings(platform).size(), 5u);
    EXPECT_EQ(platform.timeouts.size(), 7u);
    EXPECT_LE(platform.clock, 10000u);
}

TEST_F(DriveMappingTest, LeftoverMappingsOnVaultRootsAreRemovedAndNothingElse) {
    platform.mappings['H'] = "\\??\\d:\\RECYCLED\\tovik";
    platform.mappings['K'] = "\\??\\C:\\work";
    platform.mappings['M'] = "\\??\\C:\\Recycled\\Tovik\\我的Tovik";
    EXPECT_TRUE(CloseLeftoverMappings(platform).empty());
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " H:   /d"}));
    EXPECT_EQ(platform.mappings.size(), 2u);
    EXPECT_EQ(platform.shellTold, (std::vector<std::string>{"drive removed H:\\"}));

    platform.mappings['H'] = "\\??\\E:\\Recycled\\Tovik";
    platform.exitCodeOf = [](const std::string&) { return std::optional<int>(1); };
    EXPECT_EQ(CloseLeftoverMappings(platform), (std::vector<std::string>{"H:"}));

    // Only the letters that are drives are asked, every one when the system cannot say which.
    const auto asked = [&] {
        return std::count_if(
            platform.calls.begin(), platform.calls.end(),
            [](const std::string& call) { return call.rfind("DriveTarget", 0) == 0; });
    };
    platform.calls.clear();
    CloseLeftoverMappings(platform);
    const auto drivesOnly = asked();
    platform.calls.clear();
    platform.FailOn("DriveLetters");
    EXPECT_EQ(CloseLeftoverMappings(platform), (std::vector<std::string>{"H:"}));
    EXPECT_EQ(asked() - drivesOnly, 20) << "the letters other than C D E H K M";
}

// A stick plugged in after start-up takes the lowest free letter, the reserved one; a network
// drive at Z: puts every reserved letter past it. The vault goes to the highest free letter
// instead, and that letter is the one shown and closed.
TEST_F(DriveMappingTest, ALetterTakenOrPastZGivesWayToTheHighestFreeOne) {
    platform.AddDrive('G', kDriveRemovable);
    OpenVault(platform, table, "D:", 2);
    EXPECT_EQ(table.MappedLetters[1], " Z: ");
    platform.AddDrive('F', kDriveNetwork);
    OpenVault(platform, table, "C:", 1);
    EXPECT_EQ(table.MappedLetters[0], " Y: ") << "Z: is D:'s now";
    EXPECT_TRUE(CloseAllVaults(platform, table).empty());
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           std::string(kSubst) + " Z: D:\\Recycled\\Tovik",
                           "C:\\WINDOWS\\Explorer.exe   Z: ",
                           std::string(kSubst) + " Y: C:\\Recycled\\Tovik",
                           "C:\\WINDOWS\\Explorer.exe   Y: ",
                           std::string(kSubst) + " Y:   /d",
                           std::string(kSubst) + " Z:   /d",
                       }));

    test::FakePlatform office;
    office.AddDrive('C', kDriveFixed);
    office.AddDrive('Z', kDriveNetwork);
    office.AddFile(kSubst, "MZ");
    PartitionTable officeTable = BuildPartitionTable(office.drives);
    EXPECT_EQ(officeTable.MappedLetters[0], " [: ");
    OpenVault(office, officeTable, "C:", 1);
    EXPECT_EQ(office.mappings['Y'], "\\??\\C:\\Recycled\\Tovik");
    EXPECT_TRUE(office.messages.empty());
}

// A disconnected network drive has no device, yet its letter is the user's: neither the
// reserved letter nor the fallback goes to one. A letter the network cannot tell about is free.
TEST_F(DriveMappingTest, RememberedNetworkDrivesKeepTheirLettersReservedAndFallbackAlike) {
    platform.networkLetters = {'G', 'Z', 'F', 'X'};
    OpenVault(platform, table, "D:", 2);
    EXPECT_EQ(table.MappedLetters[1], " Y: ");
    platform.FailOn("NetworkDriveLetter", "X");
    OpenVault(platform, table, "C:", 1);
    EXPECT_EQ(table.MappedLetters[0], " X: ");
    EXPECT_TRUE(platform.messages.empty());
}

// Never A: or B:, never a letter the system cannot tell about, and with nothing free, nothing
// is run and the reserved letter is named.
TEST_F(DriveMappingTest, WithNoLetterFreeNothingIsRunAndTheFailureIsSaid) {
    for (char letter = 'F'; letter <= 'Y'; ++letter) platform.mappings[letter] = "\\??\\C:\\x";
    platform.FailOn("DriveTarget", "Z");
    OpenVault(platform, table, "D:", 2);
    EXPECT_TRUE(platform.commands.empty());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::CannotMap("G:"));
    EXPECT_FALSE(table.VaultOpen[1]);
}

TEST_F(DriveMappingTest, OpeningAnOpenVaultRunsBothCommandsAgain) {
    OpenVault(platform, table, "D:", 2);
    OpenVault(platform, table, "D:", 2);
    EXPECT_EQ(platform.commands.size(), 4u);
    EXPECT_TRUE(table.VaultOpen[1]);
}

}  // namespace
}  // namespace tovik

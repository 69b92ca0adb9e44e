#include <gtest/gtest.h>

#include "vault/PartitionTable.h"

namespace tovik {
namespace {

using Names = std::vector<std::string>;

TEST(PartitionTable, NumbersFixedDrivesOnlyAndTakesSpareLettersAfterTheHighestOfAnyType) {
    const auto table = BuildPartitionTable(
        {{'A', kDriveRemovable}, {'C', kDriveFixed}, {'D', kDriveFixed}, {'E', kDriveOptical}});
    EXPECT_EQ(table.PartitionCount, 2);
    EXPECT_EQ(table.HighestDriveLetter, 69);
    EXPECT_EQ(table.PartitionNames, (Names{"C:", "D:"}));
    EXPECT_EQ(table.MappedLetters, (Names{" F: ", " G: "}));
    EXPECT_EQ(table.VaultOpen, (std::vector<bool>{false, false}));
}

TEST(PartitionTable, AnOpticalDriveBetweenFixedOnesLeavesNoGapInTheNumbers) {
    const auto table =
        BuildPartitionTable({{'C', kDriveFixed}, {'D', kDriveOptical}, {'E', kDriveFixed}});
    EXPECT_EQ(table.PartitionNames, (Names{"C:", "E:"}));
    EXPECT_EQ(table.MappedLetters, (Names{" F: ", " G: "}));
}

TEST(PartitionTable, SpareLettersRunPastZUnbounded) {
    EXPECT_EQ(BuildPartitionTable({{'C', kDriveFixed}, {'Z', kDriveNetwork}}).MappedLetters,
              (Names{" [: "}));

    std::vector<Drive> all;
    for (char letter = 'A'; letter <= 'Z'; ++letter) all.push_back({letter, kDriveFixed});
    const auto table = BuildPartitionTable(all);
    EXPECT_EQ(table.PartitionCount, 26);
    EXPECT_EQ(table.MappedLetters.front(), " [: ");
    EXPECT_EQ(table.MappedLetters.back(), " t: ");
}

TEST(PartitionTable, NoFixedDriveGivesAnEmptyTableWhoseNumbersAllFail) {
    const auto table = BuildPartitionTable({{'A', kDriveRemovable}, {'E', kDriveOptical}});
    EXPECT_EQ(table.PartitionCount, 0);
    EXPECT_EQ(table.HighestDriveLetter, 69);
    EXPECT_TRUE(table.PartitionNames.empty() && table.MappedLetters.empty());
    EXPECT_FALSE(table.IsOpen(0));
    EXPECT_FALSE(table.IsOpen(1));
    EXPECT_FALSE(table.MappedLetter(1));
}

}  // namespace
}  // namespace tovik

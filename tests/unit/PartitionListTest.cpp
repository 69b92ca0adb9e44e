#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "app/PartitionList.h"

namespace tovik {
namespace {

TEST(FreeSpace, RoundsHalfUpToHundredthsOfAGigabyteWithoutSeparators) {
    EXPECT_EQ(FormatFreeSpace(12'345'678'901), " 剩余12.35GB");
    EXPECT_EQ(FormatFreeSpace(999'999'999), " 剩余1.00GB");
    EXPECT_EQ(FormatFreeSpace(4'999'999), " 剩余0.00GB");
    EXPECT_EQ(FormatFreeSpace(5'000'000), " 剩余0.01GB");
    EXPECT_EQ(FormatFreeSpace(0), " 剩余0.00GB");
    EXPECT_EQ(FormatFreeSpace(1'234'567'890'123), " 剩余1234.57GB");
    EXPECT_EQ(FormatFreeSpace(1'005'000'000), " 剩余1.01GB");
    EXPECT_EQ(FormatFreeSpace(18'446'744'073'709'551'615ull), " 剩余18446744073.71GB");
}

class RowTest : public ::testing::Test {
protected:
    RowTest() {
        platform.AddDrive('C', kDriveFixed, 1);
        platform.AddDrive('D', kDriveFixed, 12'345'678'901);
        platform.AddDrive('E', kDriveOptical);
        platform.AddFolder("D:\\Recycled");
        table = BuildPartitionTable(platform.drives);
    }
    void AddMarker() {
        platform.AddFolder("D:\\Recycled\\Tovik");
        platform.AddFolder("D:\\Recycled\\Tovik\\Recycled", 7);
        platform.AddFile("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini", "x\r\n", 7);
    }
    std::string Row(int n) {
        return PartitionRow(table, n, LookAtPartition(platform, table.PartitionNames[n - 1]));
    }
    test::FakePlatform platform;
    PartitionTable table;
};

TEST_F(RowTest, ShowsEachVaultStateCharacterForCharacter) {
    EXPECT_EQ(Row(2), "D: 剩余12.35GB  未创建");
    AddMarker();
    EXPECT_EQ(Row(2), "D: 剩余12.35GB  已创建 未打开");
    table.VaultOpen[1] = true;
    EXPECT_EQ(Row(2), "D: 剩余12.35GB  已创建 D:=> G: ");
}

// Its folder went behind the program's back, but the letter still leads there until closed.
TEST_F(RowTest, AnOpenVaultWithoutItsMarkerStillShowsItsLetter) {
    table.VaultOpen[1] = true;
    EXPECT_EQ(Row(2), "D: 剩余12.35GB  未创建 D:=> G: ");
}

TEST_F(RowTest, UnreadableFreeSpaceOrPartitionLeavesThePieceOut) {
    platform.FailOn("FreeSpace", "D:");
    EXPECT_EQ(Row(2), "D:  未创建");
    platform.unreadable.insert('D');
    EXPECT_EQ(Row(2), "D:  已创建 未打开");
}

}  // namespace
}  // namespace tovik

#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "vault/VaultStore.h"

namespace tovik {
namespace {

constexpr int kAll = kReadOnly | kHidden | kSystem;

class VaultStoreTest : public ::testing::Test {
protected:
    VaultStoreTest() {
        platform.AddDrive('C', kDriveFixed);
        platform.AddDrive('D', kDriveFixed);
    }
    test::FakePlatform platform;
};

TEST_F(VaultStoreTest, CreatesExactlyTheTreeWithItsTextsAndAttributes) {
    platform.AddFolder("D:\\Recycled");
    CreateVault(platform, "D:");

    EXPECT_EQ(platform.Tree(), (std::vector<std::string>{
                                   "d:\\recycled",
                                   "d:\\recycled\\tovik",
                                   "d:\\recycled\\tovik\\recycled",
                                   "d:\\recycled\\tovik\\recycled\\desktop.ini",
                                   "d:\\recycled\\tovik\\我的tovik",
                                   "d:\\recycled\\tovik\\我的tovik\\desktop.ini",
                               }));
    const auto* storageIni = platform.Find("D:\\Recycled\\Tovik\\我的Tovik\\Desktop.ini");
    ASSERT_NE(storageIni, nullptr);
    EXPECT_EQ(storageIni->bytes,
              "[.ShellClassInfo]\r\nIconFile=%SystemRoot%\\system32\\SHELL32.dll\r\n"
              "IconIndex = 44\r\n");
    EXPECT_EQ(storageIni->bytes.size(), 79u);
    EXPECT_EQ(storageIni->attributes, kAll);
    const auto* marker = platform.Find("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini");
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->bytes,
              "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n");
    EXPECT_EQ(marker->bytes.size(), 65u);
    EXPECT_EQ(marker->attributes, kAll);
    EXPECT_EQ(platform.Find("D:\\Recycled\\Tovik")->attributes, 0);
    EXPECT_EQ(platform.Find("D:\\Recycled\\Tovik\\我的Tovik")->attributes, kSystem);
    EXPECT_EQ(platform.Find("D:\\Recycled\\Tovik\\Recycled")->attributes, kAll);
    EXPECT_TRUE(VaultExists(platform, "D:"));
}

TEST_F(VaultStoreTest, ChangesNothingWhereAVaultIsOrWhereRecycledIsMissing) {
    CreateVault(platform, "D:");
    EXPECT_TRUE(platform.Tree().empty());
    EXPECT_FALSE(VaultExists(platform, "D:"));

    platform.AddFolder("D:\\Recycled");
    platform.AddFolder("D:\\Recycled\\Tovik");
    platform.AddFolder("D:\\Recycled\\Tovik\\Recycled");
    platform.AddFile("D:\\Recycled\\Tovik\\Recycled\\DESKTOP.INI", "old", 0);
    const auto before = platform.Tree();
    CreateVault(platform, "D:");
    EXPECT_EQ(platform.Tree(), before);
    EXPECT_EQ(platform.Find("D:\\Recycled\\Tovik\\Recycled\\desktop.ini")->bytes, "old");
}

TEST_F(VaultStoreTest, FoldersWithoutTheMarkerAreMendedButAReadOnlyTextIsKept) {
    platform.AddFolder("D:\\Recycled");
    platform.AddFolder("D:\\Recycled\\Tovik");
    platform.AddFolder("D:\\Recycled\\Tovik\\我的Tovik", kSystem);
    platform.AddFile("D:\\Recycled\\Tovik\\我的Tovik\\Desktop.ini", "kept", kAll);
    platform.AddFolder("D:\\Recycled\\Tovik\\Recycled", kAll);
    EXPECT_FALSE(VaultExists(platform, "D:"));

    CreateVault(platform, "D:");
    EXPECT_TRUE(VaultExists(platform, "D:"));
    EXPECT_EQ(platform.Find("D:\\Recycled\\Tovik\\我的Tovik\\Desktop.ini")->bytes, "kept");
    EXPECT_EQ(platform.Find("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini")->attributes, kAll);
}

TEST_F(VaultStoreTest, AFailingStepDoesNotStopTheOthers) {
    platform.AddFolder("D:\\Recycled");
    platform.FailOn("WriteTextFile", "我的Tovik");
    CreateVault(platform, "D:");
    EXPECT_EQ(platform.Find("D:\\Recycled\\Tovik\\我的Tovik\\Desktop.ini"), nullptr);
    EXPECT_TRUE(VaultExists(platform, "D:"));
}

TEST_F(VaultStoreTest, ProbeFindsAHiddenSystemMarkerAndCountsAFailedListingAsAVault) {
    platform.AddFolder("D:\\Recycled\\Tovik\\Recycled", kAll);
    platform.AddFile("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini", "", kAll);
    EXPECT_TRUE(VaultExists(platform, "D:"));

    platform.unreadable.insert('C');
    EXPECT_TRUE(VaultExists(platform, "C:"));
    EXPECT_TRUE(VaultExists(platform, "Q:"));
}

TEST_F(VaultStoreTest, EveryProbeEndsByListingDriveC) {
    test::FakePlatform noC;
    noC.AddDrive('D', kDriveFixed);
    EXPECT_FALSE(VaultExists(noC, "D:"));
    ASSERT_EQ(noC.calls.size(), 2u);
    EXPECT_EQ(noC.calls[0], "FirstMatch D:\\Recycled\\Tovik\\Recycled\\desktop.ini");
    EXPECT_EQ(noC.calls[1], "FirstMatch c:\\*.*");
}

TEST_F(VaultStoreTest, DeleteHandsTheShellTheVaultRootOnly) {
    platform.AddFolder("D:\\Recycled");
    CreateVault(platform, "D:");
    platform.AddFile("D:\\Recycled\\Tovik\\我的Tovik\\notes.txt", "mine");
    DeleteVault(platform, "D:");
    EXPECT_EQ(platform.shellDeletes, (std::vector<std::string>{"D:\\Recycled\\Tovik"}));
    EXPECT_EQ(platform.Tree(), (std::vector<std::string>{"d:\\recycled"}));
}

}  // namespace
}  // namespace tovik

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

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
    EXPECT_TRUE(CreateVault(platform, "D:"));

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

// Made as a Recycle Bin: hidden, system, and its desktop.ini. One that was there is not touched.
TEST_F(VaultStoreTest, MakesAMissingRecycledAsARecycleBinButNeverReplacesAFile) {
    EXPECT_TRUE(CreateVault(platform, "D:"));
    EXPECT_EQ(platform.Find("D:\\Recycled")->attributes, kHidden | kSystem);
    const auto* bin = platform.Find("D:\\Recycled\\desktop.ini");
    ASSERT_NE(bin, nullptr);
    EXPECT_EQ(bin->bytes, "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n");
    EXPECT_EQ(bin->attributes, kHidden | kSystem);
    EXPECT_TRUE(VaultComplete(platform, "D:"));
    EXPECT_EQ(
        platform.shellTold,
        (std::vector<std::string>{"folder D:\\Recycled", "folder D:\\Recycled\\Tovik\\我的Tovik",
                                  "folder D:\\Recycled\\Tovik\\Recycled"}));

    platform.AddFile("C:\\Recycled", "a file of that name");
    EXPECT_FALSE(CreateVault(platform, "C:"));
    EXPECT_EQ(platform.shellTold.size(), 3u) << "nothing made, nothing told";
    EXPECT_EQ(platform.Find("C:\\Recycled")->bytes, "a file of that name");
    EXPECT_EQ(platform.Tree().size(), 8u) << "only D:'s tree and C:'s file";

    test::FakePlatform old;
    old.AddDrive('D', kDriveFixed);
    old.AddFolder("D:\\Recycled");
    EXPECT_TRUE(CreateVault(old, "D:"));
    EXPECT_EQ(old.Find("D:\\Recycled\\desktop.ini"), nullptr);
    EXPECT_EQ(old.Find("D:\\Recycled")->attributes, 0);
    EXPECT_EQ(old.shellTold.front(), "folder D:\\Recycled\\Tovik\\我的Tovik")
        << "its own look stays";

    test::FakePlatform failing;
    failing.AddDrive('D', kDriveFixed);
    failing.FailOn("SetAttributes", "D:\\Recycled\\desktop.ini");
    EXPECT_FALSE(CreateVault(failing, "D:"));
    EXPECT_TRUE(failing.Tree().empty());
}

TEST_F(VaultStoreTest, ChangesNothingWhereAVaultIs) {
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

// A full partition, a write refused, an attribute that will not take: the New fails and the
// partition is as it was, with what was there before still there.
TEST_F(VaultStoreTest, ANewThatCannotFinishTakesAwayWhatItMadeAndNothingElse) {
    const std::vector<std::function<void(test::FakePlatform&)>> faults = {
        [](test::FakePlatform& p) { p.spaceLeft['D'] = 100; },  // the marker does not fit
        [](test::FakePlatform& p) { p.spaceLeft['D'] = 0; },
        [](test::FakePlatform& p) { p.FailOn("WriteTextFile", "\\Recycled\\Desktop.ini"); },
        [](test::FakePlatform& p) { p.FailOn("SetAttributes", "\\Tovik\\Recycled"); },
        [](test::FakePlatform& p) { p.FailOn("SetAttributes", "D:\\Recycled"); },
        [](test::FakePlatform& p) { p.FailOn("MakeFolder", "\\Tovik\\Recycled"); },
    };
    for (bool recycledThere : {false, true}) {
        for (std::size_t i = 0; i < faults.size(); ++i) {
            test::FakePlatform disk;
            disk.AddDrive('D', kDriveFixed);
            if (recycledThere) {
                disk.AddFolder("D:\\Recycled");
                disk.AddFolder("D:\\Recycled\\Tovik");
                disk.AddFolder("D:\\Recycled\\Tovik\\我的Tovik");
                disk.AddFile("D:\\Recycled\\Tovik\\我的Tovik\\letter.txt", "keep me");
            }
            const auto before = disk.Tree();
            faults[i](disk);
            EXPECT_FALSE(CreateVault(disk, "D:")) << i;
            EXPECT_EQ(disk.Tree(), before) << i << (recycledThere ? " with a tree" : "");
        }
    }
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

TEST_F(VaultStoreTest, DeleteHandsTheShellTheVaultRootAndTellsADeclineFromAStop) {
    struct Case {
        std::optional<std::size_t> stopsAfter;
        DeleteResult result;
    };
    for (const Case& c : {Case{std::nullopt, DeleteResult::Deleted},
                          Case{0, DeleteResult::Declined}, Case{2, DeleteResult::Incomplete}}) {
        test::FakePlatform disk;
        disk.AddDrive('D', kDriveFixed);
        CreateVault(disk, "D:");
        disk.AddFile("D:\\Recycled\\Tovik\\我的Tovik\\notes.txt", "mine");
        disk.shellDeleteStopsAfter = c.stopsAfter;
        EXPECT_EQ(DeleteVault(disk, "D:"), c.result);
        EXPECT_EQ(disk.shellDeletes, (std::vector<std::string>{"D:\\Recycled\\Tovik"}));
        EXPECT_EQ(disk.Find("D:\\Recycled") == nullptr, c.result == DeleteResult::Deleted)
            << "New's \\Recycled goes only with the whole vault";
    }
    // Only New's \\Recycled as New left it goes: anything else keeps it as it is, and where it
    // will not go, it keeps its look.
    const std::vector<std::pair<const char*, std::function<void(test::FakePlatform&)>>> keeps = {
        {"another file", [](test::FakePlatform& d) { d.AddFile("D:\\Recycled\\x.txt", "x"); }},
        {"another text",
         [](test::FakePlatform& d) { d.AddFile("D:\\Recycled\\desktop.ini", "[x]\r\n", 6); }},
        {"other attributes",
         [](test::FakePlatform& d) { d.SetAttributes("D:\\Recycled\\desktop.ini", 7); }},
        {"not removable", [](test::FakePlatform& d) { d.FailOn("RemoveFolder", "D:\\Recycled"); }},
    };
    for (const auto& [what, change] : keeps) {
        test::FakePlatform disk;
        disk.AddDrive('D', kDriveFixed);
        CreateVault(disk, "D:");
        change(disk);
        const auto ini = *disk.Find("D:\\Recycled\\desktop.ini");
        EXPECT_EQ(DeleteVault(disk, "D:"), DeleteResult::Deleted) << what;
        ASSERT_NE(disk.Find("D:\\Recycled\\desktop.ini"), nullptr) << what;
        EXPECT_EQ(disk.Find("D:\\Recycled\\desktop.ini")->bytes, ini.bytes) << what;
        EXPECT_EQ(disk.Find("D:\\Recycled\\desktop.ini")->attributes, ini.attributes) << what;
    }
    // A file whose path fits under the vault's letter but passes MAX_PATH under the partition
    // is counted too: a stop that took it is no decline.
    {
        test::FakePlatform disk;
        disk.AddDrive('D', kDriveFixed);
        CreateVault(disk, "D:");
        std::string deep = "D:\\Recycled\\Tovik\\我的Tovik";
        disk.AddFolder(deep += "\\" + std::string(120, 'a'));
        disk.AddFolder(deep += "\\" + std::string(100, 'b'));
        disk.AddFile(deep + "\\" + std::string(20, 'c') + ".txt", "deep");
        disk.shellDeleteStopsAfter = 1;
        EXPECT_EQ(DeleteVault(disk, "D:"), DeleteResult::Incomplete);
        // The shell itself takes no such path: what it left goes after it.
        disk.shellDeleteStopsAfter.reset();
        EXPECT_EQ(DeleteVault(disk, "D:"), DeleteResult::Deleted);
        EXPECT_TRUE(disk.Tree().empty());
    }
    // A folder that cannot be listed is no loss by itself: a No leaves the same count.
    for (const Case& c : {Case{0, DeleteResult::Declined}, Case{3, DeleteResult::Incomplete}}) {
        test::FakePlatform disk;
        disk.AddDrive('D', kDriveFixed);
        CreateVault(disk, "D:");
        disk.AddFolder("D:\\Recycled\\Tovik\\我的Tovik\\locked");
        disk.AddFile("D:\\Recycled\\Tovik\\我的Tovik\\locked\\a.txt", "a");
        disk.unlistable.insert("d:\\recycled\\tovik\\我的tovik\\locked");
        disk.shellDeleteStopsAfter = c.stopsAfter;
        EXPECT_EQ(DeleteVault(disk, "D:"), c.result);
    }
    // A shell that failed is no decline, and neither is a stop when the entries could not be
    // counted beforehand.
    platform.AddFolder("D:\\Recycled\\Tovik");
    platform.shellDeleteStopsAfter = 0;
    platform.FailOn("CountEntries");
    EXPECT_EQ(DeleteVault(platform, "D:"), DeleteResult::Incomplete);
    platform.FailOn("ShellDelete");
    EXPECT_EQ(DeleteVault(platform, "D:"), DeleteResult::Incomplete);
}

}  // namespace
}  // namespace tovik

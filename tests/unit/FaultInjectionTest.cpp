// Every step may fail. Each user action is run once to count the platform calls it makes, then
// again once per call with exactly that call failing, and once more with that call and every
// later one failing (a drive gone half-way). After every run the program must be sound:
//   1. nothing of the user's is lost;
//   2. password.dat holds the old text or the new one, and no temporary file stays behind;
//   3. the list tells the truth about letters and vaults;
//   4. nothing is thrown, and the next action works;
//   5. an action whose purpose failed says so (at the end of the session, nothing is said).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "FakeViews.h"
#include "app/MainForm.h"
#include "password/PasswordFile.h"
#include "texts/Texts.h"
#include "vault/VaultStore.h"

namespace tovik {
namespace {

constexpr int kNo = 7;
const std::string kNotes = "D:\\Recycled\\Tovik\\我的Tovik\\notes.txt";

// C: \Recycled without a vault; D: a vault with the password "pw"; E: a vault without one;
// F: optical. The spare letters are G, H and I.
struct World {
    test::FakePlatform platform;
    test::FakeList list;
    test::FakeBarView bar;
    test::FakeDialogs dialogs;
    test::FakeForm window;
    test::FakeTray tray;
    MainForm form{platform, list, bar, dialogs, window, tray};
    bool ended = false;

    World() {
        for (char letter : {'C', 'D', 'E'}) platform.AddDrive(letter, kDriveFixed, 5'000'000'000);
        platform.AddDrive('F', kDriveOptical);
        platform.AddFile("C:\\WINDOWS\\SYSTEM32\\subst.exe", "MZ");
        platform.AddFolder("C:\\Recycled");
        for (const char* partition : {"D:", "E:"}) {
            platform.AddFolder(std::string(partition) + "\\Recycled");
            CreateVault(platform, partition);
        }
        platform.AddFile(kNotes, "mine");
        platform.AddFile("E:\\Recycled\\Tovik\\我的Tovik\\photo.jpg", "\xff\xd8 picture");
        platform.AddFile(PasswordFilePath("D:"), "pw\r\n");
        window.onUnload = [this] {
            form.Form_QueryUnload(UnloadMode::User);
            ended = true;
        };
    }
    void Select(int row) {
        list.Select(row);
        form.List1_Click();
    }
    void Release(int index) {
        form.lblCommand_MouseDown(index);
        form.lblCommand_MouseUp(index);
    }
    void Open(int row, std::optional<std::string> password = std::nullopt) {
        Select(row);
        if (password) dialogs.prompts.push_back(*password);
        Release(kOpen);
    }
    bool Mapped(char letter) const {
        const auto it = platform.mappings.find(letter);
        return it != platform.mappings.end() && it->second.ends_with(":\\Recycled\\Tovik");
    }
    // Partition n's letter in this run leads to its vault; n = 0: any partition's does.
    bool OwnVaultMapped(int only = 0) const {
        const PartitionTable& table = form.state.partitions;
        for (int n = 1; n <= table.PartitionCount; ++n) {
            const auto it = platform.mappings.find(table.MappedLetters[n - 1][1]);
            if ((only == 0 || n == only) && it != platform.mappings.end() &&
                it->second == "\\??\\" + table.PartitionNames[n - 1] + "\\Recycled\\Tovik") {
                return true;
            }
        }
        return false;
    }
    // The question before a deletion could not be put, so nothing was to be done.
    bool WarningUnshown() const {
        for (std::size_t i = 0; i < platform.calls.size(); ++i) {
            if (platform.calls[i] == "ShowMessage " + std::string(text::kWarning) &&
                platform.Failed(i)) {
                return true;
            }
        }
        return false;
    }
    bool AnyVaultMapped() const {
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if (Mapped(letter)) return true;
        }
        return false;
    }
    // The user's files: everything in the vaults' storage folders, with its bytes.
    std::map<std::string, std::string> UserFiles() const {
        std::map<std::string, std::string> files;
        for (const std::string& path : platform.Tree()) {
            if (path.find("\\我的tovik\\") != std::string::npos) files[path] = *Bytes(path);
        }
        return files;
    }
    const std::string* Bytes(const std::string& path) const {
        const auto* entry = platform.Find(path);
        return entry ? &entry->bytes : nullptr;
    }
};

struct Action {
    std::string name;
    std::function<void(World&)> prepare;  // before, without faults
    std::function<void(World&)> run;      // under faults
    // What the action is for; when it did not come about, a message must say so. None for
    // the actions that have nothing to report (selecting a row, About, declining Delete).
    std::function<bool(World&)> achieved = {};
    bool deletes = false;  // Delete answered Yes: the vault's files go
    bool silent = false;   // the end of the session: nothing may be shown
    bool undoes = false;   // when it fails for one fault alone, the disk is as it was
    // What must never come about, whatever fails: a stranger let in, a refusal ignored.
    std::function<bool(World&)> forbidden = {};
};

void Start(World& w) { w.form.Form_Load(); }
void StartWithDAndEOpen(World& w) {
    Start(w);
    w.Open(1, "pw");
    w.Open(2);
}
// E:, whose vault has no password, goes away after start-up (a USB disk unplugged); its row
// stays and it is selected.
void StartThenEGoes(World& w) {
    Start(w);
    std::erase_if(w.platform.drives, [](const Drive& drive) { return drive.letter == 'E'; });
    w.Select(2);
    w.platform.answers = {kIdYes};
}
// A vault folder removed behind the program's back while its letter is mapped.
void DOpenThenItsFolderGoes(World& w) {
    Start(w);
    w.Open(1, "pw");
    w.platform.ShellDelete("D:\\Recycled\\Tovik");
}

std::vector<Action> Actions() {
    return {
        {.name = "start-up with a letter left by a run ended by force",
         .prepare = [](World& w) { w.platform.mappings['K'] = "\\??\\E:\\Recycled\\Tovik"; },
         .run = Start,
         .achieved = [](World& w) { return !w.AnyVaultMapped() && w.list.rows.size() == 3; }},
        {.name = "select a row", .prepare = Start, .run = [](World& w) { w.Select(1); }},
        {.name = "select a row once the window shows, its partition asked aside",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.form.FirstShow(false);
             },
         .run = [](World& w) { w.Select(1); }},
        {.name = "Open with the right password",
         .prepare = Start,
         .run = [](World& w) { w.Open(1, "pw"); },
         .achieved = [](World& w) { return w.OwnVaultMapped(2); }},
        {.name = "Open when a stick took the reserved letter",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.platform.AddDrive('H', kDriveRemovable);
             },
         .run = [](World& w) { w.Open(1, "pw"); },
         .achieved = [](World& w) { return w.OwnVaultMapped(2); }},
        {.name = "Open when remembered network drives hold the reserved letter and Z:",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.platform.networkLetters = {'H', 'Z'};
             },
         .run = [](World& w) { w.Open(1, "pw"); },
         .achieved = [](World& w) { return w.OwnVaultMapped(2); },
         .forbidden =
             [](World& w) {
                 // Only where the network's answer about the letter was lost.
                 for (std::size_t i = 0; i < w.platform.calls.size(); ++i) {
                     const std::string& call = w.platform.calls[i];
                     if (call.starts_with("NetworkDriveLetter") && w.platform.Failed(i)) {
                         return false;
                     }
                 }
                 return w.Mapped('H') || w.Mapped('Z');
             }},
        {.name = "Open with a wrong password",
         .prepare = Start,
         .run = [](World& w) { w.Open(1, "nope"); },
         .achieved = [](World&) { return false; },  // a refusal is always said
         .forbidden = [](World& w) { return w.AnyVaultMapped(); }},
        {.name = "Open without a password",
         .prepare = Start,
         .run = [](World& w) { w.Open(2); },
         .achieved = [](World& w) { return w.OwnVaultMapped(3); }},
        {.name = "Close",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.Open(1, "pw");
                 w.Select(1);
             },
         .run = [](World& w) { w.Release(kClose); },
         .achieved = [](World& w) { return !w.Mapped('H'); }},
        {.name = "New",
         .prepare = Start,
         .run = [](World& w) { w.Release(kNew); },
         .achieved = [](World& w) { return VaultComplete(w.platform, "C:"); },
         .undoes = true},
        {.name = "New where \\Recycled is missing",
         .prepare =
             [](World& w) {
                 w.platform.RemoveFolder("C:\\Recycled");
                 Start(w);
             },
         .run = [](World& w) { w.Release(kNew); },
         .achieved = [](World& w) { return VaultComplete(w.platform, "C:"); },
         .undoes = true},
        {.name = "Delete, Yes, on an open vault",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.Open(1, "pw");
                 w.Select(1);
                 w.dialogs.prompts = {"pw"};
                 w.platform.answers = {kIdYes};
             },
         .run = [](World& w) { w.Release(kDelete); },
         .achieved =
             [](World& w) {
                 return w.WarningUnshown() ||
                        (!w.Mapped('H') && !w.platform.Find("D:\\Recycled\\Tovik"));
             },
         .deletes = true},
        {.name = "Delete, No",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.Select(1);
                 w.dialogs.prompts = {"pw"};
                 w.platform.answers = {kNo};
             },
         .run = [](World& w) { w.Release(kDelete); },
         .forbidden = [](World& w) { return !w.platform.Find(kNotes); }},
        {.name = "Password, set",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.Select(2);
                 w.dialogs.setPasswordEntries = {{"new", "new"}};
             },
         .run = [](World& w) { w.Release(kPassword); },
         .achieved = [](World& w) { return w.Bytes(PasswordFilePath("E:")) != nullptr; }},
        {.name = "Password, change",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.Select(1);
                 w.dialogs.prompts = {"pw"};
                 w.dialogs.setPasswordEntries = {{"new", "new"}};
             },
         .run = [](World& w) { w.Release(kPassword); },
         .achieved = [](World& w) { return *w.Bytes(PasswordFilePath("D:")) == "new\r\n"; }},
        {.name = "Password, entries that differ",
         .prepare =
             [](World& w) {
                 Start(w);
                 w.Select(2);
                 w.dialogs.setPasswordEntries = {{"a", "b"}};
             },
         .run = [](World& w) { w.Release(kPassword); },
         .achieved = [](World&) { return false; },
         .forbidden = [](World& w) { return w.Bytes(PasswordFilePath("E:")) != nullptr; }},
        {.name = "About", .prepare = Start, .run = [](World& w) { w.Release(kAbout); }},
        // A partition that does not answer cannot tell whether its vault has a password.
        {.name = "Open on a partition that went",
         .prepare = StartThenEGoes,
         .run = [](World& w) { w.Release(kOpen); },
         .achieved = [](World&) { return false; },
         .forbidden = [](World& w) { return w.AnyVaultMapped(); }},
        {.name = "Delete on a partition that went",
         .prepare = StartThenEGoes,
         .run = [](World& w) { w.Release(kDelete); },
         .achieved = [](World&) { return false; },
         .forbidden = [](World& w) { return !w.platform.shellDeletes.empty(); }},
        {.name = "Password on a partition that went",
         .prepare = StartThenEGoes,
         .run = [](World& w) { w.Release(kPassword); },
         .achieved = [](World&) { return false; },
         .forbidden = [](World& w) { return w.dialogs.setPasswordShown > 0; }},
        {.name = "close all from the tray",
         .prepare = StartWithDAndEOpen,
         .run = [](World& w) { w.form.mnFileItems_Click(kMenuCloseAll); },
         .achieved = [](World& w) { return !w.AnyVaultMapped(); }},
        {.name = "exit from the tray",
         .prepare = StartWithDAndEOpen,
         .run = [](World& w) { w.form.mnFileItems_Click(kMenuExit); },
         .achieved = [](World& w) { return !w.AnyVaultMapped(); }},
        {.name = "end of the session",
         .prepare = StartWithDAndEOpen,
         .run =
             [](World& w) {
                 w.form.Form_QueryUnload(UnloadMode::SessionEnd);
                 w.ended = true;
             },
         .silent = true},
        {.name = "Close after the vault's folder went",
         .prepare = DOpenThenItsFolderGoes,
         .run =
             [](World& w) {
                 w.Select(1);
                 w.Release(kClose);
             },
         .achieved = [](World& w) { return !w.Mapped('H'); }},
        {.name = "close all after a vault's folder went",
         .prepare = DOpenThenItsFolderGoes,
         .run = [](World& w) { w.form.mnFileItems_Click(kMenuCloseAll); },
         .achieved = [](World& w) { return !w.AnyVaultMapped(); }},
    };
}

// Every row says "=> X:" exactly when its letter leads to its vault, and "已创建" exactly
// when the marker is there, or when the listing of it failed (a partition that cannot be read
// is shown as holding a vault, so that it is never offered for creation).
void ExpectListTrue(const World& w, const std::string& where) {
    const PartitionTable& table = w.form.state.partitions;
    ASSERT_EQ(w.list.rows.size(), static_cast<std::size_t>(table.PartitionCount)) << where;
    for (int n = 1; n <= table.PartitionCount; ++n) {
        const std::string& row = w.list.rows[n - 1];
        const std::string& name = table.PartitionNames[n - 1];
        const char letter = table.MappedLetters[n - 1][1];
        const auto it = w.platform.mappings.find(letter);
        const bool mapped =
            it != w.platform.mappings.end() && it->second == "\\??\\" + name + "\\Recycled\\Tovik";
        EXPECT_EQ(row.find("=> " + std::string(1, letter) + ":") != std::string::npos, mapped)
            << where << ": " << row;
        const std::string marker = VaultInnerFolder(name) + "\\desktop.ini";
        bool listingFailed = false;
        for (std::size_t i = 0; i < w.platform.calls.size(); ++i) {
            if (w.platform.calls[i] == "FirstMatch " + marker && w.platform.Failed(i)) {
                listingFailed = true;
            }
        }
        const bool there = w.platform.Find(marker) != nullptr;
        const bool shown = row.find("已创建") != std::string::npos;
        if (!listingFailed) {
            EXPECT_EQ(shown, there) << where << ": " << row;
        }
    }
}

void Check(World& w, const Action& action, const std::string& where, std::size_t messagesBefore,
           const std::map<std::string, std::string>& userFiles, const std::string& oldD,
           const std::vector<std::string>& treeBefore, bool andLater, bool threw) {
    EXPECT_FALSE(threw) << where;
    if (action.forbidden) {
        EXPECT_FALSE(action.forbidden(w)) << where;
    }
    // 1. Nothing of the user's is lost.
    if (!action.deletes) {
        const auto now = w.UserFiles();
        for (const auto& [path, bytes] : userFiles) {
            const auto it = now.find(path);
            EXPECT_TRUE(it != now.end() && it->second == bytes) << where << ": " << path;
        }
    }
    // 2. The password files are whole.
    if (const auto* d = w.Bytes(PasswordFilePath("D:"))) {
        EXPECT_TRUE(*d == oldD || *d == "new\r\n") << where << ": " << *d;
    }
    if (const auto* e = w.Bytes(PasswordFilePath("E:"))) {
        EXPECT_EQ(*e, "new\r\n") << where;
    }
    for (const char* partition : {"D:", "E:"}) {
        // Left only where the system refused to remove it; the next save clears it.
        if (w.platform.Find(PasswordFilePath(partition) + ".tmp")) {
            EXPECT_TRUE(SavePassword(w.platform, partition, "new")) << where;
            EXPECT_EQ(w.platform.Find(PasswordFilePath(partition) + ".tmp"), nullptr) << where;
        }
    }
    // 5. Failures are said, except where nobody may be asked to read them. A notice or a
    // question on the way says nothing of a failure; an error or an alert does.
    std::size_t said = 0;
    for (std::size_t i = messagesBefore; i < w.platform.messages.size(); ++i) {
        const auto& message = w.platform.messages[i];
        if ((message.flags & kMbIconExclamation) == kMbIconExclamation ||
            message.title == text::kError) {
            ++said;
        }
    }
    if (action.silent) {
        EXPECT_EQ(said, 0u) << where;
    }
    if (action.achieved && !action.achieved(w)) {
        EXPECT_GT(said, 0u) << where << ": not said";
        if (action.undoes && !andLater) {
            EXPECT_EQ(w.platform.Tree(), treeBefore) << where << ": left half made";
        }
    }
    // 3. The list tells the truth; 4. the next action works.
    if (w.ended) {
        if (said == 0 && !action.silent) {
            EXPECT_FALSE(w.AnyVaultMapped()) << where;
        }
        return;
    }
    ExpectListTrue(w, where);
    w.platform.messages.clear();
    EXPECT_NO_THROW(w.form.mnFileItems_Click(kMenuCloseAll)) << where;
    EXPECT_FALSE(w.OwnVaultMapped()) << where << ": the next close-all";
    EXPECT_TRUE(w.platform.messages.empty()) << where << ": the next close-all";
    ExpectListTrue(w, where + ", then closing all");
}

TEST(FaultInjection, EveryCallOfEveryActionMayFailAndTheProgramStaysSound) {
    for (const Action& action : Actions()) {
        std::size_t count = 0;
        {
            World w;
            action.prepare(w);
            const std::size_t before = w.platform.calls.size();
            action.run(w);
            count = w.platform.calls.size() - before;
        }
        for (std::size_t k = 0; k < count; ++k) {
            for (bool andLater : {false, true}) {
                World w;
                action.prepare(w);
                const std::string* before = w.Bytes(PasswordFilePath("D:"));
                const std::string oldD = before ? *before : "";
                const std::size_t index = w.platform.calls.size() + k;
                const std::size_t messagesBefore = w.platform.messages.size();
                const auto userFiles = w.UserFiles();
                const auto treeBefore = w.platform.Tree();
                w.platform.FailCall(index, andLater);
                bool threw = false;
                try {
                    action.run(w);
                } catch (...) {
                    threw = true;
                }
                w.platform.StopFailing();
                const std::string call =
                    index < w.platform.calls.size() ? w.platform.calls[index] : "not reached";
                const std::string where = action.name + ", call " + std::to_string(k) + " (" +
                                          call + ")" + (andLater ? " and every later one" : "") +
                                          " failing";
                Check(w, action, where, messagesBefore, userFiles, oldD, treeBefore, andLater,
                      threw);
            }
        }
    }
}

}  // namespace
}  // namespace tovik

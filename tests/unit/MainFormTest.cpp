#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "FakePlatform.h"
#include "FakeViews.h"
#include "app/MainForm.h"
#include "texts/Texts.h"

namespace tovik {
namespace {

constexpr char kSubst[] = "C:\\WINDOWS\\SYSTEM32\\subst.exe";
constexpr char kDPassword[] = "D:\\Recycled\\Tovik\\Recycled\\password.dat";
using Flags = std::array<bool, kCommandCount>;

// C: has no \Recycled (as on today's systems), D: holds a vault, E: is optical: spare
// letters F and G.
class MainFormTest : public ::testing::Test {
protected:
    MainFormTest() : form(platform, list, bar, dialogs, window, tray) {
        platform.AddDrive('C', kDriveFixed, 1'000'000'000);
        platform.AddDrive('D', kDriveFixed, 12'345'678'901);
        platform.AddDrive('E', kDriveOptical);
        platform.AddFile(kSubst, "MZ");
        platform.AddFolder("D:\\Recycled");
        platform.AddFolder("D:\\Recycled\\Tovik");
        platform.AddFolder("D:\\Recycled\\Tovik\\Recycled", 7);
        platform.AddFile("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini", "x\r\n", 7);
        tray.log = &platform.calls;
        form.Form_Load();
    }
    // Vault n open, its letter mapped as subst.exe would have mapped it.
    void MarkOpen(int n) {
        const auto& table = form.state.partitions;
        form.state.partitions.VaultOpen[n - 1] = true;
        platform.mappings[table.MappedLetters[n - 1][1]] =
            "\\??\\" + table.PartitionNames[n - 1] + "\\Recycled\\Tovik";
    }
    void SelectRow(int row) {
        list.Select(row);
        form.List1_Click();
    }
    void Release(int index) {
        form.lblCommand_MouseDown(index);
        form.lblCommand_MouseUp(index);
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const auto& command : platform.commands) lines.push_back(command.line);
        return lines;
    }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (const auto& message : platform.messages) titles.push_back(message.title);
        return titles;
    }
    long Index(const std::string& call) const {
        const auto it = std::find(platform.calls.begin(), platform.calls.end(), call);
        return it == platform.calls.end() ? -1 : it - platform.calls.begin();
    }

    test::FakePlatform platform;
    test::FakeList list;
    test::FakeBarView bar;
    test::FakeDialogs dialogs;
    test::FakeForm window;
    test::FakeTray tray;
    MainForm form;
};

// The icon waits until the window shows; the first row's vault is probed once, for its text.
TEST_F(MainFormTest, StartUpHooksTheTrayListsThePartitionsAndSelectsTheFirst) {
    EXPECT_EQ(platform.calls[0], "TrayHook");
    EXPECT_EQ(platform.calls[1], "DriveLetters ");
    EXPECT_EQ(
        std::vector<std::string>(platform.calls.begin() + 2, platform.calls.begin() + 6),
        (std::vector<std::string>{"DriveTarget C", "DriveTarget D", "DriveTarget E", "Drives "}));
    EXPECT_EQ(Index("TrayAdd " + std::string(text::kTrayTip)), -1);
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(),
                         "FirstMatch C:\\Recycled\\Tovik\\Recycled\\desktop.ini"),
              1);
    EXPECT_EQ(list.rows,
              (std::vector<std::string>{"C: 剩余1.00GB  未创建", "D: 剩余12.35GB  已创建 未打开"}));
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(form.state.SelectedPartition, "C:");
    EXPECT_EQ(form.Bar().CommandEnabled, (Flags{false, false, true, false, false, true}));
    EXPECT_EQ(form.Bar().HoverIndex, -1);
    EXPECT_EQ(bar.faces[kNew], Face::Normal);
    EXPECT_EQ(bar.faces[kOpen], Face::Disabled);
}

TEST_F(MainFormTest, WithoutADriveListOnlyAboutIsEnabled) {
    test::FakePlatform empty;
    empty.drivesFail = true;
    test::FakeList emptyList;
    MainForm bare(empty, emptyList, bar, dialogs, window, tray);
    bare.Form_Load();
    EXPECT_TRUE(emptyList.rows.empty());
    EXPECT_EQ(bare.state.SelectedPartition, "");
    EXPECT_EQ(bare.Bar().CommandEnabled, (Flags{false, false, false, false, false, true}));
}

TEST_F(MainFormTest, SelectionEnablesTheCommandsThatFitThePartition) {
    SelectRow(1);
    EXPECT_EQ(form.state.SelectedPartition, "D:");
    EXPECT_EQ(form.Bar().CommandEnabled, (Flags{true, false, false, true, true, true}));
    MarkOpen(2);
    SelectRow(1);
    EXPECT_EQ(form.Bar().CommandEnabled, (Flags{true, true, false, true, true, true}));
    EXPECT_EQ(bar.faces[kClose], Face::Normal);
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 D:=> G: ");
    // Its letter removed from outside, or mapped by the user to a folder of theirs: the vault
    // is closed, and the user's mapping stays.
    for (const std::string target : {"", "\\??\\C:\\work"}) {
        MarkOpen(2);
        platform.mappings.erase('G');
        if (!target.empty()) platform.mappings['G'] = target;
        SelectRow(1);
        EXPECT_EQ(form.Bar().CommandEnabled, (Flags{true, false, false, true, true, true}));
        EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 未打开") << target;
        EXPECT_EQ(platform.mappings.count('G'), target.empty() ? 0u : 1u);
    }
    // A vault removed by hand, or made by hand: the row follows the disk with the buttons.
    platform.AddFile("C:\\Recycled\\Tovik\\Recycled\\desktop.ini", "x\r\n", 7);
    SelectRow(0);
    EXPECT_EQ(list.rows[0], "C: 剩余1.00GB  已创建 未打开");
    platform.SetAttributes("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini", 0);
    platform.RemoveFile("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini");
    SelectRow(1);
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  未创建");
    EXPECT_EQ(form.Bar().CommandEnabled, (Flags{false, false, true, false, false, true}));

    platform.unreadable.insert('C');
    SelectRow(0);
    EXPECT_EQ(form.Bar().CommandEnabled, (Flags{true, false, false, true, true, true}))
        << "an unreadable partition is treated as holding a vault";
}

TEST_F(MainFormTest, ReleasingADisabledButtonDoesNothing) {
    bar.log.clear();
    Release(kOpen);
    EXPECT_TRUE(bar.log.empty());
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(MainFormTest, OpenWithoutPasswordGivesTheNoticeMapsAndReselectsTheFirstRow) {
    SelectRow(1);
    Release(kOpen);
    EXPECT_EQ(Titles(), (std::vector<std::string>{std::string(text::kNotice)}));
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " G: D:\\Recycled\\Tovik",
                                                 "C:\\WINDOWS\\Explorer.exe   G: "}));
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 D:=> G: ");
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(form.state.SelectedPartition, "C:");

    SelectRow(1);
    Release(kOpen);
    EXPECT_EQ(platform.messages.back().text, text::AlreadyOpen(" G: "));
    EXPECT_EQ(platform.messages.back().title, text::kAppTitle);
    EXPECT_EQ(platform.messages.back().flags, 64);
    EXPECT_EQ(platform.commands.size(), 2u);
}

TEST_F(MainFormTest, OpenWithAWrongOrCancelledPasswordChangesNothing) {
    platform.AddFile(kDPassword, "pw\r\n");
    SelectRow(1);
    dialogs.prompts = {"nope", std::nullopt};
    Release(kOpen);
    Release(kOpen);
    EXPECT_EQ(dialogs.promptShown, 2);
    EXPECT_EQ(Titles(), (std::vector<std::string>{std::string(text::kPassword)}));
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_EQ(list.selected, 1);
    EXPECT_FALSE(form.state.partitions.VaultOpen[1]);
}

TEST_F(MainFormTest, APasswordTypedForOnePartitionNeverOpensAnother) {
    platform.AddFile(kDPassword, "pw\r\n");
    platform.AddFolder("C:\\Recycled");
    platform.AddFolder("C:\\Recycled\\Tovik");
    platform.AddFolder("C:\\Recycled\\Tovik\\Recycled");
    platform.AddFile("C:\\Recycled\\Tovik\\Recycled\\Desktop.ini", "x\r\n");
    SelectRow(1);
    dialogs.prompts = {"pw"};
    dialogs.whilePromptOpen = [&] { form.mnFileItems_Click(2); };  // rebuilds, selects C:
    Release(kOpen);
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " G: D:\\Recycled\\Tovik",
                                                 "C:\\WINDOWS\\Explorer.exe   G: "}));
    EXPECT_TRUE(form.state.partitions.VaultOpen[1]);
    EXPECT_FALSE(form.state.partitions.VaultOpen[0]);
}

TEST_F(MainFormTest, CloseUnmapsWithoutAskingAndRebuilds) {
    MarkOpen(2);
    SelectRow(1);
    Release(kClose);
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " G:   /d"}));
    EXPECT_EQ(dialogs.promptShown, 0);
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 未打开");
    EXPECT_EQ(list.selected, 0);
}

TEST_F(MainFormTest, NewCreatesRebuildsAndThenGivesTheNotice) {
    platform.AddFolder("C:\\Recycled");
    Release(kNew);
    EXPECT_EQ(list.rows[0], "C: 剩余1.00GB  已创建 未打开");
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(form.Bar().CommandEnabled, (Flags{true, false, false, true, true, true}));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::kNoPasswordYet);
    EXPECT_EQ(platform.messages[0].title, text::kNotice);
    EXPECT_GT(Index("ShowMessage " + std::string(text::kNotice)),
              Index("MakeFolder C:\\Recycled\\Tovik"));
}

TEST_F(MainFormTest, NewReportsSuccessOnlyForAWholeVault) {
    platform.AddFolder("C:\\Recycled");
    platform.AddFolder("C:\\Recycled\\Tovik");
    platform.AddFile("C:\\Recycled\\Tovik\\我的Tovik", "a file where the folder goes");
    const auto before = platform.Tree();
    Release(kNew);
    EXPECT_EQ(platform.Tree(), before) << "nothing of a New that failed stays";
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::kCannotCreate);
    EXPECT_EQ(platform.messages[0].title, text::kError);
    EXPECT_EQ(platform.messages[0].flags, 48);
    EXPECT_EQ(list.rows[0], "C: 剩余1.00GB  未创建");
}

TEST_F(MainFormTest, DeleteAsksThenUnmapsBeforeHandingTheTreeToTheShell) {
    SelectRow(1);
    platform.answers = {7};  // No
    Release(kDelete);
    EXPECT_EQ(Titles(), (std::vector<std::string>{std::string(text::kWarning)}));
    EXPECT_EQ(platform.messages[0].text, text::kDeleteWarning);
    EXPECT_EQ(platform.messages[0].flags, 36);
    EXPECT_TRUE(platform.shellDeletes.empty());
    EXPECT_EQ(list.selected, 1);

    MarkOpen(2);
    platform.answers = {kIdYes};
    Release(kDelete);
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " G:   /d"}));
    EXPECT_LT(Index("RunCommandAndWait " + std::string(kSubst) + " G:   /d"),
              Index("ShellDelete D:\\Recycled\\Tovik"));
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  未创建");
    EXPECT_NE(platform.Find("D:\\Recycled"), nullptr);
}

// The shell answers a No to its question and a Cancel half-way alike; only the second
// leaves part of the vault behind, and only that is said.
TEST_F(MainFormTest, DeleteSaysWhatItLeftButNotWhatTheUserDeclined) {
    platform.AddFile("D:\\Recycled\\Tovik\\Recycled\\a.txt", "a");
    for (std::size_t stopsAfter : {0, 1}) {
        platform.messages.clear();
        platform.shellDeleteStopsAfter = stopsAfter;
        platform.answers = {kIdYes};
        SelectRow(1);
        Release(kDelete);
        std::vector<std::string> expected{std::string(text::kWarning)};
        if (stopsAfter > 0) expected.emplace_back(text::kError);
        EXPECT_EQ(Titles(), expected) << stopsAfter;
        EXPECT_EQ(platform.messages.back().text,
                  stopsAfter == 0 ? text::kDeleteWarning : text::kCannotDelete);
    }
}

// Not answered, so not a Yes: nothing is deleted and nothing is said to have failed.
TEST_F(MainFormTest, ADeleteWarningThatCannotBeShownDeletesNothing) {
    SelectRow(1);
    platform.FailOn("ShowMessage", std::string(text::kWarning));
    Release(kDelete);
    EXPECT_EQ(Titles(), (std::vector<std::string>{std::string(text::kWarning)}));
    EXPECT_TRUE(platform.shellDeletes.empty());
}

TEST_F(MainFormTest, DeleteWithAWrongPasswordNeverAsks) {
    platform.AddFile(kDPassword, "pw\r\n");
    SelectRow(1);
    dialogs.prompts = {"PW"};
    Release(kDelete);
    EXPECT_EQ(Titles(), (std::vector<std::string>{std::string(text::kPassword)}));
    EXPECT_TRUE(platform.shellDeletes.empty());
}

TEST_F(MainFormTest, PasswordAsksForTheCurrentOneOnlyWhenThereIsOne) {
    SelectRow(1);
    dialogs.setPasswordEntries = {{"a", "b"}, {"new", "new"}};
    Release(kPassword);
    EXPECT_EQ(dialogs.promptShown, 0);
    EXPECT_EQ(dialogs.setPasswordShown, 1);
    EXPECT_EQ(platform.Find(kDPassword)->bytes, "new\r\n");
    EXPECT_EQ(Titles(), (std::vector<std::string>{std::string(text::kError)}));

    dialogs.prompts = {"wrong", "new"};
    dialogs.setPasswordEntries = {{"newer", "newer"}};
    Release(kPassword);
    EXPECT_EQ(dialogs.setPasswordShown, 1);
    Release(kPassword);
    EXPECT_EQ(dialogs.promptShown, 2);
    EXPECT_EQ(dialogs.setPasswordShown, 2);
    EXPECT_EQ(platform.Find(kDPassword)->bytes, "newer\r\n");
    EXPECT_EQ(list.selected, 1) << "the list is not rebuilt";
}

TEST_F(MainFormTest, TrayMenuRestoresClosesAllShowsAboutAndExits) {
    MarkOpen(1);
    MarkOpen(2);
    form.mnFileItems_Click(1);
    form.mnFileItems_Click(4);
    form.mnFileItems_Click(0);
    EXPECT_EQ(window.log, (std::vector<std::string>{"ShowNormal"}));

    SelectRow(1);
    form.mnFileItems_Click(2);
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kSubst) + " F:   /d",
                                                 std::string(kSubst) + " G:   /d"}));
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 未打开");
    EXPECT_EQ(list.selected, 0);

    form.mnFileItems_Click(3);
    EXPECT_EQ(dialogs.aboutShown, 1);
    EXPECT_EQ(bar.faces[kAbout], Face::Hover);

    form.mnFileItems_Click(5);
    EXPECT_EQ(window.log.back(), "Unload");
}

TEST_F(MainFormTest, WithADialogOpenTheTrayBringsItForwardAndAboutWaits) {
    window.modalOpen = true;
    form.mnFileItems_Click(0);
    form.RestoreFromTray();
    form.mnFileItems_Click(3);
    EXPECT_EQ(window.log, (std::vector<std::string>{"BringModalToFront", "BringModalToFront"}));
    EXPECT_EQ(dialogs.aboutShown, 0);
}

TEST_F(MainFormTest, MinimisingHidesTheWindowOnlyWhileThereIsAnIcon) {
    window.minimized = true;
    form.Form_Resize();
    EXPECT_TRUE(window.log.empty()) << "the icon comes after the first showing";
    window.minimized = false;
    form.TrayRetry();
    form.Form_Resize();
    EXPECT_TRUE(window.log.empty());
    window.minimized = true;
    form.Form_Resize();
    EXPECT_EQ(window.log, (std::vector<std::string>{"Hide"}));

    // The shell restarted and refuses the icon: the hidden window goes to the taskbar, and a
    // later minimise leaves it there.
    window.log.clear();
    window.hidden = true;
    tray.shellTakes = {false};
    form.TaskbarCreated();
    form.Form_Resize();
    EXPECT_EQ(window.log, (std::vector<std::string>{"ShowMinimized"}));
    EXPECT_EQ(tray.retries, (std::vector<int>{1000}));
    form.TrayRetry();  // taken this time
    form.Form_Resize();
    EXPECT_EQ(window.log.back(), "Hide");
}

// A normal start shows the window first and adds the icon on the next turn of the message
// loop; a minimised one asks the shell first, as the answer decides where the window waits.
// Refused, the icon is asked for again a few times, further apart each time.
TEST_F(MainFormTest, TheIconFollowsTheFirstShowingAndARefusedOneIsAskedForAgain) {
    form.FirstShow(false);
    EXPECT_EQ(window.log, (std::vector<std::string>{"ShowNormal"}));
    EXPECT_EQ(tray.retries, (std::vector<int>{0}));
    EXPECT_EQ(Index("TrayAdd " + std::string(text::kTrayTip)), -1);
    form.TrayRetry();
    form.TrayRetry();
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(),
                         "TrayAdd " + std::string(text::kTrayTip)),
              1);

    test::FakeTray refused;
    refused.shellTakes = {false, false, false, false, false};
    test::FakeForm starting;
    MainForm minimised(platform, list, bar, dialogs, starting, refused);
    minimised.Form_Load();
    minimised.FirstShow(true);
    EXPECT_EQ(starting.log, (std::vector<std::string>{"ShowMinimized"}))
        << "without an icon, a minimised start waits on the taskbar";
    for (int i = 0; i < 4; ++i) minimised.TrayRetry();
    EXPECT_EQ(refused.retries, (std::vector<int>{1000, 2000, 4000, 8000}));
    EXPECT_EQ(std::count(refused.own.begin(), refused.own.end(),
                         "TrayAdd " + std::string(text::kTrayTip)),
              5);

    test::FakeTray taking;
    test::FakeForm inTray;
    MainForm hidden(platform, list, bar, dialogs, inTray, taking);
    hidden.Form_Load();
    hidden.FirstShow(true);
    EXPECT_TRUE(inTray.log.empty()) << "with an icon, a minimised start waits in the tray";
    EXPECT_TRUE(taking.retries.empty());
}

TEST_F(MainFormTest, UnloadUnmapsEveryVaultBeforeRemovingTheIcon) {
    MarkOpen(1);
    MarkOpen(2);
    platform.calls.clear();
    form.Form_QueryUnload(UnloadMode::User);
    EXPECT_EQ(Lines().size(), 2u);
    const long icon = Index("TrayRemove");
    ASSERT_GE(icon, 0);
    EXPECT_LT(Index("RunCommandAndWait " + std::string(kSubst) + " G:   /d"), icon);
    EXPECT_EQ(form.state.partitions.VaultOpen, (std::vector<bool>{false, false}));
}

// A stick took G: after start-up: the row, the already-open message and Close all go by the
// letter the vault was mapped to.
TEST_F(MainFormTest, TheLetterActuallyMappedIsTheOneShownAndClosed) {
    platform.AddDrive('G', kDriveRemovable);
    SelectRow(1);
    Release(kOpen);
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 D:=> Z: ");
    SelectRow(1);
    Release(kOpen);
    EXPECT_EQ(platform.messages.back().text, text::AlreadyOpen(" Z: "));
    SelectRow(1);
    Release(kClose);
    EXPECT_EQ(Lines().back(), std::string(kSubst) + " Z:   /d");
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 未打开");
}

// A letter that stays mapped keeps its vault open in the list, bars Delete, and is named once
// when the program ends, but only while someone can read it.
TEST_F(MainFormTest, ALetterThatStaysMappedIsNeverShownClosedNorItsVaultDeleted) {
    MarkOpen(2);
    platform.exitCodeOf = [](const std::string& line) {
        return std::optional<int>(line.ends_with("/d") ? 1 : 0);
    };
    SelectRow(1);
    Release(kClose);
    EXPECT_EQ(platform.messages.back().text, text::StillMapped("G:"));
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 D:=> G: ");

    SelectRow(1);
    platform.answers = {kIdYes};
    Release(kDelete);
    EXPECT_EQ(platform.messages.back().text, text::StillMapped("G:"));
    EXPECT_TRUE(platform.shellDeletes.empty());
    EXPECT_NE(platform.Find("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini"), nullptr);

    MarkOpen(1);
    platform.messages.clear();
    form.mnFileItems_Click(2);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text::LettersStillMapped("F: G:"));
    EXPECT_EQ(platform.messages[0].flags, 48);
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  已创建 D:=> G: ");

    platform.messages.clear();
    form.Form_QueryUnload(UnloadMode::SessionEnd);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_GE(Index("TrayRemove"), 0) << "the program ends all the same";
}

// A run that ended without closing left D:'s vault on H: and the user's own mapping on K:.
TEST_F(MainFormTest, StartUpRemovesWhatAnEarlierRunLeftMappedBeforeReadingTheDrives) {
    test::FakePlatform machine;
    machine.AddDrive('C', kDriveFixed, 1'000'000'000);
    machine.AddDrive('D', kDriveFixed, 12'345'678'901);
    machine.AddFile(kSubst, "MZ");
    machine.mappings['H'] = "\\??\\D:\\Recycled\\Tovik";
    machine.mappings['K'] = "\\??\\C:\\work";
    test::FakeList rows;
    MainForm restarted(machine, rows, bar, dialogs, window, tray);
    restarted.Form_Load();
    EXPECT_EQ(machine.commands[0].line, std::string(kSubst) + " H:   /d");
    EXPECT_EQ(rows.rows.size(), 3u) << "C:, D: and the user's K:";
    EXPECT_EQ(restarted.state.partitions.MappedLetters[1], " M: ");
    EXPECT_TRUE(machine.messages.empty());
}

// The shell sends the tray icon's clicks, other programs send the come-forward and the close,
// and all of them run inside a wait (for subst.exe, for the listing of a vault): whatever
// arrives then starts nothing. The come-forward and the close are done after the wait.
TEST_F(MainFormTest, WhatArrivesDuringAWaitStartsNothingAndTheRequestsComeAfter) {
    platform.AddFile(kDPassword, "pw\r\n");
    const std::vector<std::pair<int, std::optional<std::string>>> waits = {
        {kOpen, "pw"}, {kClose, std::nullopt}, {kDelete, "pw"}};
    for (const auto& [command, password] : waits) {
        if (command == kClose) MarkOpen(2);
        SelectRow(1);
        if (password) dialogs.prompts = {*password};
        platform.answers = {kIdYes};  // Delete's question
        window.log.clear();
        platform.calls.clear();
        const std::size_t commandsBefore = platform.commands.size();
        bool waited = false;
        platform.duringNextWait = [&] {
            waited = true;
            form.TrayIcon_Click(true);
            form.TrayIcon_Click(false);
            Release(kAbout);
            Release(kNew);
            form.mnFileItems_Click(kMenuCloseAll);
            form.mnFileItems_Click(kMenuAbout);
            form.ComeForward();
            form.Form_Close();
            EXPECT_TRUE(window.log.empty()) << command;
            EXPECT_EQ(platform.commands.size(), commandsBefore + (command == kDelete ? 0 : 1));
        };
        Release(command);
        EXPECT_TRUE(waited) << command;
        EXPECT_EQ(Index("ShowMenu"), -1);
        EXPECT_EQ(dialogs.aboutShown, 0);
        EXPECT_EQ(window.log, (std::vector<std::string>{"ShowNormal", "Unload"})) << command;
    }
    // Not waiting, the same clicks do what they always did.
    window.log.clear();
    form.TrayIcon_Click(true);
    form.TrayIcon_Click(false);
    form.Form_Close();
    EXPECT_GE(Index("ShowMenu"), 0);
    EXPECT_EQ(window.log, (std::vector<std::string>{"ShowNormal", "Unload"}));
}

// Once the window shows, every question to a partition goes off the window's thread, which
// waits as for subst.exe: what arrives meanwhile starts nothing, and the close comes after. A
// partition that does not answer keeps the row it had, and is not asked again until it has.
TEST_F(MainFormTest, AfterTheFirstShowingThePartitionsAreAskedAsideAndOneThatHangsKeepsItsRow) {
    form.FirstShow(false);
    platform.calls.clear();
    platform.duringNextWait = [&] {
        form.TrayIcon_Click(true);
        form.Form_Close();
        EXPECT_TRUE(window.log.size() == 1) << "only the first showing";
    };
    SelectRow(1);
    EXPECT_EQ(Index("ShowMenu"), -1);
    EXPECT_EQ(window.log.back(), "Unload") << "the close, once the wait is over";
    form.mnFileItems_Click(kMenuCloseAll);
    for (std::size_t i = 0; i < platform.calls.size(); ++i) {
        const std::string& call = platform.calls[i];
        if (call.starts_with("FreeSpace") || call.starts_with("FirstMatch")) {
            EXPECT_TRUE(platform.Aside(i)) << call;
        }
    }
    EXPECT_GT(Index("AskAside C: D:"), Index("AskAside D:"));
    EXPECT_GE(Index("AskAside D:"), 0) << "the selection's own question";

    platform.hanging = {'D'};
    platform.SetAttributes("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini", 0);
    platform.RemoveFile("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini");
    platform.calls.clear();
    form.mnFileItems_Click(kMenuCloseAll);
    form.mnFileItems_Click(kMenuCloseAll);
    EXPECT_EQ(list.rows,
              (std::vector<std::string>{"C: 剩余1.00GB  未创建", "D: 剩余12.35GB  已创建 未打开"}));
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "AskAside C: D:"), 1);
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "AskAside C:"), 1);
    platform.hanging.clear();
    platform.AnswerHeld();
    form.mnFileItems_Click(kMenuCloseAll);
    EXPECT_EQ(list.rows[1], "D: 剩余12.35GB  未创建");
}

// A second start while the old letters are being removed: the window shows once the list is
// filled, and shows normal even when the launcher asked for it minimised.
TEST_F(MainFormTest, AComeForwardDuringStartUpWaitsForTheFilledWindow) {
    test::FakePlatform machine;
    machine.AddDrive('D', kDriveFixed, 12'345'678'901);
    machine.AddFile(kSubst, "MZ");
    machine.mappings['H'] = "\\??\\D:\\Recycled\\Tovik";
    test::FakeList rows;
    test::FakeForm starting;
    MainForm restarted(machine, rows, bar, dialogs, starting, tray);
    machine.duringNextWait = [&] { restarted.ComeForward(); };
    restarted.Form_Load();
    restarted.ComeForward();  // after the sweep, before the first showing
    EXPECT_TRUE(starting.log.empty());
    EXPECT_EQ(rows.rows.size(), 1u);
    restarted.FirstShow(true);
    EXPECT_EQ(starting.log, (std::vector<std::string>{"ShowNormal"}));
}

// The session ends while subst.exe maps D:'s vault, or while nothing waits. At a logoff or a
// shutdown the letters go with the session: the program waited for is stopped, nothing is
// unmapped and the process ends at once. When only the program is closed (an update), every
// letter on a vault is removed (the one subst.exe may have mapped after all included),
// silently; not waiting, the program then leaves as it always does.
TEST_F(MainFormTest, TheSessionsEndUnmapsOnlyWhenTheSessionGoesOn) {
    for (const bool sessionGoesOn : {false, true}) {
        for (const bool waiting : {true, false}) {
            const std::string where =
                std::string(sessionGoesOn ? "update" : "logoff") + (waiting ? ", waiting" : "");
            test::FakeForm ending;
            test::FakeTray icon;
            icon.log = &platform.calls;
            MainForm form2(platform, list, bar, dialogs, ending, icon);
            form2.Form_Load();
            form2.state.partitions.VaultOpen[1] = true;  // D: open on G:
            platform.mappings = {{'G', "\\??\\D:\\Recycled\\Tovik"}};
            platform.calls.clear();
            // The fake's EndNow returns; what came after it never runs in the real program.
            std::size_t substsAtEnd = 0;
            bool unmappedAtEnd = false;
            const auto end = [&] {
                form2.Form_EndSession(sessionGoesOn);
                substsAtEnd = static_cast<std::size_t>(
                    std::count(platform.calls.begin(), platform.calls.end(),
                               "RunCommandAndWait " + std::string(kSubst) + " G:   /d"));
                unmappedAtEnd = platform.mappings.empty();
            };
            if (waiting) {
                platform.duringNextWait = end;
                platform.RunCommandAndWait(kSubst, " H: D:\\Recycled\\Tovik", kShowHidden, 10000);
            } else {
                end();
            }
            const std::vector<std::string> expected{
                sessionGoesOn && !waiting ? "UnloadForSessionEnd" : "EndNow"};
            EXPECT_EQ(ending.log, expected) << where;
            if (sessionGoesOn && !waiting) continue;
            EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "TrayRemove"), 1);
            EXPECT_GE(Index("StopWaitedProgram"), 0) << where;
            EXPECT_TRUE(platform.messages.empty()) << where;
            EXPECT_EQ(substsAtEnd, sessionGoesOn ? 1u : 0u) << where;
            EXPECT_EQ(unmappedAtEnd, sessionGoesOn) << where;
        }
    }
}

TEST_F(MainFormTest, NothingIsMappedOnceTheProgramIsEnding) {
    platform.AddFile(kDPassword, "pw\r\n");
    SelectRow(1);
    dialogs.prompts = {"pw"};
    dialogs.whilePromptOpen = [&] { form.Form_QueryUnload(UnloadMode::User); };
    Release(kOpen);
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_FALSE(form.state.partitions.VaultOpen[1]);
}

}  // namespace
}  // namespace tovik

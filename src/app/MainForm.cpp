#include "app/MainForm.h"

#include <atomic>

#include "app/PartitionList.h"
#include "platform/Timeline.h"
#include "texts/Texts.h"
#include "vault/DriveMapping.h"
#include "vault/VaultStore.h"

namespace tovik {

namespace {
// A partition that has not answered in a command's time keeps what it said last.
constexpr int kQuestionTimeoutMs = kSubstTimeoutMs;
}  // namespace

// A partition's one question. While it is out, a thread of the platform's writes the look and
// then clears `out`, the last it touches; the window's thread reads the look only once the
// question has answered.
struct MainForm::Question {
    std::atomic<bool> out{false};
    PartitionLook look;
};

MainForm::MainForm(Platform& platform, PartitionListView& list, CommandBarView& bar,
                   FormDialogs& dialogs, FormView& form, TrayIcon& tray)
    : platform_(platform), list_(list), dialogs_(dialogs), form_(form), tray_(tray), bar_(bar) {}

MainForm::~MainForm() = default;

// The other copy's test comes before this, in the program's entry. From here on nothing stops
// start-up: without a drive list the table is empty and only About can be used. Letters that
// an earlier run left on its vaults go first, so that the spare letters and the list are what
// they would have been had that run ended properly. The tray icon itself waits for the first
// showing (FirstShow).
void MainForm::Form_Load() {
    tray_.TrayHook();
    ReportStillMapped(CloseLeftoverMappings(platform_));
    TOVIK_MARK("old_letters");
    const auto drives = platform_.Drives();
    if (!drives) platform_.ShowMessage(text::kNoDriveList, text::kError, kErrorBox);
    state.partitions = drives ? BuildPartitionTable(*drives) : PartitionTable{};
    looks_.assign(static_cast<std::size_t>(state.partitions.PartitionCount), PartitionLook{});
    questions_ = std::make_unique<Question[]>(looks_.size());
    TOVIK_MARK("partition_table");
    // The bar's own settings come first: the selection of the first row then paints the bar
    // as it is to be, once, and only a list with no row leaves the painting to this.
    bar_.HoverIndex = -1;
    bar_.CommandEnabled[kAbout] = true;
    RefreshPartitionList();
    TOVIK_MARK("rows");
    if (list_.SelectedRow() < 0) bar_.RefreshCommandBar();
    TOVIK_MARK("command_bar");
}

// Every rebuild asks each partition afresh and ends on the first row, whatever was selected.
// The first row's answer serves its selection too.
void MainForm::RefreshPartitionList() {
    const int count = state.partitions.PartitionCount;
    Ask(1, count);
    list_.Clear();
    for (int n = 1; n <= count; ++n) {
        list_.AddRow(PartitionRow(state.partitions, n, looks_[n - 1]));
    }
    if (list_.Select(0)) SelectionChanged(false);
}

// Before the window first shows, the partitions are asked here, as start-up always asked them.
// After that a disk that has spun down, goes bad or lies behind a network may take seconds,
// and the window must go on answering: the questions go off the window's thread, which waits
// for them as for subst.exe. A partition that has not answered within a command's time keeps
// what it said last, and is not asked again while that question is still out.
void MainForm::Ask(int first, int last) {
    std::vector<DiskQuestion> asking;
    std::vector<int> asked;
    for (int n = first; n <= last; ++n) {
        const std::string& partition = state.partitions.PartitionNames[n - 1];
        if (!shown_) {
            looks_[n - 1] = LookAtPartition(platform_, partition);
            continue;
        }
        Question& question = questions_[n - 1];
        if (question.out) continue;
        question.out = true;
        asking.push_back({partition, [&platform = platform_, &question, partition] {
                              question.look = LookAtPartition(platform, partition);
                              question.out = false;
                          }});
        asked.push_back(n);
    }
    if (asking.empty()) return;
    const std::vector<bool> answered = platform_.AskAside(std::move(asking), kQuestionTimeoutMs);
    for (std::size_t i = 0; i < asked.size() && i < answered.size(); ++i) {
        if (answered[i]) looks_[asked[i] - 1] = questions_[asked[i] - 1].look;
    }
}

// A selection that changes during a wait (a screen reader's, another program's) is followed
// once the wait is over.
void MainForm::List1_Click() {
    if (platform_.Waiting()) {
        selectionDeferred_ = true;
        return;
    }
    SelectionChanged(true);
    RunDeferred();
}

// The partition is asked afresh, and so is the system about its letter, and its row is
// written again when the answers changed it: the row and the buttons always tell the same
// thing, whatever changed on the disk behind the program's back. A row that cannot be read is
// treated as a partition that cannot: the step its test guards runs, as for a vault, and an
// open flag that cannot be read enables Close.
void MainForm::SelectionChanged(bool ask) {
    TOVIK_SPAN("selection");
    const auto text = list_.RowText(list_.SelectedRow());
    if (text) state.SelectedPartition = text->substr(0, 2);
    const int n = SelectedNumber();
    bool exists = true;
    if (text && state.partitions.Has(n)) {
        if (ask) {
            ForgetLetterIfGone(platform_, state.partitions, n);
            Ask(n, n);
        }
        exists = looks_[n - 1].hasVault;
        const std::string row = PartitionRow(state.partitions, n, looks_[n - 1]);
        if (row != *text) list_.SetSelectedRowText(row);
    }
    bar_.CommandEnabled[kOpen] = exists;
    bar_.CommandEnabled[kNew] = !exists;
    bar_.CommandEnabled[kDelete] = exists;
    bar_.CommandEnabled[kPassword] = exists;
    const auto open = state.partitions.IsOpen(n);
    bar_.CommandEnabled[kClose] = !open || *open;
    bar_.RefreshCommandBar();
}

// While the program waits, the thread still answers what is sent to it, and a button can be
// pressed that way (a screen reader's "invoke", another program's click): it runs nothing.
void MainForm::lblCommand_MouseUp(int index) {
    if (platform_.Waiting()) {
        bar_.CancelPress();
        return;
    }
    if (!bar_.ShowReleaseLook(index)) return;
    switch (index) {
        case kOpen: OpenCommand(); break;
        case kClose: CloseCommand(); break;
        case kNew: NewCommand(); break;
        case kDelete: DeleteCommand(); break;
        case kPassword: PasswordCommand(); break;
        case kAbout: dialogs_.ShowAbout(); break;
        default: break;
    }
    RunDeferred();
}

void MainForm::CommandBarFocus(int index) {
    if (index >= 0) {
        bar_.KeyboardFocus(index);
    } else {
        bar_.KeyboardLeave();
    }
}

// The partition and its number are taken once, when the command starts: the tray menu can
// rebuild the list while the password prompt is open, and the password typed for one
// partition must not open another. Likewise nothing is mapped once the program is ending.
void MainForm::OpenCommand() {
    const int n = SelectedNumber();
    const std::string partition = state.SelectedPartition;
    const auto open = state.partitions.IsOpen(n);
    if (!open) return;
    if (*open && ForgetLetterIfGone(platform_, state.partitions, n)) {
        SelectionChanged(false);  // its row and Close follow
    } else if (*open) {
        platform_.ShowMessage(text::AlreadyOpen(state.partitions.MappedLetters[n - 1]),
                              text::kAppTitle, kNoticeBox);
        return;
    }
    if (!CheckPassword(platform_, dialogs_, state.EnteredPassword, partition, true)) return;
    if (closing_) return;
    OpenVault(platform_, state.partitions, partition, n);
    RefreshPartitionList();
}

void MainForm::CloseCommand() {
    CloseVault(platform_, state.partitions, SelectedNumber());
    RefreshPartitionList();
}

// Only a whole vault is a success; what a New could not finish it has taken away again.
void MainForm::NewCommand() {
    const std::string partition = state.SelectedPartition;
    const bool created = CreateVault(platform_, partition);
    RefreshPartitionList();
    SelectionChanged(true);
    if (created) {
        platform_.ShowMessage(text::kNoPasswordYet, text::kNotice, kNoticeBox);
    } else {
        platform_.ShowMessage(text::kCannotCreate, text::kError, kErrorBox);
    }
}

void MainForm::DeleteCommand() {
    const int n = SelectedNumber();
    const std::string partition = state.SelectedPartition;
    if (!CheckPassword(platform_, dialogs_, state.EnteredPassword, partition, false)) return;
    if (closing_) return;
    // A question that could not be put was not answered Yes: nothing is tried, so nothing is
    // said to have failed.
    const int answer = platform_.ShowMessage(text::kDeleteWarning, text::kWarning, kQuestionBox);
    if (answer != kIdYes || closing_) return;
    // Files deleted behind a letter that still shows them would look like files the user
    // can still reach; CloseVault has said why not.
    if (!CloseVault(platform_, state.partitions, n)) return;
    if (DeleteVault(platform_, partition) == DeleteResult::Incomplete) {
        platform_.ShowMessage(text::kCannotDelete, text::kError, kErrorBox);
    }
    RefreshPartitionList();
}

// The dialog saves for the partition the command started on, even if the list was rebuilt
// behind it in the meantime.
void MainForm::PasswordCommand() {
    const std::string partition = state.SelectedPartition;
    const auto hasPassword = PasswordFileExists(platform_, partition);
    if (!hasPassword || *hasPassword) {
        if (!CheckPassword(platform_, dialogs_, state.EnteredPassword, partition, false)) return;
        if (closing_) return;
    }
    dialogs_.ShowSetPassword(
        [&](SetPasswordView& view) { AcceptNewPassword(platform_, partition, view); });
}

// With a dialog of ours open, the tray brings that dialog forward instead of freeing the
// window behind it, and About is not stacked on top of it.
void MainForm::mnFileItems_Click(int index) {
    if (platform_.Waiting() && index != kMenuExit) return;
    switch (index) {
        case kMenuRestore: RestoreFromTray(); break;
        case kMenuCloseAll: {
            const auto stillMapped = CloseAllVaults(platform_, state.partitions);
            RefreshPartitionList();
            ReportStillMapped(stillMapped);
            break;
        }
        case kMenuAbout:
            if (!form_.ModalOpen()) lblCommand_MouseUp(kAbout);
            break;
        case kMenuExit: Form_Close(); break;
        default: break;
    }
    RunDeferred();
}

// The shell sends the icon's clicks, and a sent message runs even inside a wait: then the
// click is dropped, as every click on the window is, and no menu opens over the wait.
void MainForm::TrayIcon_Click(bool rightButton) {
    if (platform_.Waiting()) return;
    if (rightButton) {
        tray_.ShowMenu();
    } else {
        RestoreFromTray();
    }
}

// The user who started the program again is waiting for its window, so the request is kept
// rather than dropped: it is answered once the wait is over, or by the first showing when it
// came before that. A window shown earlier would show a list not yet filled.
void MainForm::ComeForward() {
    if (platform_.Waiting() || (!shown_ && !form_.ModalOpen())) {
        restoreDeferred_ = true;
        return;
    }
    RestoreFromTray();
}

// The requests kept during a wait, once it is over: the selection, the window the user asked
// for, then the close.
void MainForm::RunDeferred() {
    if (platform_.Waiting() || closing_) return;
    while (selectionDeferred_ && !closeDeferred_) {
        selectionDeferred_ = false;
        SelectionChanged(true);
    }
    if (restoreDeferred_) {
        restoreDeferred_ = false;
        RestoreFromTray();
    }
    if (closeDeferred_) {
        closeDeferred_ = false;
        Form_Close();
    }
}

void MainForm::RestoreFromTray() {
    if (form_.ModalOpen()) {
        form_.BringModalToFront();
    } else {
        form_.ShowNormal();
    }
}

// The icon is no part of the window the user waits for, and adding it is a round trip to the
// shell: it comes once the window is up, on the timer of the retries, which the system runs
// only when the window has nothing else to do. A minimised start needs the shell's answer
// first, as it decides where the window waits.
void MainForm::FirstShow(bool minimized) {
    shown_ = true;
    if (restoreDeferred_) {  // a second start asked for the window meanwhile
        restoreDeferred_ = false;
        minimized = false;
    }
    if (!minimized) {
        form_.ShowNormal();
        tray_.RetryLater(0);
    } else {
        TrayRetry();
        if (!trayIcon_) form_.ShowMinimized();
    }
    RunDeferred();
}

// The shell may refuse the icon at logon, before it is ready, or when it is busy; it is asked
// again a few times over some seconds, and whenever it starts afresh.
void MainForm::ScheduleTrayRetry() {
    constexpr int kTrayRetries = 4;
    constexpr int kFirstRetryMs = 1000;
    if (trayRetries_ < kTrayRetries) tray_.RetryLater(kFirstRetryMs << trayRetries_++);
}

void MainForm::TrayRetry() {
    if (trayIcon_ || closing_) return;
    trayIcon_ = tray_.TrayAdd(text::kTrayTip);
    if (!trayIcon_) ScheduleTrayRetry();
    TOVIK_MARK("tray_icon");
    TOVIK_TIMELINE_WRITE();
}

// A window hidden in a tray that has no icon any more could never be brought back: it goes to
// the taskbar instead.
void MainForm::TaskbarCreated() {
    if (closing_) return;
    trayIcon_ = tray_.TrayAdd(text::kTrayTip);
    if (trayIcon_) return;
    trayRetries_ = 0;
    ScheduleTrayRetry();
    if (form_.IsHidden()) form_.ShowMinimized();
}

// Only an icon can bring back a hidden window; without one the window stays on the taskbar.
void MainForm::Form_Resize() {
    if (form_.IsMinimized() && trayIcon_) form_.Hide();
}

// A close during a wait is kept for after it: the command under way ends first.
void MainForm::Form_Close() {
    if (platform_.Waiting()) {
        closeDeferred_ = true;
    } else {
        form_.Unload();
    }
}

// Windows gives a program about five seconds here, and may end it as soon as this returns. At
// a logoff or a shutdown the logon session's drive letters go with the session, so there is
// nothing to unmap: the program waited for is stopped, so that it maps nothing after this, the
// icon goes and the process ends at once. Only when the program alone is closed and the session
// goes on would the letters stay; then every vault is closed as at exit, within the one time
// limit, and silently. Waiting, the thread stands inside a command that must not go on: every
// letter on a vault (the one that command was mapping included) is removed, and the process
// ends here.
void MainForm::Form_EndSession(bool sessionGoesOn) {
    if (sessionGoesOn && !platform_.Waiting()) {
        form_.UnloadForSessionEnd();
        return;
    }
    closing_ = true;
    platform_.StopWaitedProgram();
    if (sessionGoesOn) CloseLeftoverMappings(platform_);
    tray_.TrayRemove();
    form_.EndNow();
}

// Every way out comes through here: the close box, the tray's exit item and the end of the
// session. No vault may stay mapped after the program has gone; one that does is named, but
// the program ends all the same, and at the end of the session it ends without a word.
void MainForm::Form_QueryUnload(UnloadMode mode) {
    closing_ = true;
    const auto stillMapped = CloseAllVaults(platform_, state.partitions);
    if (mode != UnloadMode::SessionEnd) ReportStillMapped(stillMapped);
    tray_.TrayRemove();
}

void MainForm::ReportStillMapped(const std::vector<std::string>& letters) {
    if (letters.empty()) return;
    std::string joined;
    for (const std::string& letter : letters) {
        joined.append(joined.empty() ? "" : " ").append(letter);
    }
    platform_.ShowMessage(text::LettersStillMapped(joined), text::kError, kErrorBox);
}

}  // namespace tovik

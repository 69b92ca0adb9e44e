// The main window's logic: start-up, the partition list, the command bar and the commands,
// the tray menu and the window states.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandBar.h"
#include "app/PartitionList.h"
#include "password/PasswordFile.h"
#include "platform/Platform.h"
#include "vault/PartitionTable.h"

namespace tovik {

// List1. Selecting a row here raises no event; the logic runs the selection handler itself.
class PartitionListView {
public:
    virtual ~PartitionListView() = default;
    virtual void Clear() = 0;
    virtual void AddRow(std::string_view text) = 0;
    virtual bool Select(int row) = 0;
    virtual int SelectedRow() = 0;  // -1 for none
    virtual std::optional<std::string> RowText(int row) = 0;
    // The text of the selected row, which stays selected.
    virtual void SetSelectedRowText(std::string_view text) = 0;
};

// The modal windows the commands show.
class FormDialogs : public PasswordPrompt {
public:
    virtual void ShowSetPassword(const std::function<void(SetPasswordView&)>& onOk) = 0;
    virtual void ShowAbout() = 0;
};

// The notification-area icon and the hook on the main window's messages.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // The hook, which comes before the icon.
    virtual void TrayHook() = 0;
    // The icon with its tip, or the tip on an icon the shell has already; false when the shell
    // did not take the icon.
    virtual bool TrayAdd(std::string_view tip) = 0;
    virtual void TrayRemove() = 0;
    // MainForm::TrayRetry runs once the time has passed.
    virtual void RetryLater(int delayMs) = 0;
    // mnTray, at the pointer.
    virtual void ShowMenu() = 0;
};

// Form1 as a window: its state, visibility and end.
class FormView {
public:
    virtual ~FormView() = default;
    virtual bool ModalOpen() = 0;
    virtual void BringModalToFront() = 0;
    virtual void ShowNormal() = 0;     // window state normal, visible, focus
    virtual void ShowMinimized() = 0;  // on the taskbar, not activated
    virtual bool IsMinimized() = 0;
    virtual bool IsHidden() = 0;
    virtual void Hide() = 0;
    virtual void Unload() = 0;  // runs Form_QueryUnload, then closes the window
    // The same for the end of the session.
    virtual void UnloadForSessionEnd() = 0;
    // Ends the process at once, wherever the thread stands.
    virtual void EndNow() = 0;
};

// Why the window closes: the user (close box, tray menu) or the end of the session, when
// nothing may be shown any more.
enum class UnloadMode { User, SessionEnd };

// mnFileItems, the tray menu's items by index; 1 and 4 are separators.
enum TrayMenuItem : int {
    kMenuRestore = 0,
    kMenuCloseAll = 2,
    kMenuAbout = 3,
    kMenuExit = 5,
    kTrayMenuItemCount = 6,
};

struct AppState {
    PartitionTable partitions;
    std::string SelectedPartition;
    std::string EnteredPassword;
};

class MainForm {
public:
    MainForm(Platform& platform, PartitionListView& list, CommandBarView& bar, FormDialogs& dialogs,
             FormView& form, TrayIcon& tray);
    ~MainForm();

    void Form_Load();
    // The first showing, as the launcher asked: a window that is only ever of one size opens
    // at that size, and its tray icon follows; a minimised one waits in the tray, or on the
    // taskbar while there is no icon.
    void FirstShow(bool minimized);
    void RefreshPartitionList();
    void List1_Click();
    void lblCommand_MouseDown(int index) { bar_.lblCommand_MouseDown(index); }
    void lblCommand_MouseMove(int index) { bar_.lblCommand_MouseMove(index); }
    void lblCommand_MouseUp(int index);
    // The pointer was released away from the label it pressed.
    void lblCommand_ReleasedAway() { bar_.CancelPress(); }
    // The keyboard's focus came to button `index` of the bar, or left the bar for another
    // control of the window (-1).
    void CommandBarFocus(int index);
    void Form_MouseMove() { bar_.PointerLeftButtons(); }
    void List1_MouseMove() { bar_.PointerLeftButtons(); }
    void mnFileItems_Click(int index);
    // The tray icon's click: the left button brings the window back, the right one the menu.
    void TrayIcon_Click(bool rightButton);
    // Another start of the program asks this one to come forward.
    void ComeForward();
    void RestoreFromTray();
    void TrayRetry();
    void TaskbarCreated();  // the shell started again and knows no icon of ours
    void Form_Resize();
    // The close box, Alt+F4, the tray's exit or a close sent by another program.
    void Form_Close();
    // The session ends (logoff, shutdown), or only the program is closed while the session
    // goes on (an installer, an update): afterwards the system may end the process at any
    // moment.
    void Form_EndSession(bool sessionGoesOn);
    void Form_QueryUnload(UnloadMode mode);

    AppState state;
    const CommandBar& Bar() const { return bar_; }

private:
    void OpenCommand();
    void CloseCommand();
    void NewCommand();
    void DeleteCommand();
    void PasswordCommand();
    void SelectionChanged(bool ask);
    void Ask(int first, int last);
    void ReportStillMapped(const std::vector<std::string>& letters);
    void ScheduleTrayRetry();
    void RunDeferred();
    int SelectedNumber() { return list_.SelectedRow() + 1; }

    Platform& platform_;
    PartitionListView& list_;
    FormDialogs& dialogs_;
    FormView& form_;
    TrayIcon& tray_;
    CommandBar bar_;
    bool closing_ = false;
    bool shown_ = false;
    bool restoreDeferred_ = false;    // a come-forward that arrived during a wait
    bool closeDeferred_ = false;      // a close that arrived during a wait
    bool selectionDeferred_ = false;  // a selection that changed during a wait
    // What each partition said when it was last asked, and each one's question.
    struct Question;
    std::vector<PartitionLook> looks_;
    std::unique_ptr<Question[]> questions_;
    bool trayIcon_ = false;  // the shell shows our icon
    int trayRetries_ = 0;
};

}  // namespace tovik

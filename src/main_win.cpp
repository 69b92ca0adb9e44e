// Tovik.exe: puts the windows, the platform and the logic together and runs the messages.
#include <windows.h>

#include <commctrl.h>

#include "about/AboutWindow_win.h"
#include "app/MainForm.h"
#include "app/MainWindow_win.h"
#include "app/ShellSession.h"
#include "password/PasswordDialogs_win.h"
#include "platform/Timeline.h"
#include "platform/win32/Dialog.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "tray/TrayIcon_win.h"

namespace tovik::win {
namespace {

// Each showing makes its window afresh, so every dialog opens as designed.
class Win32Dialogs : public FormDialogs {
public:
    explicit Win32Dialogs(ModalHost& host) : host_(host) {}
    std::optional<std::string> AskPassword() override { return PasswordPromptDialog(host_).Run(); }
    void ShowSetPassword(const std::function<void(SetPasswordView&)>& onOk) override {
        SetPasswordDialog(host_).Run(onOk);
    }
    void ShowAbout() override { AboutWindow(host_).Run(); }

private:
    ModalHost& host_;
};

bool IsMinimizeCommand(int showCommand) {
    return showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE ||
           showCommand == SW_SHOWMINNOACTIVE || showCommand == SW_FORCEMINIMIZE;
}

int Run(int showCommand, PCWSTR commandLine) {
    Win32Platform platform;
    // Run as administrator, the program would map letters the user's Explorer cannot see; it
    // starts again as the user instead, before it takes the single-copy name or makes a window.
    if (!StartInShellSession(platform, Narrow(commandLine ? commandLine : L""))) return 0;
    // A second copy ends here, before it has a window or an icon. A user who starts the
    // program again is looking for its window (on Windows 11 a new icon waits in the hidden
    // part of the tray), so the running copy is asked to come forward first.
    if (platform.AnotherInstanceRunning()) {
        MainWindow::BringRunningCopyForward();
        return 0;
    }
    TOVIK_MARK("single_instance");

    ModalHost host;
    MainWindow window(host);
    if (!window.Create()) return 1;
    TOVIK_MARK("window");
    host.SetMainWindow(window.Handle());
    Win32Dialogs dialogs(host);
    Win32Tray tray(window, window.TrayMenu());
    MainForm form(platform, window, window.Panel(), dialogs, window, tray);
    window.Attach(form);
    tray.Attach(form);
    platform.SetMainWindow(window.Handle());
    platform.SetOwnerSource([&host] { return host.Owner(); });

    form.Form_Load();
    form.FirstShow(IsMinimizeCommand(showCommand));
    TOVIK_MARK("first_showing");
    TOVIK_TIMELINE_WRITE();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window.Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // A disk that never answered still holds a thread in a question to the platform: the
    // process ends here, while the platform is still there, and the system closes the rest.
    if (Win32Platform::QuestionsOut()) ExitProcess(static_cast<UINT>(msg.wParam));
    return static_cast<int>(msg.wParam);
}

// A program run from a download folder or a USB stick must not load a library that was put
// beside it: the system and the shell load several by name long after start-up. Only the
// system folder is searched from here on. Windows 7 has the call only with its update
// KB2533623; without it, the current folder at least leaves the search.
void RestrictLibrarySearch() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC setDefault =
        kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (!setDefault || !reinterpret_cast<SetDefaultDllDirectoriesFunction>(
                           reinterpret_cast<void*>(setDefault))(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

}  // namespace
}  // namespace tovik::win

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
    TOVIK_MARK("entry");
    tovik::win::RestrictLibrarySearch();
    // Drives that are not ready must not raise the system's own error boxes; what the
    // launcher's error mode asks for besides stays.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    TOVIK_MARK("common_controls");
    try {
        return tovik::win::Run(showCommand, commandLine);
    } catch (...) {
        return 1;
    }
}

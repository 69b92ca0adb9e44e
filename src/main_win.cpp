// Tovik.exe: puts the windows, the platform and the logic together and runs the messages.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "about/AboutWindow_win.h"
#include "app/MainForm.h"
#include "app/MainWindow_win.h"
#include "password/PasswordDialogs_win.h"
#include "platform/win32/Dialog.h"
#include "platform/win32/Win32Platform.h"
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

int Run(int showCommand) {
    Win32Platform platform;
    // A second copy ends here, before it has a window or an icon.
    if (platform.AnotherInstanceRunning()) return 0;

    ModalHost host;
    MainWindow window(host);
    if (!window.Create()) return 1;
    Win32Dialogs dialogs(host);
    Win32Tray tray(window.Handle(), window.TrayMenu(), window.SmallIcon());
    MainForm form(platform, window, window.Panel(), dialogs, window, tray);
    window.Attach(form);
    tray.OnLeftClick([&form] { form.RestoreFromTray(); });
    platform.SetMainWindow(window.Handle());
    platform.SetOwnerSource([&] { return host.Top() ? host.Top() : window.Handle(); });

    form.Form_Load();
    window.Show(showCommand);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window.Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace
}  // namespace tovik::win

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // Drives that are not ready must not raise the system's own error boxes.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const bool ole = SUCCEEDED(OleInitialize(nullptr));
    int code = 0;
    try {
        code = tovik::win::Run(showCommand);
    } catch (...) {
        code = 1;
    }
    if (ole) OleUninitialize();
    return code;
}

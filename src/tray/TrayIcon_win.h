// The notification-area icon and the window hook that receives its clicks.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "app/MainForm.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Window.h"

namespace tovik::win {

constexpr UINT kTrayCallbackMessage = 2025;

class Win32Tray : public TrayIcon, public MessageHook {
public:
    // form: the window that owns the icon; menu: the pop-up shown on a right click.
    Win32Tray(Window& form, HMENU menu);
    ~Win32Tray() override;
    Win32Tray(const Win32Tray&) = delete;
    Win32Tray& operator=(const Win32Tray&) = delete;
    // The logic the icon's clicks, the retries and a restarted shell go to.
    void Attach(MainForm& form) { logic_ = &form; }

    void TrayHook() override;
    bool TrayAdd(std::string_view tip) override;
    void TrayRemove() override;
    void RetryLater(int delayMs) override;
    void ShowMenu() override;

    // The hook on the window's messages.
    bool HookMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT& result) override;

private:
    void FollowResolution(bool tellShell);

    Window& window_;
    HWND form_;
    HMENU menu_;
    UniqueIcon icon_;  // the program's icon at the notification area's resolution
    int iconSize_ = 0;
    bool hooked_ = false;
    NOTIFYICONDATAW data_{};
    UINT taskbarCreated_;
    MainForm* logic_ = nullptr;
};

}  // namespace tovik::win

// The notification-area icon and the window hook that receives its clicks.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "app/MainForm.h"
#include "platform/win32/Handles.h"

namespace tovik::win {

constexpr UINT kTrayCallbackMessage = 2025;

class Win32Tray : public TrayIcon {
public:
    // form: the window that owns the icon; menu: the pop-up shown on a right click.
    Win32Tray(HWND form, HMENU menu);
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

private:
    static LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void FollowResolution(bool tellShell);

    HWND form_;
    HMENU menu_;
    UniqueIcon icon_;  // the program's icon at the notification area's resolution
    int iconSize_ = 0;
    WNDPROC previous_ = nullptr;
    // The program has one icon, and its hook finds it here rather than in a window property:
    // under Wine each reading of a property is a round trip to the server, and the hook reads
    // it for every message the window gets. A property that could not be set would also have
    // left every message to the default handling.
    static inline Win32Tray* hooked_ = nullptr;
    NOTIFYICONDATAW data_{};
    UINT taskbarCreated_;
    MainForm* logic_ = nullptr;
};

}  // namespace tovik::win

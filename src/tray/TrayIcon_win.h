// The notification-area icon and the window hook that receives its clicks.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>

#include "app/MainForm.h"

namespace tovik::win {

constexpr UINT kTrayCallbackMessage = 2025;

class Win32Tray : public TrayIcon {
public:
    // form: the window that owns the icon; menu: the pop-up shown on a right click.
    Win32Tray(HWND form, HMENU menu, HICON icon);
    ~Win32Tray() override;
    Win32Tray(const Win32Tray&) = delete;
    Win32Tray& operator=(const Win32Tray&) = delete;
    void OnLeftClick(std::function<void()> restore) { restore_ = std::move(restore); }

    void TrayAdd() override;
    void TraySetTip(std::string_view text) override;
    void TrayRemove() override;

private:
    static LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowMenu();

    HWND form_;
    HMENU menu_;
    HICON icon_;
    WNDPROC previous_ = nullptr;
    NOTIFYICONDATAW data_{};
    UINT taskbarCreated_;
    std::function<void()> restore_;
};

}  // namespace tovik::win

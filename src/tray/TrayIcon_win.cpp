#include "tray/TrayIcon_win.h"

#include <algorithm>

#include "platform/Timeline.h"
#include "platform/win32/WinText.h"

namespace tovik::win {

namespace {
constexpr wchar_t kTrayProperty[] = L"Tovik.Tray";
constexpr UINT_PTR kRetryTimer = 2025;
}

Win32Tray::Win32Tray(HWND form, HMENU menu, HICON icon)
    : form_(form),
      menu_(menu),
      icon_(icon),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}

// A start-up that unwinds after TrayAdd leaves no icon behind, and no hook that would hand the
// window's messages to a tray that is gone.
Win32Tray::~Win32Tray() {
    if (previous_) TrayRemove();
}

// The hook goes in before the icon exists, so that no click of the icon can reach the window
// unhooked; the retries' timer comes to it too.
void Win32Tray::TrayHook() {
    if (previous_) return;
    SetPropW(form_, kTrayProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        form_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Tray::TrayWindowProc)));
}

// The icon comes with its tip, one round trip to the shell. A shell that was busy may have
// added the icon and still answered with a failure; then the add fails now and a change finds
// the icon. One record serves every call; its size is the oldest version's, which every shell
// takes. The tip is left-aligned in its field: the text, one NUL, then blanks to the end.
bool Win32Tray::TrayAdd(std::string_view tip) {
    TOVIK_SPAN("tray_add");
    constexpr std::size_t kField = 64;
    std::wstring field = Widen(tip);
    const std::size_t length = std::min(field.size(), kField - 1);
    field.resize(kField, L' ');
    field[length] = L'\0';
    std::copy(field.begin(), field.end(), data_.szTip);
    data_.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data_.hWnd = form_;
    data_.uID = 0;
    data_.hIcon = icon_;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = kTrayCallbackMessage;
    return Shell_NotifyIconW(NIM_ADD, &data_) || Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void Win32Tray::RetryLater(int delayMs) {
    SetTimer(form_, kRetryTimer, static_cast<UINT>(delayMs), nullptr);
}

void Win32Tray::TrayRemove() {
    KillTimer(form_, kRetryTimer);
    data_.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &data_);
    if (previous_) {
        SetWindowLongPtrW(form_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        previous_ = nullptr;
    }
    RemovePropW(form_, kTrayProperty);
}

// The pop-up closes when the user clicks elsewhere only if its window is in front while it
// is shown and gets a message after it.
void Win32Tray::ShowMenu() {
    POINT pointer{};
    GetCursorPos(&pointer);
    SetForegroundWindow(form_);
    TrackPopupMenu(menu_, 0, pointer.x, pointer.y, 0, form_, nullptr);
    PostMessageW(form_, WM_NULL, 0, 0);
}

LRESULT CALLBACK Win32Tray::TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* tray = static_cast<Win32Tray*>(GetPropW(hwnd, kTrayProperty));
    if (!tray || !tray->previous_) return DefWindowProcW(hwnd, message, wParam, lParam);
    const WNDPROC previous = tray->previous_;
    try {
        if (message == kTrayCallbackMessage && lParam == WM_LBUTTONUP) {
            if (tray->logic_) tray->logic_->RestoreFromTray();
            return 0;
        }
        if (message == kTrayCallbackMessage && lParam == WM_RBUTTONUP) {
            tray->ShowMenu();
            return 0;
        }
        if (message == WM_TIMER && wParam == kRetryTimer) {
            KillTimer(hwnd, kRetryTimer);
            if (tray->logic_) tray->logic_->TrayRetry();
            return 0;
        }
        // A restarted shell has forgotten the icon.
        if (message == tray->taskbarCreated_ && tray->logic_) tray->logic_->TaskbarCreated();
    } catch (...) {
        return 0;
    }
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

}  // namespace tovik::win

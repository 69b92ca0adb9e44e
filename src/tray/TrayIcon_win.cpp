#include "tray/TrayIcon_win.h"

#include <algorithm>

#include "platform/Timeline.h"
#include "platform/win32/MessageFilter.h"
#include "platform/win32/WinText.h"
#include "platform/win32/Window.h"
#include "resource.h"

namespace tovik::win {

namespace {
constexpr UINT_PTR kRetryTimer = 2025;
}

namespace {
constexpr UINT_PTR kResolutionTimer = 2026;

// The notification area shows its icons at the resolution of the taskbar that holds it, which
// follows the scaling of its monitor (the primary one unless the user moved the taskbar): not
// necessarily the resolution the program started with, nor the main window's.
int NotificationIconSize() {
    return SystemMetric(SM_CXSMICON, Dpi::Of(FindWindowW(L"Shell_TrayWnd", nullptr)));
}
}  // namespace

// The icon is loaded again only when its size changed. Told, the shell shows the new one before
// the old one goes; when the shell does not answer, the new one is still what the next add or
// change hands it.
void Win32Tray::FollowResolution(bool tellShell) {
    const int size = NotificationIconSize();
    if (icon_ && size == iconSize_) return;
    UniqueIcon icon(static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TOVIK), IMAGE_ICON, size, size, 0)));
    if (!icon) return;
    data_.hIcon = icon.Get();
    if (tellShell) {
        data_.uFlags = NIF_ICON;
        Shell_NotifyIconW(NIM_MODIFY, &data_);
    }
    icon_ = std::move(icon);
    iconSize_ = size;
}

// A shell of lower rights than the program (one run as administrator that found no shell to
// compare with at its start) still reaches the icon: its clicks come as the callback message,
// and a restarted shell asks for the icon again with TaskbarCreated.
Win32Tray::Win32Tray(Window& form, HMENU menu)
    : window_(form),
      form_(form.Handle()),
      menu_(menu),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
    AcceptFromLowerRights(form_, taskbarCreated_);
    AcceptFromLowerRights(form_, kTrayCallbackMessage);
}

// A start-up that unwinds after TrayAdd leaves no icon behind, and no hook that would hand the
// window's messages to a tray that is gone.
Win32Tray::~Win32Tray() {
    if (hooked_) TrayRemove();
}

// The hook goes in before the icon exists, so that no click of the icon can reach the window
// unhooked; the retries' timer comes to it too. The window is the program's own, so no window
// procedure is replaced for it: the window's own asks the hook first.
void Win32Tray::TrayHook() {
    window_.SetHook(this);
    hooked_ = true;
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
    FollowResolution(false);
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = kTrayCallbackMessage;
    return Shell_NotifyIconW(NIM_ADD, &data_) || Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void Win32Tray::RetryLater(int delayMs) {
    SetTimer(form_, kRetryTimer, static_cast<UINT>(delayMs), nullptr);
}

void Win32Tray::TrayRemove() {
    KillTimer(form_, kRetryTimer);
    KillTimer(form_, kResolutionTimer);
    data_.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &data_);
    if (hooked_) window_.SetHook(nullptr);
    hooked_ = false;
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

// The window's procedure guards against what a handler throws.
bool Win32Tray::HookMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) {
    result = 0;
    if (message == kTrayCallbackMessage && (lParam == WM_LBUTTONUP || lParam == WM_RBUTTONUP)) {
        if (logic_) logic_->TrayIcon_Click(lParam == WM_RBUTTONUP);
        return true;
    }
    if (message == WM_TIMER && wParam == kRetryTimer) {
        KillTimer(hwnd, kRetryTimer);
        if (logic_) logic_->TrayRetry();
        return true;
    }
    // Any of these may come with a new resolution of the taskbar's monitor; they come in
    // bursts, and are sent, often by the shell itself, which the icon's change must not call
    // back into: the icon follows once they are over.
    if (message == WM_DISPLAYCHANGE || message == WM_SETTINGCHANGE || message == WM_DPICHANGED) {
        SetTimer(hwnd, kResolutionTimer, 250, nullptr);
    } else if (message == WM_TIMER && wParam == kResolutionTimer) {
        KillTimer(hwnd, kResolutionTimer);
        FollowResolution(true);
        return true;
    }
    // A restarted shell has forgotten the icon.
    if (message == taskbarCreated_ && logic_) logic_->TaskbarCreated();
    return false;
}

}  // namespace tovik::win

#include "platform/win32/Dialog.h"

#include "platform/ScreenPlace.h"
#include "platform/win32/Picture.h"
#include "platform/win32/ThreadWait.h"

namespace tovik::win {

namespace {

BOOL CALLBACK CollectEnabled(HWND hwnd, LPARAM lParam) {
    if (IsWindowEnabled(hwnd)) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

// A dialog template with no controls; the controls are made in code at their pixels.
struct alignas(4) EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu;
    WORD windowClass;
    WORD title;
};
}  // namespace

// Enter acts on its key-down, so a key held down on the window below goes on repeating into
// the dialog, message box or shell question that it opened, where it would answer it unread.
// Every modal loop of the thread (ours, the message boxes', the shell's) asks this filter
// first; a key pressed in the dialog itself starts without the repeat bit.
namespace {
LRESULT CALLBACK DropHeldEnter(int code, WPARAM wParam, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN &&
        (msg->lParam & (1 << 30))) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

ModalHost::ModalHost()
    : heldEnter_(SetWindowsHookExW(WH_MSGFILTER, DropHeldEnter, nullptr, GetCurrentThreadId())) {}

// The loop ends when the dialog is gone. A quit request (the program ending while the dialog
// is open) closes the dialog as a cancel and is handed on to the loop outside.
void ModalHost::Run(HWND dialog) {
    Frame frame{dialog, GetActiveWindow(), {}};
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        if (window == dialog) continue;
        EnableWindow(window, FALSE);
        frame.disabled.push_back(window);
    }
    frames_.push_back(std::move(frame));

    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    MSG msg;
    while (IsWindow(dialog)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            End(dialog);
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (CallMsgFilterW(&msg, MSGF_DIALOGBOX)) continue;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// The other windows come back before the dialog goes, so that the system hands the
// activation back to the program's window and not to some other program.
void ModalHost::End(HWND dialog) {
    for (auto it = frames_.begin(); it != frames_.end(); ++it) {
        if (it->dialog != dialog) continue;
        Frame frame = std::move(*it);
        frames_.erase(it);
        for (HWND window : frame.disabled) {
            if (IsWindow(window)) EnableWindow(window, TRUE);
        }
        if (frame.previousActive && IsWindowVisible(frame.previousActive)) {
            SetActiveWindow(frame.previousActive);
        }
        break;
    }
    if (IsWindow(dialog)) DestroyWindow(dialog);
}

Dialog::~Dialog() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

// The dialog opens on the monitor its owner stands on, however many there are: it is moved
// to that monitor's work area first, where it takes the monitor's resolution, and then sized
// at that resolution and placed as the design says from the work area's corner.
void Dialog::ShowModal(const wchar_t* title, int clientWidth, int clientHeight, int screenLeft,
                       int screenTop) {
    const PixelRect workArea = WorkAreaOf(host_.Owner());
    EmptyTemplate dialogTemplate{};
    dialogTemplate.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    if (!CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.header,
                                    host_.Owner(), Procedure, reinterpret_cast<LPARAM>(this))) {
        return;
    }
    KeepDialogFromScaling(hwnd_);
    SetWindowTextW(hwnd_, title);
    client_ = {0, 0, clientWidth, clientHeight};
    SetWindowPos(hwnd_, nullptr, workArea.left, workArea.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    dpi_ = Dpi::Of(hwnd_);
    PlaceWindow(hwnd_, 0, 0, dpi_.Px(clientWidth), dpi_.Px(clientHeight), dpi_, SWP_NOMOVE);
    PlaceOn(workArea, screenLeft, screenTop);
    font_.Reset(CreateDefaultFont(dpi_));
    OnInit();
    host_.Run(hwnd_);
}

// The monitor nearest to the owner (the one with most of it, or where it stood before it was
// minimised or hidden in the tray). Without an answer the dialog goes where it always went:
// from the screen's corner.
PixelRect Dialog::WorkAreaOf(HWND owner) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const HMONITOR monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info)) {
        return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
    }
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The frame is measured on the window as it stands, sized for its resolution.
void Dialog::PlaceOn(const PixelRect& workArea, int screenLeft, int screenTop) {
    RECT window{};
    POINT client{0, 0};
    if (!GetWindowRect(hwnd_, &window) || !ClientToScreen(hwnd_, &client)) return;
    const PixelRect frame{window.left - client.x, window.top - client.y, window.right - client.x,
                          window.bottom - client.y};
    const PixelRect placed = PlaceOnWorkArea(screenLeft, screenTop, frame, workArea, dpi_.value);
    SetWindowPos(hwnd_, nullptr, placed.left, placed.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Every control goes back to its twips at the new resolution, with the font of that
// resolution; the new font is in use before the old one goes. A dialog that is still being
// moved to its monitor has nothing laid out yet: ShowModal sizes it once it stands there.
void Dialog::ChangeResolution(int dpi, const RECT& suggested) {
    dpi_ = Dpi{dpi};
    if (!font_) return;
    PlaceWindow(hwnd_, suggested.left, suggested.top, dpi_.Px(client_.width),
                dpi_.Px(client_.height), dpi_);
    UniqueFont font(CreateDefaultFont(dpi_));
    for (const Placed& placed : controls_) {
        const RECT r =
            dpi_.Rect(placed.rect.left, placed.rect.top, placed.rect.width, placed.rect.height);
        SetWindowPos(placed.control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(placed.control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    }
    font_ = std::move(font);
    if (icon_) LoadIcons();
    OnLayout();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Dialog::UseIcon(int resource) {
    icon_ = resource;
    LoadIcons();
}

void Dialog::LoadIcons() {
    UniqueIcon big = IconFromResource(icon_, SystemMetric(SM_CXICON, dpi_));
    UniqueIcon small = IconFromResource(icon_, SystemMetric(SM_CXSMICON, dpi_));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);
}

void Dialog::Close() {
    if (hwnd_) host_.End(hwnd_);
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

HWND Dialog::AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id,
                        int left, int top, int width, int height, DWORD exStyle) {
    const RECT r = dpi_.Rect(left, top, width, height);
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, r.left,
                                   r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    controls_.push_back({control, {left, top, width, height}});
    return control;
}

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return FALSE;  // the focus is set by the dialog's OnInit
    }
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
        return FALSE;
    }
    if (message == WM_SETCURSOR && WaitCursorShown()) {
        SetWaitCursor();
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    try {
        if (message == WM_DPICHANGED) {
            dialog->ChangeResolution(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return TRUE;
        }
        LRESULT result = 0;
        if (!dialog->OnMessage(message, wParam, lParam, result)) return FALSE;
        // Colour messages answer with the brush itself; the others through DWLP_MSGRESULT.
        if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) return result;
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

}  // namespace tovik::win

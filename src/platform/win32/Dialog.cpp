#include "platform/win32/Dialog.h"

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

void Dialog::ShowModal(const wchar_t* title, int clientWidth, int clientHeight, int screenLeft,
                       int screenTop) {
    dpi_ = Dpi::OfScreen();
    font_.Reset(CreateDefaultFont(dpi_));
    EmptyTemplate dialogTemplate{};
    dialogTemplate.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    if (!CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.header,
                                    host_.Owner(), Procedure, reinterpret_cast<LPARAM>(this))) {
        return;
    }
    SetWindowTextW(hwnd_, title);
    PlaceByClientArea(hwnd_, dpi_.X(screenLeft), dpi_.Y(screenTop), dpi_.X(clientWidth),
                      dpi_.Y(clientHeight));
    OnInit();
    host_.Run(hwnd_);
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
    try {
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

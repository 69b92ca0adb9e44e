#include "password/PasswordDialogs_win.h"

#include "platform/Text.h"
#include "platform/win32/WinText.h"
#include "resource.h"
#include "texts/Texts.h"

namespace tovik::win {

namespace {
enum ControlId : int {
    kPromptOk = IDOK,
    kPromptText = 1002,
    kPromptLabel = 1003,
    kPromptPicture = 1004,
    kSetOk = 1101,  // not IDOK: Enter in a box must click nothing here
    kSetCancel = 1102,
    kSetFirst = 1103,
    kSetSecond = 1104,
    kSetFirstLabel = 1105,
    kSetSecondLabel = 1106,
};

constexpr DWORD kPasswordBox = WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;

void UsePasswordCharacter(HWND box) { SendMessageW(box, EM_SETPASSWORDCHAR, L'#', 0); }

// A label as big as its text, as an auto-sized label is.
void FitToText(HWND label) {
    RECT extent{0, 0, 0, 0};
    {
        const WindowDC dc(label);
        SelectObjectScope font(dc.Get(),
                               reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        DrawTextW(dc.Get(), Widen(ControlText(label)).c_str(), -1, &extent,
                  DT_CALCRECT | DT_SINGLELINE);
    }
    SetWindowPos(label, nullptr, 0, 0, extent.right, extent.bottom, SWP_NOMOVE | SWP_NOZORDER);
}
}  // namespace

std::string ControlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
    std::string utf8 = Narrow(text);
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    return utf8;
}

namespace {
// The box's own buffer is written over before the box goes, so that a password typed into it
// does not stay behind in memory that is handed out again.
void ScrubBox(HWND box) {
    const int length = GetWindowTextLengthW(box);
    if (length <= 0) return;
    SetWindowTextW(box, std::wstring(static_cast<std::size_t>(length), L' ').c_str());
    SetWindowTextW(box, L"");
}
}  // namespace

std::optional<std::string> PasswordPromptDialog::Run() {
    entered_.reset();
    ShowModal(Widen(text::kPromptCaption).c_str(), 3630, 1560, 2760, 3750);
    std::optional<std::string> entered = entered_;
    if (entered_) Scrub(*entered_);
    return entered;
}

// Made in tab order: OK first, then the label and the box it names, so that the label's
// access key leads into the box and a screen reader reads the label as the box's name.
void PasswordPromptDialog::OnInit() {
    const HWND ok = AddControl(L"BUTTON", Widen(text::kOk).c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON,
                               kPromptOk, 1320, 1080, 1215, 375);
    AddControl(L"STATIC", Widen(text::kPromptLabel).c_str(), SS_LEFT, kPromptLabel, 840, 240, 2175,
               255);
    UsePasswordCharacter(
        AddControl(L"EDIT", L"", kPasswordBox, kPromptText, 240, 600, 2895, 375, WS_EX_CLIENTEDGE));
    AddControl(L"STATIC", L"", SS_ICON | SS_REALSIZEIMAGE, kPromptPicture, 120, 0, 480, 480);
    OnLayout();
    UseIcon(IDR_KEY_ICON);
    SendMessageW(Handle(), DM_SETDEFID, kPromptOk, 0);
    SetFocus(ok);
}

// The key ring of the program's icon fills the picture's box: 32 pixels at the screen's
// usual resolution, more on a finer one.
void PasswordPromptDialog::OnLayout() {
    const int size = Scale().Px(480);
    UniqueIcon picture(static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TOVIK), IMAGE_ICON, size, size, 0)));
    SendMessageW(Item(kPromptPicture), STM_SETICON, reinterpret_cast<WPARAM>(picture.Get()), 0);
    picture_ = std::move(picture);
}

// OK hands the text back unchanged; Esc and the close box are a cancel.
bool PasswordPromptDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    if (message == WM_DESTROY) {
        ScrubBox(Item(kPromptText));
        return false;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == kPromptOk) {
        entered_ = ControlText(Item(kPromptText));
        Dialog::Close();
        return true;
    }
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        Dialog::Close();
        return true;
    }
    return false;
}

void SetPasswordDialog::Run(const std::function<void(SetPasswordView&)>& onOk) {
    onOk_ = &onOk;
    ShowModal(Widen(text::kSetPasswordCaption).c_str(), 4935, 1350, 2760, 3855);
    onOk_ = nullptr;
}

// Each label comes right before the box it names, for a screen reader; the tab order is that
// of the design, OK, Cancel and the two boxes, since labels take no focus.
void SetPasswordDialog::OnInit() {
    const HWND ok = AddControl(L"BUTTON", Widen(text::kOk).c_str(), WS_TABSTOP | BS_PUSHBUTTON,
                               kSetOk, 3600, 120, 1215, 375);
    AddControl(L"BUTTON", Widen(text::kCancel).c_str(), WS_TABSTOP | BS_PUSHBUTTON, kSetCancel,
               3600, 600, 1215, 375);
    AddControl(L"STATIC", Widen(text::kNewPasswordLabel).c_str(), SS_LEFT | SS_NOPREFIX,
               kSetFirstLabel, 120, 240, 540, 180);
    UsePasswordCharacter(
        AddControl(L"EDIT", L"", kPasswordBox, kSetFirst, 960, 120, 1935, 375, WS_EX_CLIENTEDGE));
    AddControl(L"STATIC", Widen(text::kRepeatPasswordLabel).c_str(), SS_LEFT | SS_NOPREFIX,
               kSetSecondLabel, 120, 720, 720, 180);
    UsePasswordCharacter(
        AddControl(L"EDIT", L"", kPasswordBox, kSetSecond, 960, 600, 1935, 375, WS_EX_CLIENTEDGE));
    OnLayout();
    UseIcon(IDR_PADLOCK_ICON);
    SetFocus(ok);
}

void SetPasswordDialog::OnLayout() {
    FitToText(Item(kSetFirstLabel));
    FitToText(Item(kSetSecondLabel));
}

std::string SetPasswordDialog::FirstEntry() { return ControlText(Item(kSetFirst)); }
std::string SetPasswordDialog::SecondEntry() { return ControlText(Item(kSetSecond)); }

void SetPasswordDialog::FocusFirstEntryAndSelectAll() {
    const HWND box = Item(kSetFirst);
    SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
    SendMessageW(box, EM_SETSEL, 0, GetWindowTextLengthW(box));
}

// Neither button is the default or the cancel button: the Enter and Esc that a dialog turns
// into IDOK and IDCANCEL are dropped. The close box is a cancel.
bool SetPasswordDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
        case WM_DESTROY:
            ScrubBox(Item(kSetFirst));
            ScrubBox(Item(kSetSecond));
            return false;
        case DM_GETDEFID: return true;
        case WM_CLOSE: Dialog::Close(); return true;
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kSetOk:
                    if (onOk_) (*onOk_)(*this);
                    return true;
                case kSetCancel: Dialog::Close(); return true;
                case IDOK:
                case IDCANCEL: return true;
                default: return false;
            }
        default: return false;
    }
}

}  // namespace tovik::win

#include "about/AboutWindow_win.h"

#include "platform/win32/WinText.h"
#include "resource.h"
#include "texts/Texts.h"

namespace tovik::win {

namespace {
constexpr int kTextId = 1201;
constexpr int kLabelLeft = 0, kLabelTop = 840, kLabelWidth = 6015, kLabelHeight = 1695;
}  // namespace

void AboutWindow::Run() { ShowModal(Widen(text::kAbout).c_str(), 6000, 2670, 2760, 3855); }

void AboutWindow::OnInit() {
    banner_ = Picture::FromResource(IDR_ABOUT_BANNER);
    const HWND ok = AddControl(L"BUTTON", Widen(text::kOk).c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON,
                               IDOK, 4440, 2160, 1215, 375);
    const HWND label = AddControl(L"STATIC", Widen(text::kAboutText).c_str(), SS_LEFT | SS_NOPREFIX,
                                  kTextId, kLabelLeft, kLabelTop, kLabelWidth, kLabelHeight);
    SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    OnLayout();
    SetFocus(ok);
}

// The label's size is fixed, so its font steps down until the whole text fits in it.
void AboutWindow::OnLayout() {
    const HWND label = Item(kTextId);
    const std::wstring aboutText = Widen(text::kAboutText);
    const RECT box = Scale().Rect(kLabelLeft, kLabelTop, kLabelWidth, kLabelHeight);
    UniqueFont chosen;
    {
        const WindowDC dc(label);
        for (int tenths = 90; tenths >= 60; tenths -= 5) {
            chosen.Reset(CreateDesignFont(tenths, Scale()));
            SelectObjectScope font(dc.Get(), chosen.Get());
            RECT needed{0, 0, box.right - box.left, 0};
            DrawTextW(dc.Get(), aboutText.c_str(), -1, &needed,
                      DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            if (needed.bottom <= box.bottom - box.top) break;
        }
    }
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(chosen.Get()), FALSE);
    textFont_ = std::move(chosen);
}

bool AboutWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
        case WM_PAINT: {
            PaintDC paint(Handle());
            banner_.Draw(paint.Get(), Scale().Rect(0, 0, 3540, 1110));
            return true;
        }
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
            result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
            return true;
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
            return true;
        case WM_CLOSE: Close(); return true;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                Close();
                return true;
            }
            return LOWORD(wParam) == IDCANCEL;
        default: return false;
    }
}

}  // namespace tovik::win

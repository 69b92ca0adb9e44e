#include "about/AboutWindow_win.h"

#include "resource.h"

namespace tovik::win {

namespace {
constexpr int kTextId = 1201;
constexpr int kLabelLeft = 0, kLabelTop = 840, kLabelWidth = 6015, kLabelHeight = 1695;
}  // namespace

const wchar_t kAboutText[] =
    L"    以前试用过几款“Tovik”，感觉都不是很好,有的还要收费。求人不如求已！一鼓作气自已搞了一个。"
    L"此软件纯绿色，绝不修改注册表，删除Tovik绝不遗留任何垃圾。在WIN98、ME、XP下均可正常运行。"
    L"一般的菜鸟是打不开您的Tovik的！须知：强中更有强中手，没有绝对保险的！若遇到老鸟大虾之类,"
    L"谁也不敢保证了...... 呜~~ 我也不保证......  \r\n"
    L"  \r\n"
    L"  欢迎提出意见和建议，请来信告诉 Tovik 开发组。\r\n"
    L"  Tovik 开发组  2026年\r\n";

void AboutWindow::Run() { ShowModal(L"关于", 6000, 2670, 2760, 3855); }

// The label's size is fixed, so its font steps down until the whole text fits in it.
void AboutWindow::OnInit() {
    banner_ = Picture::FromResource(IDR_ABOUT_BANNER);
    const HWND ok = AddControl(L"BUTTON", L"确定", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 4440,
                               2160, 1215, 375);
    const HWND label = AddControl(L"STATIC", kAboutText, SS_LEFT | SS_NOPREFIX, kTextId,
                                  kLabelLeft, kLabelTop, kLabelWidth, kLabelHeight);
    SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    const RECT box = Scale().Rect(kLabelLeft, kLabelTop, kLabelWidth, kLabelHeight);
    HDC dc = GetDC(label);
    for (int tenths = 90; tenths >= 60; tenths -= 5) {
        textFont_.Reset(CreateDesignFont(L"宋体", tenths, Scale()));
        SelectObjectScope font(dc, textFont_.Get());
        RECT needed{0, 0, box.right - box.left, 0};
        DrawTextW(dc, kAboutText, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        if (needed.bottom <= box.bottom - box.top) break;
    }
    ReleaseDC(label, dc);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.Get()), FALSE);
    SetFocus(ok);
}

bool AboutWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            banner_.Draw(dc, Scale().Rect(0, 0, 3540, 1110));
            EndPaint(Handle(), &ps);
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
        case WM_CLOSE:
            Close();
            return true;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                Close();
                return true;
            }
            return LOWORD(wParam) == IDCANCEL;
        default:
            return false;
    }
}

}  // namespace tovik::win

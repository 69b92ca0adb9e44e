#include "app/CommandPanel_win.h"


#include "resource.h"

namespace tovik::win {

namespace {
constexpr const wchar_t* kCaptions[kCommandCount] = {L"打开", L"关闭", L"新建",
                                                      L"删除", L"密码", L"关于"};
constexpr wchar_t kClassName[] = L"TovikCommandPanel";
constexpr TwipRect kPanel{120, 120, 750, 2175};
}  // namespace

bool CommandPanel::Create(HWND parent, const Dpi& dpi) {
    dpi_ = dpi;
    normal_ = Picture::FromResource(IDR_FACE_NORMAL);
    hover_ = Picture::FromResource(IDR_FACE_HOVER);
    disabled_ = Picture::FromResource(IDR_FACE_DISABLED);
    captionFont_.Reset(CreateDesignFont(L"宋体", 105, dpi));
    for (int i = 0; i < kCommandCount; ++i) SetLabelRect(i, CommandLabelDesignRect(i));
    RegisterClassOnce(kClassName, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const RECT r = dpi.Rect(kPanel.left, kPanel.top, kPanel.width, kPanel.height);
    return Window::Create(kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, r.left, r.top,
                          r.right - r.left, r.bottom - r.top, parent);
}

void CommandPanel::SetFace(int index, Face face) {
    faces_[index] = face == Face::Normal ? &normal_ : face == Face::Hover ? &hover_ : &disabled_;
    const TwipRect image = CommandImageRect(index);
    const RECT r = dpi_.Rect(image.left, image.top, image.width, image.height);
    if (Handle()) InvalidateRect(Handle(), &r, FALSE);
}

void CommandPanel::SetLabelRect(int index, const TwipRect& rect) {
    if (Handle()) InvalidateRect(Handle(), &labels_[index], FALSE);
    labels_[index] = dpi_.Rect(rect.left, rect.top, rect.width, rect.height);
    if (Handle()) InvalidateRect(Handle(), &labels_[index], FALSE);
}

int CommandPanel::LabelAt(LPARAM point) const {
    const POINT p = PointFrom(point);
    for (int i = 0; i < kCommandCount; ++i) {
        if (PtInRect(&labels_[i], p)) return i;
    }
    return -1;
}

// Faces first, captions over them: every label lies above every image.
void CommandPanel::Paint(HDC dc, const RECT& client) {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int i = 0; i < kCommandCount; ++i) {
        if (!faces_[i]) continue;
        const TwipRect image = CommandImageRect(i);
        faces_[i]->Draw(dc, dpi_.Rect(image.left, image.top, image.width, image.height));
    }
    SelectObjectScope font(dc, captionFont_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    for (int i = 0; i < kCommandCount; ++i) {
        RECT r = labels_[i];
        DrawTextW(dc, kCaptions[i], -1, &r, DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    }
}

// The label that took the press gets the release wherever the pointer is by then, and the
// moves in between, as a pressed label always has.
void CommandPanel::Press(LPARAM point) {
    if (pressed_ >= 0) return;
    const int label = LabelAt(point);
    if (label < 0) return;
    pressed_ = label;
    SetCapture(Handle());
    if (form_) form_->lblCommand_MouseDown(label);
}

void CommandPanel::Release() {
    if (pressed_ < 0) return;
    const int label = pressed_;
    pressed_ = -1;
    ReleaseCapture();
    if (form_) form_->lblCommand_MouseUp(label);
}

LRESULT CommandPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            RECT client;
            GetClientRect(Handle(), &client);
            // Drawn off screen first, so that a repaint of all six buttons does not flicker.
            HDC memory = CreateCompatibleDC(dc);
            UniqueBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
            {
                SelectObjectScope select(memory, bitmap.Get());
                Paint(memory, client);
                BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
            }
            DeleteDC(memory);
            EndPaint(Handle(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE: {
            const int label = pressed_ >= 0 ? pressed_ : LabelAt(lParam);
            if (label >= 0 && form_) form_->lblCommand_MouseMove(label);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            Press(lParam);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            Release();
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != Handle()) pressed_ = -1;
            return 0;
        default:
            return Window::HandleMessage(message, wParam, lParam);
    }
}

}  // namespace tovik::win

#include "app/CommandPanel_win.h"

#include "platform/win32/WinText.h"
#include "resource.h"
#include "texts/Texts.h"

namespace tovik::win {

namespace {
constexpr wchar_t kClassName[] = L"TovikCommandPanel";
constexpr TwipRect kPanel{120, 120, 750, 2175};
}  // namespace

bool CommandPanel::Create(HWND parent, const Dpi& dpi) {
    dpi_ = dpi;
    normal_ = Picture::FromResource(IDR_FACE_NORMAL);
    hover_ = Picture::FromResource(IDR_FACE_HOVER);
    disabled_ = Picture::FromResource(IDR_FACE_DISABLED);
    captionFont_.Reset(CreateDesignFont(105, dpi));
    for (int i = 0; i < kCommandCount; ++i) captions_[i] = Widen(text::kCommandCaptions[i]);
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
        DrawTextW(dc, captions_[i].c_str(), -1, &r,
                  DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    }
}

// The label that took the press gets the moves until the release, as a pressed label always
// has; the release runs its command only over that label, as with every push button.
void CommandPanel::Press(LPARAM point) {
    if (pressed_ >= 0) return;
    const int label = LabelAt(point);
    if (label < 0) return;
    pressed_ = label;
    SetCapture(Handle());
    if (form_) form_->lblCommand_MouseDown(label);
}

void CommandPanel::Release(LPARAM point) {
    if (pressed_ < 0) return;
    const int label = pressed_;
    pressed_ = -1;
    ReleaseCapture();
    if (!form_) return;
    if (LabelAt(point) == label) {
        form_->lblCommand_MouseUp(label);
    } else {
        form_->lblCommand_ReleasedAway();
    }
}

// The arrows, Home and End move among the enabled buttons; Enter and Space run one. The
// dialog manager of the main loop leaves them to us, and keeps Tab for moving on.
bool CommandPanel::Key(WPARAM key) {
    if (!form_) return false;
    switch (key) {
        case VK_LEFT:
        case VK_UP: form_->CommandBarKey(BarKey::Previous); return true;
        case VK_RIGHT:
        case VK_DOWN: form_->CommandBarKey(BarKey::Next); return true;
        case VK_HOME: form_->CommandBarKey(BarKey::First); return true;
        case VK_END: form_->CommandBarKey(BarKey::Last); return true;
        case VK_RETURN:
        case VK_SPACE:
            form_->CommandBarKey(BarKey::Run);
            // A command may have moved the focus away (a dialog, the tray); if it is still
            // here the keyboard's button shows again.
            if (form_ && GetFocus() == Handle()) form_->CommandBarFocus(true);
            return true;
        default: return false;
    }
}

LRESULT CommandPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PaintDC paint(Handle());
            RECT client;
            GetClientRect(Handle(), &client);
            // Drawn off screen first, so that a repaint of all six buttons does not flicker.
            UniqueMemoryDC memory(CreateCompatibleDC(paint.Get()));
            UniqueBitmap bitmap(CreateCompatibleBitmap(paint.Get(), client.right, client.bottom));
            if (!memory || !bitmap) {
                Paint(paint.Get(), client);
                return 0;
            }
            SelectObjectScope select(memory.Get(), bitmap.Get());
            Paint(memory.Get(), client);
            BitBlt(paint.Get(), 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEMOVE: {
            const int label = pressed_ >= 0 ? pressed_ : LabelAt(lParam);
            if (label >= 0 && form_) form_->lblCommand_MouseMove(label);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: Press(lParam); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: Release(lParam); return 0;
        case WM_CAPTURECHANGED:
            // The press is taken away (another window took the mouse): as a release elsewhere.
            if (pressed_ >= 0 && reinterpret_cast<HWND>(lParam) != Handle()) {
                pressed_ = -1;
                if (form_) form_->lblCommand_ReleasedAway();
            }
            return 0;
        case WM_GETDLGCODE: {
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            const bool enter = msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
            return DLGC_WANTARROWS | DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
        }
        case WM_KEYDOWN:
            if (Key(wParam)) return 0;
            return Window::HandleMessage(message, wParam, lParam);
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (form_) form_->CommandBarFocus(message == WM_SETFOCUS);
            return 0;
        default: return Window::HandleMessage(message, wParam, lParam);
    }
}

}  // namespace tovik::win

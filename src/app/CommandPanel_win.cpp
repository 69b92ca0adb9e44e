#include "app/CommandPanel_win.h"

#include "platform/Timeline.h"
#include "platform/win32/WinText.h"
#include "resource.h"
#include "texts/Texts.h"

namespace tovik::win {

namespace {
constexpr wchar_t kClassName[] = L"TovikCommandPanel";
constexpr int kFirstButtonId = 100;
constexpr LPARAM kRepeat = 1 << 30;  // a key-down's "was already down" bit: an auto-repeat

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The mouse's other buttons press as the left one does.
WPARAM AsLeftButton(WPARAM keys) {
    return (keys & (MK_RBUTTON | MK_MBUTTON)) ? keys | MK_LBUTTON : keys;
}
}  // namespace

// The panel is the buttons' parent for the dialog manager too, so that Tab and the arrows
// reach them; each button paints its own place, so the panel leaves them out. The buttons
// themselves come after the panel's first paint (see HandleMessage): until then the panel's
// picture is all there is to see, and the window's first showing waits for none of the six.
// The main window lays the panel out, once it knows its resolution.
bool CommandPanel::Create(HWND parent) {
    TOVIK_SPAN("command_panel");
    normal_ = Picture::FromResource(IDR_FACE_NORMAL);
    hover_ = Picture::FromResource(IDR_FACE_HOVER);
    disabled_ = Picture::FromResource(IDR_FACE_DISABLED);
    RegisterClassOnce(kClassName, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return Window::Create(kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                          WS_EX_CONTROLPARENT, 0, 0, 0, 0, parent);
}

// Each button is made where its label lies now, in the state the bar last gave it: disabled
// while its face is (or before the bar has given it any), and the one tab stop. A button the
// system will not make leaves the program without its commands: it ends, as when the window
// itself cannot be made.
void CommandPanel::MakeButtons() {
    TOVIK_SPAN("buttons");
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int i = 0; i < kCommandCount; ++i) {
        const PixelRect r = layout_.Label(i);
        const bool enabled = faces_[i] && faces_[i] != &disabled_;
        // The caption is the button's text too: a screen reader reads it as the name.
        buttons_[i] = CreateWindowExW(
            0, L"BUTTON", Widen(text::kCommandCaptions[i]).c_str(),
            WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | (enabled ? 0 : WS_DISABLED) |
                (i == tabStop_ ? WS_TABSTOP : 0),
            r.left, r.top, r.Width(), r.Height(), Handle(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + i)), instance, nullptr);
        if (!buttons_[i] || !SetWindowSubclass(buttons_[i], ButtonProc, static_cast<UINT_PTR>(i),
                                               reinterpret_cast<DWORD_PTR>(this))) {
            PostMessageW(GetAncestor(Handle(), GA_ROOT), WM_CLOSE, 0, 0);
            return;
        }
    }
}

void CommandPanel::LayOut() {
    captionFont_.Reset(CreateDesignFont(105, Dpi{layout_.DotsPerInch()}));
    const PixelRect panel = layout_.Panel();
    SetWindowPos(Handle(), nullptr, panel.left, panel.top, panel.Width(), panel.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (int i = 0; i < kCommandCount; ++i) {
        if (!buttons_[i]) continue;
        const PixelRect r = layout_.Label(i);
        SetWindowPos(buttons_[i], nullptr, r.left, r.top, r.Width(), r.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    }
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// The disabled face shows exactly while the command cannot be run, and then the button is
// disabled too, which is what a screen reader reports and what keeps the mouse and the keyboard
// away from it. A button disabled under the focus hands it on first: a disabled window loses
// the focus to nothing. Likewise the tab stop, or Tab would pass the bar by. A panel that is
// not on the screen (before the first showing, in the tray) is painted whole when it shows, so
// nothing of it is marked for painting now; nor is a button enabled that is so already.
void CommandPanel::SetFace(int index, Face face) {
    faces_[index] = face == Face::Normal ? &normal_ : face == Face::Hover ? &hover_ : &disabled_;
    const bool enabled = face != Face::Disabled;
    if (const HWND button = buttons_[index]) {
        const PixelRect image = layout_.Image(index);
        const RECT r = ToRect(image);
        if (IsWindowVisible(Handle())) {
            InvalidateRect(Handle(), &r, FALSE);
            for (int i = 0; i < kCommandCount; ++i) {
                if (Overlap(image, layout_.Label(i))) InvalidateRect(buttons_[i], nullptr, FALSE);
            }
        }
        if (!enabled && IsWindowEnabled(button) && form_) {
            if (const int next = form_->Bar().HandOnTarget(); next >= 0) {
                if (tabStop_ == index) SetTabStop(next);
                if (GetFocus() == button) {
                    EnableWindow(buttons_[next], TRUE);
                    SetFocus(buttons_[next]);
                }
            }
        }
        if ((IsWindowEnabled(button) != FALSE) != enabled) EnableWindow(button, enabled);
    }
    if (enabled && (tabStop_ < 0 || (form_ && !form_->Bar().CommandEnabled[tabStop_]))) {
        SetTabStop(index);
    }
}

void CommandPanel::SetLabelRect(int index, const TwipRect& rect) {
    const PixelRect before = layout_.Label(index);
    layout_.SetLabel(index, rect);
    const PixelRect after = layout_.Label(index);
    if (!buttons_[index] || after == before) return;
    SetWindowPos(buttons_[index], nullptr, after.left, after.top, after.Width(), after.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    InvalidateRect(buttons_[index], nullptr, FALSE);
}

void CommandPanel::SetTabStop(int index) {
    for (int i = 0; i < kCommandCount; ++i) {
        if (!buttons_[i]) continue;
        const LONG_PTR style = GetWindowLongPtrW(buttons_[i], GWL_STYLE);
        const LONG_PTR wanted = i == index ? style | WS_TABSTOP : style & ~WS_TABSTOP;
        if (wanted != style) SetWindowLongPtrW(buttons_[i], GWL_STYLE, wanted);
    }
    tabStop_ = index;
}

int CommandPanel::Focused() const {
    const HWND focus = GetFocus();
    return focus && GetParent(focus) == Handle() ? GetDlgCtrlID(focus) - kFirstButtonId : -1;
}

// The whole panel in its own coordinates. Faces first, captions over them: every label lies
// above every image. What lies outside the DC's visible part is skipped.
void CommandPanel::Paint(HDC dc) {
    const PixelRect panel = layout_.Panel();
    const RECT all{0, 0, panel.Width(), panel.Height()};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int i = 0; i < kCommandCount; ++i) {
        const RECT image = ToRect(layout_.Image(i));
        if (faces_[i] && RectVisible(dc, &image)) faces_[i]->Draw(dc, image);
    }
    SelectObjectScope font(dc, captionFont_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    for (int i = 0; i < kCommandCount; ++i) {
        RECT label = ToRect(layout_.Label(i));
        if (!RectVisible(dc, &label)) continue;
        DrawTextW(dc, Widen(text::kCommandCaptions[i]).c_str(), -1, &label,
                  DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    }
}

// The part `area` of the panel into `target` at (0, 0), drawn off screen first, so that a
// repaint does not flicker.
void CommandPanel::PaintBuffered(HDC target, const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    UniqueMemoryDC memory(CreateCompatibleDC(target));
    UniqueBitmap bitmap(CreateCompatibleBitmap(target, width, height));
    if (!memory || !bitmap) {
        POINT origin{};
        SetViewportOrgEx(target, -area.left, -area.top, &origin);
        Paint(target);
        SetViewportOrgEx(target, origin.x, origin.y, nullptr);
        return;
    }
    SelectObjectScope select(memory.Get(), bitmap.Get());
    SetViewportOrgEx(memory.Get(), -area.left, -area.top, nullptr);
    Paint(memory.Get());
    SetViewportOrgEx(memory.Get(), 0, 0, nullptr);
    BitBlt(target, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

// A button is a window onto the panel's picture, with the focus cue over it while the
// keyboard is in use (the system hides it from mouse users).
void CommandPanel::DrawButton(const DRAWITEMSTRUCT& item) {
    const int index = static_cast<int>(item.CtlID) - kFirstButtonId;
    if (index < 0 || index >= kCommandCount) return;
    PaintBuffered(item.hDC, ToRect(layout_.Label(index)));
    const bool cueHidden = (item.itemState & ODS_NOFOCUSRECT) ||
                           (SendMessageW(item.hwndItem, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
    if ((item.itemState & ODS_FOCUS) && !cueHidden) {
        const RECT cue = ToRect(layout_.FocusCue(index));
        DrawFocusRect(item.hDC, &cue);
    }
}

// A press of the mouse reaches the logic before the button takes the focus, so the held
// button keeps the normal face.
void CommandPanel::Press(int index) {
    if (pressed_ >= 0 || !form_) return;
    pressed_ = index;
    form_->lblCommand_MouseDown(index);
}

// The button decides: a release over it clicks (and the click runs the command), one away
// from it does not, and then the press is given up, as with every push button.
LRESULT CommandPanel::Release(HWND hwnd, int index, UINT message, WPARAM wParam, LPARAM lParam) {
    releasing_ = index;
    const LRESULT result = Pass(hwnd, message, wParam, lParam);
    releasing_ = -1;
    if (pressed_ == index) {
        pressed_ = -1;
        if (form_) form_->lblCommand_ReleasedAway();
    }
    return result;
}

// A click runs the command, from the mouse, from Space (the button's own: it clicks on the
// key's release) or from Enter. After one from the keyboard the button the keyboard is on
// shows the hover face again: the command may have repainted the bar (a rebuilt list).
void CommandPanel::Clicked(int index) {
    const bool fromKeyboard = pressed_ != index;
    pressed_ = -1;
    if (!form_) return;
    form_->lblCommand_MouseUp(index);
    if (const int focused = Focused(); fromKeyboard && focused >= 0) {
        form_->CommandBarFocus(focused);
    }
}

// The keyboard is in use from now on, so the focus cue shows.
void CommandPanel::MoveFocus(int from, BarKey key) {
    const int to = form_ ? form_->Bar().KeyTarget(from, key) : -1;
    if (to >= 0 && to != from) SetFocus(buttons_[to]);
    if (to == from) form_->CommandBarFocus(to);
    SendMessageW(GetAncestor(Handle(), GA_ROOT), WM_CHANGEUISTATE,
                 MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

LRESULT CommandPanel::ButtonMessage(HWND hwnd, int index, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;  // the picture covers all of it
        case WM_GETDLGCODE: {
            // The arrows move in the bar, and Enter comes here rather than becoming the
            // window's default command.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            const bool enter = msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
            return Pass(hwnd, message, wParam, lParam) | DLGC_WANTARROWS |
                   (enter ? DLGC_WANTMESSAGE : 0);
        }
        case WM_MOUSEMOVE:
            if (form_) form_->lblCommand_MouseMove(index);
            return Pass(hwnd, message, AsLeftButton(wParam), lParam);
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            // A quick second click is a second press, not a double click.
            Press(index);
            return Pass(hwnd, WM_LBUTTONDOWN, AsLeftButton(wParam), lParam);
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: return Release(hwnd, index, WM_LBUTTONUP, AsLeftButton(wParam), lParam);
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_RETURN:
                    // A held key repeats its key-down; Enter runs on the first one only.
                    if (!(lParam & kRepeat)) Clicked(index);
                    return 0;
                case VK_LEFT:
                case VK_UP: MoveFocus(index, BarKey::Previous); return 0;
                case VK_RIGHT:
                case VK_DOWN: MoveFocus(index, BarKey::Next); return 0;
                case VK_HOME: MoveFocus(index, BarKey::First); return 0;
                case VK_END: MoveFocus(index, BarKey::Last); return 0;
                default: break;
            }
            break;
        case WM_CAPTURECHANGED:
            // Another window took the mouse, or the focus went, in the middle of a press.
            if (pressed_ == index && releasing_ != index) {
                pressed_ = -1;
                if (form_) form_->lblCommand_ReleasedAway();
            }
            break;
        case WM_SETFOCUS:
            SetTabStop(index);
            if (form_) form_->CommandBarFocus(index);
            break;
        case WM_KILLFOCUS: {
            // To the list the keyboard leaves the bar. To another button it moves within it;
            // to a dialog or another program it comes back here.
            const auto next = reinterpret_cast<HWND>(wParam);
            if (next && GetParent(next) != Handle() &&
                IsChild(GetAncestor(Handle(), GA_ROOT), next) && form_) {
                form_->CommandBarFocus(-1);
            }
            break;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, ButtonProc, static_cast<UINT_PTR>(index));
            break;
        default: break;
    }
    return Pass(hwnd, message, wParam, lParam);
}

// Each button is subclassed with its index, and the panel as its data.
LRESULT CALLBACK CommandPanel::ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR index, DWORD_PTR panel) {
    try {
        return reinterpret_cast<CommandPanel*>(panel)->ButtonMessage(hwnd, static_cast<int>(index),
                                                                     message, wParam, lParam);
    } catch (...) {
        return Pass(hwnd, message, wParam, lParam);
    }
}

LRESULT CommandPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            {
                PaintDC paint(Handle());
                RECT client;
                GetClientRect(Handle(), &client);
                PaintBuffered(paint.Get(), client);
            }
            // Each button is a window over the face and caption the panel has just drawn, and
            // draws the same.
            if (!buttonsMade_) {
                buttonsMade_ = true;
                MakeButtons();
            }
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_DRAWITEM: DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
        case WM_COMMAND:
            if (const int index = LOWORD(wParam) - kFirstButtonId;
                HIWORD(wParam) == BN_CLICKED && index >= 0 && index < kCommandCount) {
                Clicked(index);
            }
            return 0;
        default: return Window::HandleMessage(message, wParam, lParam);
    }
}

}  // namespace tovik::win

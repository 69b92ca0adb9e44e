#include "app/MainWindow_win.h"

#include <algorithm>

#include "platform/Timeline.h"
#include "platform/win32/MessageFilter.h"
#include "platform/win32/WinText.h"
#include "resource.h"
#include "texts/Texts.h"

namespace tovik::win {

namespace {
constexpr wchar_t kClassName[] = L"TovikMain";
// Sent by a second start to the copy already running; answered with kComingForward.
constexpr wchar_t kComeForwardName[] = L"Tovik.ComeForward.1";
constexpr LRESULT kComingForward = 0x546F76;
constexpr int kListId = 1001;
// Item i of the tray menu sends the command kFirstMenuCommand + i.
constexpr int kFirstMenuCommand = 300;

HICON LoadTovikIcon(int size) {
    TOVIK_SPAN("icons");
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TOVIK),
                                         IMAGE_ICON, size, size, 0));
}

// mnTray: the items of mnFileItems, in their order, with the separators between them.
HMENU CreateTrayMenu() {
    const HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    const std::string_view items[kTrayMenuItemCount] = {text::kMenuRestore, {}, text::kMenuCloseAll,
                                                        text::kAbout,       {}, text::kMenuExit};
    for (int i = 0; i < kTrayMenuItemCount; ++i) {
        if (items[i].empty()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(kFirstMenuCommand + i),
                        Widen(items[i]).c_str());
        }
    }
    return menu;
}

struct ModalSearch {
    HWND exclude[2];
    HWND found;
};

BOOL CALLBACK FindModal(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<ModalSearch*>(lParam);
    if (hwnd == search->exclude[0] || hwnd == search->exclude[1]) return TRUE;
    if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}
}  // namespace

// The window is made first, so that it can be asked for its monitor's resolution, and laid
// out at that resolution before it is shown. It is made at its size for the screen's
// resolution, the one of the monitor the system puts new windows on, and keeps that size
// there.
bool MainWindow::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    listBrush_.Reset(CreateSolidBrush(RGB(0, 192, 0)));
    classIcon_.Reset(LoadTovikIcon(GetSystemMetrics(SM_CXICON)));
    classSmallIcon_.Reset(LoadTovikIcon(GetSystemMetrics(SM_CXSMICON)));
    menu_.Reset(CreateTrayMenu());
    credit_ = Widen(text::kCredit);
    comeForward_ = RegisterWindowMessageW(kComeForwardName);
    banner_ = Picture::FromResource(IDR_BANNER);

    RegisterClassOnce(kClassName, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)),
                      classIcon_.Get(), 0, classSmallIcon_.Get());
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const Dpi screen = Dpi::OfScreen();
    layout_.SetDotsPerInch(screen.value);
    const PixelRect client = layout_.Client();
    const SIZE size = FrameSize(style, 0, client.Width(), client.Height(), screen);
    if (!Window::Create(kClassName, Widen(text::kMainCaption).c_str(), style, 0, CW_USEDEFAULT,
                        CW_USEDEFAULT, size.cx, size.cy, nullptr)) {
        return false;
    }
    TOVIK_MARK("main_window");
    const HWND hwnd = Handle();
    AcceptFromLowerRights(hwnd, comeForward_);
    layout_.SetDotsPerInch(Dpi::Of(hwnd).value);

    // The list comes first, so that it leads the tab order and has the focus at the start. It
    // is made where it stays, at the window's resolution.
    const PixelRect list = layout_.List();
    list_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
                            LBS_NOINTEGRALHEIGHT,
                        list.left, list.top, list.Width(), list.Height(), hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
    if (!list_ || !panel_.Create(hwnd)) return false;
    lastFocus_ = list_;
    LayOut(nullptr);
    // The focus cue follows the last input, as in a dialog: hidden after the mouse.
    SendMessageW(hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
    return true;
}

// Everything that depends on the resolution, from the layout's twips, the same at the start
// and after a change: the window's size (at the system's suggested place after a change), the
// fonts, the list (made in its place at the start) and its extent, the panel and the icons. A
// new font or icon is in use before the old one goes.
void MainWindow::LayOut(const RECT* suggested) {
    const HWND hwnd = Handle();
    const Dpi dpi{layout_.DotsPerInch()};
    const PixelRect client = layout_.Client();
    if (suggested) {
        PlaceWindow(hwnd, suggested->left, suggested->top, client.Width(), client.Height(), dpi);
    } else {
        PlaceByClientArea(hwnd, CW_USEDEFAULT, 0, client.Width(), client.Height(), dpi);
    }
    UniqueFont font(CreateDefaultFont(dpi));
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    font_ = std::move(font);
    if (suggested) {
        const PixelRect list = layout_.List();
        SetWindowPos(list_, nullptr, list.left, list.top, list.Width(), list.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    UpdateListExtent();
    panel_.LayOut();
    LoadIcons();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The title bar and Alt+Tab ask for the icon at the window's resolution; the icon resource
// holds the picture at each size they ask for. At the screen's own resolution the class's
// icons are those already, and the window is given none of its own: each icon given costs the
// system a fresh copy of its pictures.
void MainWindow::LoadIcons() {
    const Dpi dpi{layout_.DotsPerInch()};
    const int bigSize = SystemMetric(SM_CXICON, dpi);
    const int smallSize = SystemMetric(SM_CXSMICON, dpi);
    if (!bigIcon_ && bigSize == GetSystemMetrics(SM_CXICON) &&
        smallSize == GetSystemMetrics(SM_CXSMICON)) {
        return;
    }
    UniqueIcon big(LoadTovikIcon(bigSize));
    UniqueIcon small(LoadTovikIcon(smallSize));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);
}

// The widest row decides how far the list scrolls sideways, so that no row is cut at its
// right edge; the list keeps its place and size, and shows the bar only when a row does not
// fit. The list draws its rows a little in from its edge: an average character's room. An
// empty list, as at the first layout, needs no measuring at all. Rows that fit need no extent
// either, and an extent that stays as it is is not given again: each one given redraws the
// list's frame, its scroll bars included.
void MainWindow::UpdateListExtent() {
    TOVIK_SPAN("list_extent");
    const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
    int widest = 0;
    if (count > 0) {
        const WindowDC dc(list_);
        if (!dc) return;
        SelectObjectScope font(dc.Get(), font_.Get());
        for (int row = 0; row < count; ++row) {
            const auto text = ListRow(row);
            SIZE size{};
            if (text && GetTextExtentPoint32W(dc.Get(), text->c_str(),
                                              static_cast<int>(text->size()), &size)) {
                widest = std::max(widest, static_cast<int>(size.cx));
            }
        }
        TEXTMETRICW metrics{};
        if (widest > 0 && GetTextMetricsW(dc.Get(), &metrics)) widest += metrics.tmAveCharWidth;
    }
    RECT client{};
    if (GetClientRect(list_, &client) && widest <= client.right) widest = 0;
    if (SendMessageW(list_, LB_GETHORIZONTALEXTENT, 0, 0) != widest) {
        SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
    }
}

void MainWindow::Attach(MainForm& form) {
    form_ = &form;
    panel_.Attach(form);
}

// The second copy was started by the user and may hand the foreground on; the first then
// shows itself, or its open dialog, as the icon's click does.
bool MainWindow::BringRunningCopyForward() {
    const HWND running = FindWindowW(kClassName, nullptr);
    if (!running) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    AllowSetForegroundWindow(process);
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(running, RegisterWindowMessageW(kComeForwardName), 0, 0,
                               SMTO_ABORTIFHUNG, 10000, &answer) &&
           answer == static_cast<DWORD_PTR>(kComingForward);
}

// A rebuild always ends by selecting a row, so the list is drawn again only then, once,
// rather than with every row added.
void MainWindow::Clear() {
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
}

void MainWindow::AddRow(std::string_view text) {
    TOVIK_SPAN("list_add");
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

// The rows are measured once the list shows its vertical scroll bar, if it needs one: a row
// fits only in the room the bar leaves.
bool MainWindow::Select(int row) {
    const bool selected = SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(row), 0) != LB_ERR;
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    UpdateListExtent();
    InvalidateRect(list_, nullptr, TRUE);
    return selected;
}

int MainWindow::SelectedRow() { return static_cast<int>(SendMessageW(list_, LB_GETCURSEL, 0, 0)); }

std::optional<std::wstring> MainWindow::ListRow(int row) const {
    const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length == LB_ERR) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list_, LB_GETTEXT, static_cast<WPARAM>(row),
                                        reinterpret_cast<LPARAM>(text.data()));
    if (copied == LB_ERR) return std::nullopt;
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

// A list box cannot change a row's text: the row is put in again at its place, selected again
// (which notifies no one), and the list drawn once, scrolled as it was.
void MainWindow::SetSelectedRowText(std::string_view text) {
    const LRESULT row = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return;
    const LRESULT top = SendMessageW(list_, LB_GETTOPINDEX, 0, 0);
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    SendMessageW(list_, LB_INSERTSTRING, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(Widen(text).c_str()));
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    UpdateListExtent();
    InvalidateRect(list_, nullptr, TRUE);
}

std::optional<std::string> MainWindow::RowText(int row) {
    if (const auto text = ListRow(row)) return Narrow(*text);
    return std::nullopt;
}

// A dialog or message box of ours disables this window for as long as it is open.
bool MainWindow::ModalOpen() { return Handle() && !IsWindowEnabled(Handle()); }

void MainWindow::BringModalToFront() {
    ModalSearch search{{Handle(), nullptr}, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindModal, reinterpret_cast<LPARAM>(&search));
    if (search.found) SetForegroundWindow(search.found);
}

// Windows turns one showing of the program's first window into the launcher's show command (a
// shortcut's "minimised" or "maximised"), and which one it takes differs between versions:
// whatever this showing became, the window ends normal. The command is used only once, so of
// two restores at least one is taken as asked.
void MainWindow::ShowNormal() {
    const HWND hwnd = Handle();
    if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    ShowWindow(hwnd, SW_SHOW);
    for (int i = 0; i < 2 && (IsIconic(hwnd) || IsZoomed(hwnd) || !IsWindowVisible(hwnd)); ++i) {
        ShowWindow(hwnd, SW_RESTORE);
    }
    SetForegroundWindow(Handle());
    SetFocus(FocusToRestore());
}

// A button may have been disabled while the window was left (the tray's close-all rebuilds
// the list); the focus cannot go back to it.
HWND MainWindow::FocusToRestore() const {
    return lastFocus_ && IsWindowEnabled(lastFocus_) ? lastFocus_ : list_;
}

void MainWindow::ShowMinimized() { ShowWindow(Handle(), SW_SHOWMINNOACTIVE); }

bool MainWindow::IsMinimized() { return IsIconic(Handle()) != 0; }

bool MainWindow::IsHidden() { return !IsWindowVisible(Handle()); }

void MainWindow::Hide() { ShowWindow(Handle(), SW_HIDE); }

// At the end of the session, from inside a wait: the logic has closed what it could, and
// nothing of the command under way may go on.
void MainWindow::EndNow() { ExitProcess(0); }

// Every way of closing ends here, once: vaults and icon first, then the window.
void MainWindow::Unload(UnloadMode mode) {
    if (unloaded_ || !Handle()) return;
    unloaded_ = true;
    if (form_) form_->Form_QueryUnload(mode);
    DestroyWindow(Handle());
}

// Image1, the banner, with the credit label Label1 over it.
void MainWindow::Paint(HDC dc) {
    banner_.Draw(dc, ToRect(layout_.Banner()));
    RECT credit = ToRect(layout_.Credit());
    SelectObjectScope font(dc, font_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, credit_.c_str(), -1, &credit, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
}

bool MainWindow::OverBanner(LPARAM point) const {
    const POINT p = PointFrom(point);
    const RECT banner = ToRect(layout_.Banner());
    const RECT credit = ToRect(layout_.Credit());
    return PtInRect(&banner, p) || PtInRect(&credit, p);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = Handle();
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (reinterpret_cast<HWND>(lParam) == list_) {
                if (HIWORD(wParam) == LBN_SELCHANGE && form_) form_->List1_Click();
            } else if (lParam == 0 && id >= kFirstMenuCommand &&
                       id < kFirstMenuCommand + kTrayMenuItemCount && form_) {
                form_->mnFileItems_Click(id - kFirstMenuCommand);
            }
            return 0;
        }
        case WM_CTLCOLORLISTBOX: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 64, 0));
            SetBkColor(dc, RGB(0, 192, 0));
            return reinterpret_cast<LRESULT>(listBrush_.Get());
        }
        case WM_PAINT: {
            PaintDC paint(hwnd);
            Paint(paint.Get());
            TOVIK_MARK("first_paint");
            return 0;
        }
        case WM_MOUSEMOVE:
            if (form_ && !OverBanner(lParam)) form_->Form_MouseMove();
            return 0;
        case WM_SETCURSOR:
            // A control asks its parent first, at every move of the pointer over it: the list
            // needs no hook to tell where the pointer is.
            if (reinterpret_cast<HWND>(wParam) == list_ && LOWORD(lParam) == HTCLIENT &&
                HIWORD(lParam) == WM_MOUSEMOVE && form_) {
                form_->List1_MouseMove();
            }
            return Window::HandleMessage(message, wParam, lParam);
        case WM_SIZE:
            // The window has one size: a maximise from outside (another program, a
            // launcher's show command) gives the normal window back.
            if (wParam == SIZE_MAXIMIZED) {
                ShowWindow(hwnd, SW_RESTORE);
                return 0;
            }
            if (form_) form_->Form_Resize();
            return 0;
        case WM_DPICHANGED:
            // Moved to a monitor of another resolution: laid out again there, from the twips.
            layout_.SetDotsPerInch(HIWORD(wParam));
            LayOut(reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_ACTIVATE:
            // Keep the control that had the focus when the window is left, and give it back.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) lastFocus_ = focus;
            } else if (!HIWORD(wParam)) {
                SetFocus(FocusToRestore());
            }
            return 0;
        case WM_CLOSE:
            if (form_) {
                form_->Form_Close();
            } else {
                Unload();
            }
            return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (!wParam) return 0;
            if (form_) {
                form_->Form_EndSession((lParam & ENDSESSION_CLOSEAPP) != 0);
            } else {
                Unload(UnloadMode::SessionEnd);
            }
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default:
            if (comeForward_ != 0 && message == comeForward_) {
                if (form_) form_->ComeForward();
                return kComingForward;
            }
            return Window::HandleMessage(message, wParam, lParam);
    }
}

}  // namespace tovik::win

#include "platform/win32/Window.h"

#include "platform/Timeline.h"
#include "platform/win32/Handles.h"
#include "platform/win32/ThreadWait.h"

namespace tovik::win {

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool Window::RegisterClassOnce(const wchar_t* name, HBRUSH background, HICON icon, UINT style,
                               HICON smallIcon) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(instance, name, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

bool Window::Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                    int x, int y, int width, int height, HWND parent, HMENU menu) {
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu,
                           GetModuleHandleW(nullptr), this) != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// Nothing may unwind through the system's code: a handler that throws is stopped here and the
// message is left to the default handling.
LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* window =
            static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        window->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_SETCURSOR && WaitCursorShown()) {
        SetWaitCursor();
        return TRUE;
    }
    try {
        LRESULT result = 0;
        if (window->hook_ && window->hook_->HookMessage(hwnd, message, wParam, lParam, result)) {
            return result;
        }
        return window->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

namespace {
// A function of user32 that older systems lack, or null there.
template <typename Function>
Function UserFunction(const char* name) {
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    return user ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user, name)))
                : nullptr;
}

// The frame's width depends on the resolution too; the plain call knows only the screen's.
RECT FrameAround(DWORD style, DWORD exStyle, BOOL menu, int clientWidth, int clientHeight,
                 const Dpi& dpi) {
    using Function = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = UserFunction<Function>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi ||
        !adjustForDpi(&frame, style, menu, exStyle, static_cast<UINT>(dpi.value))) {
        AdjustWindowRectEx(&frame, style, menu, exStyle);
    }
    return frame;
}

RECT FrameAround(HWND hwnd, int clientWidth, int clientHeight, const Dpi& dpi) {
    return FrameAround(static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)),
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)),
                       GetMenu(hwnd) != nullptr, clientWidth, clientHeight, dpi);
}
}  // namespace

SIZE FrameSize(DWORD style, DWORD exStyle, int clientWidth, int clientHeight, const Dpi& dpi) {
    const RECT frame = FrameAround(style, exStyle, FALSE, clientWidth, clientHeight, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

Dpi Dpi::OfScreen() {
    Dpi dpi;
    if (const WindowDC screen(nullptr); screen) dpi.value = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi;
}

Dpi Dpi::Of(HWND hwnd) {
    using Function = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = UserFunction<Function>("GetDpiForWindow");
    const UINT value = getDpiForWindow && hwnd ? getDpiForWindow(hwnd) : 0;
    if (value > 0) return Dpi{static_cast<int>(value)};
    return OfScreen();
}

RECT Dpi::Rect(int left, int top, int width, int height) const {
    return ToRect(TwipsToPixels(TwipRect{left, top, width, height}, value));
}

int SystemMetric(int index, const Dpi& dpi) {
    using Function = int(WINAPI*)(int, UINT);
    static const auto forDpi = UserFunction<Function>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, static_cast<UINT>(dpi.value)) : GetSystemMetrics(index);
}

// Every design names 宋体 (SimSun) where it names a font.
HFONT CreateDesignFont(int tenthsOfPoint, const Dpi& dpi) {
    TOVIK_SPAN("fonts");
    LOGFONTW font{};
    font.lfHeight = -FontPixels(tenthsOfPoint, dpi.value);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = GB2312_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, L"宋体", LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

HFONT CreateDefaultFont(const Dpi& dpi) { return CreateDesignFont(90, dpi); }

// A frame that came out other than the system said for the resolution (one that has not yet
// followed a change of resolution) is made up for, once the window stands.
void PlaceWindow(HWND hwnd, int left, int top, int clientWidth, int clientHeight, const Dpi& dpi,
                 UINT flags) {
    const RECT frame = FrameAround(hwnd, clientWidth, clientHeight, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    flags |= SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(hwnd, nullptr, left, top, width, height, flags);
    RECT client{};
    if (IsIconic(hwnd) || !GetClientRect(hwnd, &client)) return;
    if (client.right != clientWidth || client.bottom != clientHeight) {
        SetWindowPos(hwnd, nullptr, 0, 0, width + clientWidth - client.right,
                     height + clientHeight - client.bottom, flags | SWP_NOMOVE);
    }
}

void PlaceByClientArea(HWND hwnd, int x, int y, int clientWidth, int clientHeight, const Dpi& dpi) {
    RECT client{};
    if (x == CW_USEDEFAULT && GetClientRect(hwnd, &client) && client.right == clientWidth &&
        client.bottom == clientHeight) {
        return;
    }
    const RECT frame = FrameAround(hwnd, clientWidth, clientHeight, dpi);
    PlaceWindow(hwnd, x + frame.left, y + frame.top, clientWidth, clientHeight, dpi,
                x == CW_USEDEFAULT ? SWP_NOMOVE : 0);
}

void KeepDialogFromScaling(HWND dialog) {
    using Function = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    static const auto setBehavior = UserFunction<Function>("SetDialogDpiChangeBehavior");
    if (setBehavior) setBehavior(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}

}  // namespace tovik::win

#include "platform/win32/Window.h"

#include "platform/win32/Handles.h"

namespace tovik::win {

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool Window::RegisterClassOnce(const wchar_t* name, HBRUSH background, HICON icon, UINT style) {
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
    try {
        return window->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

Dpi Dpi::OfScreen() {
    Dpi dpi;
    if (const WindowDC screen(nullptr); screen) {
        dpi.x = GetDeviceCaps(screen.Get(), LOGPIXELSX);
        dpi.y = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    }
    return dpi;
}

RECT Dpi::Rect(int left, int top, int width, int height) const {
    return {X(left), Y(top), X(left + width), Y(top + height)};
}

// Every design names 宋体 (SimSun) where it names a font.
HFONT CreateDesignFont(int tenthsOfPoint, const Dpi& dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(tenthsOfPoint, dpi.y, 720);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = GB2312_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, L"宋体", LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

HFONT CreateDefaultFont(const Dpi& dpi) { return CreateDesignFont(90, dpi); }

void PlaceByClientArea(HWND hwnd, int x, int y, int clientWidth, int clientHeight) {
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)),
                       GetMenu(hwnd) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (x == CW_USEDEFAULT) flags |= SWP_NOMOVE;
    SetWindowPos(hwnd, nullptr, x + frame.left, y + frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, flags);
}

}  // namespace tovik::win

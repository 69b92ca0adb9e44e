// The base of the program's windows: `this` travels through CreateWindowExW, is kept in
// GWLP_USERDATA and every message goes to a member.
#pragma once

#include <windows.h>

namespace tovik::win {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }

protected:
    static bool RegisterClassOnce(const wchar_t* name, HBRUSH background, HICON icon = nullptr,
                                  UINT style = 0);
    bool Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x,
                int y, int width, int height, HWND parent, HMENU menu = nullptr);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// The client point packed in a mouse message (coordinates can be negative).
inline POINT PointFrom(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// Screen resolution and the conversion of the designs' twips into pixels.
struct Dpi {
    int x = 96;
    int y = 96;

    static Dpi OfScreen();
    int X(int twips) const { return MulDiv(twips, x, 1440); }
    int Y(int twips) const { return MulDiv(twips, y, 1440); }
    RECT Rect(int left, int top, int width, int height) const;
};

// The designs' font (宋体) at the given size in tenths of a point; charset GB2312.
HFONT CreateDesignFont(int tenthsOfPoint, const Dpi& dpi);
// The font the windows use where the designs name none.
HFONT CreateDefaultFont(const Dpi& dpi);

// Sizes a window so its client area has the given pixels, with the client's top-left corner
// at (x, y) on the screen, or at the system's default place when x is CW_USEDEFAULT.
void PlaceByClientArea(HWND hwnd, int x, int y, int clientWidth, int clientHeight);

}  // namespace tovik::win

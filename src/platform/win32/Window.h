// The base of the program's windows: `this` travels through CreateWindowExW, is kept in
// GWLP_USERDATA and every message goes to a member.
#pragma once

#include <windows.h>

#include "platform/Twips.h"

namespace tovik::win {

// Sees a window's messages before the window does; true when it handled one, with `result`.
class MessageHook {
public:
    virtual bool HookMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT& result) = 0;

protected:
    ~MessageHook() = default;
};

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }
    // The program's own windows need no procedure replaced to be hooked: theirs asks the hook
    // first, for as long as it is set.
    void SetHook(MessageHook* hook) { hook_ = hook; }

protected:
    static bool RegisterClassOnce(const wchar_t* name, HBRUSH background, HICON icon = nullptr,
                                  UINT style = 0, HICON smallIcon = nullptr);
    bool Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x,
                int y, int width, int height, HWND parent, HMENU menu = nullptr);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    MessageHook* hook_ = nullptr;
};

// The client point packed in a mouse message (coordinates can be negative).
inline POINT PointFrom(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// A resolution in dots per inch, and the designs' twips in its pixels.
struct Dpi {
    int value = kBaseDpi;

    // The screen's: the one the system was started with.
    static Dpi OfScreen();
    // The resolution of the monitor the window is on, where the system tells it per window
    // (Windows 10 and later); the screen's elsewhere.
    static Dpi Of(HWND hwnd);
    int Px(int twips) const { return TwipsToPixels(twips, value); }
    RECT Rect(int left, int top, int width, int height) const;
};

inline RECT ToRect(const PixelRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// A system metric (icon sizes and the like) at the resolution.
int SystemMetric(int index, const Dpi& dpi);

// The designs' font (宋体) at the given size in tenths of a point; charset GB2312.
HFONT CreateDesignFont(int tenthsOfPoint, const Dpi& dpi);
// The font the windows use where the designs name none.
HFONT CreateDefaultFont(const Dpi& dpi);

// The outer size of a window of these styles, with no menu, around a client area.
SIZE FrameSize(DWORD style, DWORD exStyle, int clientWidth, int clientHeight, const Dpi& dpi);
// Sizes a window so its client area has the given pixels at the resolution, with the client's
// top-left corner at (x, y) on the screen, or where the window stands when x is CW_USEDEFAULT
// (and then a window of that size already is left alone).
void PlaceByClientArea(HWND hwnd, int x, int y, int clientWidth, int clientHeight, const Dpi& dpi);
// The same with the window's own top-left corner at (left, top), as after a change of
// resolution, where the system suggests the place.
void PlaceWindow(HWND hwnd, int left, int top, int clientWidth, int clientHeight, const Dpi& dpi,
                 UINT flags = 0);

// A dialog lays itself out again when its resolution changes, from its own twips; the
// system's own scaling of dialogs (Windows 10 and later) would scale the old pixels instead.
void KeepDialogFromScaling(HWND dialog);

}  // namespace tovik::win

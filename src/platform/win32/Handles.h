// Owners for the handles the program holds: each closes its handle once, and none is copied.
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

namespace tovik::win {

// Kernel handles come back as null or as INVALID_HANDLE_VALUE on failure; both mean none.
template <typename T, auto Close>
class Unique {
public:
    Unique() = default;
    explicit Unique(T handle) : handle_(handle) {}
    Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, T{})) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, T{}));
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    T Get() const { return handle_; }
    explicit operator bool() const { return Valid(handle_); }
    void Reset(T handle = T{}) {
        if (Valid(handle_)) Close(handle_);
        handle_ = handle;
    }

private:
    static bool Valid(T handle) {
        if constexpr (std::is_same_v<T, HANDLE>) {
            return handle != nullptr && handle != INVALID_HANDLE_VALUE;
        } else {
            return handle != nullptr;
        }
    }
    T handle_ = T{};
};

inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseFind(HANDLE h) { ::FindClose(h); }
inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }
inline void DestroyMenuHandle(HMENU h) { ::DestroyMenu(h); }
inline void DeleteMemoryDC(HDC h) { ::DeleteDC(h); }
inline void UnhookHook(HHOOK h) { ::UnhookWindowsHookEx(h); }

using UniqueHandle = Unique<HANDLE, CloseKernelHandle>;
using UniqueFind = Unique<HANDLE, CloseFind>;
using UniqueFont = Unique<HFONT, DeleteGdiObject>;
using UniqueBrush = Unique<HBRUSH, DeleteGdiObject>;
using UniqueBitmap = Unique<HBITMAP, DeleteGdiObject>;
using UniqueIcon = Unique<HICON, DestroyIconHandle>;
using UniqueMenu = Unique<HMENU, DestroyMenuHandle>;
// A memory DC from CreateCompatibleDC.
using UniqueMemoryDC = Unique<HDC, DeleteMemoryDC>;
using UniqueHook = Unique<HHOOK, UnhookHook>;

inline void FreeLibraryHandle(HMODULE h) { ::FreeLibrary(h); }
inline void CloseRegistryKey(HKEY h) { ::RegCloseKey(h); }
using UniqueLibrary = Unique<HMODULE, FreeLibraryHandle>;
using UniqueKey = Unique<HKEY, CloseRegistryKey>;

// A window's DC from GetDC, given back to the same window; the screen's for no window.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// The DC of a WM_PAINT, from BeginPaint to EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
    ~PaintDC() { ::EndPaint(hwnd_, &paint_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects a GDI object into a DC for a scope. Declare it after the DC's owner, so that the old
// object goes back before the DC does.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
    ~SelectObjectScope() { ::SelectObject(dc_, old_); }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace tovik::win

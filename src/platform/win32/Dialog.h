// Modal dialogs laid out in code from the designs' twips, and the host that shows them.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Window.h"

namespace tovik::win {

// Shows dialogs modally: every other window of the program is disabled while one is open, and
// the showing call returns when it closes. Each dialog is owned by the window it disables, the
// main window or the dialog below it: it gets no taskbar button of its own, and the taskbar
// button or Alt+Tab brings it forward with its owner rather than leaving it behind.
class ModalHost {
public:
    ModalHost();
    ModalHost(const ModalHost&) = delete;
    ModalHost& operator=(const ModalHost&) = delete;

    void SetMainWindow(HWND main) { main_ = main; }
    // What a new dialog or message box is owned by.
    HWND Owner() const { return frames_.empty() ? main_ : frames_.back().dialog; }
    HWND Top() const { return frames_.empty() ? nullptr : frames_.back().dialog; }
    void Run(HWND dialog);
    void End(HWND dialog);

private:
    struct Frame {
        HWND dialog;
        HWND previousActive;
        std::vector<HWND> disabled;
    };
    HWND main_ = nullptr;
    std::vector<Frame> frames_;
    UniqueHook heldEnter_;
};

class Dialog {
public:
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    HWND Handle() const { return hwnd_; }

protected:
    explicit Dialog(ModalHost& host) : host_(host) {}

    // Creates the dialog (hidden) and runs it until it closes. The client area has the given
    // twips and opens with its top-left corner at the given twips from the corner of the work
    // area of its owner's monitor, wholly on that work area.
    void ShowModal(const wchar_t* title, int clientWidth, int clientHeight, int screenLeft,
                   int screenTop);
    void Close();

    // Called once the window exists; create the controls here.
    virtual void OnInit() = 0;
    // Called after the dialog was laid out again at a new resolution: what the controls'
    // twips do not say (sizes fitted to a text, pictures) is redone here.
    virtual void OnLayout() {}
    // Return true when the message was handled; `result` then goes back to the system.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id, int left,
                    int top, int width, int height, DWORD exStyle = 0);
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    const Dpi& Scale() const { return dpi_; }
    // The window's icons, from an icon file kept as a raw resource, at the resolution's sizes.
    void UseIcon(int resource);

private:
    struct Placed {
        HWND control;
        TwipRect rect;
    };
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static PixelRect WorkAreaOf(HWND owner);
    void PlaceOn(const PixelRect& workArea, int screenLeft, int screenTop);
    void ChangeResolution(int dpi, const RECT& suggested);
    void LoadIcons();

    ModalHost& host_;
    HWND hwnd_ = nullptr;
    Dpi dpi_;
    TwipRect client_{};  // the client area's size
    UniqueFont font_;
    std::vector<Placed> controls_;
    int icon_ = 0;
    UniqueIcon bigIcon_, smallIcon_;
};

}  // namespace tovik::win

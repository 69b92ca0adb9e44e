#include "platform/win32/ThreadWait.h"

#include <versionhelpers.h>

#include <vector>

#include "platform/BusyWait.h"

// Windows 8 added pen and touch to the input class; a Windows 7 header leaves them out, and
// Windows 7 refuses them in a call.
#ifndef QS_POINTER
#define QS_TOUCH 0x0800
#define QS_POINTER 0x1000
#endif

namespace tovik::win {

namespace {

int waitCursors = 0;  // one a wait, as the end of the session may wait inside a wait

// The input class of the queue on this system, and what wakes a wait.
struct QueueClasses {
    UINT input;
    DWORD wake;
};

QueueClasses ClassesOfThisSystem() {
    static const QueueClasses classes = [] {
        const UINT input = QS_INPUT | (IsWindows8OrGreater() ? QS_TOUCH | QS_POINTER : 0u);
        return QueueClasses{input, QS_ALLINPUT | input};
    }();
    return classes;
}

BOOL CALLBACK CollectTakingInput(HWND hwnd, LPARAM lParam) {
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    }
    return TRUE;
}

// Whether the pointer lies over one of the windows: only then is the cursor ours to set. A
// disabled window is found as any other.
bool PointerOver(const std::vector<HWND>& windows) {
    POINT point{};
    if (!GetCursorPos(&point)) return false;
    const HWND under =
        ChildWindowFromPointEx(GetDesktopWindow(), point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    for (HWND window : windows) {
        if (under == window) return true;
    }
    return false;
}

class QueueWait final : public WaitingThread {
public:
    QueueWait(HANDLE object, HWND main) : object_(object), main_(main) {}

    Woken Sleep(std::uint32_t ms) override {
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &object_, ms, ClassesOfThisSystem().wake,
                                                        MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) return Woken::Done;
        if (woken == WAIT_OBJECT_0 + 1) return Woken::Message;
        if (woken == WAIT_TIMEOUT) return Woken::TimeUp;
        return WaitForSingleObject(object_, 0) == WAIT_OBJECT_0 ? Woken::Done : Woken::Failed;
    }

    bool DropInput(std::optional<int>& quit) override {
        return Take(PM_REMOVE | (ClassesOfThisSystem().input << 16), false, quit);
    }

    bool DispatchOther(std::optional<int>& quit) override {
        return Take(PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE, true, quit);
    }

    void PostQuit(int code) override { PostQuitMessage(code); }

    // The main window too when it is hidden in the tray. A window that was disabled already
    // (the main window under a dialog) is not ours to enable afterwards.
    void DisableWindows() override {
        focus_ = GetFocus();
        EnumThreadWindows(GetCurrentThreadId(), CollectTakingInput,
                          reinterpret_cast<LPARAM>(&disabled_));
        if (main_ && IsWindowEnabled(main_) && !IsWindowVisible(main_)) disabled_.push_back(main_);
        for (HWND window : disabled_) EnableWindow(window, FALSE);
    }

    // A disabled window keeps the focus of a control inside it, but not its own: it comes back
    // to where it was, if the window is still the active one.
    void EnableWindows() override {
        for (auto window = disabled_.rbegin(); window != disabled_.rend(); ++window) {
            if (IsWindow(*window)) EnableWindow(*window, TRUE);
        }
        if (focus_ && GetFocus() != focus_ && IsWindow(focus_) && IsWindowVisible(focus_) &&
            IsWindowEnabled(focus_) && GetActiveWindow() == GetAncestor(focus_, GA_ROOT)) {
            SetFocus(focus_);
        }
    }

    // Set at once where the pointer is, and kept by WM_SETCURSOR while it moves; given back
    // only if it is still ours.
    void ShowWaitCursor(bool shown) override {
        waitCursors += shown ? 1 : -1;
        if (!PointerOver(disabled_)) return;
        if (shown) {
            previous_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        } else if (previous_) {
            SetCursor(previous_);
        }
    }

    std::uint32_t Ticks() override { return GetTickCount(); }

private:
    static bool Take(UINT flags, bool dispatch, std::optional<int>& quit) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, flags)) return false;
        if (msg.message == WM_QUIT) {
            quit = static_cast<int>(msg.wParam);
        } else if (dispatch) {
            DispatchMessageW(&msg);
        }
        return true;
    }

    HANDLE object_;
    HWND main_;
    HWND focus_ = nullptr;
    std::vector<HWND> disabled_;
    HCURSOR previous_ = nullptr;
};

}  // namespace

bool WaitAnswering(HANDLE object, DWORD timeoutMs, HWND main) {
    QueueWait wait(object, main);
    return WaitBusy(wait, timeoutMs);
}

bool WaitCursorShown() { return waitCursors > 0; }

void SetWaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }

}  // namespace tovik::win

#include "platform/win32/MessageFilter.h"

namespace tovik::win {

// A program run as administrator gets only the system's own messages from programs of lower
// rights, such as the shell or a copy of itself started normally; the messages they send it
// on purpose are let through here. The per-window call came with Windows 7; Vista has the one
// for the whole program, and older systems filter nothing.
void AcceptFromLowerRights(HWND window, UINT message) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32 || message == 0) return;
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, MSGFLT_ADD
    using PerWindow = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using PerProgram = BOOL(WINAPI*)(UINT, DWORD);
    if (const FARPROC perWindow = GetProcAddress(user32, "ChangeWindowMessageFilterEx")) {
        reinterpret_cast<PerWindow>(reinterpret_cast<void*>(perWindow))(window, message, kAllow,
                                                                        nullptr);
    } else if (const FARPROC perProgram = GetProcAddress(user32, "ChangeWindowMessageFilter")) {
        reinterpret_cast<PerProgram>(reinterpret_cast<void*>(perProgram))(message, kAllow);
    }
}

}  // namespace tovik::win

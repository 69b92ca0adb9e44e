// The platform's questions about the user's session: whose logon session the program and the
// shell run in, and starting the program again as the shell's user.
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"

namespace tovik::win {

namespace {

std::optional<std::uint64_t> LogonSessionOf(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return std::nullopt;
    const UniqueHandle token(raw);
    TOKEN_STATISTICS statistics{};
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenStatistics, &statistics, sizeof statistics, &size)) {
        return std::nullopt;
    }
    const LUID id = statistics.AuthenticationId;
    return (std::uint64_t{static_cast<DWORD>(id.HighPart)} << 32) | id.LowPart;
}

// The process of the desktop's shell window; none when no shell runs or it cannot be opened.
UniqueHandle OpenShellProcess() {
    const HWND shell = GetShellWindow();
    DWORD id = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &id) || id == 0) return UniqueHandle();
    return UniqueHandle(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
}

// The program's own file; room for the longest path there is.
std::wstring OwnPath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::wstring(path.c_str(), length < path.size() ? length : 0);
}

}  // namespace

std::optional<std::uint64_t> Win32Platform::OwnLogonSession() {
    return LogonSessionOf(GetCurrentProcess());
}

std::optional<std::uint64_t> Win32Platform::ShellLogonSession() {
    const UniqueHandle shell = OpenShellProcess();
    if (!shell) return std::nullopt;
    return LogonSessionOf(shell.Get());
}

// The shell's own rights, copied from its process, start the new copy: it runs as the user the
// desktop belongs to, unelevated, in the shell's logon session, and this copy learns whether it
// started (the shell's ShellExecute would start it too, but would tell nothing of a failure).
// The launcher's show command goes with it, and so does the right to come to the front. The
// call needs the secondary logon service and came with Windows Server 2003; where it is
// missing, the program says it cannot run this way.
bool Win32Platform::StartAsShellUser(std::string_view arguments) {
    using CreateWithToken = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                          LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    const HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    const FARPROC found = advapi ? GetProcAddress(advapi, "CreateProcessWithTokenW") : nullptr;
    const UniqueHandle shell = OpenShellProcess();
    const std::wstring path = OwnPath();
    HANDLE raw = nullptr;
    if (!found || !shell || path.empty() || !OpenProcessToken(shell.Get(), TOKEN_DUPLICATE, &raw)) {
        return false;
    }
    const UniqueHandle shellToken(raw);
    raw = nullptr;
    constexpr DWORD kAccess = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                              TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID;
    if (!DuplicateTokenEx(shellToken.Get(), kAccess, nullptr, SecurityImpersonation, TokenPrimary,
                          &raw)) {
        return false;
    }
    const UniqueHandle token(raw);
    std::wstring line(1, L'"');
    line += path;
    line += L"\" ";
    line += Widen(arguments);
    STARTUPINFOW launcher{};
    launcher.cb = sizeof launcher;
    GetStartupInfoW(&launcher);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = launcher.dwFlags & STARTF_USESHOWWINDOW;
    startup.wShowWindow = launcher.wShowWindow;
    PROCESS_INFORMATION process{};
    if (!reinterpret_cast<CreateWithToken>(reinterpret_cast<void*>(found))(
            token.Get(), 0, path.c_str(), line.data(), 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    const UniqueHandle started(process.hProcess);
    const UniqueHandle thread(process.hThread);
    AllowSetForegroundWindow(process.dwProcessId);
    return true;
}

}  // namespace tovik::win

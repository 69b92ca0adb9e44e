// The platform's questions about the user's session: whose logon session the program and the
// shell run in, starting the program again as the shell's user, and the user's network drives.
#include <iterator>

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

// A disconnected network drive has no device, but its letter is the user's: the system keeps
// it under HKCU\Network and gives it back when the network returns. WNetGetConnection knows the
// connected ones and those the network providers remember. ERROR_NOT_CONNECTED, ERROR_NO_NETWORK
// (no network software running) and ERROR_BAD_DEVICE (no device of that name at all) say "not
// a network drive"; other failures say nothing.
std::optional<bool> Win32Platform::NetworkDriveLetter(char letter) {
    wchar_t key[] = L"Network\\?";
    key[8] = static_cast<wchar_t>(letter);
    HKEY opened = nullptr;
    const LONG registry = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened);
    const UniqueKey remembered(registry == ERROR_SUCCESS ? opened : nullptr);
    if (remembered) return true;

    // Loaded by its full path, as no library beside the program may stand in for it, and
    // only when Open first asks.
    if (!networkTried_) {
        networkTried_ = true;
        if (const auto system = SystemDirectory()) {
            std::wstring path = Widen(*system);
            path += L"\\mpr.dll";
            network_.Reset(LoadLibraryW(path.c_str()));
        }
    }
    using GetConnection = DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);
    const FARPROC found = network_ ? GetProcAddress(network_.Get(), "WNetGetConnectionW") : nullptr;
    if (!found) return std::nullopt;
    const wchar_t device[] = {static_cast<wchar_t>(letter), L':', L'\0'};
    wchar_t remote[1] = {};
    DWORD length = static_cast<DWORD>(std::size(remote));
    const DWORD answer =
        reinterpret_cast<GetConnection>(reinterpret_cast<void*>(found))(device, remote, &length);
    if (answer == NO_ERROR || answer == ERROR_MORE_DATA || answer == ERROR_CONNECTION_UNAVAIL) {
        return true;
    }
    const bool told =
        answer == ERROR_NOT_CONNECTED || answer == ERROR_NO_NETWORK || answer == ERROR_BAD_DEVICE;
    if (!told || registry != ERROR_FILE_NOT_FOUND) return std::nullopt;
    return false;
}

}  // namespace tovik::win

// The platform's questions about the user's session: whose logon session the program and the
// shell run in, starting the program again as the shell's user, and the user's network drives.
// The shell's class and service identifiers are defined here, from the headers, rather than
// taken from a library that holds every identifier there is.
#include <initguid.h>
// initguid first
#include <exdisp.h>
#include <sddl.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <wtsapi32.h>

#include <iterator>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"

namespace tovik::win {

namespace {

UniqueHandle OwnToken() {
    HANDLE raw = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw);
    return UniqueHandle(raw);
}

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

std::optional<std::string> SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return std::nullopt;
    std::string narrow = Narrow(text);
    LocalFree(text);
    return narrow;
}

// The process id of the desktop's shell window; 0 when no shell runs.
DWORD ShellProcessId() {
    const HWND shell = GetShellWindow();
    DWORD id = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &id)) return 0;
    return id;
}

// The least the questions need, which Windows grants for the processes of other users too.
UniqueHandle OpenShellProcess() {
    const DWORD id = ShellProcessId();
    return UniqueHandle(id ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id) : nullptr);
}

// The program's own file; room for the longest path there is.
std::wstring OwnPath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::wstring(path.c_str(), length < path.size() ? length : 0);
}

// By its full path: no library beside the program may stand in for it.
UniqueLibrary LoadSystemLibrary(const std::optional<std::string>& system, const wchar_t* name) {
    if (!system) return UniqueLibrary();
    std::wstring path = Widen(*system);
    path += L'\\';
    path += name;
    return UniqueLibrary(LoadLibraryW(path.c_str()));
}

template <typename Function>
Function Find(HMODULE library, const char* name) {
    return library
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)))
               : nullptr;
}

// The system names the user of every process of the session without opening it, to an
// administrator; where it does not (pUserSid is null, as Wine leaves it), the user is unknown.
std::optional<std::string> UserOfProcess(const std::optional<std::string>& system, DWORD id) {
    const UniqueLibrary wts = LoadSystemLibrary(system, L"wtsapi32.dll");
    using Enumerate = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, PWTS_PROCESS_INFOW*, DWORD*);
    using Free = void(WINAPI*)(PVOID);
    const auto enumerate = Find<Enumerate>(wts.Get(), "WTSEnumerateProcessesW");
    const auto free = Find<Free>(wts.Get(), "WTSFreeMemory");
    PWTS_PROCESS_INFOW processes = nullptr;
    DWORD count = 0;
    if (!enumerate || !free || !enumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &processes, &count)) {
        return std::nullopt;
    }
    std::optional<std::string> user;
    for (DWORD i = 0; i < count; ++i) {
        if (processes[i].ProcessId == id) user = SidText(processes[i].pUserSid);
    }
    free(processes);
    return user;
}

// Owns one reference to a COM object.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ~ComPointer() {
        if (pointer_) pointer_->Release();
    }
    Interface** Out() { return &pointer_; }
    void** OutVoid() { return reinterpret_cast<void**>(&pointer_); }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace

std::optional<std::uint64_t> Win32Platform::OwnLogonSession() {
    return LogonSessionOf(GetCurrentProcess());
}

// The shell's rights decide where Windows lets them be read; its user is asked only where not.
ShellProcess Win32Platform::Shell() {
    ShellProcess shell;
    const DWORD id = ShellProcessId();
    shell.runs = id != 0;
    if (!shell.runs) return shell;
    if (const UniqueHandle process = OpenShellProcess()) {
        shell.logonSession = LogonSessionOf(process.Get());
    }
    if (!shell.logonSession) shell.user = UserOfProcess(SystemDirectory(), id);
    return shell;
}

std::optional<std::string> Win32Platform::OwnUser() {
    const UniqueHandle token = OwnToken();
    DWORD size = 0;
    if (!token) return std::nullopt;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) {
        return std::nullopt;
    }
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// UAC's full token; with UAC off a program's token is no "full" one, though it has every right.
bool Win32Platform::OwnRightsElevated() {
    const UniqueHandle token = OwnToken();
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    return token &&
           GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &size) &&
           type == TokenElevationTypeFull;
}

// The shell's own rights, copied from its process, start the new copy: it runs as the user the
// desktop belongs to, unelevated, in the shell's logon session, and this copy learns whether it
// started. The launcher's show command goes with it, and so does the right to come to the
// front, before it runs. The call needs the secondary logon service; where that is stopped,
// the shell is asked instead.
bool Win32Platform::StartAsShellUser(std::string_view arguments) {
    const UniqueHandle shell = OpenShellProcess();
    const std::wstring path = OwnPath();
    HANDLE raw = nullptr;
    if (!shell || path.empty() || !OpenProcessToken(shell.Get(), TOKEN_DUPLICATE, &raw)) {
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
    if (!CreateProcessWithTokenW(token.Get(), 0, path.c_str(), line.data(), CREATE_SUSPENDED,
                                 nullptr, nullptr, &startup, &process)) {
        return false;
    }
    const UniqueHandle started(process.hProcess);
    const UniqueHandle thread(process.hThread);
    AllowSetForegroundWindow(process.dwProcessId);
    ResumeThread(thread.Get());
    return true;
}

// The desktop's own view runs in the shell's process, and its ShellExecute starts a program
// there, as the shell's user and unelevated. Nothing says whether a program of another user may
// ask it: a refusal here is a normal outcome. The shell may pass the right to come to the front
// on to the new copy.
bool Win32Platform::StartThroughShell(std::string_view arguments) {
    const std::wstring path = OwnPath();
    if (path.empty() || !com_.Enter()) return false;
    using Create = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    const auto create = com_.Find<Create>("CoCreateInstance");
    const UniqueLibrary automation = LoadSystemLibrary(SystemDirectory(), L"oleaut32.dll");
    using AllocString = BSTR(WINAPI*)(const OLECHAR*);
    using FreeString = void(WINAPI*)(BSTR);
    const auto alloc = Find<AllocString>(automation.Get(), "SysAllocString");
    const auto release = Find<FreeString>(automation.Get(), "SysFreeString");
    if (!create || !alloc || !release) return false;

    ComPointer<IShellWindows> windows;
    ComPointer<IDispatch> found;
    ComPointer<IServiceProvider> provider;
    ComPointer<IShellBrowser> browser;
    ComPointer<IShellView> view;
    ComPointer<IDispatch> background;
    ComPointer<IShellFolderViewDual> folderView;
    ComPointer<IDispatch> application;
    ComPointer<IShellDispatch2> shell;
    VARIANT none{};  // VT_EMPTY
    long desktop = 0;
    if (FAILED(create(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                      windows.OutVoid())) ||
        windows->FindWindowSW(&none, &none, SWC_DESKTOP, &desktop, SWFO_NEEDDISPATCH,
                              found.Out()) != S_OK ||
        FAILED(found->QueryInterface(__uuidof(IServiceProvider), provider.OutVoid())) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, __uuidof(IShellBrowser),
                                      browser.OutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Out())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.OutVoid())) ||
        FAILED(background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.OutVoid())) ||
        FAILED(folderView->get_Application(application.Out())) ||
        FAILED(application->QueryInterface(__uuidof(IShellDispatch2), shell.OutVoid()))) {
        return false;
    }
    STARTUPINFOW launcher{};
    launcher.cb = sizeof launcher;
    GetStartupInfoW(&launcher);
    const BSTR file = alloc(path.c_str());
    VARIANT line{};
    line.vt = VT_BSTR;
    line.bstrVal = alloc(Widen(arguments).c_str());
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = (launcher.dwFlags & STARTF_USESHOWWINDOW) ? launcher.wShowWindow : SW_SHOWNORMAL;
    if (const DWORD shellId = ShellProcessId()) AllowSetForegroundWindow(shellId);
    const bool asked =
        file && line.bstrVal && SUCCEEDED(shell->ShellExecute(file, line, none, none, show));
    release(line.bstrVal);
    release(file);
    return asked;
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

// driver.exe: drives and examines GUI windows of other processes on the same
// desktop for the end-to-end tests. One command per run; results go to stdout
// as UTF-8 lines so that the Linux side can read them without any code page
// guessing.

// clang-format off
#include <windows.h>  // first: the other Windows headers build on it
// clang-format on
#include <commctrl.h>
#include <oleacc.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common.h"

namespace {

using tools::to_utf8;

// ---------------------------------------------------------------------------
// Errors and exit codes

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Handles

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// ---------------------------------------------------------------------------
// Text

std::wstring from_utf8(std::string_view text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) throw UsageError("hex argument is not valid UTF-8");
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

int hex_digit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Non-ASCII arguments get mangled between the Linux shell and a Windows
// program, so texts arrive as hex of their UTF-8 bytes.
std::wstring decode_hex_text(std::wstring_view hex) {
    if (hex.size() % 2 != 0) throw UsageError("hex text must have an even number of digits");
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = hex_digit(hex[i]);
        int lo = hex_digit(hex[i + 1]);
        if (hi < 0 || lo < 0) throw UsageError("bad hex digit in text argument");
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    return from_utf8(bytes);
}

// A text to put into a control: hex as above, or repeat:<n>:<hex> for the
// text repeated n times, since a command line cannot hold a long text.
std::wstring decode_text_argument(std::wstring_view arg) {
    if (!arg.starts_with(L"repeat:")) return decode_hex_text(arg);
    arg.remove_prefix(7);
    size_t colon = arg.find(L':');
    if (colon == std::wstring_view::npos) throw UsageError("repeat:<n>:<hex> expected");
    long long count = std::wcstoll(std::wstring(arg.substr(0, colon)).c_str(), nullptr, 10);
    if (count < 0 || count > 1000000) throw UsageError("repeat count out of range");
    std::wstring unit = decode_hex_text(arg.substr(colon + 1));
    std::wstring text;
    for (long long i = 0; i < count; ++i) text += unit;
    return text;
}

// Keeps one item per output line even when a text holds line breaks or tabs.
std::wstring escape_controls(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
            case L'\r': out += L"\\r"; break;
            case L'\n': out += L"\\n"; break;
            case L'\t': out += L"\\t"; break;
            default: out += c;
        }
    }
    return out;
}

// "&Yes" and "Yes" must compare equal; "&&" stands for a literal ampersand.
std::wstring strip_accelerators(std::wstring_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') {
                out += L'&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

bool iequals(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring join(const std::vector<std::wstring>& parts, std::wstring_view separator) {
    std::wstring out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

// ---------------------------------------------------------------------------
// Output

void emit(std::wstring_view line) { tools::write_std(STD_OUTPUT_HANDLE, to_utf8(line) + "\n"); }

void emit_error(std::string_view message) {
    tools::write_std(STD_ERROR_HANDLE, "driver: " + std::string(message) + "\n");
}

std::wstring hex(uint64_t value) {
    wchar_t buf[32];
    swprintf(buf, 32, L"0x%llx", static_cast<unsigned long long>(value));
    return buf;
}

std::wstring hex(HWND hwnd) { return hex(reinterpret_cast<uintptr_t>(hwnd)); }

std::wstring dec(long long value) { return std::to_wstring(value); }

std::wstring rect_text(const RECT& r) {
    return dec(r.left) + L" " + dec(r.top) + L" " + dec(r.right) + L" " + dec(r.bottom);
}

std::wstring tabbed(const std::vector<std::wstring>& fields) { return join(fields, L"\t"); }

// ---------------------------------------------------------------------------
// Argument parsing

long long parse_number(std::wstring_view text, const char* what) {
    std::wstring s(text);
    bool negative = !s.empty() && s[0] == L'-';
    std::wstring digits = negative ? s.substr(1) : s;
    int base = 10;
    if (digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty()) throw UsageError(std::string("bad ") + what);
    wchar_t* end = nullptr;
    unsigned long long value = wcstoull(digits.c_str(), &end, base);
    if (*end != L'\0') throw UsageError(std::string("bad ") + what);
    return negative ? -static_cast<long long>(value) : static_cast<long long>(value);
}

DWORD parse_timeout(const std::vector<std::wstring>& args, size_t index, DWORD fallback) {
    if (index >= args.size()) return fallback;
    long long value = parse_number(args[index], "timeout");
    if (value < 0) throw UsageError("bad timeout");
    return static_cast<DWORD>(value);
}

void require_args(const std::vector<std::wstring>& args, size_t min, size_t max) {
    if (args.size() < min || args.size() > max) throw UsageError("wrong number of arguments");
}

// ---------------------------------------------------------------------------
// Options shared by all commands

struct Options {
    std::optional<DWORD> pid;  // only windows of this process are considered
};

Options g_options;

// ---------------------------------------------------------------------------
// Window basics

// Long enough for a program on a loaded two-core machine; a test that wants to see an answer
// come quickly gives its own limit.
constexpr UINT kSendTimeoutMs = 30000;

std::optional<LRESULT> send_with_timeout(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                         UINT timeout_ms = kSendTimeoutMs) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wparam, lparam, SMTO_ABORTIFHUNG, timeout_ms, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

DWORD window_pid(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

std::wstring class_name(HWND hwnd) {
    wchar_t buf[257] = {};  // window class names are limited to 256 characters
    int n = GetClassNameW(hwnd, buf, 257);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

// The stored caption, read without sending a message, so a hung or busy
// target cannot stall us.
std::wstring caption(HWND hwnd) {
    std::wstring buf(256, L'\0');
    for (;;) {
        int n = InternalGetWindowText(hwnd, buf.data(), static_cast<int>(buf.size()));
        if (n < static_cast<int>(buf.size()) - 1) {
            buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

// Controls such as edits keep their text outside the caption, so ask the
// control itself; the caption is the fallback when it does not answer.
std::wstring control_text(HWND hwnd) {
    auto length = send_with_timeout(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (!length) return caption(hwnd);
    std::wstring buf(static_cast<size_t>(*length) + 1, L'\0');
    auto copied =
        send_with_timeout(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    if (!copied) return caption(hwnd);
    buf.resize(std::min(static_cast<size_t>(*copied), buf.size() - 1));
    return buf;
}

long long control_id(HWND hwnd) { return static_cast<long long>(GetWindowLongPtrW(hwnd, GWLP_ID)); }

bool has_class(HWND hwnd, std::wstring_view name) { return iequals(class_name(hwnd), name); }

RECT window_rect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT client_rect_on_screen(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool pid_allowed(HWND hwnd) { return !g_options.pid || window_pid(hwnd) == *g_options.pid; }

BOOL CALLBACK collect_window(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> top_level_windows() {
    std::vector<HWND> found;
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&found));
    return found;
}

// All descendants, depth first in Z-order.
std::vector<HWND> descendants(HWND root) {
    std::vector<HWND> found;
    EnumChildWindows(root, collect_window, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND first_descendant(HWND root, const std::function<bool(HWND)>& wanted) {
    for (HWND child : descendants(root))
        if (wanted(child)) return child;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Naming a window: 0x<handle>, title:<hex of UTF-8>, class:<name>

struct WindowQuery {
    enum class Kind { Handle, Title, Class } kind;
    HWND handle = nullptr;
    std::wstring text;
};

WindowQuery parse_query(std::wstring_view arg) {
    if (arg.starts_with(L"0x") || arg.starts_with(L"0X")) {
        auto value = static_cast<uintptr_t>(parse_number(arg, "window handle"));
        return {WindowQuery::Kind::Handle, reinterpret_cast<HWND>(value), {}};
    }
    if (arg.starts_with(L"title:"))
        return {WindowQuery::Kind::Title, nullptr, decode_hex_text(arg.substr(6))};
    if (arg.starts_with(L"class:"))
        return {WindowQuery::Kind::Class, nullptr, std::wstring(arg.substr(6))};
    throw UsageError("a window is named by 0x<handle>, title:<hex> or class:<name>");
}

bool query_matches(const WindowQuery& query, HWND hwnd) {
    switch (query.kind) {
        case WindowQuery::Kind::Handle: return hwnd == query.handle;
        case WindowQuery::Kind::Title: return caption(hwnd) == query.text;
        case WindowQuery::Kind::Class: return has_class(hwnd, query.text);
    }
    return false;
}

std::vector<HWND> matching_top_level(const WindowQuery& query) {
    std::vector<HWND> found;
    for (HWND hwnd : top_level_windows())
        if (pid_allowed(hwnd) && query_matches(query, hwnd)) found.push_back(hwnd);
    return found;
}

std::optional<HWND> find_visible(const WindowQuery& query) {
    if (query.kind == WindowQuery::Kind::Handle) {
        if (IsWindow(query.handle) && IsWindowVisible(query.handle) && pid_allowed(query.handle))
            return query.handle;
        return std::nullopt;
    }
    for (HWND hwnd : matching_top_level(query))
        if (IsWindowVisible(hwnd)) return hwnd;
    return std::nullopt;
}

// A handle may name any window, child windows included. Names prefer a
// visible window, since hidden helper windows often share titles.
HWND resolve(const WindowQuery& query) {
    if (query.kind == WindowQuery::Kind::Handle) {
        if (!IsWindow(query.handle)) throw Failure("no window with that handle");
        return query.handle;
    }
    auto found = matching_top_level(query);
    if (found.empty()) throw Failure("no matching window");
    auto visible = std::find_if(found.begin(), found.end(),
                                [](HWND h) { return IsWindowVisible(h) != FALSE; });
    return visible != found.end() ? *visible : found.front();
}

HWND resolve(std::wstring_view arg) { return resolve(parse_query(arg)); }

// ---------------------------------------------------------------------------
// Waiting

template <class Ready>
bool poll_until(DWORD timeout_ms, Ready&& ready) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (ready()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
}

constexpr DWORD kDefaultTimeoutMs = 10000;

// ---------------------------------------------------------------------------
// Synthesised input

constexpr DWORD kInputSettleMs = 50;

void send_input(INPUT input) {
    if (SendInput(1, &input, sizeof(INPUT)) != 1) throw Failure("SendInput failed");
}

// Maps a pixel to the 0..65535 range that absolute mouse input uses, aiming
// at the pixel's centre so rounding cannot land on its neighbour.
LONG normalise(LONG pixel, LONG origin, LONG extent) {
    long long n = ((2LL * (pixel - origin) + 1) * 65536) / (2LL * extent);
    return static_cast<LONG>(std::clamp(n, 0LL, 65535LL));
}

void send_mouse_event(POINT screen, DWORD button_flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    LONG left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    LONG top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    input.mi.dx = normalise(screen.x, left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    input.mi.dy = normalise(screen.y, top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    input.mi.dwFlags =
        MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | button_flags;
    send_input(input);
    Sleep(kInputSettleMs);
}

bool cursor_at(POINT screen) {
    POINT now{};
    return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
}

// Under Wine the host pointer catches up with a synthesised move only a
// little later, and meanwhile the target may get one stray move back to the
// old spot; on a busy machine that can take a while. So the move is made
// again until the pointer has stayed where it was sent for a moment: a button
// event that follows then lands there, with no stray move before it or
// between the press and its release.
void mouse_move(POINT screen) {
    constexpr int kSteadyChecks = 3;
    const ULONGLONG deadline = GetTickCount64() + 3000;
    int steady = 0;
    send_mouse_event(screen, 0);
    Sleep(100);
    send_mouse_event(screen, 0);
    while (steady < kSteadyChecks && GetTickCount64() < deadline) {
        Sleep(30);
        if (cursor_at(screen)) {
            ++steady;
        } else {
            steady = 0;
            send_mouse_event(screen, 0);
        }
    }
}

void mouse_button(POINT screen, DWORD button_flags) {
    mouse_move(screen);
    send_mouse_event(screen, button_flags);
}

void send_key(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    switch (vk) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_HOME:
        case VK_END:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_INSERT:
        case VK_DELETE:
        case VK_APPS: input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY; break;
    }
    if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
    send_input(input);
    Sleep(10);
}

// ---------------------------------------------------------------------------
// Remote calls into another process.
//
// Menus live in the memory of the process that owns them: MN_GETHMENU gives
// us a handle, but the menu functions reject it here. So the few menu
// functions we need run on a short-lived thread inside the owner, through a
// tiny stub that unpacks four arguments from a block we write there. The
// stub is code of the driver's own processor, so the driver must be of the
// target's size.

#if defined(__x86_64__)
// x64 stub: rcx -> { fn, a1, a2, a3, a4, result }; result = fn(a1, a2, a3, a4)
constexpr unsigned char kCallStub[] = {
    0x53,                    // push rbx
    0x48, 0x83, 0xEC, 0x20,  // sub rsp, 32       (shadow space, keeps alignment)
    0x48, 0x89, 0xCB,        // mov rbx, rcx
    0x48, 0x8B, 0x4B, 0x08,  // mov rcx, [rbx+8]
    0x48, 0x8B, 0x53, 0x10,  // mov rdx, [rbx+16]
    0x4C, 0x8B, 0x43, 0x18,  // mov r8,  [rbx+24]
    0x4C, 0x8B, 0x4B, 0x20,  // mov r9,  [rbx+32]
    0xFF, 0x13,              // call [rbx]
    0x48, 0x89, 0x43, 0x28,  // mov [rbx+40], rax
    0x48, 0x83, 0xC4, 0x20,  // add rsp, 32
    0x5B,                    // pop rbx
    0xC3,                    // ret
};
#elif defined(__i386__)
// x86 stdcall stub, same block (low halves of its fields). The callee pops only its own
// arguments, so esp is put back from esi rather than trusted.
constexpr unsigned char kCallStub[] = {
    0x53,                                      // push ebx
    0x56,                                      // push esi
    0x8B, 0x5C, 0x24, 0x0C,                    // mov ebx, [esp+12]   (the block)
    0x89, 0xE6,                                // mov esi, esp
    0xFF, 0x73, 0x20,                          // push dword [ebx+32]  a4
    0xFF, 0x73, 0x18,                          // push dword [ebx+24]  a3
    0xFF, 0x73, 0x10,                          // push dword [ebx+16]  a2
    0xFF, 0x73, 0x08,                          // push dword [ebx+8]   a1
    0xFF, 0x13,                                // call [ebx]
    0x89, 0xF4,                                // mov esp, esi
    0x89, 0x43, 0x28,                          // mov [ebx+40], eax
    0xC7, 0x43, 0x2C, 0x00, 0x00, 0x00, 0x00,  // mov dword [ebx+44], 0
    0x5E,                                      // pop esi
    0x5B,                                      // pop ebx
    0xC2, 0x04, 0x00,                          // ret 4
};
#else
#error "no remote call stub for this processor"
#endif

struct CallBlock {
    uint64_t fn;
    uint64_t args[4];
    uint64_t result;
};

class RemoteProcess {
public:
    explicit RemoteProcess(DWORD pid)
        : process_(OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                   PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                               FALSE, pid)),
          pid_(pid) {
        if (!process_) throw Failure("cannot open process " + std::to_string(pid));
    }
    ~RemoteProcess() {
        for (void* block : blocks_) VirtualFreeEx(process_.get(), block, 0, MEM_RELEASE);
    }
    RemoteProcess(const RemoteProcess&) = delete;
    RemoteProcess& operator=(const RemoteProcess&) = delete;

    HANDLE handle() const { return process_.get(); }

    // Scratch memory in the target; freed with this object.
    uint64_t alloc(size_t size, DWORD protect = PAGE_READWRITE) {
        void* block =
            VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, protect);
        if (!block) throw Failure("VirtualAllocEx failed");
        blocks_.push_back(block);
        return reinterpret_cast<uint64_t>(block);
    }

    void write(uint64_t address, const void* data, size_t size) {
        SIZE_T done = 0;
        if (!WriteProcessMemory(process_.get(), reinterpret_cast<void*>(address), data, size,
                                &done) ||
            done != size)
            throw Failure("WriteProcessMemory failed");
    }

    void read(uint64_t address, void* data, size_t size) const {
        SIZE_T done = 0;
        if (!ReadProcessMemory(process_.get(), reinterpret_cast<const void*>(address), data, size,
                               &done) ||
            done != size)
            throw Failure("ReadProcessMemory failed");
    }

    // Address of a user32 export in the target, which need not have loaded
    // user32 at the same base as we did.
    uint64_t user32_export(const char* name) {
        HMODULE local = GetModuleHandleW(L"user32.dll");
        auto local_fn = reinterpret_cast<uint64_t>(GetProcAddress(local, name));
        if (!local_fn) throw Failure(std::string("no export ") + name);
        return remote_user32_base() + (local_fn - reinterpret_cast<uint64_t>(local));
    }

    uint64_t call(uint64_t fn, uint64_t a1 = 0, uint64_t a2 = 0, uint64_t a3 = 0, uint64_t a4 = 0) {
        if (!stub_) {
            stub_ = alloc(sizeof(kCallStub), PAGE_EXECUTE_READWRITE);
            write(stub_, kCallStub, sizeof(kCallStub));
            block_ = alloc(sizeof(CallBlock));
        }
        CallBlock block{fn, {a1, a2, a3, a4}, 0};
        write(block_, &block, sizeof(block));
        UniqueHandle thread(CreateRemoteThread(process_.get(), nullptr, 0,
                                               reinterpret_cast<LPTHREAD_START_ROUTINE>(stub_),
                                               reinterpret_cast<void*>(block_), 0, nullptr));
        if (!thread) throw Failure("CreateRemoteThread failed");
        if (WaitForSingleObject(thread.get(), 5000) != WAIT_OBJECT_0) {
            blocks_.clear();  // the thread may still use them: leaking beats a crash
            throw Failure("remote call timed out");
        }
        read(block_, &block, sizeof(block));
        return block.result;
    }

private:
    uint64_t remote_user32_base() {
        if (user32_base_) return user32_base_;
        UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid_));
        if (snapshot.get() == INVALID_HANDLE_VALUE) throw Failure("cannot list modules of target");
        MODULEENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL ok = Module32FirstW(snapshot.get(), &entry); ok;
             ok = Module32NextW(snapshot.get(), &entry)) {
            if (iequals(entry.szModule, L"user32.dll")) {
                user32_base_ = reinterpret_cast<uint64_t>(entry.modBaseAddr);
                return user32_base_;
            }
        }
        throw Failure("target has not loaded user32");
    }

    UniqueHandle process_;
    DWORD pid_;
    std::vector<void*> blocks_;
    uint64_t stub_ = 0;
    uint64_t block_ = 0;
    uint64_t user32_base_ = 0;
};

// ---------------------------------------------------------------------------
// Popup menus

constexpr UINT kMnGetHMenu = 0x01E1;  // MN_GETHMENU

struct MenuItem {
    std::wstring text;
    bool separator = false;
    bool grayed = false;
    bool checked = false;
    bool submenu = false;
    RECT rect{};
};

struct OpenMenu {
    HWND window = nullptr;
    HMENU menu = nullptr;
    std::vector<MenuItem> items;
};

// The topmost visible popup: with submenus open it is the innermost one.
std::optional<HWND> find_menu_window() {
    for (HWND hwnd : top_level_windows())
        if (IsWindowVisible(hwnd) && pid_allowed(hwnd) && has_class(hwnd, L"#32768")) return hwnd;
    return std::nullopt;
}

std::vector<MenuItem> read_menu_items(HWND window, HMENU menu) {
    RemoteProcess target(window_pid(window));
    uint64_t get_count = target.user32_export("GetMenuItemCount");
    uint64_t get_info = target.user32_export("GetMenuItemInfoW");
    uint64_t get_rect = target.user32_export("GetMenuItemRect");
    auto hmenu = reinterpret_cast<uint64_t>(menu);

    int count = static_cast<int>(target.call(get_count, hmenu));
    if (count < 0) throw Failure("menu has gone");

    std::vector<MenuItem> items;
    uint64_t remote_info = target.alloc(sizeof(MENUITEMINFOW));
    uint64_t remote_rect = target.alloc(sizeof(RECT));
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        target.write(remote_info, &info, sizeof(info));
        if (!target.call(get_info, hmenu, static_cast<uint64_t>(i), TRUE, remote_info))
            throw Failure("GetMenuItemInfoW failed");
        target.read(remote_info, &info, sizeof(info));

        MenuItem item;
        item.separator = (info.fType & MFT_SEPARATOR) != 0;
        item.grayed = (info.fState & MFS_GRAYED) != 0;
        item.checked = (info.fState & MFS_CHECKED) != 0;
        item.submenu = info.hSubMenu != nullptr;
        if (!item.separator && info.cch > 0) {
            // Second round with a buffer of the length the first one reported.
            uint64_t remote_text = target.alloc((info.cch + 1) * sizeof(wchar_t));
            info.fMask = MIIM_STRING;
            info.dwTypeData = reinterpret_cast<wchar_t*>(remote_text);
            info.cch += 1;
            target.write(remote_info, &info, sizeof(info));
            if (target.call(get_info, hmenu, static_cast<uint64_t>(i), TRUE, remote_info)) {
                target.read(remote_info, &info, sizeof(info));
                std::wstring text(info.cch, L'\0');
                target.read(remote_text, text.data(), info.cch * sizeof(wchar_t));
                item.text = text;
            }
        }
        if (target.call(get_rect, reinterpret_cast<uint64_t>(window), hmenu,
                        static_cast<uint64_t>(i), remote_rect))
            target.read(remote_rect, &item.rect, sizeof(RECT));
        items.push_back(item);
    }
    return items;
}

OpenMenu wait_for_menu(DWORD timeout_ms) {
    std::optional<HWND> window;
    if (!poll_until(timeout_ms, [&] { return (window = find_menu_window()).has_value(); }))
        throw Failure("no popup menu appeared");
    auto hmenu = send_with_timeout(*window, kMnGetHMenu, 0, 0);
    if (!hmenu || !*hmenu) throw Failure("popup menu did not tell its menu handle");
    OpenMenu open;
    open.window = *window;
    open.menu = reinterpret_cast<HMENU>(*hmenu);
    open.items = read_menu_items(open.window, open.menu);
    return open;
}

// ---------------------------------------------------------------------------
// Notification area.
//
// The shell desktop paints all icons straight onto its taskbar window; what
// is left to see from outside is one tooltip window per icon, owned by the
// taskbar, whose single tool covers the icon's spot. Tooltips of removed
// icons linger with an empty spot, and one that was hidden and shown again
// leaves an older twin behind, so the tooltips alone cannot be trusted. The
// shell's record of each shown icon names its tooltip window, and next to it
// the owner, id, callback message, position and tip text, so we look the
// tooltips up in the shell's memory and keep only those a live record names.

struct TrayIcon {
    HWND owner = nullptr;
    UINT id = 0;
    UINT callback = 0;
    std::wstring tip;
    RECT rect{};   // screen coordinates
    int slot = 0;  // 0 is the rightmost icon
};

struct TooltipTool {
    RECT rect{};  // client coordinates of the window the tool belongs to
    HWND window = nullptr;
    std::wstring text;
};

constexpr size_t kTooltipChars = 1024;

std::optional<TooltipTool> read_tooltip_tool(RemoteProcess& shell, HWND tooltip) {
    uint64_t remote_info = shell.alloc(sizeof(TTTOOLINFOW));
    uint64_t remote_text = shell.alloc(kTooltipChars * sizeof(wchar_t));
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    shell.write(remote_info, &info, sizeof(info));
    auto found = send_with_timeout(tooltip, TTM_ENUMTOOLSW, 0, static_cast<LPARAM>(remote_info));
    if (!found || !*found) return std::nullopt;
    shell.read(remote_info, &info, sizeof(info));

    TooltipTool tool;
    tool.rect = info.rect;
    tool.window = info.hwnd;
    info.lpszText = reinterpret_cast<wchar_t*>(remote_text);
    shell.write(remote_info, &info, sizeof(info));
    std::vector<wchar_t> text(kTooltipChars, L'\0');
    shell.write(remote_text, text.data(), text.size() * sizeof(wchar_t));
    if (send_with_timeout(tooltip, TTM_GETTEXTW, kTooltipChars, static_cast<LPARAM>(remote_info))) {
        shell.read(remote_text, text.data(), text.size() * sizeof(wchar_t));
        text.back() = L'\0';
        tool.text = text.data();
    }
    return tool;
}

// The part of the shell's icon record from the owner to the tip text, as
// Wine 8's shell lays it out. A shell that lays it out differently yields
// no matches, hence no icons, rather than wrong ones.
struct IconRecordView {
    uintptr_t owner;
    uintptr_t tooltip;
    UINT state;
    UINT id;
    UINT callback;
    int slot;  // -1 while hidden
    wchar_t tip[128];
};

bool plausible_record(const IconRecordView& record, const TooltipTool& tool) {
    if (record.slot < 0 || record.slot > 1024) return false;
    if ((uint64_t{record.owner} >> 32) != 0) return false;  // window handles are 32-bit values
    auto end = std::find(std::begin(record.tip), std::end(record.tip), L'\0');
    if (end == std::end(record.tip)) return false;
    return std::wstring_view(record.tip, static_cast<size_t>(end - record.tip)) == tool.text;
}

// Every pointer-aligned spot in the shell's private writable memory that
// holds one of the given window handles. The shell is of the driver's size.
std::vector<std::pair<uint64_t, HWND>> find_handle_references(RemoteProcess& shell,
                                                              const std::vector<HWND>& handles) {
    std::vector<std::pair<uint64_t, HWND>> hits;
    std::vector<uintptr_t> chunk;
    MEMORY_BASIC_INFORMATION region{};
    for (uintptr_t address = 0; VirtualQueryEx(shell.handle(), reinterpret_cast<void*>(address),
                                               &region, sizeof(region)) == sizeof(region);
         address = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize) {
        if (region.State != MEM_COMMIT || region.Type != MEM_PRIVATE ||
            region.Protect != PAGE_READWRITE)
            continue;
        auto base = reinterpret_cast<uint64_t>(region.BaseAddress);
        constexpr size_t kChunkBytes = 1 << 20;
        for (size_t offset = 0; offset < region.RegionSize; offset += kChunkBytes) {
            size_t bytes = std::min<size_t>(kChunkBytes, region.RegionSize - offset);
            chunk.resize(bytes / sizeof(uintptr_t));
            SIZE_T done = 0;
            if (!ReadProcessMemory(shell.handle(), reinterpret_cast<void*>(base + offset),
                                   chunk.data(), bytes, &done))
                continue;
            for (size_t i = 0; i < done / sizeof(uintptr_t); ++i) {
                for (HWND handle : handles)
                    if (chunk[i] == reinterpret_cast<uintptr_t>(handle))
                        hits.emplace_back(base + offset + i * sizeof(uintptr_t), handle);
            }
        }
    }
    return hits;
}

std::vector<TrayIcon> icons_from_records(RemoteProcess& shell,
                                         const std::map<HWND, TooltipTool>& tools) {
    std::vector<HWND> handles;
    for (const auto& [tooltip, tool] : tools) handles.push_back(tooltip);
    std::vector<TrayIcon> icons;
    std::vector<HWND> seen;  // one icon per tooltip, whatever copies lie around
    for (const auto& [address, tooltip] : find_handle_references(shell, handles)) {
        if (std::find(seen.begin(), seen.end(), tooltip) != seen.end()) continue;
        IconRecordView record{};
        try {
            shell.read(address - offsetof(IconRecordView, tooltip), &record, sizeof(record));
        } catch (const Failure&) {
            continue;
        }
        const TooltipTool& tool = tools.at(tooltip);
        if (!plausible_record(record, tool)) continue;
        seen.push_back(tooltip);
        TrayIcon icon;
        icon.rect = tool.rect;
        MapWindowPoints(tool.window, HWND_DESKTOP, reinterpret_cast<POINT*>(&icon.rect), 2);
        icon.tip = tool.text;
        icon.owner = reinterpret_cast<HWND>(record.owner);
        icon.id = record.id;
        icon.callback = record.callback;
        icon.slot = record.slot;
        icons.push_back(icon);
    }
    return icons;
}

HWND find_taskbar() {
    for (HWND hwnd : top_level_windows())
        if (has_class(hwnd, L"Shell_TrayWnd")) return hwnd;
    return nullptr;
}

std::vector<TrayIcon> tray_icons() {
    HWND taskbar = find_taskbar();
    if (!taskbar) throw Failure("no taskbar (is the desktop named \"shell\"?)");
    RemoteProcess shell(window_pid(taskbar));

    std::map<HWND, TooltipTool> tools;
    for (HWND hwnd : top_level_windows()) {
        if (GetWindow(hwnd, GW_OWNER) != taskbar || !has_class(hwnd, TOOLTIPS_CLASSW)) continue;
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & TTS_BALLOON) continue;  // balloon notifications
        if (auto tool = read_tooltip_tool(shell, hwnd)) tools.emplace(hwnd, *tool);
    }
    if (tools.empty()) return {};
    auto icons = icons_from_records(shell, tools);
    std::sort(icons.begin(), icons.end(),
              [](const TrayIcon& a, const TrayIcon& b) { return a.slot < b.slot; });
    return icons;
}

// ---------------------------------------------------------------------------
// Keys

struct KeyCombo {
    std::vector<WORD> modifiers;
    WORD key = 0;
};

WORD named_key(std::wstring_view name) {
    static const std::map<std::wstring, WORD, std::less<>> names = {
        {L"enter", VK_RETURN},   {L"return", VK_RETURN}, {L"esc", VK_ESCAPE},
        {L"escape", VK_ESCAPE},  {L"tab", VK_TAB},       {L"space", VK_SPACE},
        {L"backspace", VK_BACK}, {L"delete", VK_DELETE}, {L"del", VK_DELETE},
        {L"insert", VK_INSERT},  {L"home", VK_HOME},     {L"end", VK_END},
        {L"pgup", VK_PRIOR},     {L"pgdn", VK_NEXT},     {L"up", VK_UP},
        {L"down", VK_DOWN},      {L"left", VK_LEFT},     {L"right", VK_RIGHT},
        {L"apps", VK_APPS},      {L"ctrl", VK_CONTROL},  {L"alt", VK_MENU},
        {L"shift", VK_SHIFT},    {L"win", VK_LWIN},
    };
    std::wstring lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return towlower(c); });
    if (auto it = names.find(lower); it != names.end()) return it->second;
    if (lower.size() >= 2 && lower[0] == L'f' && iswdigit(lower[1])) {
        long long n = parse_number(lower.substr(1), "function key");
        if (n >= 1 && n <= 24) return static_cast<WORD>(VK_F1 + n - 1);
    }
    if (lower.size() == 1 && ((lower[0] >= L'a' && lower[0] <= L'z') || iswdigit(lower[0])))
        return static_cast<WORD>(towupper(lower[0]));
    if (lower.starts_with(L"0x")) {
        long long vk = parse_number(lower, "virtual key");
        if (vk > 0 && vk < 256) return static_cast<WORD>(vk);
    }
    throw UsageError("unknown key " + to_utf8(name));
}

bool is_modifier(WORD vk) {
    return vk == VK_CONTROL || vk == VK_MENU || vk == VK_SHIFT || vk == VK_LWIN;
}

KeyCombo parse_combo(std::wstring_view text) {
    KeyCombo combo;
    size_t start = 0;
    for (;;) {
        size_t plus = text.find(L'+', start);
        std::wstring_view part =
            text.substr(start, plus == std::wstring_view::npos ? plus : plus - start);
        WORD vk = named_key(part);
        if (plus == std::wstring_view::npos) {
            combo.key = vk;
            return combo;
        }
        if (!is_modifier(vk)) throw UsageError("only ctrl, alt, shift and win may precede '+'");
        combo.modifiers.push_back(vk);
        start = plus + 1;
    }
}

void press_combo(const KeyCombo& combo) {
    for (WORD vk : combo.modifiers) send_key(vk, false);
    send_key(combo.key, false);
    send_key(combo.key, true);
    for (auto it = combo.modifiers.rbegin(); it != combo.modifiers.rend(); ++it)
        send_key(*it, true);
    Sleep(kInputSettleMs);
}

// ---------------------------------------------------------------------------
// Child lookup for buttons and edits

HWND find_button(HWND root, std::wstring_view which) {
    std::function<bool(HWND)> wanted;
    if (which.starts_with(L"id:")) {
        long long id = parse_number(which.substr(3), "control id");
        wanted = [id](HWND h) { return control_id(h) == id; };
    } else {
        std::wstring text = strip_accelerators(decode_hex_text(which));
        wanted = [text](HWND h) {
            return has_class(h, L"Button") && strip_accelerators(control_text(h)) == text;
        };
    }
    // A hidden button with the same text must not shadow the visible one.
    HWND hidden = nullptr;
    for (HWND child : descendants(root)) {
        if (!wanted(child)) continue;
        if (IsWindowVisible(child)) return child;
        if (!hidden) hidden = child;
    }
    return hidden;
}

HWND find_edit(HWND root, std::wstring_view which) {
    if (which.starts_with(L"id:")) {
        long long id = parse_number(which.substr(3), "control id");
        return first_descendant(root, [id](HWND h) { return control_id(h) == id; });
    }
    if (which.starts_with(L"index:")) {
        long long index = parse_number(which.substr(6), "edit index");
        for (HWND child : descendants(root))
            if (has_class(child, L"Edit") && index-- == 0) return child;
        return nullptr;
    }
    throw UsageError("control must be id:<n> or index:<k>");
}

HWND require_edit(HWND root, std::wstring_view which) {
    HWND edit = find_edit(root, which);
    if (!edit) throw Failure("no such control");
    return edit;
}

// ---------------------------------------------------------------------------
// Commands

using Args = std::vector<std::wstring>;

int cmd_wait(const Args& args) {
    require_args(args, 1, 2);
    WindowQuery query = parse_query(args[0]);
    std::optional<HWND> found;
    if (!poll_until(parse_timeout(args, 1, kDefaultTimeoutMs),
                    [&] { return (found = find_visible(query)).has_value(); }))
        throw Failure("timed out waiting for window");
    emit(hex(*found));
    return kExitOk;
}

int cmd_wait_gone(const Args& args) {
    require_args(args, 1, 2);
    WindowQuery query = parse_query(args[0]);
    if (!poll_until(parse_timeout(args, 1, kDefaultTimeoutMs),
                    [&] { return !find_visible(query); }))
        throw Failure("window still there");
    return kExitOk;
}

int cmd_windows(const Args& args) {
    require_args(args, 0, 0);
    for (HWND hwnd : top_level_windows()) {
        if (!pid_allowed(hwnd)) continue;
        emit(tabbed({hex(hwnd), dec(window_pid(hwnd)), dec(IsWindowVisible(hwnd) ? 1 : 0),
                     dec(IsWindowEnabled(hwnd) ? 1 : 0), class_name(hwnd),
                     escape_controls(caption(hwnd))}));
    }
    return kExitOk;
}

int cmd_info(const Args& args) {
    require_args(args, 1, 1);
    HWND hwnd = resolve(args[0]);
    emit(L"handle=" + hex(hwnd));
    emit(L"pid=" + dec(window_pid(hwnd)));
    emit(L"title=" + escape_controls(caption(hwnd)));
    emit(L"class=" + class_name(hwnd));
    emit(L"visible=" + dec(IsWindowVisible(hwnd) ? 1 : 0));
    emit(L"enabled=" + dec(IsWindowEnabled(hwnd) ? 1 : 0));
    emit(L"iconic=" + dec(IsIconic(hwnd) ? 1 : 0));
    emit(L"zoomed=" + dec(IsZoomed(hwnd) ? 1 : 0));
    emit(L"rect=" + rect_text(window_rect(hwnd)));
    emit(L"client=" + rect_text(client_rect_on_screen(hwnd)));
    emit(L"style=" + hex(static_cast<uint32_t>(GetWindowLongPtrW(hwnd, GWL_STYLE))));
    emit(L"exstyle=" + hex(static_cast<uint32_t>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE))));
    emit(L"owner=" + hex(GetWindow(hwnd, GW_OWNER)));
    emit(L"parent=" + hex(GetAncestor(hwnd, GA_PARENT) == GetDesktopWindow()
                              ? nullptr
                              : GetAncestor(hwnd, GA_PARENT)));
    emit(L"foreground=" + dec(GetForegroundWindow() == hwnd ? 1 : 0));
    return kExitOk;
}

int cmd_children(const Args& args) {
    require_args(args, 1, 1);
    HWND root = resolve(args[0]);
    for (HWND child : descendants(root)) {
        RECT r = window_rect(child);
        MapWindowPoints(HWND_DESKTOP, GetAncestor(child, GA_PARENT), reinterpret_cast<POINT*>(&r),
                        2);
        emit(tabbed({hex(child), class_name(child), dec(control_id(child)),
                     dec(IsWindowVisible(child) ? 1 : 0), escape_controls(control_text(child)),
                     rect_text(r), dec(IsWindowEnabled(child) ? 1 : 0)}));
    }
    return kExitOk;
}

int cmd_list_rows(const Args& args) {
    require_args(args, 1, 1);
    HWND root = resolve(args[0]);
    HWND list = has_class(root, L"ListBox")
                    ? root
                    : first_descendant(root, [](HWND h) { return has_class(h, L"ListBox"); });
    if (!list) throw Failure("no list box");
    auto selected = send_with_timeout(list, LB_GETCURSEL, 0, 0);
    auto count = send_with_timeout(list, LB_GETCOUNT, 0, 0);
    if (!selected || !count || *count < 0) throw Failure("list box does not answer");
    emit(L"selected=" + dec(*selected));
    emit(L"count=" + dec(*count));
    for (LRESULT i = 0; i < *count; ++i) {
        auto length = send_with_timeout(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text;
        if (length && *length > 0) {
            text.assign(static_cast<size_t>(*length) + 1, L'\0');
            auto copied = send_with_timeout(list, LB_GETTEXT, static_cast<WPARAM>(i),
                                            reinterpret_cast<LPARAM>(text.data()));
            text.resize(copied && *copied > 0
                            ? std::min(static_cast<size_t>(*copied), text.size() - 1)
                            : 0);
        }
        emit(escape_controls(text));
    }
    return kExitOk;
}

constexpr long long kMessageBoxTextId = 0xFFFF;

bool is_message_box(HWND hwnd) {
    if (!IsWindowVisible(hwnd) || !pid_allowed(hwnd) || !has_class(hwnd, L"#32770")) return false;
    return first_descendant(hwnd, [](HWND h) {
               return control_id(h) == kMessageBoxTextId && has_class(h, L"Static");
           }) != nullptr;
}

// Which of the system's icons a message box shows. Icon handles do not
// travel between processes under Wine, so the icon on screen is compared
// pixel by pixel with each system icon drawn here on the same background.
std::wstring icon_kind(HWND icon_control) {
    RECT r = window_rect(icon_control);
    const int size = GetSystemMetrics(SM_CXICON);
    WindowDc screen(nullptr);
    HDC shown = CreateCompatibleDC(screen.get());
    HDC drawn = CreateCompatibleDC(screen.get());
    HBITMAP shown_bits = CreateCompatibleBitmap(screen.get(), size, size);
    HBITMAP drawn_bits = CreateCompatibleBitmap(screen.get(), size, size);
    HGDIOBJ old_shown = SelectObject(shown, shown_bits);
    HGDIOBJ old_drawn = SelectObject(drawn, drawn_bits);
    BitBlt(shown, 0, 0, size, size, screen.get(), r.left, r.top, SRCCOPY);
    HBRUSH background = CreateSolidBrush(GetPixel(shown, 0, 0));
    const std::pair<LPCWSTR, const wchar_t*> kinds[] = {{IDI_EXCLAMATION, L"exclamation"},
                                                        {IDI_ASTERISK, L"information"},
                                                        {IDI_QUESTION, L"question"},
                                                        {IDI_HAND, L"error"}};
    std::wstring kind = L"other";
    for (const auto& [id, name] : kinds) {
        RECT all{0, 0, size, size};
        FillRect(drawn, &all, background);
        DrawIconEx(drawn, 0, 0, LoadIconW(nullptr, id), size, size, 0, nullptr, DI_NORMAL);
        int differing = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if (GetPixel(drawn, x, y) != GetPixel(shown, x, y)) ++differing;
        if (differing < size * size / 20) {
            kind = name;
            break;
        }
    }
    DeleteObject(background);
    SelectObject(shown, old_shown);
    SelectObject(drawn, old_drawn);
    DeleteObject(shown_bits);
    DeleteObject(drawn_bits);
    DeleteDC(shown);
    DeleteDC(drawn);
    return kind;
}

int cmd_msgbox(const Args& args) {
    require_args(args, 0, 1);
    HWND box = nullptr;
    if (!poll_until(parse_timeout(args, 0, kDefaultTimeoutMs), [&] {
            for (HWND hwnd : top_level_windows())
                if (is_message_box(hwnd)) return (box = hwnd) != nullptr;
            return false;
        }))
        throw Failure("no message box appeared");

    std::wstring text;
    std::wstring icon = L"none";
    std::vector<HWND> buttons;
    for (HWND child : descendants(box)) {
        if (has_class(child, L"Static")) {
            if (control_id(child) == kMessageBoxTextId) text = control_text(child);
            // A box only just shown may not have painted its icon yet (an emulated 32-bit
            // program paints well after it shows), so one that matches none is looked at again.
            if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                IsWindowVisible(child))
                poll_until(3000, [&] { return (icon = icon_kind(child)) != L"other"; });
        } else if (has_class(child, L"Button") && IsWindowVisible(child)) {
            buttons.push_back(child);
        }
    }
    std::sort(buttons.begin(), buttons.end(), [](HWND a, HWND b) {
        RECT ra = window_rect(a), rb = window_rect(b);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    std::vector<std::wstring> labels;
    for (HWND button : buttons) labels.push_back(strip_accelerators(control_text(button)));

    emit(L"title=" + escape_controls(caption(box)));
    emit(L"text=" + escape_controls(text));
    emit(L"icon=" + icon);
    emit(L"topmost=" + dec((GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0));
    emit(L"buttons=" + join(labels, L","));
    emit(L"handle=" + hex(box));
    emit(L"pid=" + dec(window_pid(box)));
    return kExitOk;
}

int cmd_press(const Args& args) {
    require_args(args, 2, 2);
    HWND root = resolve(args[0]);
    HWND button = find_button(root, args[1]);
    if (!button) throw Failure("no such button");
    if (!IsWindowEnabled(button)) throw Failure("button is disabled");
    // Posted: the click may open a modal dialog that would block a send.
    if (!PostMessageW(button, BM_CLICK, 0, 0)) throw Failure("PostMessage failed");
    return kExitOk;
}

int cmd_settext(const Args& args) {
    require_args(args, 3, 3);
    HWND edit = require_edit(resolve(args[0]), args[1]);
    std::wstring text = decode_text_argument(args[2]);
    auto ok = send_with_timeout(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (!ok || !*ok) throw Failure("WM_SETTEXT failed");
    return kExitOk;
}

int cmd_type(const Args& args) {
    require_args(args, 3, 3);
    HWND edit = require_edit(resolve(args[0]), args[1]);
    std::wstring text = decode_text_argument(args[2]);
    for (wchar_t unit : text)
        if (!PostMessageW(edit, WM_CHAR, unit, 1)) throw Failure("PostMessage failed");
    // Nothing acknowledges posted messages; give the target time to drain
    // them, then make sure its thread is not stuck.
    Sleep(20 + 2 * static_cast<DWORD>(text.size()));
    send_with_timeout(edit, WM_NULL, 0, 0);
    return kExitOk;
}

int cmd_key(const Args& args) {
    if (args.empty()) throw UsageError("key needs at least one key");
    std::vector<KeyCombo> combos;
    for (const auto& arg : args) combos.push_back(parse_combo(arg));
    for (const auto& combo : combos) press_combo(combo);
    return kExitOk;
}

struct MouseTarget {
    HWND window;
    POINT client;
    bool right;
};

MouseTarget parse_mouse_target(const Args& args) {
    require_args(args, 4, 5);
    MouseTarget target{resolve(args[1]),
                       {static_cast<LONG>(parse_number(args[2], "x")),
                        static_cast<LONG>(parse_number(args[3], "y"))},
                       false};
    if (args.size() == 5) {
        if (args[4] == L"right")
            target.right = true;
        else if (args[4] != L"left")
            throw UsageError("button must be left or right");
    }
    return target;
}

int cmd_mouse(const Args& args) {
    MouseTarget target = parse_mouse_target(args);
    POINT screen = target.client;
    ClientToScreen(target.window, &screen);
    DWORD down = target.right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    DWORD up = target.right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    const std::wstring& action = args[0];
    if (action == L"move")
        mouse_move(screen);
    else if (action == L"down")
        mouse_button(screen, down);
    else if (action == L"up")
        mouse_button(screen, up);
    else if (action == L"click") {
        mouse_button(screen, down);
        send_mouse_event(screen, up);
    } else
        throw UsageError("mouse action must be move, down, up or click");
    return kExitOk;
}

int cmd_cursor(const Args& args) {
    require_args(args, 0, 0);
    POINT p{};
    if (!GetCursorPos(&p)) throw Failure("GetCursorPos failed");
    emit(dec(p.x) + L" " + dec(p.y));
    return kExitOk;
}

struct RawMessage {
    HWND window;
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
};

RawMessage parse_raw_message(const Args& args) {
    require_args(args, 4, 5);
    return {resolve(args[0]), static_cast<UINT>(parse_number(args[1], "message")),
            static_cast<WPARAM>(parse_number(args[2], "wparam")),
            static_cast<LPARAM>(parse_number(args[3], "lparam"))};
}

int cmd_post(const Args& args) {
    RawMessage m = parse_raw_message(args);
    if (!PostMessageW(m.window, m.msg, m.wparam, m.lparam)) throw Failure("PostMessage failed");
    return kExitOk;
}

int cmd_send(const Args& args) {
    RawMessage m = parse_raw_message(args);
    const UINT timeout =
        args.size() > 4 ? static_cast<UINT>(parse_number(args[4], "timeout")) : kSendTimeoutMs;
    auto result = send_with_timeout(m.window, m.msg, m.wparam, m.lparam, timeout);
    if (!result) throw Failure("SendMessageTimeout failed or timed out");
    emit(dec(*result));
    return kExitOk;
}

// As the shell hands a tray icon's clicks to its window: sent, without waiting for the answer.
// A sent message runs inside whatever loop the target is in, a wait of its own included.
int cmd_notify(const Args& args) {
    RawMessage m = parse_raw_message(args);
    if (!SendNotifyMessageW(m.window, m.msg, m.wparam, m.lparam))
        throw Failure("SendNotifyMessage failed");
    return kExitOk;
}

// ShowWindow from outside, as another program or a launcher's show command does it.
int cmd_show(const Args& args) {
    require_args(args, 2, 2);
    ShowWindow(resolve(args[0]), static_cast<int>(parse_number(args[1], "show command")));
    return kExitOk;
}

// Reads from the screen rather than the window's own DC: that sees exactly
// what is shown, whichever process painted it.
int cmd_pixel(const Args& args) {
    require_args(args, 3, 3);
    HWND hwnd = resolve(args[0]);
    POINT p{static_cast<LONG>(parse_number(args[1], "x")),
            static_cast<LONG>(parse_number(args[2], "y"))};
    ClientToScreen(hwnd, &p);
    WindowDc screen(nullptr);
    COLORREF color = GetPixel(screen.get(), p.x, p.y);
    if (color == CLR_INVALID) throw Failure("point is off screen");
    emit(dec(GetRValue(color)) + L"," + dec(GetGValue(color)) + L"," + dec(GetBValue(color)));
    return kExitOk;
}

int cmd_focus(const Args& args) {
    require_args(args, 0, 0);
    HWND foreground = GetForegroundWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    DWORD thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    if (thread) GetGUIThreadInfo(thread, &info);
    emit(L"focus=" + hex(info.hwndFocus));
    emit(L"focus_class=" + (info.hwndFocus ? class_name(info.hwndFocus) : L""));
    emit(L"focus_text=" + (info.hwndFocus ? escape_controls(control_text(info.hwndFocus)) : L""));
    emit(L"active=" + hex(info.hwndActive));
    emit(L"foreground=" + hex(foreground));
    emit(L"foreground_title=" + (foreground ? escape_controls(caption(foreground)) : L""));
    return kExitOk;
}

std::wstring menu_item_line(const MenuItem& item) {
    if (item.separator) return L"-";
    std::wstring line = escape_controls(strip_accelerators(item.text));
    std::vector<std::wstring> flags;
    if (item.grayed) flags.push_back(L"grayed");
    if (item.checked) flags.push_back(L"checked");
    if (item.submenu) flags.push_back(L"submenu");
    if (!flags.empty()) line += L"\t" + join(flags, L",");
    return line;
}

int cmd_menu(const Args& args) {
    require_args(args, 0, 1);
    OpenMenu open = wait_for_menu(parse_timeout(args, 0, kDefaultTimeoutMs));
    emit(L"handle=" + hex(open.window));
    emit(L"rect=" + rect_text(window_rect(open.window)));
    emit(L"count=" + dec(static_cast<long long>(open.items.size())));
    for (const auto& item : open.items) emit(menu_item_line(item));
    return kExitOk;
}

int cmd_menu_pick(const Args& args) {
    require_args(args, 1, 2);
    long long index = parse_number(args[0], "item index");
    OpenMenu open = wait_for_menu(parse_timeout(args, 1, kDefaultTimeoutMs));
    if (index < 0 || index >= static_cast<long long>(open.items.size()))
        throw Failure("no such menu item");
    const MenuItem& item = open.items[static_cast<size_t>(index)];
    if (item.separator) throw Failure("that item is a separator");
    if (item.grayed) throw Failure("that item is grayed");
    if (IsRectEmpty(&item.rect)) throw Failure("menu item has no position");
    POINT centre{(item.rect.left + item.rect.right) / 2, (item.rect.top + item.rect.bottom) / 2};
    mouse_button(centre, MOUSEEVENTF_LEFTDOWN);
    send_mouse_event(centre, MOUSEEVENTF_LEFTUP);
    return kExitOk;
}

int cmd_tray(const Args& args) {
    require_args(args, 0, 0);
    auto icons = tray_icons();
    emit(L"count=" + dec(static_cast<long long>(icons.size())));
    for (const auto& icon : icons) {
        emit(tabbed({hex(icon.owner), dec(window_pid(icon.owner)), dec(icon.id), hex(icon.callback),
                     escape_controls(icon.tip), rect_text(icon.rect)}));
    }
    return kExitOk;
}

std::wstring send_result_text(const std::optional<LRESULT>& result) {
    if (result) return dec(*result);
    return L"error:" + dec(GetLastError());
}

// What a screen reader finds: for the window and every window inside it, the client
// object's role, state and name, then those of each of its simple elements (children that
// are windows of their own come in their own turn).
void emit_accessible(HWND hwnd, IAccessible* object, long child) {
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = child;
    BSTR name = nullptr;
    VARIANT role{}, state{};
    if (FAILED(object->get_accName(id, &name))) name = nullptr;
    object->get_accRole(id, &role);
    object->get_accState(id, &state);
    emit(tabbed({hex(hwnd), dec(child), dec(role.vt == VT_I4 ? role.lVal : -1),
                 hex(static_cast<uint32_t>(state.vt == VT_I4 ? state.lVal : 0)),
                 escape_controls(name ? name : L"")}));
    SysFreeString(name);
    VariantClear(&role);
    VariantClear(&state);
}

int cmd_accessible(const Args& args) {
    require_args(args, 1, 1);
    HWND root = resolve(args[0]);
    if (FAILED(CoInitialize(nullptr))) throw Failure("CoInitialize failed");
    std::vector<HWND> windows{root};
    for (HWND child : descendants(root)) windows.push_back(child);
    for (HWND hwnd : windows) {
        IAccessible* object = nullptr;
        if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, IID_IAccessible,
                                              reinterpret_cast<void**>(&object))) ||
            !object)
            continue;
        emit_accessible(hwnd, object, CHILDID_SELF);
        long count = 0;
        if (SUCCEEDED(object->get_accChildCount(&count)) && count > 0) {
            std::vector<VARIANT> children(static_cast<size_t>(count));
            long obtained = 0;
            if (SUCCEEDED(AccessibleChildren(object, 0, count, children.data(), &obtained))) {
                for (long i = 0; i < obtained; ++i) {
                    if (children[i].vt == VT_I4) emit_accessible(hwnd, object, children[i].lVal);
                    VariantClear(&children[i]);
                }
            }
        }
        object->Release();
    }
    CoUninitialize();
    return kExitOk;
}

// The width in pixels of a text in a font of the given face and character height.
int cmd_text_width(const Args& args) {
    require_args(args, 3, 3);
    LOGFONTW logfont{};
    logfont.lfHeight = -static_cast<LONG>(parse_number(args[1], "height"));
    logfont.lfCharSet = GB2312_CHARSET;
    lstrcpynW(logfont.lfFaceName, decode_hex_text(args[0]).c_str(), LF_FACESIZE);
    const std::wstring text = decode_hex_text(args[2]);
    HFONT font = CreateFontIndirectW(&logfont);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    const BOOL measured =
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    if (!measured) throw Failure("cannot measure the text");
    emit(dec(size.cx));
    return kExitOk;
}

// WM_DPICHANGED as the system sends it when a window moves to a monitor of another
// resolution; the suggested rectangle (the window's own) lies in the target's memory.
int cmd_dpi_changed(const Args& args) {
    require_args(args, 2, 2);
    HWND hwnd = resolve(args[0]);
    const auto dpi = static_cast<WORD>(parse_number(args[1], "dpi"));
    const RECT suggested = window_rect(hwnd);
    RemoteProcess target(window_pid(hwnd));
    const uint64_t address = target.alloc(sizeof suggested);
    target.write(address, &suggested, sizeof suggested);
    constexpr UINT kDpiChanged = 0x02E0;
    if (!send_with_timeout(hwnd, kDpiChanged, MAKEWPARAM(dpi, dpi), static_cast<LPARAM>(address)))
        throw Failure("WM_DPICHANGED got no answer");
    return kExitOk;
}

// A logoff, or with "closeapp" what Restart Manager sends a program it closes while the
// session goes on.
int cmd_end_session(const Args& args) {
    require_args(args, 1, 2);
    HWND hwnd = resolve(args[0]);
    if (args.size() == 2 && args[1] != L"closeapp") throw UsageError("closeapp or nothing");
    const LPARAM reason = args.size() == 2 ? ENDSESSION_CLOSEAPP : ENDSESSION_LOGOFF;
    auto query = send_with_timeout(hwnd, WM_QUERYENDSESSION, 0, reason);
    emit(L"queryendsession=" + send_result_text(query));
    // The target may well exit while handling this one, so a failure here
    // is reported but is no failure of the command.
    auto end = send_with_timeout(hwnd, WM_ENDSESSION, TRUE, reason);
    emit(L"endsession=" + send_result_text(end));
    if (!query) throw Failure("WM_QUERYENDSESSION got no answer");
    return kExitOk;
}

int cmd_attrib(const Args& args) {
    require_args(args, 1, 2);
    std::wstring path = decode_hex_text(args[0]);
    if (args.size() == 2 &&
        !SetFileAttributesW(path.c_str(), static_cast<DWORD>(parse_number(args[1], "bits"))))
        throw Failure("cannot set the attributes");
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) throw Failure("no such file or folder");
    emit(dec(attributes));
    return kExitOk;
}

// Keeps a file open with no sharing at all, as a program that has it in
// use can; prints "held" once it is open.
int cmd_hold(const Args& args) {
    require_args(args, 2, 2);
    UniqueHandle file(CreateFileW(decode_hex_text(args[0]).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || file.get() == INVALID_HANDLE_VALUE) throw Failure("cannot open the file");
    emit(L"held");
    Sleep(static_cast<DWORD>(parse_number(args[1], "milliseconds")));
    return kExitOk;
}

int cmd_dosdevice(const Args& args) {
    require_args(args, 1, 1);
    std::wstring letter = args[0].substr(0, 1);
    if (letter.empty() || !iswalpha(letter[0])) throw UsageError("drive letter expected");
    std::wstring device = letter + L":";
    std::vector<wchar_t> buf(1024);
    for (;;) {
        DWORD n = QueryDosDeviceW(device.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
        if (n) break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            throw Failure("no mapping for " + to_utf8(device));
        buf.resize(buf.size() * 2);
    }
    // The answer is a list of strings ending in an empty one.
    for (const wchar_t* p = buf.data(); *p; p += wcslen(p) + 1) emit(p);
    return kExitOk;
}

// GetGuiResources answers 0 with ERROR_CALL_NOT_IMPLEMENTED where nothing is
// counted (Wine 8), which is no count of 0.
std::wstring gui_resources(HANDLE process, DWORD which) {
    SetLastError(ERROR_SUCCESS);
    DWORD count = GetGuiResources(process, which);
    if (count == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) return L"none";
    return dec(count);
}

// A process's GDI handle table, whose address Wine, like older Windows,
// keeps in the process's PEB; live entries not marked stock are the GDI
// objects the process made.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint8_t ext_type;  // top bit: stock object
    uint8_t generation;
    uint8_t type;  // 0: free
    uint8_t flags;
    uint64_t user_pointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr uint64_t kPebGdiHandleTable = 0xF8;  // offset in the x64 PEB
constexpr size_t kGdiMaxHandles = 0x10000;

std::wstring gdi_table_count(RemoteProcess& target) {
    if (sizeof(void*) != 8) return L"none";  // the layout above is the x64 one
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(target.handle(), ProcessBasicInformation, &basic, sizeof basic,
                                  nullptr) != 0)
        return L"none";
    uint64_t table = 0;
    target.read(reinterpret_cast<uint64_t>(basic.PebBaseAddress) + kPebGdiHandleTable, &table,
                sizeof table);
    if (!table) return L"none";
    std::vector<GdiHandleEntry> entries(kGdiMaxHandles);
    target.read(table, entries.data(), entries.size() * sizeof(GdiHandleEntry));
    return dec(std::count_if(entries.begin(), entries.end(), [](const GdiHandleEntry& e) {
        return e.type != 0 && !(e.ext_type & 0x80);
    }));
}

// Wine 8 answers GetProcessHandleCount with 0 and PrivateUsage with what the
// process has in swap, so both are also counted as Windows counts them: the
// process's entries in the system's handle list, and its committed private
// memory.
long long listed_handles(DWORD pid) {
    std::vector<unsigned char> buf(1 << 16);
    NTSTATUS status;
    constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    while ((status = NtQuerySystemInformation(SystemHandleInformation, buf.data(),
                                              static_cast<ULONG>(buf.size()), nullptr)) ==
           kLengthMismatch)
        buf.resize(buf.size() * 2);
    if (status != 0) throw Failure("no system handle list");
    const auto* list = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buf.data());
    return std::count_if(list->Handle, list->Handle + list->Count,
                         [pid](const SYSTEM_HANDLE_ENTRY& e) { return e.OwnerPid == pid; });
}

long long private_committed_kib(HANDLE process) {
    unsigned long long bytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (uint64_t address = 0; VirtualQueryEx(process, reinterpret_cast<void*>(address), &region,
                                              sizeof(region)) == sizeof(region);
         address = reinterpret_cast<uint64_t>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
    }
    return static_cast<long long>(bytes / 1024);
}

int cmd_counters(const Args& args) {
    require_args(args, 1, 1);
    auto pid = static_cast<DWORD>(parse_number(args[0], "pid"));
    RemoteProcess target(pid);
    DWORD handles = 0;
    if (!GetProcessHandleCount(target.handle(), &handles)) throw Failure("no handle count");
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(target.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                              sizeof memory))
        throw Failure("no memory counters");
    long long windows = 0;
    for (HWND hwnd : top_level_windows())
        if (window_pid(hwnd) == pid)
            windows += 1 + static_cast<long long>(descendants(hwnd).size());
    emit(L"handles=" + dec(handles));
    emit(L"handles_listed=" + dec(listed_handles(pid)));
    emit(L"private_kib=" + dec(static_cast<long long>(memory.PrivateUsage / 1024)));
    emit(L"private_committed_kib=" + dec(private_committed_kib(target.handle())));
    emit(L"working_set_kib=" + dec(static_cast<long long>(memory.WorkingSetSize / 1024)));
    emit(L"gdi_objects=" + gui_resources(target.handle(), GR_GDIOBJECTS));
    emit(L"user_objects=" + gui_resources(target.handle(), GR_USEROBJECTS));
    emit(L"gdi_table=" + gdi_table_count(target));
    emit(L"windows=" + dec(windows));
    return kExitOk;
}

constexpr const char* kUsage =
    R"(usage: driver.exe [--pid N] <command> [arguments]

<win> names a window: 0x<handle> | title:<hex of UTF-8 title> | class:<name>
  Names match top-level windows (a visible one first). --pid N limits every
  window lookup, msgbox and menu included, to that process. <hex> texts are
  hex of UTF-8 bytes. Output is UTF-8, one item per line; inside texts CR, LF
  and TAB print as \r \n \t; msgbox buttons and menu items lose '&'.
Exit status: 0 success, 1 failure or timeout (reason on stderr), 2 bad usage.

  wait <win> [timeout_ms=10000]       wait for a visible window; print handle
  wait-gone <win> [timeout_ms]        wait until no visible window matches
  windows                             handle pid visible enabled class title
  info <win>                          key=value lines: handle pid title class
                                      visible enabled iconic zoomed rect client
                                      style exstyle owner parent foreground
                                      (rect, client: left top right bottom on
                                      screen)
  children <win>                      handle class id visible text rect enabled
                                      (rect in the parent's client coordinates)
  list-rows <win>                     first list box: selected=<i>, count=<n>,
                                      then one row text per line
  msgbox [timeout_ms]                 wait for a message box; print title=
                                      text= icon=none|exclamation|information|
                                      question|error|other topmost=0|1
                                      buttons=<a,b> handle= pid=
  press <win> <hex text>|id:<n>       click a button (BM_CLICK, posted);
                                      fails if it is disabled
  settext <win> id:<n>|index:<k> <hex text>
                                      WM_SETTEXT to a child control; a text
                                      may also be repeat:<n>:<hex>
  type <win> id:<n>|index:<k> <hex text>
                                      post WM_CHAR per UTF-16 unit
                                      (index:<k> = k-th Edit control, from 0)
  key <key> [key...]                  SendInput to the foreground window;
                                      keys: enter esc tab space backspace del
                                      insert home end pgup pgdn up down left
                                      right apps f1..f24 a..z 0..9 0x<vk>, with
                                      ctrl+ alt+ shift+ win+ (e.g. alt+f4)
  mouse move|down|up|click <win> <x> <y> [left|right]
                                      SendInput at client coordinates
  cursor                              cursor position on screen: x y
  post <win> <msg> <wparam> <lparam>  PostMessage (numbers decimal or 0x hex)
  send <win> <msg> <wparam> <lparam> [ms]  SendMessageTimeout (30 s); print result
  pixel <win> <x> <y>                 colour shown on screen at a client
                                      point: r,g,b
  focus                               focus= focus_class= focus_text= active=
                                      foreground= foreground_title=
  menu [timeout_ms]                   wait for a popup menu; print handle=
                                      rect= count=, then per item its text
                                      (+ TAB grayed,checked,submenu) or -
  menu-pick <index> [timeout_ms]      click item <index> (from 0, separators
                                      counted) of the open popup menu; fails
                                      on separators and grayed items
  tray                                count=<n>, then per notification icon,
                                      rightmost first: owner pid id callback
                                      tip rect
  end-session <win> [closeapp]        WM_QUERYENDSESSION then WM_ENDSESSION
                                      (logoff, or the program closed while the
                                      session goes on); print both results
  dosdevice <letter>                  print what the drive letter maps to
  counters <pid>                      what the system counts of a process:
                                      handles= (GetProcessHandleCount)
                                      handles_listed= (its entries in the
                                      system handle list) private_kib=
                                      (PrivateUsage) private_committed_kib=
                                      working_set_kib= gdi_objects=
                                      user_objects= (GetGuiResources; none:
                                      not counted) gdi_table= (live entries
                                      of its GDI handle table) windows= (its
                                      windows, children too)
  attrib <hex path> [bits]            set the attribute bits of a file or
                                      folder if given; print them (decimal)
  hold <hex path> <ms>                keep a file open, unshared, for a while;
                                      print "held" once it is open
  accessible <win>                    what a screen reader finds in the window
                                      and each window inside it: handle child
                                      role state(hex) name, per client object
                                      and per simple element (child > 0)
  text-width <hex face> <px> <hex text>
                                      width in pixels of the text in that font
                                      (GB2312 character set, <px> high)
  dpi-changed <win> <dpi>             send WM_DPICHANGED with the window's own
                                      rectangle as the suggested one
)";

using Command = int (*)(const Args&);

const std::map<std::wstring, Command, std::less<>>& commands() {
    static const std::map<std::wstring, Command, std::less<>> table = {
        {L"wait", cmd_wait},
        {L"wait-gone", cmd_wait_gone},
        {L"windows", cmd_windows},
        {L"info", cmd_info},
        {L"children", cmd_children},
        {L"list-rows", cmd_list_rows},
        {L"msgbox", cmd_msgbox},
        {L"press", cmd_press},
        {L"settext", cmd_settext},
        {L"type", cmd_type},
        {L"key", cmd_key},
        {L"mouse", cmd_mouse},
        {L"cursor", cmd_cursor},
        {L"post", cmd_post},
        {L"send", cmd_send},
        {L"notify", cmd_notify},
        {L"show", cmd_show},
        {L"pixel", cmd_pixel},
        {L"focus", cmd_focus},
        {L"menu", cmd_menu},
        {L"menu-pick", cmd_menu_pick},
        {L"tray", cmd_tray},
        {L"end-session", cmd_end_session},
        {L"dosdevice", cmd_dosdevice},
        {L"counters", cmd_counters},
        {L"attrib", cmd_attrib},
        {L"hold", cmd_hold},
        {L"accessible", cmd_accessible},
        {L"text-width", cmd_text_width},
        {L"dpi-changed", cmd_dpi_changed},
    };
    return table;
}

// Pulls "--pid N" out of the arguments, wherever it stands.
Args take_options(Args args) {
    for (size_t i = 0; i < args.size();) {
        if (args[i] != L"--pid") {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) throw UsageError("--pid needs a process id");
        g_options.pid = static_cast<DWORD>(parse_number(args[i + 1], "pid"));
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    }
    return args;
}

int run(Args args) {
    args = take_options(std::move(args));
    if (args.empty()) {
        tools::write_std(STD_OUTPUT_HANDLE, kUsage);
        return kExitUsage;
    }
    auto it = commands().find(args[0]);
    if (it == commands().end()) throw UsageError("unknown command " + to_utf8(args[0]));
    return it->second(Args(args.begin() + 1, args.end()));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return run(Args(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        emit_error(e.what());
        emit_error("run without arguments for usage");
        return kExitUsage;
    } catch (const Failure& e) {
        emit_error(e.what());
        return kExitFailure;
    } catch (const std::exception& e) {
        emit_error(e.what());
        return kExitFailure;
    }
}

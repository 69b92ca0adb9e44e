// probe.exe: starts a program under Wine and measures it from outside, for bench/run.
//
//   probe start <exe> <rows>
//       start-up time to a visible window whose list holds <rows> rows and the peak working
//       set; then it keeps the program running for orders on its input (see Start). For the
//       timeline build of Tovik also its start-up steps: when each ended, from the moment the
//       probe started it (at_<step>_ms), and the time spent in each kind of call
//       (in_<step>_ms, with its count in_<step>_count)
//   probe cycle <exe> <rows>
//       start-up, then Open on the first row (a vault without password: the notice is
//       answered) and Close: Open's latency against subst.exe's own run time, the list
//       rebuild after Close, and the peak working set after each
//   probe drive-types
//       what the system's drive-type query costs, per drive, here; and per fixed drive, what
//       looking at it as Tovik's start-up does costs a fresh process, and then once more; what
//       the listing of c:\*.* that follows each vault probe costs; and what asking the system
//       about every letter, as start-up does for letters an earlier run left, costs
//   probe cost comctl32|shell32|font|ole
//       what one library, or a row of Chinese text in 宋体, costs a fresh process on its own:
//       the time to load it (to draw the row) and what it adds to the peak working set
//
// Results are key=value lines; times in milliseconds, memory in KiB.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Failure {
    const char* what;
};

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

unsigned long long Ticks(const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

unsigned long long SystemTicks() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return Ticks(now);
}

template <typename Ready>
void WaitFor(Ready ready, double timeoutMs, const char* what) {
    const double deadline = Now() + timeoutMs;
    while (!ready()) {
        if (Now() > deadline) throw Failure{what};
        Sleep(1);
    }
}

struct Search {
    DWORD pid;
    const wchar_t* className;  // nullptr: any visible top-level window
    HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (search->className && wcscmp(name, search->className) != 0) return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND TopLevel(DWORD pid, const wchar_t* className) {
    Search search{pid, className, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Child(HWND parent, const wchar_t* className) {
    return FindWindowExW(parent, nullptr, className, nullptr);
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, 30000, &result)) {
        throw Failure{"the program does not answer"};
    }
    return static_cast<LRESULT>(result);
}

std::wstring Row(HWND list, int row) {
    const LRESULT length = Send(list, LB_GETTEXTLEN, row);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    Send(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

bool EndsWith(const std::wstring& text, const wchar_t* tail) {
    const size_t n = wcslen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

class Program {
public:
    Program(const wchar_t* exe, int rows) {
        std::wstring line = std::wstring(L"\"") + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        DeleteFileW((std::wstring(exe) + L".timeline").c_str());
        launched_ = SystemTicks();
        const double started = Now();
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_)) {
            throw Failure{"cannot start the program"};
        }
        WaitFor(
            [&] {
                main_ = TopLevel(process_.dwProcessId, nullptr);
                if (!main_) return false;
                list_ = Child(main_, L"ListBox");
                return list_ && Send(list_, LB_GETCOUNT) >= rows;
            },
            30000, "no window with a filled list");
        std::printf("startup_ms=%.1f\n", Now() - started);
    }
    ~Program() {
        if (main_) PostMessageW(main_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    double PeakKib() const {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!GetProcessMemoryInfo(process_.hProcess, &counters, sizeof counters)) return -1;
        return static_cast<double>(counters.PeakWorkingSetSize) / 1024.0;
    }

    // A press and release on command button `index`, a push button on the panel, at 96 DPI.
    void Command(int index) const {
        HWND panel = Child(main_, L"TovikCommandPanel");
        if (!panel) throw Failure{"no command panel"};
        POINT point{25, 24 * index + 14};
        HWND button = ChildWindowFromPointEx(panel, point, CWP_SKIPINVISIBLE);
        if (!button || button == panel) throw Failure{"no command button there"};
        MapWindowPoints(panel, button, &point, 1);
        const LPARAM at = MAKELPARAM(point.x, point.y);
        PostMessageW(button, WM_MOUSEMOVE, 0, at);
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(button, WM_LBUTTONUP, 0, at);
    }

    // The steps the timeline build wrote beside its program file, from the probe's start of it.
    void PrintTimeline(const wchar_t* exe) const {
        FILE* file = _wfopen((std::wstring(exe) + L".timeline").c_str(), L"rb");
        if (!file) return;
        char line[160], step[100], kind[8];
        long long value = 0, count = 0;
        while (std::fgets(line, sizeof line, file)) {
            const int fields = std::sscanf(line, "%99s %7s %lld %lld", step, kind, &value, &count);
            if (fields >= 3 && std::strcmp(kind, "mark") == 0) {
                std::printf("at_%s_ms=%.3f\n", step,
                            static_cast<double>(value - static_cast<long long>(launched_)) / 1e4);
            } else if (fields == 4 && std::strcmp(kind, "span") == 0) {
                std::printf("in_%s_ms=%.3f\nin_%s_count=%lld\n", step,
                            static_cast<double>(value) / 1e4, step, count);
            }
        }
        std::fclose(file);
    }

    HWND main() const { return main_; }
    HWND list() const { return list_; }
    DWORD pid() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
    unsigned long long launched_ = 0;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
};

// The two numbers of the last line a stand-in appended, or zeros.
void LastTimes(const wchar_t* path, unsigned long long& first, unsigned long long& second) {
    first = second = 0;
    FILE* file = _wfopen(path, L"rb");
    if (!file) return;
    char line[128];
    while (std::fgets(line, sizeof line, file)) {
        std::sscanf(line, "%llu %llu", &first, &second);
    }
    std::fclose(file);
}

// After the start-up figures, takes orders on its input, one a line: "peak" prints the peak
// working set, "hide" minimises the window and answers "hidden" once it has gone, and "quit"
// or the end of the input closes the program.
int Start(const wchar_t* exe, int rows) {
    Program program(exe, rows);
    Sleep(500);
    program.PrintTimeline(exe);
    std::printf("peak_kib=%.0f\nready\n", program.PeakKib());
    std::fflush(stdout);
    char order[64];
    while (std::fgets(order, sizeof order, stdin)) {
        if (std::strncmp(order, "peak", 4) == 0) {
            std::printf("peak_kib=%.0f\n", program.PeakKib());
        } else if (std::strncmp(order, "hide", 4) == 0) {
            PostMessageW(program.main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
            WaitFor([&] { return !IsWindowVisible(program.main()); }, 10000, "still visible");
            std::printf("hidden\n");
        } else {
            break;
        }
        std::fflush(stdout);
    }
    return 0;
}

int Cycle(const wchar_t* exe, int rows) {
    Program program(exe, rows);
    Sleep(300);
    program.Command(0);
    HWND notice = nullptr;
    WaitFor([&] { return (notice = TopLevel(program.pid(), L"#32770")) != nullptr; }, 10000,
            "no notice");
    Sleep(200);
    const unsigned long long answered = SystemTicks();
    PostMessageW(notice, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return Row(program.list(), 0).find(L"=>") != std::wstring::npos; }, 20000,
            "the vault did not open");
    Sleep(300);
    unsigned long long substCreated, substEnded, explorerCreated, unused;
    LastTimes(L"C:\\subst-times.txt", substCreated, substEnded);
    LastTimes(L"C:\\explorer-times.txt", explorerCreated, unused);
    if (!substCreated || !explorerCreated) throw Failure{"no times from the stand-ins"};
    std::printf("open_ms=%.1f\n", static_cast<double>(explorerCreated - answered) / 10000.0);
    std::printf("subst_ms=%.1f\n", static_cast<double>(substEnded - substCreated) / 10000.0);
    std::printf("peak_open_kib=%.0f\n", program.PeakKib());

    const double clicked = Now();
    program.Command(1);
    WaitFor([&] { return EndsWith(Row(program.list(), 0), L"未打开"); }, 20000,
            "the vault did not close");
    std::printf("rebuild_ms=%.1f\n", Now() - clicked);
    LastTimes(L"C:\\subst-times.txt", substCreated, substEnded);
    std::printf("unmap_subst_ms=%.1f\n", static_cast<double>(substEnded - substCreated) / 10000.0);
    Sleep(300);
    std::printf("peak_closed_kib=%.0f\n", program.PeakKib());
    return 0;
}

// The root ("A:\\") of every drive in use, in letter order.
std::vector<std::wstring> DriveRoots() {
    const DWORD letters = GetLogicalDrives();
    std::vector<std::wstring> roots;
    for (int i = 0; i < 26; ++i) {
        if (letters & (1u << i)) roots.push_back({static_cast<wchar_t>(L'A' + i), L':', L'\\'});
    }
    return roots;
}

// What a program pays to look at the drives as Tovik's start-up does: the type of every drive,
// then for each fixed one a vault probe and its free space. The first round is the one a fresh
// process pays, the second what the same questions cost once Wine has seen each drive. Tovik
// also lists c:\*.* after each probe, up to the first plain file; that is timed on its own.
struct Round {
    double look = 0;
    double listing = 0;
    int fixed = 0;
};

Round DriveRound(const std::vector<std::wstring>& roots) {
    Round round;
    for (const std::wstring& root : roots) {
        double started = Now();
        if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED) continue;
        ++round.fixed;
        const std::wstring marker = root + L"Recycled\\Tovik\\Recycled\\desktop.ini";
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(marker.c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
        round.look += Now() - started;
        started = Now();
        find = FindFirstFileW(L"c:\\*.*", &data);
        if (find != INVALID_HANDLE_VALUE) {
            while ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                                             FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) &&
                   FindNextFileW(find, &data)) {
            }
            FindClose(find);
        }
        round.listing += Now() - started;
        started = Now();
        ULARGE_INTEGER available;
        GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr);
        round.look += Now() - started;
    }
    return round;
}

int DriveTypes() {
    double started = Now();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const wchar_t device[] = {letter, L':', L'\0'};
        wchar_t target[512];
        QueryDosDeviceW(device, target, 512);
    }
    const double sweep = Now() - started;
    const std::vector<std::wstring> roots = DriveRoots();
    const Round first = DriveRound(roots);
    const Round again = DriveRound(roots);
    constexpr int kRounds = 10;
    started = Now();
    for (int round = 0; round < kRounds; ++round) {
        for (const std::wstring& root : roots) GetDriveTypeW(root.c_str());
    }
    const double calls = static_cast<double>(kRounds * roots.size());
    const double fixed = first.fixed ? first.fixed : 1;
    std::printf("drive_type_ms=%.3f\n", calls ? (Now() - started) / calls : 0.0);
    std::printf("first_look_ms=%.3f\n", first.look / fixed);
    std::printf("next_look_ms=%.3f\n", again.look / fixed);
    std::printf("first_listing_ms=%.3f\n", first.listing / fixed);
    std::printf("next_listing_ms=%.3f\n", again.listing / fixed);
    std::printf("sweep_ms=%.3f\n", sweep);
    return 0;
}

double WorkingSetKib() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / 1024.0;
}

template <typename Function>
Function Entry(const wchar_t* library, const char* name) {
    const HMODULE module = LoadLibraryW(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

// What any window program pays first, and the floor too: the display's driver, a window, a
// list box and a line of the system's font.
void WarmUp() {
    const HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"D:"));
    const HDC dc = GetDC(list);
    TextOutW(dc, 0, 0, L"D:", 2);
    ReleaseDC(list, dc);
    DestroyWindow(list);
}

// One thing Tovik loads (or loaded), in a process that has loaded nothing else of the kind,
// beyond what every window program pays: its time and what it adds to the peak working set.
// The libraries are loaded by name here, as the probe itself imports none of them.
int Cost(const wchar_t* what) {
    WarmUp();
    const double before = WorkingSetKib();
    const double started = Now();
    if (wcscmp(what, L"comctl32") == 0) {
        using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        if (const auto init = Entry<Init>(L"comctl32.dll", "InitCommonControlsEx")) init(&controls);
    } else if (wcscmp(what, L"shell32") == 0) {
        using Accept = void(WINAPI*)(HWND, BOOL);
        if (const auto accept = Entry<Accept>(L"shell32.dll", "DragAcceptFiles")) {
            accept(GetDesktopWindow(), FALSE);
        }
    } else if (wcscmp(what, L"ole") == 0) {
        using Initialize = HRESULT(WINAPI*)(LPVOID);
        if (const auto initialize = Entry<Initialize>(L"ole32.dll", "OleInitialize")) {
            initialize(nullptr);
        }
    } else if (wcscmp(what, L"font") == 0) {
        LOGFONTW face{};
        face.lfHeight = -14;
        face.lfCharSet = GB2312_CHARSET;
        lstrcpynW(face.lfFaceName, L"宋体", LF_FACESIZE);
        const HFONT font = CreateFontIndirectW(&face);
        const HDC screen = GetDC(nullptr);
        const HDC dc = CreateCompatibleDC(screen);
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 20);
        const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        const HGDIOBJ oldFont = SelectObject(dc, font);
        const wchar_t row[] = L"D: 剩余12.35GB  已创建 未打开";
        TextOutW(dc, 0, 0, row, static_cast<int>(wcslen(row)));
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        DeleteObject(font);
    } else {
        return 2;
    }
    std::printf("cost_ms=%.3f\n", Now() - started);
    std::printf("cost_kib=%.0f\n", WorkingSetKib() - before);
    // COM is left as a program leaves it: a process that ends with it still set up now and
    // then fails on its way out under Wine.
    if (wcscmp(what, L"ole") == 0) {
        if (const auto end = Entry<void(WINAPI*)()>(L"ole32.dll", "OleUninitialize")) end();
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        if (argc == 4 && wcscmp(argv[1], L"start") == 0) return Start(argv[2], _wtoi(argv[3]));
        if (argc == 4 && wcscmp(argv[1], L"cycle") == 0) return Cycle(argv[2], _wtoi(argv[3]));
        if (argc == 2 && wcscmp(argv[1], L"drive-types") == 0) return DriveTypes();
        if (argc == 3 && wcscmp(argv[1], L"cost") == 0) return Cost(argv[2]);
        std::fputs("usage: probe start|cycle <exe> <rows> | drive-types | cost <what>\n", stderr);
        return 2;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "probe: %s\n", failure.what);
        return 1;
    }
}

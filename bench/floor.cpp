// The floor of the benchmark: as little as a window with a list can be. One window, one list
// box with one row, shown at once; built with the same toolchain, flags and manifest as
// Tovik.exe, so that what Tovik costs beyond it is ours.
//
// Built with FLOOR_WITH_LIBRARIES it also pays for what Tovik cannot do without and the plain
// floor does not do: it loads the common controls and the shell, its rows are Chinese text in
// 宋体, which brings in a CJK font, in a list box made as Tovik's is, and it lists as many rows
// as Tovik, one a fixed drive, each after the questions about the drive that no row of Tovik's
// can do without: its type, its free space, the look at its vault folder and the listing of
// c:\ that follows it. Built with TOVIK_TIMELINE too, it marks the steps it shares with
// Tovik's start-up, as Tovik's timeline build does.
#include <windows.h>

#include "platform/Timeline.h"
#ifdef FLOOR_WITH_LIBRARIES
#include <commctrl.h>
#include <shellapi.h>
#endif

namespace {
LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    TOVIK_MARK("entry");
#ifdef FLOOR_WITH_LIBRARIES
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    TOVIK_MARK("common_controls");
    wchar_t row[] = L"D: 剩余12.35GB  已创建 未打开";
    constexpr DWORD kListStyle = WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
#else
    wchar_t row[] = L"D:";
    constexpr DWORD kListStyle = 0;
#endif
    WNDCLASSW wc{};
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"Floor";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"Floor", L"Floor", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 272, 220, nullptr, nullptr,
                                  instance, nullptr);
    HWND list =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | kListStyle, 64,
                        8, 193, 146, window, nullptr, instance, nullptr);
    TOVIK_MARK("window");
#ifdef FLOOR_WITH_LIBRARIES
    LOGFONTW face{};
    face.lfHeight = -12;
    face.lfCharSet = GB2312_CHARSET;
    lstrcpynW(face.lfFaceName, L"宋体", LF_FACESIZE);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(CreateFontIndirectW(&face)), FALSE);
    DragAcceptFiles(window, FALSE);
#endif
#ifdef FLOOR_WITH_LIBRARIES
    const DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(letters & (1u << i))) continue;
        const wchar_t letter = static_cast<wchar_t>(L'A' + i);
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        if (GetDriveTypeW(root) != DRIVE_FIXED) continue;
        ULARGE_INTEGER available{};
        GetDiskFreeSpaceExW(root, &available, nullptr, nullptr);
        wchar_t marker[] = L"?:\\Recycled\\Tovik\\Recycled\\desktop.ini";
        marker[0] = letter;
        WIN32_FIND_DATAW data;
        const wchar_t* const patterns[] = {marker, L"c:\\*.*"};
        for (const wchar_t* pattern : patterns) {
            const HANDLE found = FindFirstFileW(pattern, &data);
            if (found != INVALID_HANDLE_VALUE) FindClose(found);
        }
        row[0] = letter;
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
    SendMessageW(list, LB_SETCURSEL, 0, 0);
#else
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
#endif
    TOVIK_MARK("rows");
    ShowWindow(window, showCommand);
    TOVIK_MARK("first_showing");
    TOVIK_TIMELINE_WRITE();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

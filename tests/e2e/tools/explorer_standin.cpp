// explorer.exe stand-in for the end-to-end tests. Placed next to the program
// under test, it is found before the system's copy when that program starts
// "explorer.exe", and only records how it was started: the command line and
// the show state asked for, one line per run in C:\explorer-log.txt, and
// when it was created in C:\explorer-times.txt.

#include <windows.h>

#include <cwchar>
#include <string>

#include "common.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);

    wchar_t flags[16];
    swprintf(flags, 16, L"0x%lx", startup.dwFlags);

    std::wstring line = GetCommandLineW();
    line += L"\tshow=" + std::to_wstring(startup.wShowWindow);
    line += L"\tflags=";
    line += flags;
    tools::append_line(L"C:\\explorer-log.txt", line);
    tools::append_process_times(L"C:\\explorer-times.txt");
    return 0;
}

// explorer.exe stand-in for the end-to-end tests. It takes the place of the
// system's copy in the Windows folder and only records how it was started:
// the command line, the show state asked for and the file that ran, one line
// per run in C:\explorer-log.txt, and when it was created in
// C:\explorer-times.txt. A copy put beside the program under test shows by
// its path whether it ever ran.

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
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    line += L"\tpath=" + std::wstring(path, length);
    tools::append_line(L"C:\\explorer-log.txt", line);
    tools::append_process_times(L"C:\\explorer-times.txt");
    return 0;
}

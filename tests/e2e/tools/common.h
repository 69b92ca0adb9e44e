// Small helpers shared by the end-to-end test tools.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tools {

inline std::string to_utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// Raw bytes to a standard handle: the console code page must not get a say
// in what the Linux side reads.
inline void write_std(DWORD std_handle, std::string_view bytes) {
    HANDLE out = GetStdHandle(std_handle);
    if (!out || out == INVALID_HANDLE_VALUE) return;
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written == 0)
            return;
        bytes.remove_prefix(written);
    }
}

// Appends one line in a single write to a file opened for appending only, so
// that processes writing at the same time neither block nor overwrite each
// other. A run that finds the file locked by a stricter opener retries for a
// while rather than losing its line.
inline bool append_line(const wchar_t* path, std::wstring_view line) {
    std::string bytes = to_utf8(line) + "\r\n";
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileW(path, FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
            Sleep(20);
            continue;
        }
        DWORD written = 0;
        BOOL ok =
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == bytes.size();
    }
    return false;
}

// Appends when this process was created and the time now, in 100 ns ticks of the system
// clock, for the benchmark: what a stand-in costs of its own, from its creation to its end.
inline void append_process_times(const wchar_t* path) {
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
    GetSystemTimePreciseAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    append_line(path, std::to_wstring(ticks(created)) + L" " + std::to_wstring(ticks(now)));
}

}  // namespace tools

#include "platform/Timeline.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

#include "platform/win32/Handles.h"

// Built into the benchmark's Tovik_timeline.exe and floor_timeline.exe only. Marks and totals
// are kept in a fixed table, so that taking them costs no allocation, and are written out only
// at the end of start-up and again after the work that waits for the message loop.
namespace tovik {

namespace {
struct Entry {
    const char* step;
    bool span;
    long long value;  // a mark: the system's time in 100 ns; a span: QPC counts
    int count;
};
Entry entries[64];
int used = 0;
DWORD markingThread = 0;

long long Counter() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

Entry* Find(const char* step, bool span) {
    for (int i = 0; i < used; ++i) {
        if (entries[i].span == span && std::strcmp(entries[i].step, step) == 0) return &entries[i];
    }
    if (used == static_cast<int>(sizeof entries / sizeof entries[0])) return nullptr;
    entries[used] = {step, span, 0, 0};
    return &entries[used++];
}

// The probe reads the system's time too, before it starts the program. The precise clock
// came with Windows 8; the headers of the program's oldest system do not declare it.
FILETIME SystemTime() {
    using Function = void(WINAPI*)(FILETIME*);
    const auto precise = reinterpret_cast<Function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now;
    if (precise) {
        precise(&now);
    } else {
        GetSystemTimeAsFileTime(&now);
    }
    return now;
}
}  // namespace

// A step marked twice (a second showing) keeps its first time.
void TimelineMark(const char* step) {
    const FILETIME now = SystemTime();
    if (markingThread == 0) markingThread = GetCurrentThreadId();
    Entry* entry = Find(step, false);
    if (!entry || entry->count++ > 0) return;
    entry->value = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

TimelineSpan::TimelineSpan(const char* step) : step_(step), started_(Counter()) {}

// Only the window's thread, the one that made the first mark, is timed: the questions that
// partitions are asked on other threads once the window shows are no part of start-up.
TimelineSpan::~TimelineSpan() {
    if (GetCurrentThreadId() != markingThread) return;
    const long long elapsed = Counter() - started_;
    if (Entry* entry = Find(step_, true)) {
        entry->value += elapsed;
        ++entry->count;
    }
}

// "<step> mark <time>" or "<step> span <time> <count>", a line each, in the order the steps
// first came, times in 100 ns, to "<program file>.timeline". Written by hand rather than with
// the C++ library, which would make the floor's timeline build as large as the program.
void TimelineWrite() {
    wchar_t path[1024];
    const DWORD length = GetModuleFileNameW(nullptr, path, 1000);
    if (length == 0 || length >= 1000) return;
    std::wcscpy(path + length, L".timeline");
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    static char text[64 * 128];
    std::size_t at = 0;
    const auto put = [&at](const char* piece) {
        while (*piece && at < sizeof text) text[at++] = *piece++;
    };
    const auto number = [&put](long long value) {
        char digits[24];
        int n = sizeof digits - 1;
        digits[n] = '\0';
        do {
            digits[--n] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value > 0 && n > 0);
        put(" ");
        put(digits + n);
    };
    for (int i = 0; i < used; ++i) {
        const Entry& e = entries[i];
        put(e.step);
        put(e.span ? " span" : " mark");
        number(e.span ? e.value * 10'000'000 / frequency.QuadPart : e.value);
        if (e.span) number(e.count);
        put("\n");
    }
    const win::UniqueHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.Get(), text, static_cast<DWORD>(at), &written, nullptr);
}

}  // namespace tovik

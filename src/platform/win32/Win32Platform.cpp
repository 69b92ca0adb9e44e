#include "platform/win32/Win32Platform.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/Text.h"
#include "platform/Timeline.h"
#include "platform/win32/ThreadWait.h"
#include "platform/win32/WinText.h"

namespace tovik::win {

// The logic's numbers are the system's own.
static_assert(kMbYesNo == MB_YESNO && kMbIconQuestion == MB_ICONQUESTION &&
              kMbIconExclamation == MB_ICONEXCLAMATION &&
              kMbIconInformation == MB_ICONINFORMATION && kMbSystemModal == MB_SYSTEMMODAL);
static_assert(kIdOk == IDOK && kIdYes == IDYES);
static_assert(kShowHidden == SW_HIDE && kShowMaximized == SW_SHOWMAXIMIZED);
static_assert(kReadOnly == FILE_ATTRIBUTE_READONLY && kHidden == FILE_ATTRIBUTE_HIDDEN &&
              kSystem == FILE_ATTRIBUTE_SYSTEM && kFolder == FILE_ATTRIBUTE_DIRECTORY);

namespace {

// The logic's drive codes, from the system's drive types.
int DriveTypeCode(UINT systemType) {
    switch (systemType) {
        case DRIVE_REMOVABLE: return kDriveRemovable;
        case DRIVE_FIXED: return kDriveFixed;
        case DRIVE_REMOTE: return kDriveNetwork;
        case DRIVE_CDROM: return kDriveOptical;
        case DRIVE_RAMDISK: return kDriveRamDisk;
        default: return kDriveUnknown;
    }
}

std::wstring RootOf(std::wstring_view path) {
    if (path.size() >= 2 && path[1] == L':') return std::wstring(path.substr(0, 2)) + L"\\";
    return {};
}

// Errors that mean "nothing there" rather than "cannot look".
bool IsNothingThere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES;
}

bool IsReadOnlyFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool MatchesMask(DWORD attributes, int mask) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    const DWORD bits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & bits & ~static_cast<DWORD>(mask)) == 0;
}

std::optional<std::string> DirectoryFrom(UINT (*query)(LPWSTR, UINT)) {
    const UINT needed = query(nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::wstring buffer(needed, L'\0');
    const UINT length = query(buffer.data(), needed);
    if (length == 0 || length >= needed) return std::nullopt;
    buffer.resize(length);
    return Narrow(buffer);
}

UINT SystemDirectoryQuery(LPWSTR buffer, UINT size) { return GetSystemDirectoryW(buffer, size); }
// The system's own Windows folder, where Explorer is, also on a Remote Desktop host, where a
// program may be given a folder of the user's own instead.
UINT WindowsDirectoryQuery(LPWSTR buffer, UINT size) {
    return GetSystemWindowsDirectoryW(buffer, size);
}

// The program is named by its full path, so the system does not search for it: a program of
// the same name in our own folder or the current one never runs in its place. A path with
// blanks is quoted on the command line so that the program reads its arguments right. A program
// started to be seen may come to the front, which Windows otherwise keeps for this one: it is
// started suspended, given that right, and let run; so is the shell's own process, to which
// an Explorer started this way usually hands its window.
UniqueHandle StartProcess(std::string_view program, std::string_view arguments, int showStyle,
                          DWORD creationFlags, bool toTheFront) {
    const std::wstring path = Widen(program);
    std::wstring line = path.find(L' ') == std::wstring::npos ? path : L'"' + path + L'"';
    line += Widen(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE,
                        creationFlags | (toTheFront ? CREATE_SUSPENDED : 0), nullptr, nullptr,
                        &startup, &process)) {
        return UniqueHandle();
    }
    const UniqueHandle thread(process.hThread);
    if (toTheFront) {
        AllowSetForegroundWindow(process.dwProcessId);
        DWORD shell = 0;
        if (const HWND desktop = GetShellWindow();
            desktop && GetWindowThreadProcessId(desktop, &shell)) {
            AllowSetForegroundWindow(shell);
        }
        ResumeThread(thread.Get());
    }
    return UniqueHandle(process.hProcess);
}

// Links to other folders are counted, not followed. A folder below the root that cannot be
// listed, or not to its end, counts with what could be seen of it.
std::optional<std::uint64_t> CountBelow(const std::wstring& root) {
    std::uint64_t count = 0;
    std::vector<std::wstring> folders{root};
    for (bool isRoot = true; !folders.empty(); isRoot = false) {
        const std::wstring folder = std::move(folders.back());
        folders.pop_back();
        WIN32_FIND_DATAW data;
        UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
        if (!find) {
            if (isRoot) return std::nullopt;
            continue;
        }
        do {
            const std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            ++count;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                folders.push_back(folder + L'\\' + data.cFileName);
            }
        } while (FindNextFileW(find.Get(), &data));
        if (isRoot && GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
    }
    return count;
}

struct Count {
    std::wstring root;
    std::optional<std::uint64_t> entries;
};

DWORD WINAPI CountThread(void* parameter) {
    auto* job = static_cast<Count*>(parameter);
    job->entries = CountBelow(job->root);
    return 0;
}

// The questions asked aside and not yet answered, in every batch.
std::atomic<long> questionsOut{0};

// One batch of questions, shared by the window's thread and the pool's threads that ask them;
// the last of them to let go of it frees it.
struct Asking {
    explicit Asking(std::vector<DiskQuestion> asked)
        : questions(std::move(asked)), answered(questions.size()) {}
    void Release() {
        if (--holders == 0) delete this;
    }

    std::vector<DiskQuestion> questions;
    std::vector<std::atomic<bool>> answered;
    std::atomic<std::size_t> next{0};
    std::atomic<long> left{0};
    std::atomic<long> holders{1};
    UniqueHandle done;
};

// Takes the batch's questions in turn until none is left.
void AskInTurn(Asking* batch) {
    for (std::size_t i = batch->next++; i < batch->questions.size(); i = batch->next++) {
        try {
            batch->questions[i].ask();
            batch->answered[i] = true;
        } catch (...) {
        }
        --questionsOut;
        if (--batch->left == 0) SetEvent(batch->done.Get());
    }
    batch->Release();
}

// A question may wait for a disk for a long time: the pool is told so, and gives other work a
// thread meanwhile.
void CALLBACK AskOnPool(PTP_CALLBACK_INSTANCE instance, void* batch) {
    CallbackMayRunLong(instance);
    AskInTurn(static_cast<Asking*>(batch));
}

// A program that outlives its time is stopped, and its end is waited for within that time.
constexpr DWORD kTimeToStopMs = 500;

}  // namespace

// A named mutex lives as long as the copy that made it; the name is per session, like the
// copies a user can see. One made by a copy of other rights (run as administrator) cannot be
// opened, and that too means a copy runs.
bool Win32Platform::AnotherInstanceRunning() {
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Tovik.Instance.1");
    const DWORD error = GetLastError();
    instanceMutex_.Reset(mutex);
    return error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
}

std::optional<std::vector<Drive>> Win32Platform::Drives() {
    TOVIK_SPAN("drive_types");
    const DWORD letters = GetLogicalDrives();
    if (letters == 0) return std::nullopt;
    std::vector<Drive> drives;
    for (int i = 0; i < 26; ++i) {
        if (!(letters & (1u << i))) continue;
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', L'\0'};
        drives.push_back({static_cast<char>('A' + i), DriveTypeCode(GetDriveTypeW(root))});
    }
    return drives;
}

std::optional<std::uint32_t> Win32Platform::DriveLetters() {
    const DWORD letters = GetLogicalDrives();
    if (letters == 0) return std::nullopt;
    return static_cast<std::uint32_t>(letters);
}

std::optional<std::uint64_t> Win32Platform::FreeSpace(std::string_view partition) {
    ULARGE_INTEGER available{};
    const std::wstring root = RootOf(Widen(partition));
    if (root.empty() || !GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) {
        return std::nullopt;
    }
    return available.QuadPart;
}

// A missing folder is "nothing there", but a missing drive is a listing that cannot be made;
// the system reports both alike, so the drive is looked at then, and only then: the question
// costs more than the listing itself.
std::optional<std::string> Win32Platform::FirstMatch(std::string_view pattern, int mask) {
    const std::wstring wide = Widen(pattern);
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(wide.c_str(), &data));
    if (!find) {
        const DWORD error = GetLastError();
        if (!IsNothingThere(error)) return std::nullopt;
        const std::wstring root = RootOf(wide);
        if (!root.empty() && GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) {
            return std::nullopt;
        }
        return std::string();
    }
    do {
        if (MatchesMask(data.dwFileAttributes, mask)) return Narrow(data.cFileName);
    } while (FindNextFileW(find.Get(), &data));
    if (!IsNothingThere(GetLastError())) return std::nullopt;
    return std::string();
}

std::optional<int> Win32Platform::Attributes(std::string_view path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (IsNothingThere(GetLastError())) return kNothingThere;
        return std::nullopt;
    }
    const DWORD bits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return static_cast<int>(attributes & bits) |
           ((attributes & FILE_ATTRIBUTE_DIRECTORY) ? kFolder : 0);
}

bool Win32Platform::MakeFolder(std::string_view path) {
    return CreateDirectoryW(Widen(path).c_str(), nullptr) != 0;
}

bool Win32Platform::RemoveFolder(std::string_view path) {
    return RemoveDirectoryW(Widen(path).c_str()) != 0;
}

// Folders are emptied before they go, deepest first; the folder's own entries are listed again
// until none is left that will go.
bool Win32Platform::RemoveTree(std::string_view path) {
    std::vector<std::pair<std::wstring, bool>> pending{{Widen(path), false}};  // folder, listed
    bool whole = true;
    while (!pending.empty()) {
        auto& [folder, listed] = pending.back();
        if (listed) {
            SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
            whole = RemoveDirectoryW(folder.c_str()) && whole;
            pending.pop_back();
            continue;
        }
        listed = true;
        const std::wstring parent = folder;
        WIN32_FIND_DATAW data;
        UniqueFind find(FindFirstFileW((parent + L"\\*").c_str(), &data));
        if (!find) continue;
        do {
            const std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = parent + L'\\' + data.cFileName;
            const DWORD attributes = data.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                pending.emplace_back(child, false);
                continue;
            }
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY)
                                     ? RemoveDirectoryW(child.c_str())
                                     : DeleteFileW(child.c_str());
            whole = removed && whole;
        } while (FindNextFileW(find.Get(), &data));
    }
    return whole;
}

// A vault of a hundred thousand files on a slow disk takes seconds to list: a thread of its
// own lists it while this one keeps the windows answering. Without that thread, it is listed
// here.
std::optional<std::uint64_t> Win32Platform::CountEntries(std::string_view path) {
    Count job{Widen(path), std::nullopt};
    // The C runtime is the system's DLL, which frees what it keeps for a thread at the
    // thread's end: a plain system thread will do.
    const UniqueHandle thread(CreateThread(nullptr, 0, CountThread, &job, 0, nullptr));
    if (!thread) return CountBelow(job.root);
    ++waits_;
    WaitAnswering(thread.Get(), INFINITE, main_);
    --waits_;
    WaitForSingleObject(thread.Get(), INFINITE);  // the job lives here
    return job.entries;
}

// Opened without replacing the file, then cut to nothing: a hidden or system file can be
// rewritten, a read-only one cannot. Windows refuses the read-only one by itself; the bit is
// looked at here too, so that the rule also holds where the file system would let an
// administrator write anyway.
bool Win32Platform::WriteTextFile(std::string_view path, std::string_view text) {
    const std::wstring wide = Widen(path);
    if (IsReadOnlyFile(wide)) return false;
    std::wstring wideText = Widen(text);
    auto ansi = ToAnsiExactly(wideText);
    ScrubWide(wideText);
    if (!ansi) return false;
    std::string bytes = *ansi + "\r\n";
    Scrub(*ansi);
    UniqueHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool whole =
        file && SetEndOfFile(file.Get()) &&
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && FlushFileBuffers(file.Get());
    Scrub(bytes);
    return whole;
}

// A read-only target stays, as a read-only file is never rewritten (see WriteTextFile).
bool Win32Platform::MoveFileReplacing(std::string_view source, std::string_view target) {
    const std::wstring to = Widen(target);
    if (IsReadOnlyFile(to)) return false;
    return MoveFileExW(Widen(source).c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32Platform::RemoveFile(std::string_view path) {
    return DeleteFileW(Widen(path).c_str()) != 0;
}

// Reads in pieces until the first CR, and never more than a line the program could have
// written: a huge file costs one bounded read, not the whole file in memory.
std::optional<std::string> Win32Platform::ReadFirstLine(std::string_view path) {
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    FirstLineReader reader;
    char chunk[16384];
    DWORD read = 0;
    bool readable = true;
    do {
        readable = ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) != 0;
    } while (readable && read > 0 && reader.Feed(std::string_view(chunk, read)));
    SecureZeroMemory(chunk, sizeof chunk);
    if (!readable) return std::nullopt;
    return reader.Line();
}

std::optional<std::string> Win32Platform::ReadSmallFile(std::string_view path, std::size_t limit) {
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) ||
        static_cast<unsigned long long>(size.QuadPart) > limit) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> Win32Platform::ToAnsi(std::string_view text) {
    std::wstring wide = Widen(text);
    auto ansi = ToAnsiExactly(wide);
    ScrubWide(wide);
    return ansi;
}

bool Win32Platform::SetAttributes(std::string_view path, int attributes) {
    const DWORD bits = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(attributes);
    return SetFileAttributesW(Widen(path).c_str(), bits) != 0;
}

// What is started here is started to be seen (Explorer on a vault).
bool Win32Platform::RunCommand(std::string_view program, std::string_view arguments,
                               int showStyle) {
    return static_cast<bool>(StartProcess(program, arguments, showStyle, 0, true));
}

// A program that outlives the wait is stopped, so that it cannot finish its work later behind
// the back of a caller that has already reported the failure. It gets no console of its own.
std::optional<int> Win32Platform::RunCommandAndWait(std::string_view program,
                                                    std::string_view arguments, int showStyle,
                                                    int timeoutMs) {
    const UniqueHandle process =
        StartProcess(program, arguments, showStyle, CREATE_NO_WINDOW, false);
    if (!process) return std::nullopt;
    const DWORD limit = static_cast<DWORD>(std::max(timeoutMs, 0));
    const DWORD stopTime = std::min(kTimeToStopMs, limit / 2);
    const HANDLE outer = std::exchange(waitedProgram_, process.Get());
    ++waits_;
    const bool ended = WaitAnswering(process.Get(), limit - stopTime, main_);
    --waits_;
    waitedProgram_ = outer;
    if (!ended) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), stopTime);
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code)) return std::nullopt;
    return static_cast<int>(code);
}

// A few of the system's pool threads take the questions in turn: quick answers cost one thread
// what they cost here, and a partition that hangs holds one of them while the others go on
// with the rest. The pool's threads outlive the batch, so that the next one starts at once.
// Without an event to wait on, or where the pool takes no more work, the questions are asked
// here.
std::vector<bool> Win32Platform::AskAside(std::vector<DiskQuestion> questions, int timeoutMs) {
    constexpr std::size_t kAskers = 4;
    auto* batch = new Asking(std::move(questions));
    const std::size_t count = batch->questions.size();
    const std::size_t askers = std::min(count, kAskers);
    batch->done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    batch->left = static_cast<long>(count);
    batch->holders = static_cast<long>(askers) + 1;
    questionsOut += static_cast<long>(count);
    for (std::size_t i = 0; i < askers; ++i) {
        if (!batch->done || !TrySubmitThreadpoolCallback(AskOnPool, batch, nullptr)) {
            AskInTurn(batch);
        }
    }
    if (batch->left > 0) {
        ++waits_;
        WaitAnswering(batch->done.Get(), static_cast<DWORD>(std::max(timeoutMs, 0)), main_);
        --waits_;
    }
    std::vector<bool> answered(count);
    for (std::size_t i = 0; i < count; ++i) answered[i] = batch->answered[i];
    batch->Release();
    return answered;
}

bool Win32Platform::QuestionsOut() { return questionsOut > 0; }

void Win32Platform::StopWaitedProgram() {
    if (!waitedProgram_) return;
    TerminateProcess(waitedProgram_, 1);
    WaitForSingleObject(waitedProgram_, kTimeToStopMs);
}

// The answer is a list of targets, the one in force first; the buffer grows until it fits.
std::optional<std::string> Win32Platform::DriveTarget(char letter) {
    TOVIK_SPAN("drive_target");
    const wchar_t device[] = {static_cast<wchar_t>(letter), L':', L'\0'};
    std::wstring buffer(256, L'\0');
    while (true) {
        const DWORD length =
            QueryDosDeviceW(device, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length > 0) return Narrow(buffer.c_str());
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::string();
        if (error != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= 65536) return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> Win32Platform::SystemDirectory() {
    return DirectoryFrom(SystemDirectoryQuery);
}

std::optional<std::string> Win32Platform::WindowsDirectory() {
    return DirectoryFrom(WindowsDirectoryQuery);
}

// One path, closed by the empty entry the shell's list format needs; no flags, so the shell
// confirms on its own and deletes for good. The shell answers a No to its question and a Cancel
// in its error boxes alike. Without COM the shell still deletes, only without the extensions
// that need it.
ShellDeleteOutcome Win32Platform::ShellDelete(std::string_view path) {
    com_.Enter();
    std::wstring from = Widen(path);
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW request{};
    request.hwnd = main_;
    request.wFunc = FO_DELETE;
    request.pFrom = from.c_str();
    request.fFlags = 0;
    const int result = SHFileOperationW(&request);
    if (result == ERROR_CANCELLED || request.fAnyOperationsAborted) {
        return ShellDeleteOutcome::Aborted;
    }
    return result == 0 ? ShellDeleteOutcome::Finished : ShellDeleteOutcome::Failed;
}

// subst.exe defines a letter without a word to the shell, and Explorer's navigation pane and
// This PC often miss it, above all one that goes. The notice is handed over without waiting
// for the shell's windows to take it.
void Win32Platform::TellShell(ShellChange change, std::string_view path) {
    const LONG event = change == ShellChange::DriveAdded     ? SHCNE_DRIVEADD
                       : change == ShellChange::DriveRemoved ? SHCNE_DRIVEREMOVED
                                                             : SHCNE_UPDATEDIR;
    const std::wstring wide = Widen(path);
    SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSHNOWAIT, wide.c_str(), nullptr);
}

int Win32Platform::ShowMessage(std::string_view text, std::string_view title, int flags) {
    const HWND owner = owner_ ? owner_() : main_;
    return MessageBoxW(owner, Widen(text).c_str(), Widen(title).c_str(), static_cast<UINT>(flags));
}

}  // namespace tovik::win

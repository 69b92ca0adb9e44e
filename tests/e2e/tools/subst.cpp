// subst.exe for the end-to-end tests: maps drive letters like the system's
// subst, and also lets the tests see how it was called and make it fail or
// hang on demand.
//
//   C:\subst-log.txt   every run appends its command line, exactly as given
//   C:\subst-mode.txt  first line "fail": exit 1 at once; "hang": sleep 60 s,
//                      then exit 0; both without mapping anything;
//                      "fail-unmap": unmappings exit 1 and change nothing,
//                      mappings work; "slow": each run takes 3 s, then works
//   C:\subst-times.txt every run appends its creation time and its end

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common.h"

namespace {

constexpr wchar_t kLogPath[] = L"C:\\subst-log.txt";
constexpr wchar_t kModePath[] = L"C:\\subst-mode.txt";
constexpr wchar_t kTimesPath[] = L"C:\\subst-times.txt";
constexpr std::wstring_view kSubstPrefix = L"\\??\\";

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

struct FileCloser {
    HANDLE file;
    ~FileCloser() {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

void say(std::wstring_view text) {
    tools::write_std(STD_OUTPUT_HANDLE, tools::to_utf8(text) + "\r\n");
}

int fail(std::wstring_view message) {
    tools::write_std(STD_ERROR_HANDLE, tools::to_utf8(message) + "\r\n");
    return kExitFailure;
}

// ---------------------------------------------------------------------------
// Test control

enum class Mode { Normal, Fail, Hang, FailUnmap, Slow };

std::string first_line_of(const wchar_t* path) {
    FileCloser file{CreateFileW(path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.file == INVALID_HANDLE_VALUE) return {};
    char buf[256];
    DWORD read = 0;
    if (!ReadFile(file.file, buf, sizeof(buf), &read, nullptr)) return {};
    std::string text(buf, read);
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);  // editors on Windows like to add a BOM
    text = text.substr(0, text.find_first_of("\r\n"));
    size_t end = text.find_last_not_of(" \t");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

Mode read_mode() {
    std::string line = first_line_of(kModePath);
    if (line == "fail") return Mode::Fail;
    if (line == "hang") return Mode::Hang;
    if (line == "fail-unmap") return Mode::FailUnmap;
    if (line == "slow") return Mode::Slow;
    return Mode::Normal;
}

// ---------------------------------------------------------------------------
// Command line

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Everything after the program name; the name may be quoted and contain
// blanks.
std::wstring_view arguments_of(std::wstring_view line) {
    size_t i = 0;
    bool quoted = false;
    for (; i < line.size(); ++i) {
        if (line[i] == L'"')
            quoted = !quoted;
        else if (is_blank(line[i]) && !quoted)
            break;
    }
    return line.substr(i);
}

// Blank-separated tokens; double quotes group blanks into a token and are
// dropped, as the C runtime would do for a quoted path.
std::vector<std::wstring> tokenize(std::wstring_view args) {
    std::vector<std::wstring> tokens;
    std::wstring current;
    bool in_token = false;
    bool quoted = false;
    for (wchar_t c : args) {
        if (c == L'"') {
            quoted = !quoted;
            in_token = true;
        } else if (is_blank(c) && !quoted) {
            if (in_token) tokens.push_back(current);
            current.clear();
            in_token = false;
        } else {
            current += c;
            in_token = true;
        }
    }
    if (in_token) tokens.push_back(current);
    return tokens;
}

// ---------------------------------------------------------------------------
// Drives

// "X:" with X a letter, upper-cased; empty when the token is anything else.
std::wstring parse_drive(const std::wstring& token) {
    if (token.size() != 2 || token[1] != L':') return {};
    wchar_t letter = static_cast<wchar_t>(towupper(token[0]));
    if (letter < L'A' || letter > L'Z') return {};
    return std::wstring(1, letter) + L":";
}

std::wstring dos_device_target(const std::wstring& drive) {
    std::vector<wchar_t> buf(1024);
    for (;;) {
        if (QueryDosDeviceW(drive.c_str(), buf.data(), static_cast<DWORD>(buf.size())))
            return buf.data();
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buf.resize(buf.size() * 2);
    }
}

bool drive_in_use(const std::wstring& drive) {
    if (GetLogicalDrives() & (1u << (drive[0] - L'A'))) return true;
    return !dos_device_target(drive).empty();
}

// Substituted drives point into the DOS device namespace ("\??\C:\dir");
// real volumes point at device objects.
bool is_substituted(const std::wstring& drive) {
    return dos_device_target(drive).starts_with(kSubstPrefix);
}

bool is_directory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring full_path(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!size) return path;
    std::wstring full(size, L'\0');
    DWORD used = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(used < size ? used : 0);
    return full.empty() ? path : full;
}

// ---------------------------------------------------------------------------
// Actions

int list_substitutions() {
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        std::wstring drive = std::wstring(1, letter) + L":";
        std::wstring target = dos_device_target(drive);
        if (target.starts_with(kSubstPrefix))
            say(drive + L"\\: => " + target.substr(kSubstPrefix.size()));
    }
    return kExitOk;
}

int add_substitution(const std::wstring& drive_token, const std::wstring& path) {
    std::wstring drive = parse_drive(drive_token);
    if (drive.empty()) return fail(L"Invalid parameter - " + drive_token);
    if (drive_in_use(drive)) return fail(L"Drive already SUBSTed");
    if (!is_directory(path)) return fail(L"Path not found - " + path);
    if (!DefineDosDeviceW(0, drive.c_str(), full_path(path).c_str()))
        return fail(L"Cannot map " + drive + L" (error " + std::to_wstring(GetLastError()) + L")");
    return kExitOk;
}

int remove_substitution(const std::wstring& drive_token) {
    std::wstring drive = parse_drive(drive_token);
    if (drive.empty() || !is_substituted(drive)) return fail(L"Invalid parameter - " + drive_token);
    if (!DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr))
        return fail(L"Cannot remove " + drive + L" (error " + std::to_wstring(GetLastError()) +
                    L")");
    return kExitOk;
}

bool is_delete_switch(const std::wstring& token) { return token == L"/d" || token == L"/D"; }

int run(const std::vector<std::wstring>& tokens, Mode mode) {
    if (tokens.empty()) return list_substitutions();
    if (tokens.size() == 2 && is_delete_switch(tokens[1])) {
        if (mode == Mode::FailUnmap) return fail(L"Failing unmappings as C:\\subst-mode.txt asks");
        return remove_substitution(tokens[0]);
    }
    if (tokens.size() == 2) return add_substitution(tokens[0], tokens[1]);
    if (tokens.size() < 2) return fail(L"Incorrect number of parameters - " + tokens[0]);
    return fail(L"Invalid parameter - " + tokens[2]);
}

}  // namespace

int wmain() {
    // Logged before anything else can go wrong: the tests check how the
    // program under test called us even when we then refuse.
    std::wstring_view command_line = GetCommandLineW();
    tools::append_line(kLogPath, command_line);

    int code = kExitOk;
    const Mode mode = read_mode();
    switch (mode) {
        case Mode::Fail: code = fail(L"Failing as C:\\subst-mode.txt asks"); break;
        case Mode::Hang: Sleep(60 * 1000); break;
        case Mode::Slow:
            Sleep(3 * 1000);
            code = run(tokenize(arguments_of(command_line)), mode);
            break;
        case Mode::Normal:
        case Mode::FailUnmap: code = run(tokenize(arguments_of(command_line)), mode); break;
    }
    tools::append_process_times(kTimesPath);
    return code;
}

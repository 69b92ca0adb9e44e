#include "platform/win32/WinText.h"

#include <windows.h>

#include "platform/Text.h"

namespace tovik::win {

namespace {
std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), length);
    return out;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}
}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }
std::string Narrow(std::wstring_view utf16) { return FromWide(CP_UTF8, utf16); }

// No best-fit look-alike and no default character, and the bytes must read back as the same
// text: what cannot be held exactly is refused, not saved as something else. A UTF-8 ANSI code
// page holds every valid text but takes no default-character flag.
std::optional<std::string> ToAnsiExactly(std::wstring_view utf16) {
    if (utf16.empty()) return std::string();
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const reportDefault = utf8 ? nullptr : &usedDefault;
    const int size = static_cast<int>(utf16.size());
    const int length =
        WideCharToMultiByte(CP_ACP, flags, utf16.data(), size, nullptr, 0, nullptr, reportDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(length), '\0');
    const bool converted = WideCharToMultiByte(CP_ACP, flags, utf16.data(), size, out.data(),
                                               length, nullptr, reportDefault) == length &&
                           !usedDefault;
    std::wstring back = converted ? ToWide(CP_ACP, out) : std::wstring();
    const bool exact = converted && back == utf16;
    ScrubWide(back);
    if (exact) return out;
    Scrub(out);
    return std::nullopt;
}

void ScrubWide(std::wstring& text) {
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    text.clear();
}

}  // namespace tovik::win

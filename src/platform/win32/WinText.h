// Conversions at the edge of the Windows API: the logic speaks UTF-8, Windows UTF-16, and
// the files the ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovik::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// The text in the ANSI code page, or nullopt when a character has no exact form there.
std::optional<std::string> ToAnsiExactly(std::wstring_view utf16);
// Overwrites a text that held a password before it goes.
void ScrubWide(std::wstring& text);

}  // namespace tovik::win

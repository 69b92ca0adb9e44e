// Conversions at the edge of the Windows API: the logic speaks UTF-8, Windows UTF-16, and
// the files the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace tovik::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
std::string ToAnsi(std::wstring_view utf16);
std::wstring FromAnsi(std::string_view ansi);

}  // namespace tovik::win

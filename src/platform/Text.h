// Small text helpers shared by the logic.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tovik {

// A first line longer than this is not a line the program wrote; reading it fails.
constexpr std::size_t kMaxFirstLineBytes = 1 << 20;

// Collects the first line of a file as its bytes come in: everything before the first CR, or
// all of it when there is none. What it held is overwritten when it goes.
class FirstLineReader {
public:
    FirstLineReader() = default;
    FirstLineReader(const FirstLineReader&) = delete;
    FirstLineReader& operator=(const FirstLineReader&) = delete;
    ~FirstLineReader();
    // Takes the next piece of the file; false once no more is needed.
    bool Feed(std::string_view piece);
    // The line; nullopt when it is longer than kMaxFirstLineBytes.
    std::optional<std::string> Line() const;

private:
    std::string line_;
    bool complete_ = false;
};

// Removes the space character (and nothing else) at both ends.
std::string_view TrimBlanks(std::string_view text);

// Overwrites the text before letting it go, so that a password does not linger in memory
// that is handed out again. Beyond its reach: what the system keeps (the file cache, the edit
// box's own buffer, which the dialogs overwrite themselves) and the copies the standard
// library leaves behind when a string it was handed grows.
void Scrub(std::string& text);

// Paths and drive letters compare without regard to case, as on Windows.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace tovik

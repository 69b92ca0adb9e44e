#include "platform/Text.h"

#include <algorithm>

namespace tovik {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

void Scrub(std::string& text) {
    volatile char* bytes = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = '\0';
    text.clear();
}

// Whatever the file holds after the first line is never looked at, and neither is a line
// past the limit: a file of any size costs at most one limit's worth of reading.
// The line grows by hand, so that no copy of it is let go unwritten-over.
bool FirstLineReader::Feed(std::string_view piece) {
    if (complete_ || line_.size() > kMaxFirstLineBytes) return false;
    const auto cr = piece.find('\r');
    piece = piece.substr(0, cr);
    piece = piece.substr(0, kMaxFirstLineBytes + 1 - line_.size());
    if (line_.size() + piece.size() > line_.capacity()) {
        std::string grown;
        grown.reserve(std::max(2 * line_.capacity(), line_.size() + piece.size()));
        grown.append(line_);
        Scrub(line_);
        line_.swap(grown);
    }
    line_.append(piece);
    complete_ = cr != std::string_view::npos;
    return !complete_ && line_.size() <= kMaxFirstLineBytes;
}

FirstLineReader::~FirstLineReader() { Scrub(line_); }

std::optional<std::string> FirstLineReader::Line() const {
    if (line_.size() > kMaxFirstLineBytes) return std::nullopt;
    return line_;
}

}  // namespace tovik

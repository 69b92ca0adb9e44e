// Small text helpers shared by the logic.
#pragma once

#include <string_view>

namespace tovik {

// Removes the space character (and nothing else) at both ends.
std::string_view TrimBlanks(std::string_view text);

}  // namespace tovik

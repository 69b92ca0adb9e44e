// Whether this copy may start where it was started: its drive letters must be the ones the
// user's Explorer sees.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tovik {

// On the command line of a copy started again as the shell's user.
inline constexpr std::string_view kStartedAsShellUser = "/shelluser";

enum class SessionVerdict { StartHere, StartAsShellUser, CannotStart };

// What the program knows of its own rights and of the shell's process.
struct SessionFacts {
    std::optional<std::uint64_t> own;
    ShellProcess shell;
    std::optional<std::string> ownUser;  // asked only where the shell's rights cannot be read
    bool elevated = false;
};

SessionVerdict JudgeSession(const SessionFacts& facts, bool startedAsShellUser);

// Runs before anything else: false when this copy must end now, having started the program
// again as the shell's user or said why it cannot run. arguments: this copy's command line
// after the program's name; the program takes none of its own.
bool StartInShellSession(Platform& platform, std::string_view arguments);

}  // namespace tovik

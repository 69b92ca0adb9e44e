#include "app/ShellSession.h"

#include "platform/Text.h"
#include "texts/Texts.h"

namespace tovik {

// "Run as administrator" gives the program the rights of another logon session than the
// shell's, and a letter mapped there is not in the user's Explorer. The sessions decide, never
// the kind of rights: with UAC off, and under Wine, every program has full rights and still
// shares the shell's session. Where either session cannot be read, or no shell runs, there is
// nothing to compare, and the program starts as it always has. A copy that was already started
// again and still finds itself elsewhere does not start a third.
SessionVerdict JudgeSession(std::optional<std::uint64_t> own, std::optional<std::uint64_t> shell,
                            bool startedAsShellUser) {
    if (!own || !shell || *own == *shell) return SessionVerdict::StartHere;
    return startedAsShellUser ? SessionVerdict::CannotStart : SessionVerdict::StartAsShellUser;
}

// The new copy takes over before this one has a window, an icon or the single-copy name, so
// the user sees one program start.
bool StartInShellSession(Platform& platform, std::string_view arguments) {
    const SessionVerdict verdict =
        JudgeSession(platform.OwnLogonSession(), platform.ShellLogonSession(),
                     TrimBlanks(arguments) == kStartedAsShellUser);
    if (verdict == SessionVerdict::StartHere) return true;
    if (verdict == SessionVerdict::StartAsShellUser &&
        platform.StartAsShellUser(kStartedAsShellUser)) {
        return false;
    }
    platform.ShowMessage(text::kRunAsAdministrator, text::kError, kErrorBox);
    return false;
}

}  // namespace tovik

#include "app/ShellSession.h"

#include "platform/Text.h"
#include "texts/Texts.h"

namespace tovik {

// "Run as administrator" gives the program the rights of another logon session than the
// shell's, and a letter mapped there is not in the user's Explorer. Where the shell's rights
// can be read, the sessions decide, never the kind of rights: with UAC off every program has
// full rights and still shares the shell's session. They cannot be read exactly when the
// program runs as another user than the desktop's (an administrator's name typed at UAC's
// prompt, "Run as different user", Administrator Protection): another user is another logon
// session, and so are the user's own full rights; only the same user, unelevated, shares the
// shell's. A user the system does not name is told by the rights alone. With no shell to
// compare with, and where the program's own rights cannot be read, it starts as it always has.
// A copy that was already started again and still finds itself elsewhere does not start a third.
SessionVerdict JudgeSession(const SessionFacts& facts, bool startedAsShellUser) {
    if (!facts.shell.runs || !facts.own) return SessionVerdict::StartHere;
    bool elsewhere = false;
    if (facts.shell.logonSession) {
        elsewhere = *facts.own != *facts.shell.logonSession;
    } else {
        const bool otherUser =
            facts.ownUser && facts.shell.user && *facts.ownUser != *facts.shell.user;
        elsewhere = otherUser || facts.elevated;
    }
    if (!elsewhere) return SessionVerdict::StartHere;
    return startedAsShellUser ? SessionVerdict::CannotStart : SessionVerdict::StartAsShellUser;
}

// The new copy takes over before this one has a window, an icon or the single-copy name, so
// the user sees one program start. Where the shell's rights cannot be copied, the shell itself
// is asked to start it; whether it answers a program of another user is not documented, and a
// refusal there is a normal outcome.
bool StartInShellSession(Platform& platform, std::string_view arguments) {
    SessionFacts facts;
    facts.own = platform.OwnLogonSession();
    facts.shell = platform.Shell();
    if (facts.shell.runs && !facts.shell.logonSession) {
        facts.ownUser = platform.OwnUser();
        facts.elevated = platform.OwnRightsElevated();
    }
    const SessionVerdict verdict =
        JudgeSession(facts, TrimBlanks(arguments) == kStartedAsShellUser);
    if (verdict == SessionVerdict::StartHere) return true;
    if (verdict == SessionVerdict::StartAsShellUser &&
        (platform.StartAsShellUser(kStartedAsShellUser) ||
         platform.StartThroughShell(kStartedAsShellUser))) {
        return false;
    }
    platform.ShowMessage(text::kRunAsAdministrator, text::kError, kErrorBox);
    return false;
}

}  // namespace tovik

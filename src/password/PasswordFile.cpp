#include "password/PasswordFile.h"

#include "platform/Text.h"
#include "texts/Texts.h"
#include "vault/VaultStore.h"

namespace tovik {

namespace {
bool RefuseUnreadable(Platform& platform) {
    platform.ShowMessage(text::kPasswordFileUnreadable, text::kPassword, kAlertBox);
    return false;
}
}  // namespace

std::string PasswordFilePath(std::string_view partition) {
    return VaultInnerFolder(partition) + "\\password.dat";
}

// Whatever its attributes, a file there is the password: a user who hid the vault's files
// more deeply has not taken its password away. Something there that is not a file cannot be
// read as one, and cannot be told from a password either. Only a file that is not there in a
// vault folder that answers means "no password yet": the system says "not there" of a folder
// or a partition that has gone away too (a USB disk unplugged), and that cannot tell.
std::optional<bool> PasswordFileExists(Platform& platform, std::string_view partition) {
    const auto attributes = platform.Attributes(PasswordFilePath(partition));
    if (!attributes || (*attributes != kNothingThere && (*attributes & kFolder))) {
        return std::nullopt;
    }
    if (*attributes != kNothingThere) return true;
    const auto folder = platform.Attributes(VaultInnerFolder(partition));
    if (!folder || *folder == kNothingThere || !(*folder & kFolder)) return std::nullopt;
    return false;
}

// Fails closed: when we cannot tell whether there is a password, or cannot read the one there
// is, or the one there is is blank (the dialog never writes such a line, so the file is
// damaged), the guarded command does not run. Only a prompt confirmed with OK is compared, so
// a text typed for an earlier check (maybe of another partition) never opens this vault. The
// comparison is of the bytes in the file's code page: an entry with a character that the code
// page cannot hold matches nothing, least of all the "?" an older version may have saved for
// it. The program's own copies of the typed and the stored text are overwritten once the
// comparison is made (see Scrub for what lies beyond its reach).
bool CheckPassword(Platform& platform, PasswordPrompt& prompt, std::string& enteredPassword,
                   std::string_view partition, bool notice) {
    const auto exists = PasswordFileExists(platform, partition);
    if (!exists) return RefuseUnreadable(platform);
    if (!*exists) {
        if (notice) platform.ShowMessage(text::kNoPasswordYet, text::kNotice, kNoticeBox);
        return true;
    }
    auto stored = platform.ReadFirstLine(PasswordFilePath(partition));
    if (!stored || TrimBlanks(*stored).empty()) return RefuseUnreadable(platform);

    auto entered = prompt.AskPassword();
    if (!entered) return false;
    enteredPassword = *entered;
    Scrub(*entered);
    auto enteredBytes = platform.ToAnsi(enteredPassword);
    const bool match = enteredBytes && TrimBlanks(*stored) == TrimBlanks(*enteredBytes);
    Scrub(enteredPassword);
    Scrub(*stored);
    if (enteredBytes) Scrub(*enteredBytes);
    if (match) return true;
    platform.ShowMessage(text::kWrongPassword, text::kPassword, kAlertBox);
    return false;
}

// The text is kept exactly as typed, blanks at its ends included; the comparison trims them.
// It goes to a file beside the old one first, which then replaces the old one in one step: a
// save that fails half-way leaves the old password, never a damaged file. A temporary file
// left by a save that was cut off (even one made read-only since) is cleared away first. A
// file the user hid stays hidden.
bool SavePassword(Platform& platform, std::string_view partition, std::string_view text) {
    const std::string path = PasswordFilePath(partition);
    const std::string temporary = path + ".tmp";
    platform.SetAttributes(temporary, 0);  // both fail harmlessly when there is none
    platform.RemoveFile(temporary);
    const auto old = platform.Attributes(path);
    if (platform.WriteTextFile(temporary, text) && platform.MoveFileReplacing(temporary, path)) {
        if (old && *old != kNothingThere && (*old & (kHidden | kSystem))) {
            platform.SetAttributes(path, *old & (kHidden | kSystem));
        }
        return true;
    }
    platform.RemoveFile(temporary);
    return false;
}

// A password that the file cannot hold is refused before anything is written: saved with a
// "?" in its place, or cut at a carriage return (the file keeps its first line only), it
// could never be typed again.
void AcceptNewPassword(Platform& platform, std::string_view partition, SetPasswordView& view) {
    std::string first = view.FirstEntry();
    std::string second = view.SecondEntry();
    const bool same = first == second && !TrimBlanks(first).empty();
    Scrub(second);
    if (!same) {
        Scrub(first);
        platform.ShowMessage(text::kEntriesDiffer, text::kError, kNoticeBox);
        view.FocusFirstEntryAndSelectAll();
        return;
    }
    auto bytes = platform.ToAnsi(first);
    if (!bytes || bytes->find('\r') != std::string::npos) {
        Scrub(first);
        platform.ShowMessage(text::kPasswordNotHoldable, text::kError, kErrorBox);
        view.FocusFirstEntryAndSelectAll();
        return;
    }
    Scrub(*bytes);
    const bool saved = SavePassword(platform, partition, first);
    Scrub(first);
    if (!saved) {
        platform.ShowMessage(text::kPasswordNotSaved, text::kError, kErrorBox);
        return;
    }
    view.Close();
}

}  // namespace tovik

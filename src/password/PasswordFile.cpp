#include "password/PasswordFile.h"

#include "platform/Text.h"
#include "texts/Texts.h"
#include "vault/VaultStore.h"

namespace tovik {

namespace {
// Read-only does not hide the file: only the hidden and system bits do.
constexpr int kPasswordFileMask = kReadOnly;

bool RefuseUnreadable(Platform& platform) {
    platform.ShowMessage(text::kPasswordFileUnreadable, text::kPassword, kAlertBox);
    return false;
}
}  // namespace

std::string PasswordFilePath(std::string_view partition) {
    return VaultInnerFolder(partition) + "\\password.dat";
}

std::optional<bool> PasswordFileExists(Platform& platform, std::string_view partition) {
    const auto match = platform.FirstMatch(PasswordFilePath(partition), kPasswordFileMask);
    if (!match) return std::nullopt;
    return !match->empty();
}

// Fails closed: when we cannot tell whether there is a password, or cannot read the one there
// is, or the one there is is blank (the dialog never writes such a line, so the file is
// damaged), the guarded command does not run. Only a prompt confirmed with OK is compared, so
// a text typed for an earlier check (maybe of another partition) never opens this vault. The
// comparison is of the bytes in the file's code page: an entry with a character that the code
// page cannot hold matches nothing, least of all the "?" an older version may have saved for
// it. The typed text is not kept once the comparison is made.
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
// left by a save that was cut off (even one made read-only since) is cleared away first.
bool SavePassword(Platform& platform, std::string_view partition, std::string_view text) {
    const std::string path = PasswordFilePath(partition);
    const std::string temporary = path + ".tmp";
    platform.SetAttributes(temporary, 0);  // both fail harmlessly when there is none
    platform.RemoveFile(temporary);
    if (platform.WriteTextFile(temporary, text) && platform.MoveFileReplacing(temporary, path)) {
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

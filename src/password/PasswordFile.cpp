#include "password/PasswordFile.h"

#include "platform/Text.h"
#include "vault/VaultStore.h"

namespace tovik {

namespace {
// Read-only does not hide the file: only the hidden and system bits do.
constexpr int kPasswordFileMask = kReadOnly;

bool RefuseUnreadable(Platform& platform) {
    platform.ShowMessage("无法读取此盘的密码文件，操作已取消。", "密码",
                         kMbIconExclamation | kMbSystemModal);
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
        if (notice) platform.ShowMessage(kNoPasswordNotice, "提示", kMbIconInformation);
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
    platform.ShowMessage("密码不正确！", "密码", kMbIconExclamation | kMbSystemModal);
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
    if (platform.WriteTextFile(temporary, text) &&
        platform.MoveFileReplacing(temporary, path)) {
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
        platform.ShowMessage("两次输入不一致！请重新输入。", "错误", kMbIconInformation);
        view.FocusFirstEntryAndSelectAll();
        return;
    }
    auto bytes = platform.ToAnsi(first);
    if (!bytes || bytes->find('\r') != std::string::npos) {
        Scrub(first);
        platform.ShowMessage("密码中含有本机无法保存的字符，请换用其他字符。", "错误",
                             kMbIconExclamation);
        view.FocusFirstEntryAndSelectAll();
        return;
    }
    Scrub(*bytes);
    const bool saved = SavePassword(platform, partition, first);
    Scrub(first);
    if (!saved) {
        platform.ShowMessage("密码保存失败，原密码未改变。", "错误", kMbIconExclamation);
        return;
    }
    view.Close();
}

}  // namespace tovik

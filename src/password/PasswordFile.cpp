#include "password/PasswordFile.h"

#include "platform/Text.h"
#include "vault/VaultStore.h"

namespace tovik {

namespace {
bool RefuseUnreadable(Platform& platform) {
    platform.ShowMessage("无法读取此盘的密码文件，操作已取消。", "密码",
                         kMbIconExclamation | kMbSystemModal);
    return false;
}
}  // namespace

std::string PasswordFilePath(std::string_view partition) {
    return VaultInnerFolder(partition) + "\\password.dat";
}

// Fails closed: when we cannot tell whether there is a password, or cannot read the one there
// is, the guarded command does not run. Only a prompt confirmed with OK is compared, so a text
// typed for an earlier check (maybe of another partition) never opens this vault.
bool CheckPassword(Platform& platform, PasswordPrompt& prompt, std::string& enteredPassword,
                   std::string_view partition, bool notice) {
    const std::string path = PasswordFilePath(partition);
    const auto match = platform.FirstMatch(path, 0);
    if (!match) return RefuseUnreadable(platform);
    if (match->empty()) {
        if (notice) platform.ShowMessage(kNoPasswordNotice, "提示", kMbIconInformation);
        return true;
    }
    const auto stored = platform.ReadFirstLine(path);
    if (!stored) return RefuseUnreadable(platform);

    const auto entered = prompt.AskPassword();
    if (!entered) return false;
    enteredPassword = *entered;
    if (TrimBlanks(*stored) == TrimBlanks(enteredPassword)) return true;
    platform.ShowMessage("密码不正确！", "密码", kMbIconExclamation | kMbSystemModal);
    return false;
}

// The text is kept exactly as typed, blanks at its ends included; the comparison trims them.
// It goes to a file beside the old one first, which then replaces the old one in one step: a
// save that fails half-way leaves the old password, never a damaged file.
bool SavePassword(Platform& platform, std::string_view partition, std::string_view text) {
    const std::string path = PasswordFilePath(partition);
    const std::string temporary = path + ".tmp";
    if (platform.WriteTextFile(temporary, text) &&
        platform.MoveFileReplacing(temporary, path)) {
        return true;
    }
    platform.RemoveFile(temporary);
    return false;
}

void AcceptNewPassword(Platform& platform, std::string_view partition, SetPasswordView& view) {
    const std::string first = view.FirstEntry();
    const std::string second = view.SecondEntry();
    if (first != second || TrimBlanks(first).empty()) {
        platform.ShowMessage("两次输入不一致！请重新输入。", "错误", kMbIconInformation);
        view.FocusFirstEntryAndSelectAll();
        return;
    }
    if (!SavePassword(platform, partition, first)) {
        platform.ShowMessage("密码保存失败，原密码未改变。", "错误", kMbIconExclamation);
        return;
    }
    view.Close();
}

}  // namespace tovik

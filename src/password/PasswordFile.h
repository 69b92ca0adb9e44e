// The vault's password file, the check before a guarded command, and setting a new password.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tovik {

// The password prompt: the text confirmed with OK, or nullopt when it was closed otherwise.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    virtual std::optional<std::string> AskPassword() = 0;
};

// The set-password dialog as its buttons see it.
class SetPasswordView {
public:
    virtual ~SetPasswordView() = default;
    virtual std::string FirstEntry() = 0;
    virtual std::string SecondEntry() = 0;
    virtual void FocusFirstEntryAndSelectAll() = 0;
    virtual void Close() = 0;
};

std::string PasswordFilePath(std::string_view partition);
// Whether the vault has a password file; nullopt when that cannot be told.
std::optional<bool> PasswordFileExists(Platform& platform, std::string_view partition);

bool CheckPassword(Platform& platform, PasswordPrompt& prompt, std::string& enteredPassword,
                   std::string_view partition, bool notice);
bool SavePassword(Platform& platform, std::string_view partition, std::string_view text);

// OKButton_Click of the set-password dialog.
void AcceptNewPassword(Platform& platform, std::string_view partition, SetPasswordView& view);

}  // namespace tovik

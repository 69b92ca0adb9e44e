// frmPasscheck, the password prompt, and frmSetPass, the set-password dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "password/PasswordFile.h"
#include "platform/win32/Dialog.h"
#include "platform/win32/Handles.h"

namespace tovik::win {

class PasswordPromptDialog : public Dialog {
public:
    explicit PasswordPromptDialog(ModalHost& host) : Dialog(host) {}
    // The text confirmed with OK; nullopt when the prompt was closed any other way.
    std::optional<std::string> Run();

protected:
    void OnInit() override;
    void OnLayout() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::optional<std::string> entered_;
    UniqueIcon picture_;
};

class SetPasswordDialog : public Dialog, public SetPasswordView {
public:
    explicit SetPasswordDialog(ModalHost& host) : Dialog(host) {}
    void Run(const std::function<void(SetPasswordView&)>& onOk);

    std::string FirstEntry() override;
    std::string SecondEntry() override;
    void FocusFirstEntryAndSelectAll() override;
    void Close() override { Dialog::Close(); }

protected:
    void OnInit() override;
    void OnLayout() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    const std::function<void(SetPasswordView&)>* onOk_ = nullptr;
};

// The text of an edit box, as the logic takes it.
std::string ControlText(HWND control);

}  // namespace tovik::win

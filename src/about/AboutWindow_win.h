// frmAbout: the banner, the text about the program and an OK button.
#pragma once

#include "platform/win32/Dialog.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Picture.h"

namespace tovik::win {

class AboutWindow : public Dialog {
public:
    explicit AboutWindow(ModalHost& host) : Dialog(host) {}
    void Run();

protected:
    void OnInit() override;
    void OnLayout() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    Picture banner_;
    UniqueFont textFont_;
};

}  // namespace tovik::win

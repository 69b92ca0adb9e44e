// The notification-area icon and the hook on the main window's messages.
#pragma once

#include <string_view>

namespace tovik {

constexpr std::string_view kTrayTip = "免费Tovik，点击右键弹出菜单、左键显示窗口";

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual void TrayAdd() = 0;
    virtual void TraySetTip(std::string_view text) = 0;
    virtual void TrayRemove() = 0;
};

}  // namespace tovik

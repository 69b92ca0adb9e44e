#include "platform/win32/MessageFilter.h"

namespace tovik::win {

// A program run as administrator gets only the system's own messages from programs of lower
// rights, such as the shell or a copy of itself started normally; the messages they send it
// on purpose are let through here, for this window alone.
void AcceptFromLowerRights(HWND window, UINT message) {
    if (message != 0) ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace tovik::win

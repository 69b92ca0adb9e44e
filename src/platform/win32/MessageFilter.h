// Messages a window takes from programs of lower rights than its own.
#pragma once

#include <windows.h>

namespace tovik::win {

void AcceptFromLowerRights(HWND window, UINT message);

}  // namespace tovik::win

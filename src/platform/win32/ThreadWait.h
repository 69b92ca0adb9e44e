// The window's thread waiting for a kernel object while it keeps answering (BusyWait.h).
#pragma once

#include <windows.h>

namespace tovik::win {

// Until the object is signalled or the time is up; true when it was signalled. `main` is the
// main window, disabled for the wait even while hidden.
bool WaitAnswering(HANDLE object, DWORD timeoutMs, HWND main);

// True while a wait shows the wait cursor; the program's windows answer WM_SETCURSOR with it.
bool WaitCursorShown();
// The answer to WM_SETCURSOR while a wait shows the wait cursor.
void SetWaitCursor();

}  // namespace tovik::win

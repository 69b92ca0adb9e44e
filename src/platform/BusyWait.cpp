#include "platform/BusyWait.h"

#include <algorithm>

namespace tovik {

namespace {
// A few messages at a time, so that a window that never stops asking to be painted cannot
// hold the wait past its end.
constexpr int kMessagesAtATime = 64;
}  // namespace

// As under a modal dialog, the system itself keeps the user out: a disabled window gets no
// mouse, pen or touch input, and the system commands of its frame (Alt+F4, Alt+Space) do
// nothing. Keys still reach a focused control inside it, so input is taken out of the queue
// by its class and dropped, up to the very end of the wait: nothing typed or clicked meanwhile
// runs then or later. Everything else is handed on as any message loop does, for whichever
// window of the thread it is: the system and other programs are answered, the windows paint.
// The windows come back before a quit request is passed on, so that nothing of ours is
// activated while still disabled.
bool WaitBusy(WaitingThread& thread, std::uint32_t timeoutMs) {
    thread.DisableWindows();
    const std::uint32_t start = thread.Ticks();
    std::optional<int> quit;
    bool cursor = false;
    bool done = false;
    while (true) {
        const std::uint32_t elapsed = thread.Ticks() - start;
        if (!cursor && elapsed >= kWaitCursorAfterMs) {
            thread.ShowWaitCursor(true);
            cursor = true;
        }
        if (elapsed >= timeoutMs) break;
        std::uint32_t sleep = timeoutMs - elapsed;
        if (!cursor) sleep = std::min(sleep, kWaitCursorAfterMs - elapsed);
        const WaitingThread::Woken woken = thread.Sleep(sleep);
        if (woken == WaitingThread::Woken::Done) {
            done = true;
            break;
        }
        if (woken == WaitingThread::Woken::Failed) break;
        if (woken == WaitingThread::Woken::Message) {
            for (int i = 0; i < kMessagesAtATime && thread.DropInput(quit); ++i) {
            }
            for (int i = 0; i < kMessagesAtATime && thread.DispatchOther(quit); ++i) {
            }
        }
    }
    for (int i = 0; i < kMessagesAtATime && thread.DropInput(quit); ++i) {
    }
    thread.EnableWindows();
    if (cursor) thread.ShowWaitCursor(false);
    if (quit) thread.PostQuit(*quit);
    return done;
}

}  // namespace tovik

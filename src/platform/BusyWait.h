// How the window's thread waits for something that is not a message (a program, a question to
// a disk): it stays busy in a way the system itself enforces, and keeps answering.
#pragma once

#include <cstdint>
#include <optional>

namespace tovik {

// The system's side of a wait: the thread's message queue and the program's windows.
class WaitingThread {
public:
    virtual ~WaitingThread() = default;

    enum class Woken { Done, Message, TimeUp, Failed };
    // Sleeps until what is waited for is done, a message comes in or the time is up.
    virtual Woken Sleep(std::uint32_t ms) = 0;
    // Takes the next piece of input (keys, mouse, pen, touch) out of the queue by its class and
    // drops it; false when there is none. A quit request met on the way is kept in `quit`.
    virtual bool DropInput(std::optional<int>& quit) = 0;
    // Hands the next message that is not input (posted, sent, a timer, a paint) to its window,
    // whichever window of the thread that is; false when there is none. A quit request is not
    // handed on: it is kept in `quit`.
    virtual bool DispatchOther(std::optional<int>& quit) = 0;
    virtual void PostQuit(int code) = 0;
    // The program's windows that take input are disabled, and later enabled again, with the
    // focus where it was; windows disabled already (under a dialog) are left as they are.
    virtual void DisableWindows() = 0;
    virtual void EnableWindows() = 0;
    virtual void ShowWaitCursor(bool shown) = 0;
    virtual std::uint32_t Ticks() = 0;
};

// A wait that is over this soon shows nothing of itself; a longer one shows the wait cursor.
constexpr std::uint32_t kWaitCursorAfterMs = 250;

// Waits at most timeoutMs; true when what was waited for is done.
bool WaitBusy(WaitingThread& thread, std::uint32_t timeoutMs);

}  // namespace tovik

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/BusyWait.h"

namespace tovik {
namespace {

// A queue of messages, each input or not, and a scripted clock: every sleep takes the next
// step of the script, which may bring messages in.
class FakeThread : public WaitingThread {
public:
    struct Message {
        Message(std::string n, bool in = false, std::optional<int> q = {})
            : name(std::move(n)), input(in), quit(q) {}
        std::string name;
        bool input;
        std::optional<int> quit;
    };
    struct Step {
        std::uint32_t takesMs;
        Woken woken;
        std::vector<Message> arriving;
    };

    std::deque<Message> queue;
    std::deque<Step> script;
    std::vector<std::string> log;
    std::vector<std::uint32_t> sleeps;

    Woken Sleep(std::uint32_t ms) override {
        sleeps.push_back(ms);
        if (script.empty()) return Woken::Failed;
        const Step step = script.front();
        script.pop_front();
        now_ += std::min(step.takesMs, ms);
        queue.insert(queue.end(), step.arriving.begin(), step.arriving.end());
        return step.woken;
    }
    bool DropInput(std::optional<int>& quit) override { return Take(true, quit); }
    bool DispatchOther(std::optional<int>& quit) override { return Take(false, quit); }
    void PostQuit(int code) override { log.push_back("post quit " + std::to_string(code)); }
    void DisableWindows() override { log.push_back("disable"); }
    void EnableWindows() override { log.push_back("enable"); }
    void ShowWaitCursor(bool shown) override { log.push_back(shown ? "cursor" : "no cursor"); }
    std::uint32_t Ticks() override { return now_; }

private:
    // The first message of the class asked for, as PeekMessage takes it by the queue's class;
    // a quit request comes out of either.
    bool Take(bool input, std::optional<int>& quit) {
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            if (it->input != input && !it->quit) continue;
            if (it->quit) {
                quit = it->quit;
            } else {
                log.push_back((input ? "drop " : "dispatch ") + it->name);
            }
            queue.erase(it);
            return true;
        }
        return false;
    }
    std::uint32_t now_ = 1000;
};

using Woken = WaitingThread::Woken;
using Log = std::vector<std::string>;

// Nothing is judged by its number: what is input by its class goes, whatever else comes is
// handed on to its window (the apartment window's own message too), up to the last moment.
TEST(BusyWait, DropsInputHandsOnEverythingElseAndGivesTheWindowsBackBeforeTheQuit) {
    FakeThread thread;
    thread.script = {
        {10,
         Woken::Message,
         {{"key", true},
          {"apartment's private message"},
          {"touch", true},
          {"timer"},
          {"", false, 3},
          {"paint"}}},
        {10, Woken::Done, {{"key typed at the end", true}}},
    };
    EXPECT_TRUE(WaitBusy(thread, 10'000));
    EXPECT_EQ(thread.log,
              (Log{"disable", "drop key", "drop touch", "dispatch apartment's private message",
                   "dispatch timer", "dispatch paint", "drop key typed at the end", "enable",
                   "post quit 3"}));
    EXPECT_TRUE(thread.queue.empty());
}

TEST(BusyWait, TheWaitCursorShowsOnlyAfterAMomentAndTheWaitEndsOnTimeOrFailure) {
    struct Case {
        std::deque<FakeThread::Step> script;
        std::uint32_t timeoutMs;
        bool done;
        Log log;
    };
    const std::vector<Case> cases = {
        {{{100, Woken::Done, {}}}, 10'000, true, {"disable", "enable"}},
        {{{250, Woken::TimeUp, {}}, {2000, Woken::Done, {}}},
         10'000,
         true,
         {"disable", "cursor", "enable", "no cursor"}},
        {{{250, Woken::TimeUp, {}}, {10'000, Woken::TimeUp, {}}},
         3000,
         false,
         {"disable", "cursor", "enable", "no cursor"}},
        {{{5, Woken::Failed, {}}}, 10'000, false, {"disable", "enable"}},
    };
    for (const Case& c : cases) {
        FakeThread thread;
        thread.script = c.script;
        EXPECT_EQ(WaitBusy(thread, c.timeoutMs), c.done) << c.log.size();
        EXPECT_EQ(thread.log, c.log);
        EXPECT_EQ(thread.sleeps.front(), kWaitCursorAfterMs)
            << "the first sleep ends at the moment";
    }
}

}  // namespace
}  // namespace tovik

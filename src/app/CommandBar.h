// The six image buttons: enable flags, hover and press state, faces and label layout.
#pragma once

#include <array>

#include "platform/Twips.h"

namespace tovik {

constexpr int kCommandCount = 6;
enum Command : int { kOpen = 0, kClose = 1, kNew = 2, kDelete = 3, kPassword = 4, kAbout = 5 };

enum class Face { Normal, Hover, Disabled };

// The keys that move the focus in the bar: the arrows, Home and End.
enum class BarKey { Previous, Next, First, Last };

// Image i of the button panel, in twips of the panel.
constexpr TwipRect CommandImageRect(int index) { return {0, 360 * index, 750, 330}; }
// Where the labels stand until the bar is first painted: right of the panel, out of reach.
constexpr TwipRect CommandLabelDesignRect(int index) {
    return {840, 360 * index, 735, index == 0 ? 375 : 255};
}

class CommandBarView {
public:
    virtual ~CommandBarView() = default;
    virtual void SetFace(int index, Face face) = 0;
    virtual void SetLabelRect(int index, const TwipRect& rect) = 0;
};

class CommandBar {
public:
    explicit CommandBar(CommandBarView& view) : view_(view) {}

    int HoverIndex = 0;
    bool ButtonHeld = false;
    std::array<bool, kCommandCount> CommandEnabled{};
    bool HoverShown = false;

    void RefreshCommandBar();
    void lblCommand_MouseDown(int index);
    void lblCommand_MouseMove(int index);
    // The first half of lblCommand_MouseUp; false when the button is disabled.
    bool ShowReleaseLook(int index);
    // Form_MouseMove and List1_MouseMove.
    void PointerLeftButtons();
    // A press released away from its button: no command, nothing held, no hover.
    void CancelPress();

    // The button with the keyboard's focus shows the hover face, as the one under the pointer
    // does, except while a button is held; leaving the bar for the list takes it away.
    void KeyboardFocus(int index);
    void KeyboardLeave();
    // Where a key sends the focus from button `from`: the enabled button before or after it,
    // the first or the last; -1 to stay.
    int KeyTarget(int from, BarKey key) const;
    // Where the focus goes when the button it is on is disabled: the first enabled command; -1
    // when none is enabled.
    int HandOnTarget() const;

private:
    void ShowHover(int index);
    // The first enabled button from `from` on in steps of `step`, or -1.
    int EnabledFrom(int from, int step) const;

    CommandBarView& view_;
};

}  // namespace tovik

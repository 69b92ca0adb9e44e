#include "app/CommandBar.h"

namespace tovik {

// Every repaint resets all six faces and lays each label over its image, 50 twips lower, so
// the label reaches into the image below; a point of an image that no label covers is dead.
void CommandBar::RefreshCommandBar() {
    for (int i = 0; i < kCommandCount; ++i) {
        view_.SetFace(i, CommandEnabled[i] ? Face::Normal : Face::Disabled);
        const TwipRect image = CommandImageRect(i);
        const float top = static_cast<float>(image.top) + 50.0f;
        view_.SetLabelRect(i, {image.left, static_cast<int>(top), image.width, image.height});
    }
}

// A held button shows the normal face. ButtonHeld is cleared only by a release on an enabled
// button, so a button disabled while held keeps every hover away until the next such release.
void CommandBar::lblCommand_MouseDown(int index) {
    if (!CommandEnabled[index]) return;
    ButtonHeld = true;
    RefreshCommandBar();
    view_.SetFace(index, Face::Normal);
}

void CommandBar::lblCommand_MouseMove(int index) {
    if (!CommandEnabled[index] || HoverIndex == index || ButtonHeld) return;
    ShowHover(index);
}

void CommandBar::ShowHover(int index) {
    RefreshCommandBar();
    view_.SetFace(index, Face::Hover);
    HoverShown = true;
    HoverIndex = index;
}

bool CommandBar::ShowReleaseLook(int index) {
    if (!CommandEnabled[index]) return false;
    ButtonHeld = false;
    RefreshCommandBar();
    view_.SetFace(index, Face::Hover);
    return true;
}

void CommandBar::PointerLeftButtons() {
    if (!HoverShown) return;
    HoverIndex = -1;
    RefreshCommandBar();
    HoverShown = false;
}

// As with every push button, a user who drags away from the button changes their mind. The
// hover goes too, so that coming back over the button shows it again.
void CommandBar::CancelPress() {
    ButtonHeld = false;
    HoverIndex = -1;
    HoverShown = false;
    RefreshCommandBar();
}

int CommandBar::EnabledFrom(int from, int step) const {
    for (int i = from; i >= 0 && i < kCommandCount; i += step) {
        if (CommandEnabled[i]) return i;
    }
    return -1;
}

void CommandBar::KeyboardFocus(int index) {
    if (CommandEnabled[index] && !ButtonHeld) ShowHover(index);
}

// At either end the focus stays where it is.
int CommandBar::KeyTarget(int from, BarKey key) const {
    switch (key) {
        case BarKey::Previous: return EnabledFrom(from - 1, -1);
        case BarKey::Next: return EnabledFrom(from + 1, 1);
        case BarKey::First: return EnabledFrom(0, 1);
        case BarKey::Last: return EnabledFrom(kCommandCount - 1, -1);
    }
    return -1;
}

// Never simply the next one: after New that is Delete, whose warning, like the shell's question
// after it, has Yes for its default button, and Enter, Enter, Enter would delete the vault just
// made.
int CommandBar::HandOnTarget() const { return EnabledFrom(0, 1); }

void CommandBar::KeyboardLeave() {
    HoverIndex = -1;
    HoverShown = false;
    RefreshCommandBar();
}

}  // namespace tovik

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

}  // namespace tovik

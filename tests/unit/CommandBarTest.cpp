#include <gtest/gtest.h>

#include "FakeViews.h"
#include "app/CommandBar.h"

namespace tovik {
namespace {

using test::FakeBarView;

class CommandBarTest : public ::testing::Test {
protected:
    CommandBarTest() : bar(view) {
        bar.CommandEnabled = {false, false, true, true, false, true};
        bar.HoverIndex = -1;
        bar.RefreshCommandBar();
        view.log.clear();
    }
    std::string Faces() const {
        std::string out;
        for (Face face : view.faces)
            out += face == Face::Normal ? 'N' : face == Face::Hover ? 'H' : '-';
        return out;
    }
    FakeBarView view;
    CommandBar bar;
};

TEST_F(CommandBarTest, FirstRepaintLaysEachLabelOverItsImageFiftyTwipsLower) {
    FakeBarView fresh;
    EXPECT_EQ(fresh.labels[0].left, 840);
    CommandBar first(fresh);
    first.RefreshCommandBar();
    for (int i = 0; i < kCommandCount; ++i) {
        EXPECT_EQ(fresh.labels[i].left, 0);
        EXPECT_EQ(fresh.labels[i].top, 360 * i + 50);
        EXPECT_EQ(fresh.labels[i].width, 750);
        EXPECT_EQ(fresh.labels[i].height, 330);
    }
    for (Face face : fresh.faces) EXPECT_EQ(face, Face::Disabled);
}

TEST_F(CommandBarTest, HoverMovesFromButtonToButtonAndIgnoresDisabledOnes) {
    bar.lblCommand_MouseMove(2);
    EXPECT_EQ(Faces(), "--HN-N");
    EXPECT_EQ(view.log.back(), "face 2 hover");
    EXPECT_EQ(bar.HoverIndex, 2);
    EXPECT_TRUE(bar.HoverShown);

    bar.lblCommand_MouseMove(3);
    EXPECT_EQ(Faces(), "--NH-N");
    EXPECT_EQ(bar.HoverIndex, 3);

    view.log.clear();
    bar.lblCommand_MouseMove(3);
    bar.lblCommand_MouseMove(4);
    EXPECT_TRUE(view.log.empty()) << "same label, then a disabled one: no repaint";
    EXPECT_EQ(Faces(), "--NH-N");
    EXPECT_EQ(bar.HoverIndex, 3);
}

TEST_F(CommandBarTest, BackgroundTakesTheHoverAwayOnlyWhileOneIsShown) {
    bar.PointerLeftButtons();
    EXPECT_TRUE(view.log.empty());

    bar.lblCommand_MouseMove(5);
    bar.PointerLeftButtons();
    EXPECT_EQ(Faces(), "--NN-N");
    EXPECT_EQ(bar.HoverIndex, -1);
    EXPECT_FALSE(bar.HoverShown);
    view.log.clear();
    bar.PointerLeftButtons();
    EXPECT_TRUE(view.log.empty());
}

TEST_F(CommandBarTest, PressShowsNormalAndReleaseBringsHoverBackWithoutTouchingHoverFields) {
    bar.lblCommand_MouseMove(2);
    bar.lblCommand_MouseDown(2);
    EXPECT_TRUE(bar.ButtonHeld);
    EXPECT_EQ(Faces(), "--NN-N");
    EXPECT_EQ(view.log.back(), "face 2 normal");

    bar.lblCommand_MouseMove(3);
    EXPECT_EQ(Faces(), "--NN-N") << "no hover while a button is held";
    EXPECT_EQ(bar.HoverIndex, 2);

    EXPECT_TRUE(bar.ShowReleaseLook(2));
    EXPECT_FALSE(bar.ButtonHeld);
    EXPECT_EQ(Faces(), "--HN-N");
    EXPECT_EQ(view.log.back(), "face 2 hover");
    EXPECT_EQ(bar.HoverIndex, 2);
    EXPECT_TRUE(bar.HoverShown);
}

TEST_F(CommandBarTest, AfterARebuildTheReleasedButtonStaysNormalUntilThePointerLeaves) {
    bar.lblCommand_MouseMove(2);
    bar.lblCommand_MouseDown(2);
    bar.ShowReleaseLook(2);
    bar.RefreshCommandBar();
    EXPECT_EQ(Faces(), "--NN-N");

    bar.lblCommand_MouseMove(2);
    EXPECT_EQ(Faces(), "--NN-N");
    bar.PointerLeftButtons();
    bar.lblCommand_MouseMove(2);
    EXPECT_EQ(Faces(), "--HN-N");
}

TEST_F(CommandBarTest, DisabledButtonsIgnorePressMoveAndRelease) {
    bar.lblCommand_MouseDown(0);
    bar.lblCommand_MouseMove(0);
    EXPECT_FALSE(bar.ShowReleaseLook(0));
    EXPECT_TRUE(view.log.empty());
    EXPECT_FALSE(bar.ButtonHeld);
    EXPECT_EQ(bar.HoverIndex, -1);
}

TEST_F(CommandBarTest, AButtonDisabledWhileHeldKeepsEveryHoverAwayUntilAnEnabledRelease) {
    bar.lblCommand_MouseDown(3);
    bar.CommandEnabled[3] = false;
    bar.RefreshCommandBar();
    EXPECT_FALSE(bar.ShowReleaseLook(3));
    EXPECT_TRUE(bar.ButtonHeld);

    bar.lblCommand_MouseMove(2);
    bar.lblCommand_MouseMove(5);
    EXPECT_EQ(Faces(), "--N--N");

    bar.lblCommand_MouseDown(5);
    EXPECT_TRUE(bar.ShowReleaseLook(5));
    bar.lblCommand_MouseMove(2);
    EXPECT_EQ(Faces(), "--H--N");
}

// Enabled here: New (2), Delete (3) and About (5).
TEST_F(CommandBarTest, KeysMoveAmongTheEnabledButtonsAndStopAtTheEnds) {
    EXPECT_EQ(bar.KeyTarget(kNew, BarKey::Next), kDelete);
    EXPECT_EQ(bar.KeyTarget(kDelete, BarKey::Next), kAbout) << "Password is skipped";
    EXPECT_EQ(bar.KeyTarget(kAbout, BarKey::Next), -1);
    EXPECT_EQ(bar.KeyTarget(kAbout, BarKey::Previous), kDelete);
    EXPECT_EQ(bar.KeyTarget(kNew, BarKey::Previous), -1);
    EXPECT_EQ(bar.KeyTarget(kAbout, BarKey::First), kNew);
    EXPECT_EQ(bar.KeyTarget(kNew, BarKey::Last), kAbout);
    // A button disabled under the focus hands it to the first command that can be used: after
    // New, Open, never Delete.
    bar.CommandEnabled = {true, false, false, true, true, true};
    EXPECT_EQ(bar.HandOnTarget(), kOpen);
    bar.CommandEnabled = {false, false, false, false, false, true};
    EXPECT_EQ(bar.HandOnTarget(), kAbout);
    bar.CommandEnabled = {};
    EXPECT_EQ(bar.HandOnTarget(), -1);
}

TEST_F(CommandBarTest, TheFocusedButtonShowsTheHoverFaceUntilTheKeyboardLeavesTheBar) {
    bar.KeyboardFocus(kDelete);
    EXPECT_EQ(Faces(), "--NH-N");
    EXPECT_EQ(bar.HoverIndex, kDelete);
    bar.KeyboardFocus(kPassword);
    EXPECT_EQ(Faces(), "--NH-N") << "a disabled button takes no hover";

    // A mouse press gives its button the focus; it keeps the normal face while held.
    bar.lblCommand_MouseDown(kAbout);
    bar.KeyboardFocus(kAbout);
    EXPECT_EQ(Faces(), "--NN-N");
    EXPECT_TRUE(bar.ShowReleaseLook(kAbout));
    EXPECT_EQ(Faces(), "--NN-H");

    bar.KeyboardLeave();
    EXPECT_EQ(Faces(), "--NN-N");
    EXPECT_EQ(bar.HoverIndex, -1);
    EXPECT_FALSE(bar.HoverShown);
}

TEST_F(CommandBarTest, AReleaseAwayFromThePressedButtonCancelsThePress) {
    bar.lblCommand_MouseMove(kNew);
    bar.lblCommand_MouseDown(kNew);
    EXPECT_TRUE(bar.ButtonHeld);
    bar.CancelPress();
    EXPECT_FALSE(bar.ButtonHeld);
    EXPECT_EQ(Faces(), "--NN-N");
    bar.lblCommand_MouseMove(kNew);
    EXPECT_EQ(Faces(), "--HN-N") << "back over the button, its hover shows again";
}

}  // namespace
}  // namespace tovik

#include <gtest/gtest.h>

#include <vector>

#include "FakeViews.h"
#include "app/MainLayout.h"

namespace tovik {
namespace {

struct Expected {
    int dpi;
    int clientWidth, clientHeight;
    PixelRect list, panel, label0, label5;
    int captionFont, textFont;
};

// The main window at the common scalings (100, 125, 150 and 200 %), as the user measures it.
// clang-format off
const Expected kScalings[] = {
    {96, 266, 195, {64, 8, 257, 154}, {8, 8, 58, 153}, {0, 3, 50, 25}, {0, 123, 50, 145}, 14, 12},
    {120, 333, 244, {80, 10, 321, 193}, {10, 10, 73, 191}, {0, 4, 63, 32}, {0, 154, 63, 182}, 18,
     15},
    {144, 399, 293, {96, 12, 386, 231}, {12, 12, 87, 230}, {0, 5, 75, 38}, {0, 185, 75, 218}, 21,
     18},
    {192, 532, 390, {128, 16, 514, 308}, {16, 16, 116, 306}, {0, 7, 100, 51}, {0, 247, 100, 291},
     28, 24},
};
// clang-format on

// Every rectangle the window is laid out from, in one list.
std::vector<PixelRect> Everything(const MainLayout& layout) {
    std::vector<PixelRect> all{layout.Client(), layout.List(), layout.Panel(), layout.Banner(),
                               layout.Credit()};
    for (int i = 0; i < kCommandCount; ++i) {
        all.push_back(layout.Image(i));
        all.push_back(layout.Label(i));
        all.push_back(layout.FocusCue(i));
    }
    return all;
}

// The bar lays its labels over the images, as at every start.
MainLayout Started(int dpi) {
    MainLayout layout(dpi);
    test::FakeBarView view;
    CommandBar bar(view);
    bar.RefreshCommandBar();
    for (int i = 0; i < kCommandCount; ++i) layout.SetLabel(i, view.labels[i]);
    return layout;
}

TEST(MainLayoutTest, TheWindowScalesFromItsTwipsAtEveryCommonResolution) {
    for (const Expected& e : kScalings) {
        const MainLayout layout = Started(e.dpi);
        EXPECT_EQ(layout.Client(), (PixelRect{0, 0, e.clientWidth, e.clientHeight})) << e.dpi;
        EXPECT_EQ(layout.List(), e.list) << e.dpi;
        EXPECT_EQ(layout.Panel(), e.panel) << e.dpi;
        EXPECT_EQ(layout.Label(0), e.label0) << e.dpi;
        EXPECT_EQ(layout.Label(5), e.label5) << e.dpi;
        EXPECT_EQ(FontPixels(105, e.dpi), e.captionFont) << e.dpi;
        EXPECT_EQ(FontPixels(90, e.dpi), e.textFont) << e.dpi;
        for (int i = 0; i < kCommandCount; ++i) {
            // Labels never overlap, so each point belongs to one button at most, and a focus
            // cue lies inside its label and its face.
            const PixelRect label = layout.Label(i);
            if (i > 0) {
                EXPECT_LE(layout.Label(i - 1).bottom, label.top) << e.dpi << " " << i;
            }
            const PixelRect cue = layout.FocusCue(i);
            EXPECT_GT(cue.Height(), 0) << e.dpi << " " << i;
            EXPECT_GE(cue.left, 0);
            EXPECT_LE(cue.right, label.Width());
            EXPECT_GE(cue.top + label.top, layout.Image(i).top);
            EXPECT_LE(cue.bottom + label.top, layout.Image(i).bottom);
        }
    }
}

TEST(MainLayoutTest, AChangeOfResolutionLandsOnTheSamePixelsAsAStartThere) {
    for (const Expected& from : kScalings) {
        for (const Expected& to : kScalings) {
            MainLayout moved = Started(from.dpi);
            moved.SetDotsPerInch(to.dpi);
            EXPECT_EQ(Everything(moved), Everything(Started(to.dpi)))
                << from.dpi << " -> " << to.dpi;
        }
    }
}

TEST(MainLayoutTest, TwipsRoundAsTheSystemRounds) {
    EXPECT_EQ(TwipsToPixels(7, 96), 0);
    EXPECT_EQ(TwipsToPixels(8, 96), 1);  // half a pixel rounds up
    EXPECT_EQ(TwipsToPixels(-8, 96), -1);
    EXPECT_EQ(TwipsToPixels(2925, 144), 293);
}

}  // namespace
}  // namespace tovik

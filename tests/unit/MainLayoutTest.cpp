#include <gtest/gtest.h>

#include <vector>

#include "FakeViews.h"
#include "app/MainLayout.h"
#include "platform/ScreenPlace.h"

namespace tovik {
namespace {

struct Expected {
    int dpi;
    int clientWidth, clientHeight;
    PixelRect list, panel, label0, label5;
    int captionFont, textFont;
    bool facesSmoothed;  // the 50 x 22 faces, drawn smoothly rather than with doubled pixels
};

// The main window at the common scalings (100, 125, 150 and 200 %), as the user measures it.
// clang-format off
const Expected kScalings[] = {
    {96, 266, 195, {64, 8, 257, 154}, {8, 8, 58, 153}, {0, 3, 50, 25}, {0, 123, 50, 145}, 14, 12,
     false},
    {120, 333, 244, {80, 10, 321, 193}, {10, 10, 73, 191}, {0, 4, 63, 32}, {0, 154, 63, 182}, 18,
     15, true},
    {144, 399, 293, {96, 12, 386, 231}, {12, 12, 87, 230}, {0, 5, 75, 38}, {0, 185, 75, 218}, 21,
     18, true},
    {192, 532, 390, {128, 16, 514, 308}, {16, 16, 116, 306}, {0, 7, 100, 51}, {0, 247, 100, 291},
     28, 24, false},
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
        const PixelRect banner = layout.Banner();  // 222 x 29 pixels, always stretched
        EXPECT_TRUE(StretchedUnevenly(222, 29, banner.Width(), banner.Height())) << e.dpi;
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
            const PixelRect image = layout.Image(i);
            EXPECT_EQ(StretchedUnevenly(50, 22, image.Width(), image.Height()), e.facesSmoothed)
                << e.dpi << " " << i;
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

// A dialog's window opens with its client area at the design's place (About's here: 2760,
// 3855 twips) from the corner of its owner's work area, at that monitor's resolution, and
// wholly on that work area. `frame` is the window around its client area at (0, 0).
TEST(MainLayoutTest, ADialogOpensOnItsOwnersMonitorAtThatMonitorsResolution) {
    struct Case {
        const char* monitor;
        int dpi;
        PixelRect workArea, frame, window;
    };
    // clang-format off
    const Case cases[] = {
        // As on one monitor with the taskbar at the bottom: the client area at (184, 257).
        {"primary", 96, {0, 0, 1024, 738}, {-3, -26, 403, 181}, {181, 231, 587, 438}},
        {"taskbar on top", 96, {0, 40, 1920, 1080}, {-3, -26, 403, 181}, {181, 271, 587, 478}},
        {"right, 150 %", 144, {1920, 0, 3840, 1040}, {-4, -34, 604, 271}, {2192, 352, 2800, 657}},
        {"left, 125 %", 120, {-1600, 0, 0, 860}, {-3, -30, 503, 226}, {-1373, 291, -867, 547}},
        {"above, 175 %", 168, {0, -1440, 2560, -40}, {-4, -39, 704, 316}, {318, -1029, 1026, -674}},
        // Moved in at the right and the bottom.
        {"small", 96, {1920, 0, 2400, 400}, {-3, -26, 403, 181}, {1994, 193, 2400, 400}},
        // Larger than the work area: its top-left corner stays on it.
        {"too small", 192, {-800, -600, 0, 0}, {-5, -45, 805, 361}, {-800, -406, 10, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(PlaceOnWorkArea(2760, 3855, c.frame, c.workArea, c.dpi), c.window) << c.monitor;
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

#include "app/MainLayout.h"

#include <algorithm>

namespace tovik {

namespace {
constexpr TwipRect kClient{0, 0, 3990, 2925};
constexpr TwipRect kList{960, 120, 2895, 2190};
constexpr TwipRect kPanel{120, 120, 750, 2175};
constexpr TwipRect kBanner{120, 2400, 3810, 435};
constexpr TwipRect kCredit{360, 2520, 3375, 255};
}  // namespace

MainLayout::MainLayout(int dpi) : dpi_(dpi) {
    for (int i = 0; i < kCommandCount; ++i) labels_[i] = CommandLabelDesignRect(i);
}

PixelRect MainLayout::Client() const { return TwipsToPixels(kClient, dpi_); }
PixelRect MainLayout::List() const { return TwipsToPixels(kList, dpi_); }
PixelRect MainLayout::Panel() const { return TwipsToPixels(kPanel, dpi_); }
PixelRect MainLayout::Banner() const { return TwipsToPixels(kBanner, dpi_); }
PixelRect MainLayout::Credit() const { return TwipsToPixels(kCredit, dpi_); }
PixelRect MainLayout::Image(int index) const {
    return TwipsToPixels(CommandImageRect(index), dpi_);
}
PixelRect MainLayout::Label(int index) const { return TwipsToPixels(labels_[index], dpi_); }

// The cue keeps a pixel (more on a finer screen) off the face's edges, where the dotted line
// would merge with the face's rim.
PixelRect MainLayout::FocusCue(int index) const {
    const PixelRect label = Label(index);
    const PixelRect image = Image(index);
    const int inset = std::max(1, ScaleRounded(1, dpi_, kBaseDpi));
    const int top = std::max(label.top, image.top) - label.top;
    const int bottom = std::min(label.bottom, image.bottom) - label.top;
    return {inset, top + inset, label.Width() - inset, std::max(top + inset, bottom - inset)};
}

}  // namespace tovik

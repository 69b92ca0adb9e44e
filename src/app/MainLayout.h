// Form1's places and sizes in pixels at a resolution, from the design's twips. The window lays
// itself out from one of these at the start and again whenever its monitor's resolution
// changes, so that a change lands on the same pixels as a start there.
#pragma once

#include <array>

#include "app/CommandBar.h"
#include "platform/Twips.h"

namespace tovik {

class MainLayout {
public:
    explicit MainLayout(int dpi);
    void SetDotsPerInch(int dpi) { dpi_ = dpi; }
    int DotsPerInch() const { return dpi_; }

    // In the window's client area; the client area itself from (0, 0).
    PixelRect Client() const;
    PixelRect List() const;
    PixelRect Panel() const;
    PixelRect Banner() const;
    PixelRect Credit() const;
    // In the button panel: image i and the label the bar last laid over it.
    PixelRect Image(int index) const;
    PixelRect Label(int index) const;
    void SetLabel(int index, const TwipRect& rect) { labels_[index] = rect; }
    // In label i's own pixels: where its focus cue goes, on the part of its face it covers.
    PixelRect FocusCue(int index) const;

private:
    int dpi_;
    std::array<TwipRect, kCommandCount> labels_;
};

}  // namespace tovik

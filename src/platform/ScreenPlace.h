// Where the designs' places land on a desktop of several monitors, and how a picture is
// stretched to its place at a resolution.
#pragma once

#include <algorithm>

#include "platform/Twips.h"

namespace tovik {

// The window's rectangle for a dialog whose client area opens `left`, `top` twips from the
// top-left corner of the work area, in pixels at the resolution. The designs measure from the
// screen's corner, which is the work area's on one monitor with the taskbar at the bottom; on
// another monitor, or with the taskbar on the left or the top, the same place on the monitor
// the dialog belongs to is what the user looks at. The window is then moved in until it lies
// wholly on the work area; one larger than the work area keeps its top-left corner on it, so
// that its title bar can still be taken. `frame` is the window's rectangle around its client
// area placed at (0, 0).
constexpr PixelRect PlaceOnWorkArea(int left, int top, const PixelRect& frame,
                                    const PixelRect& workArea, int dpi) {
    const int x = workArea.left + TwipsToPixels(left, dpi) + frame.left;
    const int y = workArea.top + TwipsToPixels(top, dpi) + frame.top;
    const int placedX = std::max(workArea.left, std::min(x, workArea.right - frame.Width()));
    const int placedY = std::max(workArea.top, std::min(y, workArea.bottom - frame.Height()));
    return {placedX, placedY, placedX + frame.Width(), placedY + frame.Height()};
}

// Whether a picture stretched from `source` to `target` pixels shows its pixels unevenly
// doubled unless it is smoothed: drawn at its own size or at a whole multiple of it, each of
// its pixels becomes the same number of the screen's, and smoothing would only blur it and
// cost time.
constexpr bool StretchedUnevenly(int sourceWidth, int sourceHeight, int targetWidth,
                                 int targetHeight) {
    const auto uneven = [](int source, int target) {
        return source > 0 && (target < source || target % source != 0);
    };
    return uneven(sourceWidth, targetWidth) || uneven(sourceHeight, targetHeight);
}

}  // namespace tovik

// The designs give places and sizes in twips, 1/1440 inch; the screen wants pixels at its
// resolution (dots per inch), which differs from monitor to monitor.
#pragma once

namespace tovik {

constexpr int kBaseDpi = 96;  // 15 twips a pixel

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

// value * numerator / denominator, rounded to the nearest, halves away from zero, as the
// system's MulDiv rounds.
constexpr int ScaleRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

constexpr int TwipsToPixels(int twips, int dpi) { return ScaleRounded(twips, dpi, 1440); }

// Both edges are rounded, so that rectangles that meet in twips meet in pixels.
constexpr PixelRect TwipsToPixels(const TwipRect& r, int dpi) {
    return {TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi),
            TwipsToPixels(r.left + r.width, dpi), TwipsToPixels(r.top + r.height, dpi)};
}

// The character height of a font of the given size in tenths of a point.
constexpr int FontPixels(int tenthsOfPoint, int dpi) {
    return ScaleRounded(tenthsOfPoint, dpi, 720);
}

}  // namespace tovik

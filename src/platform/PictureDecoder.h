// The program's pictures, GIF and baseline JPEG files, decoded to pixels.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tovik {

struct DecodedPicture {
    int width = 0;
    int height = 0;
    // 0x00RRGGBB, rows top first; a transparent pixel is 0.
    std::vector<std::uint32_t> pixels;
    // One byte a pixel, 1 where it is transparent; empty when none can be.
    std::vector<std::uint8_t> transparent;
};

// The first frame of a GIF, or a baseline JPEG of one or three components; false for anything
// else, and for a file that breaks off.
bool DecodePicture(std::span<const std::uint8_t> file, DecodedPicture& picture);

}  // namespace tovik

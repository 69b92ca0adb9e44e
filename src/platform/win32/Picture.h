// A GIF or JPEG picture from the program's resources, decoded by the program itself and drawn
// with plain GDI: no COM, no library loaded for five small pictures.
#pragma once

#include <windows.h>

#include "platform/win32/Handles.h"

namespace tovik::win {

class Picture {
public:
    static Picture FromResource(int id);

    // Stretched to the rectangle, smoothly when the stretch is uneven; transparent pixels are
    // white.
    void Draw(HDC dc, const RECT& target) const;

private:
    UniqueBitmap colour_;
    int width_ = 0;
    int height_ = 0;
};

// An icon of the given size from an .ico file kept as a raw resource; the image of that size
// when the file has one, otherwise its first image scaled.
UniqueIcon IconFromResource(int id, int size);

}  // namespace tovik::win

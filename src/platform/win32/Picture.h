// A GIF or JPEG picture from the program's resources, drawn through OLE's picture object,
// which every Windows has and which keeps a GIF's transparent colour.
#pragma once

#include <windows.h>

#include <olectl.h>

#include "platform/win32/Handles.h"

namespace tovik::win {

class Picture {
public:
    static Picture FromResource(int id);

    // Stretched to the rectangle; transparent pixels leave the DC as it was.
    void Draw(HDC dc, const RECT& target) const;

private:
    ComRef<IPicture> picture_;
    OLE_XSIZE_HIMETRIC width_ = 0;
    OLE_YSIZE_HIMETRIC height_ = 0;
};

// An icon of the given size from an .ico file kept as a raw resource; the image of that size
// when the file has one, otherwise its first image scaled.
UniqueIcon IconFromResource(int id, int size);

}  // namespace tovik::win

#include "platform/win32/Picture.h"

#include <cstdint>
#include <cstring>
#include <span>

#include "platform/PictureDecoder.h"
#include "platform/ScreenPlace.h"
#include "platform/Timeline.h"

namespace tovik::win {

namespace {
struct RawResource {
    const BYTE* bytes = nullptr;
    DWORD size = 0;
};

RawResource FindRaw(int id) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
    const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    if (!loaded) return {};
    return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(instance, found)};
}

DWORD ReadLittleEndian(const BYTE* p, int bytes) {
    DWORD value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}
}  // namespace

// An .ico file: a 6-byte header with the image count, then 16 bytes per image giving its
// width, height, size and offset; the image data is what CreateIconFromResourceEx takes.
UniqueIcon IconFromResource(int id, int size) {
    const RawResource raw = FindRaw(id);
    if (!raw.bytes || raw.size < 6) return UniqueIcon();
    const DWORD count = ReadLittleEndian(raw.bytes + 4, 2);
    const BYTE* chosen = nullptr;
    for (DWORD i = 0; i < count && 6 + 16 * (i + 1) <= raw.size; ++i) {
        const BYTE* entry = raw.bytes + 6 + 16 * i;
        const int width = entry[0] == 0 ? 256 : entry[0];
        if (!chosen || width == size) chosen = entry;
        if (width == size) break;
    }
    if (!chosen) return UniqueIcon();
    const DWORD length = ReadLittleEndian(chosen + 8, 4);
    const DWORD offset = ReadLittleEndian(chosen + 12, 4);
    if (offset > raw.size || length > raw.size - offset) return UniqueIcon();
    constexpr DWORD kIconFormat = 0x00030000;  // the one version the call takes; no header names it
    return UniqueIcon(CreateIconFromResourceEx(const_cast<BYTE*>(raw.bytes + offset), length, TRUE,
                                               kIconFormat, size, size, LR_DEFAULTCOLOR));
}

// 32 bits a pixel, top row first: the decoder's pixels as they are, except that transparent
// ones are white. The only pictures that have any, the faces, lie on the white panel; drawn
// opaque, a picture is one stretch, which can be smoothed like any other.
Picture Picture::FromResource(int id) {
    TOVIK_SPAN("pictures");
    Picture result;
    const RawResource raw = FindRaw(id);
    if (!raw.bytes) return result;
    DecodedPicture decoded;
    if (!DecodePicture(std::span<const std::uint8_t>(raw.bytes, raw.size), decoded)) return result;
    for (std::size_t i = 0; i < decoded.transparent.size(); ++i) {
        if (decoded.transparent[i]) decoded.pixels[i] = 0x00FFFFFF;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = decoded.width;
    info.bmiHeader.biHeight = -decoded.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap colour(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || !bits) return result;
    std::memcpy(bits, decoded.pixels.data(), decoded.pixels.size() * sizeof(std::uint32_t));
    result.colour_ = std::move(colour);
    result.width_ = decoded.width;
    result.height_ = decoded.height;
    return result;
}

// At 125 to 175 % the default stretch repeats every second or third pixel and leaves the
// others single, which shows as uneven stripes; the halftone mode averages instead, and wants
// the brush origin set after it. At its own size or a whole multiple of it a picture is drawn
// the default way, which is as sharp and cheaper.
void Picture::Draw(HDC dc, const RECT& target) const {
    if (!colour_) return;
    UniqueMemoryDC source(CreateCompatibleDC(dc));
    if (!source) return;
    const int cx = target.right - target.left, cy = target.bottom - target.top;
    const int mode =
        StretchedUnevenly(width_, height_, cx, cy) ? SetStretchBltMode(dc, HALFTONE) : 0;
    POINT origin{};
    if (mode) SetBrushOrgEx(dc, 0, 0, &origin);
    SelectObjectScope select(source.Get(), colour_.Get());
    StretchBlt(dc, target.left, target.top, cx, cy, source.Get(), 0, 0, width_, height_, SRCCOPY);
    if (mode) {
        SetStretchBltMode(dc, mode);
        SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    }
}

}  // namespace tovik::win

#include "platform/win32/Picture.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/PictureDecoder.h"
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
    return UniqueIcon(CreateIconFromResourceEx(const_cast<BYTE*>(raw.bytes + offset), length, TRUE,
                                               0x00030000, size, size, LR_DEFAULTCOLOR));
}

// 32 bits a pixel, top row first: the decoder's pixels as they are. The mask is a monochrome
// bitmap, its rows padded to 16 bits, as CreateBitmap takes them.
Picture Picture::FromResource(int id) {
    TOVIK_SPAN("pictures");
    Picture result;
    const RawResource raw = FindRaw(id);
    if (!raw.bytes) return result;
    DecodedPicture decoded;
    if (!DecodePicture(std::span<const std::uint8_t>(raw.bytes, raw.size), decoded)) return result;
    const int width = decoded.width, height = decoded.height;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap colour(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || !bits) return result;
    std::memcpy(bits, decoded.pixels.data(), decoded.pixels.size() * sizeof(std::uint32_t));

    if (!decoded.transparent.empty()) {
        const std::size_t stride = (static_cast<std::size_t>(width) + 15) / 16 * 2;
        std::vector<BYTE> rows(stride * static_cast<std::size_t>(height), 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (decoded.transparent[static_cast<std::size_t>(y) * width + x]) {
                    rows[y * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
                }
            }
        }
        result.mask_.Reset(CreateBitmap(width, height, 1, 1, rows.data()));
        if (!result.mask_) return Picture();
    }
    result.colour_ = std::move(colour);
    result.width_ = width;
    result.height_ = height;
    return result;
}

// The mask clears the opaque pixels to black and leaves the rest (a monochrome source takes
// the DC's text colour for 0 and its background colour for 1); the colours are then ORed in.
void Picture::Draw(HDC dc, const RECT& target) const {
    if (!colour_) return;
    UniqueMemoryDC source(CreateCompatibleDC(dc));
    if (!source) return;
    const int x = target.left, y = target.top;
    const int cx = target.right - target.left, cy = target.bottom - target.top;
    if (!mask_) {
        SelectObjectScope select(source.Get(), colour_.Get());
        StretchBlt(dc, x, y, cx, cy, source.Get(), 0, 0, width_, height_, SRCCOPY);
        return;
    }
    const COLORREF background = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    {
        SelectObjectScope select(source.Get(), mask_.Get());
        StretchBlt(dc, x, y, cx, cy, source.Get(), 0, 0, width_, height_, SRCAND);
    }
    {
        SelectObjectScope select(source.Get(), colour_.Get());
        StretchBlt(dc, x, y, cx, cy, source.Get(), 0, 0, width_, height_, SRCPAINT);
    }
    SetTextColor(dc, text);
    SetBkColor(dc, background);
}

}  // namespace tovik::win

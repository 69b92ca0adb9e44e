#include "platform/win32/Picture.h"

#include <cstring>

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

Picture Picture::FromResource(int id) {
    Picture result;
    const RawResource raw = FindRaw(id);
    const void* bytes = raw.bytes;
    const DWORD size = raw.size;
    if (!bytes || size == 0) return result;

    // The stream owns this copy and frees it when released.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return result;
    if (void* target = GlobalLock(copy)) {
        std::memcpy(target, bytes, size);
        GlobalUnlock(copy);
    }
    ComRef<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, stream.Put()))) {
        GlobalFree(copy);
        return result;
    }
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(result.picture_.Put())))) {
        return result;
    }
    result.picture_->get_Width(&result.width_);
    result.picture_->get_Height(&result.height_);
    return result;
}

void Picture::Draw(HDC dc, const RECT& target) const {
    if (!picture_) return;
    picture_->Render(dc, target.left, target.top, target.right - target.left,
                     target.bottom - target.top, 0, height_, width_, -height_, nullptr);
}

}  // namespace tovik::win

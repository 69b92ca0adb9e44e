#include "platform/PictureDecoder.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace tovik {

namespace {

constexpr int kMaxSide = 4096;

// Reads a file front to back; past the end every byte is 0 and the reader says it ran short.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

    int Byte() {
        if (at_ < data_.size()) return data_[at_++];
        short_ = true;
        return 0;
    }
    int LittleEndian16() {
        const int low = Byte();
        return low | (Byte() << 8);
    }
    int BigEndian16() {
        const int high = Byte();
        return (high << 8) | Byte();
    }
    void Skip(std::size_t count) {
        if (count > data_.size() - at_) short_ = true;
        at_ = std::min(data_.size(), at_ + count);
    }
    bool Short() const { return short_; }
    std::span<const std::uint8_t> Rest() const { return data_.subspan(at_); }

private:
    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
    bool short_ = false;
};

bool SideOk(int side) { return side > 0 && side <= kMaxSide; }

// ---- GIF

struct Palette {
    std::array<std::uint32_t, 256> colours{};
    int count = 0;
};

void ReadPalette(Reader& in, int count, Palette& palette) {
    palette.count = count;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t red = static_cast<std::uint32_t>(in.Byte());
        const std::uint32_t green = static_cast<std::uint32_t>(in.Byte());
        palette.colours[i] = (red << 16) | (green << 8) | static_cast<std::uint32_t>(in.Byte());
    }
}

// GIF's LZW, read straight from the frame's data blocks: codes minSize + 1 bits wide at first
// and at most 12, least significant bit first. A code widens after the entry that fills the
// current width, as the encoders do. The output may run past `count` by one string.
bool Lzw(Reader& in, int minSize, std::size_t count, std::vector<std::uint8_t>& out) {
    if (minSize < 2 || minSize > 8) return false;
    const int clear = 1 << minSize;
    const int end = clear + 1;
    std::array<std::uint16_t, 4096> prefix{};
    std::array<std::uint8_t, 4096> suffix{}, first{}, stack{};
    for (int i = 0; i < clear; ++i) suffix[i] = first[i] = static_cast<std::uint8_t>(i);
    int width = minSize + 1, next = end + 1, previous = -1, held = 0, block = 0;
    std::uint32_t bits = 0;
    std::size_t done = 0;
    while (done < count) {
        for (; held < width; held += 8) {
            if (block == 0 && (block = in.Byte()) == 0) return false;
            --block;
            bits |= static_cast<std::uint32_t>(in.Byte()) << held;
        }
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        held -= width;
        if (code == clear) {
            width = minSize + 1;
            next = end + 1;
            previous = -1;
            continue;
        }
        if (in.Short() || code == end || code > next || (previous < 0 && code >= clear)) {
            return false;
        }
        // A code one past the table stands for the previous string and that string's first byte.
        const int head = code < next ? code : previous;
        int depth = 0;
        for (int c = head;; c = prefix[c]) {
            stack[depth++] = suffix[c];
            if (c < clear) break;
        }
        while (depth > 0) out[done++] = stack[--depth];
        if (code == next) out[done++] = first[previous];
        if (previous >= 0 && next < 4096) {
            prefix[next] = static_cast<std::uint16_t>(previous);
            suffix[next] = first[head];
            first[next] = first[previous];
            if (++next == (1 << width) && width < 12) ++width;
        }
        previous = code;
    }
    return true;
}

// The first frame on the logical screen; what it leaves uncovered is transparent.
bool DecodeGif(Reader& in, DecodedPicture& picture) {
    in.Skip(6);
    picture.width = in.LittleEndian16();
    picture.height = in.LittleEndian16();
    const int screenFlags = in.Byte();
    in.Skip(2);
    if (!SideOk(picture.width) || !SideOk(picture.height)) return false;
    Palette palette;
    if (screenFlags & 0x80) ReadPalette(in, 2 << (screenFlags & 7), palette);
    int transparent = -1;
    while (!in.Short()) {
        const int block = in.Byte();
        if (block == 0x21) {
            const int label = in.Byte();
            for (int size = in.Byte(); size > 0 && !in.Short(); size = in.Byte()) {
                const std::span<const std::uint8_t> body = in.Rest();
                if (label == 0xF9 && size >= 4 && body.size() >= 4) {
                    transparent = (body[0] & 1) ? body[3] : -1;
                }
                in.Skip(static_cast<std::size_t>(size));
            }
            continue;
        }
        if (block != 0x2C) return false;
        const int left = in.LittleEndian16(), top = in.LittleEndian16();
        const int width = in.LittleEndian16(), height = in.LittleEndian16();
        const int frameFlags = in.Byte();
        if (frameFlags & 0x80) ReadPalette(in, 2 << (frameFlags & 7), palette);
        if (palette.count == 0 || width == 0 || height == 0 || left + width > picture.width ||
            top + height > picture.height) {
            return false;
        }
        const std::size_t count = static_cast<std::size_t>(width) * height;
        std::vector<std::uint8_t> indices(count + 4096);
        if (!Lzw(in, in.Byte(), count, indices)) return false;

        const std::size_t area = static_cast<std::size_t>(picture.width) * picture.height;
        picture.pixels.resize(area);
        const bool covered = width == picture.width && height == picture.height;
        if (transparent >= 0 || !covered) {
            picture.transparent.resize(area);
            if (!covered) std::fill(picture.transparent.begin(), picture.transparent.end(), 1);
        }
        // An interlaced frame comes in four passes over the rows: every 8th from 0, every 8th
        // from 4, every 4th from 2, every 2nd from 1.
        const bool interlaced = frameFlags & 0x40;
        const std::uint8_t* index = indices.data();
        int row = 0, pass = 0;
        for (int line = 0; line < height; ++line) {
            const std::size_t target = static_cast<std::size_t>(top + row) * picture.width + left;
            for (int x = 0; x < width; ++x, ++index) {
                const bool clear = *index == transparent;
                if (!picture.transparent.empty()) picture.transparent[target + x] = clear;
                if (!clear && *index < palette.count)
                    picture.pixels[target + x] = palette.colours[*index];
            }
            if (!interlaced) {
                ++row;
                continue;
            }
            constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
            row += kStep[pass];
            while (row >= height && pass < 3) row = kStart[++pass];
        }
        return true;
    }
    return false;
}

// ---- baseline JPEG, decoded exactly as the IJG library's defaults do (its "islow" inverse
// DCT and its "fancy" upsampling), so that the pictures look as the usual decoders show them.

constexpr std::array<std::uint8_t, 64> kNaturalOrder = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

struct Huffman {
    std::array<int, 17> maxCode{};
    std::array<int, 17> offset{};
    std::array<std::uint8_t, 256> values{};
    bool defined = false;
};

struct Component {
    int id = 0, h = 1, v = 1, quant = 0, dc = 0, ac = 0, predictor = 0;
    int stride = 0;  // samples a row, whole blocks
    std::vector<std::uint8_t> samples;
};

// The entropy-coded bits; a marker ends them. A valid file never needs a bit past that, so a
// read beyond it marks the file as broken off.
class Bits {
public:
    explicit Bits(std::span<const std::uint8_t> data) : data_(data) {}
    int Bit() {
        if (held_ == 0) {
            byte_ = NextByte();
            held_ = 8;
        }
        return (byte_ >> --held_) & 1;
    }
    int Receive(int count) {
        int value = 0;
        while (count-- > 0) value = (value << 1) | Bit();
        return value;
    }
    // The signed value of a coefficient `count` bits long.
    int Extend(int count) {
        const int value = Receive(count);
        return count > 0 && value < (1 << (count - 1)) ? value - (1 << count) + 1 : value;
    }
    int Decode(const Huffman& table) {
        int code = 0;
        for (int length = 1; length <= 16; ++length) {
            code = (code << 1) | Bit();
            if (code <= table.maxCode[length])
                return table.values[(code + table.offset[length]) & 255];
        }
        return -1;
    }

    bool Starved() const { return starved_; }

private:
    int NextByte() {
        if (at_ < data_.size() && data_[at_] != 0xFF) return data_[at_++];
        if (at_ + 1 < data_.size() && data_[at_ + 1] == 0) {
            at_ += 2;
            return 0xFF;
        }
        starved_ = true;
        return 0;
    }
    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
    int byte_ = 0, held_ = 0;
    bool starved_ = false;
};

// One 8-point pass of the IJG "islow" inverse DCT (13-bit constants, 2 extra bits between the
// passes), descaled by `shift` with rounding. The library computes in a 32-bit long on Windows;
// so does this, wrapping alike on a broken file instead of overflowing.
void InverseDct8(const std::uint32_t* in, int step, int shift, std::uint32_t* out, int outStep) {
    const auto descale = [shift](std::uint32_t x) {
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(x + (1u << (shift - 1))) >>
                                          shift);
    };
    const std::uint32_t v0 = in[0], v1 = in[step], v2 = in[2 * step], v3 = in[3 * step],
                        v4 = in[4 * step], v5 = in[5 * step], v6 = in[6 * step], v7 = in[7 * step];
    const std::uint32_t z1 = (v2 + v6) * 4433;
    const std::uint32_t even2 = z1 - v6 * 15137, even3 = z1 + v2 * 6270;
    const std::uint32_t even0 = (v0 + v4) << 13, even1 = (v0 - v4) << 13;
    const std::uint32_t t10 = even0 + even3, t13 = even0 - even3;
    const std::uint32_t t11 = even1 + even2, t12 = even1 - even2;
    const std::uint32_t a1 = v7 + v1, a2 = v5 + v3, a3 = v7 + v3, a4 = v5 + v1;
    const std::uint32_t z5 = (a3 + a4) * 9633;
    const std::uint32_t b1 = a1 * -7373u, b2 = a2 * -20995u;
    const std::uint32_t b3 = a3 * -16069u + z5, b4 = a4 * -3196u + z5;
    const std::uint32_t odd[4] = {v7 * 2446 + b1 + b3, v5 * 16819 + b2 + b4, v3 * 25172 + b2 + b3,
                                  v1 * 12299 + b1 + b4};
    const std::uint32_t even[4] = {t10, t11, t12, t13};
    for (int i = 0; i < 4; ++i) {
        out[i * outStep] = descale(even[i] + odd[3 - i]);
        out[(7 - i) * outStep] = descale(even[i] - odd[3 - i]);
    }
}

// The library's table after the inverse DCT: 10 bits taken, centred on 128, clamped, and
// wrapping beyond as its table does.
std::uint8_t RangeLimit(std::uint32_t value) {
    const std::uint32_t v = value & 1023;
    return static_cast<std::uint8_t>(v < 128 ? v + 128 : v < 512 ? 255 : v < 896 ? 0 : v - 896);
}

void InverseDct(const std::uint32_t coefficients[64], std::uint8_t* out, int stride) {
    std::uint32_t work[64], row[8];
    for (int column = 0; column < 8; ++column) {
        InverseDct8(coefficients + column, 8, 13 - 2, work + column, 8);
    }
    for (int y = 0; y < 8; ++y) {
        InverseDct8(work + 8 * y, 1, 13 + 2 + 3, row, 1);
        for (int x = 0; x < 8; ++x) out[y * stride + x] = RangeLimit(row[x]);
    }
}

bool DecodeBlock(Bits& bits, Component& c, const Huffman& dc, const Huffman& ac,
                 const std::array<std::uint32_t, 64>& quant, std::uint8_t* out) {
    std::uint32_t coefficients[64] = {};
    const int dcSize = bits.Decode(dc);
    if (dcSize < 0 || dcSize > 16) return false;
    c.predictor += bits.Extend(dcSize);
    coefficients[0] = static_cast<std::uint32_t>(c.predictor) * quant[0];
    for (int k = 1; k < 64; ++k) {
        const int symbol = bits.Decode(ac);
        if (symbol < 0) return false;
        const int run = symbol >> 4, size = symbol & 15;
        if (size == 0) {
            if (run != 15) break;
            k += 15;
            continue;
        }
        k += run;
        if (k > 63) return false;
        coefficients[kNaturalOrder[k]] = static_cast<std::uint32_t>(bits.Extend(size)) * quant[k];
    }
    InverseDct(coefficients, out, c.stride);
    return true;
}

// Sample (x, y) of a plane at full size. A plane halved across, or both ways, is brought up as
// the library's "fancy" upsampling does: 3/4 of the nearer sample and 1/4 of the farther one,
// across and, for a plane halved both ways, down too; at the edges the outermost sample stays.
int Sample(const Component& c, int width, int height, int x, int y, bool across, bool down) {
    const std::uint8_t* plane = c.samples.data();
    if (!across) return plane[y * c.stride + x];
    const int i = x / 2, row = down ? y / 2 : y;
    const bool left = x % 2 == 0;
    const bool edge = left ? i == 0 : i == (width + 1) / 2 - 1;
    const int farRow = std::clamp(y % 2 == 0 ? row - 1 : row + 1, 0, (height + 1) / 2 - 1);
    const auto at = [&](int column) {
        const int near = plane[row * c.stride + column];
        return down ? near * 3 + plane[farRow * c.stride + column] : near;
    };
    const int nearer = at(i), farther = edge ? nearer : at(left ? i - 1 : i + 1);
    if (!down) return edge ? nearer : (nearer * 3 + farther + (left ? 1 : 2)) >> 2;
    return (nearer * 3 + farther + (left ? 8 : 7)) >> 4;
}

std::uint8_t Clamp(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

// YCbCr to RGB with the library's 16-bit fixed-point factors and rounding.
std::uint32_t Rgb(int y, int cb, int cr) {
    cb -= 128;
    cr -= 128;
    const int red = y + ((91881 * cr + 32768) >> 16);
    const int green = y + ((-46802 * cr - 22554 * cb + 32768) >> 16);
    const int blue = y + ((116130 * cb + 32768) >> 16);
    return (std::uint32_t{Clamp(red)} << 16) | (std::uint32_t{Clamp(green)} << 8) | Clamp(blue);
}

// One frame, one scan holding every component: what a baseline encoder writes by default.
// Progressive, arithmetic-coded, 12-bit and restart-marked files are refused.
bool DecodeJpeg(Reader& in, DecodedPicture& picture) {
    in.Skip(2);
    std::array<std::array<std::uint32_t, 64>, 4> quant{};
    std::array<Huffman, 8> tables;  // DC 0-3, then AC 0-3
    std::vector<Component> components;
    std::span<const std::uint8_t> scanHeader;
    while (!in.Short()) {
        if (in.Byte() != 0xFF) return false;
        int marker = in.Byte();
        while (marker == 0xFF) marker = in.Byte();
        const int length = in.BigEndian16() - 2;
        if (length < 0) return false;
        const auto body = in.Rest().first(std::min<std::size_t>(in.Rest().size(), length));
        Reader segment(body);
        in.Skip(static_cast<std::size_t>(length));
        if (marker == 0xDB) {
            while (!segment.Rest().empty()) {
                const int which = segment.Byte();
                if ((which & 15) > 3) return false;
                for (std::uint32_t& q : quant[which & 3]) {
                    q = static_cast<std::uint32_t>(which >> 4 ? segment.BigEndian16()
                                                              : segment.Byte());
                }
            }
        } else if (marker == 0xC4) {
            while (!segment.Rest().empty()) {
                const int which = segment.Byte();
                if ((which & 15) > 3 || (which >> 4) > 1) return false;
                Huffman& table = tables[(which >> 4) * 4 + (which & 15)];
                std::array<int, 17> counts{};
                int code = 0, total = 0;
                for (int length = 1; length <= 16; ++length) {
                    counts[length] = segment.Byte();
                    table.offset[length] = total - code;
                    code += counts[length];
                    total += counts[length];
                    table.maxCode[length] = counts[length] ? code - 1 : -1;
                    if (code > (1 << length)) return false;
                    code <<= 1;
                }
                if (total > 256) return false;
                for (int i = 0; i < total; ++i)
                    table.values[i] = static_cast<std::uint8_t>(segment.Byte());
                table.defined = true;
            }
        } else if (marker == 0xC0 || marker == 0xC1) {
            if (segment.Byte() != 8) return false;
            picture.height = segment.BigEndian16();
            picture.width = segment.BigEndian16();
            const int count = segment.Byte();
            if (count != 1 && count != 3) return false;
            components.resize(static_cast<std::size_t>(count));
            for (Component& c : components) {
                c.id = segment.Byte();
                const int sampling = segment.Byte();
                c.h = sampling >> 4;
                c.v = sampling & 15;
                c.quant = segment.Byte() & 3;
                if (count == 1) c.h = c.v = 1;  // a lone component is never interleaved
            }
        } else if (marker == 0xDD) {
            if (segment.BigEndian16() != 0) return false;
        } else if (marker == 0xDA) {
            scanHeader = body;
            break;
        } else if ((marker >= 0xC2 && marker <= 0xCF) || marker == 0xD9) {
            return false;
        }
        if (segment.Short()) return false;
    }
    if (in.Short() || components.empty() || !SideOk(picture.width) || !SideOk(picture.height)) {
        return false;
    }

    Reader scan(scanHeader);
    if (scan.Byte() != static_cast<int>(components.size())) return false;
    for (Component& c : components) {
        if (scan.Byte() != c.id) return false;
        const int selectors = scan.Byte();
        c.dc = selectors >> 4;
        c.ac = 4 + (selectors & 15);
        if (c.dc > 3 || c.ac > 7 || !tables[c.dc].defined || !tables[c.ac].defined) {
            return false;
        }
    }
    if (scan.Byte() != 0 || scan.Byte() != 63 || scan.Byte() != 0) return false;

    // The first component is luma at full size; chroma at full size, halved across, or
    // halved both ways, as the library upsamples them.
    const Component& luma = components[0];
    const Component& chroma = components.back();
    const bool across = chroma.h != luma.h, down = chroma.v != luma.v;
    if (luma.h < 1 || luma.v < 1 || (across && chroma.h * 2 != luma.h) ||
        (down && chroma.v * 2 != luma.v) || (down && !across) ||
        components[1 % components.size()].h != chroma.h ||
        components[1 % components.size()].v != chroma.v) {
        return false;
    }
    const int mcusAcross = (picture.width + 8 * luma.h - 1) / (8 * luma.h);
    const int mcusDown = (picture.height + 8 * luma.v - 1) / (8 * luma.v);
    for (Component& c : components) {
        c.stride = mcusAcross * c.h * 8;
        c.samples.assign(static_cast<std::size_t>(c.stride) * mcusDown * c.v * 8, 0);
    }
    Bits bits(in.Rest());  // the coded data runs from the scan header to the end
    for (int my = 0; my < mcusDown; ++my) {
        for (int mx = 0; mx < mcusAcross; ++mx) {
            for (Component& c : components) {
                for (int by = 0; by < c.v; ++by) {
                    for (int bx = 0; bx < c.h; ++bx) {
                        const std::size_t at =
                            static_cast<std::size_t>((my * c.v + by) * 8) * c.stride +
                            static_cast<std::size_t>(mx * c.h + bx) * 8;
                        if (!DecodeBlock(bits, c, tables[c.dc], tables[c.ac], quant[c.quant],
                                         c.samples.data() + at) ||
                            bits.Starved()) {
                            return false;
                        }
                    }
                }
            }
        }
    }

    const int width = picture.width, height = picture.height;
    picture.pixels.resize(static_cast<std::size_t>(width) * height);
    std::uint32_t* pixel = picture.pixels.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int yCbCr[3] = {luma.samples[y * luma.stride + x], 128, 128};
            for (std::size_t i = 1; i < components.size(); ++i) {
                yCbCr[i] = Sample(components[i], width, height, x, y, across, down);
            }
            *pixel++ = Rgb(yCbCr[0], yCbCr[1], yCbCr[2]);
        }
    }
    return true;
}

}  // namespace

bool DecodePicture(std::span<const std::uint8_t> file, DecodedPicture& picture) {
    Reader in(file);
    const bool gif = file.size() >= 6 && (std::equal(file.begin(), file.begin() + 6, "GIF89a") ||
                                          std::equal(file.begin(), file.begin() + 6, "GIF87a"));
    const bool jpeg = file.size() >= 2 && file[0] == 0xFF && file[1] == 0xD8;
    return (gif && DecodeGif(in, picture)) || (jpeg && DecodeJpeg(in, picture));
}

}  // namespace tovik

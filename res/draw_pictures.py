#!/usr/bin/python3
"""Draws Tovik's icons and pictures.

    /usr/bin/python3 res/draw_pictures.py [OUTDIR]       write everything (default: next to this script)
    /usr/bin/python3 res/draw_pictures.py --check        redraw into a temp folder, compare with the
                                                         committed files and verify their properties
    /usr/bin/python3 res/draw_pictures.py --preview PNG  write an enlarged contact sheet for eyeballing

Everything is drawn from code here; nothing is loaded except the WenQuanYi Zen Hei font
(Debian package fonts-wqy-zenhei) for the heading of the About picture.  Needs python3-pil.

Output is deterministic: no clocks, and the little randomness used for the brush stroke comes
from a fixed seed.  The icons are written by our own writer because older Windows only reads
classic palette bitmaps (XOR image + 1-bit AND mask), not PNG or 32-bit images, and the button faces by our own GIF writer so the colour table size and the
transparent index are exactly what the program expects.
"""

import math
import os
import random
import shutil
import struct
import sys
import tempfile

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"

# The classic 16-colour Windows palette, in its usual order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, SILVER, GREY, YELLOW, WHITE = 0, 3, 7, 8, 11, 15

# Button faces.  The program paints the caption itself, in white.
FACE_W, FACE_H = 50, 22
FACE_RADIUS = 2.5          # just enough that only the very corner pixel falls outside
FACE_PALETTE_SIZE = 128
# Colour the faces are blended against where the rounded corner cuts through a pixel, and
# the colour of the disabled face's corners (that face has no transparency).
DIALOG_GROUND = (255, 255, 255)
FACES = {
    # name: (wanted average of the opaque pixels, gloss highlight added on top, transparent index)
    "face_normal.gif": ((23, 139, 3), (34, 44, 8), 112),
    "face_hover.gif": ((93, 172, 68), (42, 40, 38), 127),
    "face_disabled.gif": ((133, 133, 133), (40, 40, 40), None),
}
AVERAGE_TOLERANCE = 12

BANNER_SIZE = (222, 29)
ABOUT_SIZE = (236, 74)
ABOUT_TEXT = "关于我的Tovik"
JPEG_QUALITY = 88

ICON_FILES = ("tovik.ico", "key16.ico", "padlock.ico")
# The sizes Windows asks an icon for at 100, 125, 150 and 200 % scaling: small icons (title
# bar, notification area) 16 to 32 pixels, large ones 32 to 64.  The program's icon holds its
# design size, 48, first and the key ring drawn afresh at each of the others, so that no size
# is a blurred copy of another. The large icon at 125 %, 40 pixels, is the 48 made smaller by
# the system, which keeps it sharp enough and the program 3 KiB smaller.
ICON_SIZES = (16, 20, 24, 32, 64)
FACE_FILES = tuple(FACES)
JPEG_FILES = ("banner.jpg", "about.jpg")
ALL_FILES = ICON_FILES + FACE_FILES + JPEG_FILES


# --------------------------------------------------------------------------------------------
# small colour helpers

def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def ramp(stops, s):
    """Piecewise linear colour ramp; stops is a sorted list of (position, colour)."""
    if s <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if s <= p1:
            return mix(c0, c1, (s - p0) / (p1 - p0))
    return stops[-1][1]


def luminance(rgb):
    def lin(c):
        c /= 255.0
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (lin(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


# --------------------------------------------------------------------------------------------
# file writers

def ico_bytes(images):
    """Classic icon file. Each image is a dict with w, h, bpp (4 or 8), palette (2**bpp RGB
    tuples), pixels (rows of palette indices, top row first) and mask (rows, 1 = transparent).
    Transparent pixels should use a black palette entry so that screen AND mask XOR black
    leaves the screen untouched.  A 256-colour image keeps only the palette entries up to the
    highest it uses (biClrUsed says how many): a small image uses far fewer than 256."""
    blobs = []
    for im in images:
        w, h, bpp = im["w"], im["h"], im["bpp"]
        palette, pixels, mask = im["palette"], im["pixels"], im["mask"]
        assert bpp in (4, 8) and len(palette) == 1 << bpp
        used = 0
        if bpp == 8:
            used = max(max(row) for row in pixels) + 1
            palette = palette[:used] if used < 256 else palette
            used = used if used < 256 else 0
        xor_stride = (w * bpp + 31) // 32 * 4
        and_stride = (w + 31) // 32 * 4
        header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0,
                             (xor_stride + and_stride) * h, 0, 0, used, 0)
        colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
        xor = bytearray()
        andm = bytearray()
        for y in range(h - 1, -1, -1):          # bitmaps are stored bottom-up
            row = pixels[y]
            if bpp == 8:
                line = bytes(row)
            else:
                line = bytes((row[x] << 4) | (row[x + 1] if x + 1 < w else 0)
                             for x in range(0, w, 2))
            xor += line + bytes(xor_stride - len(line))
            bits = bytearray(and_stride)
            for x in range(w):
                if mask[y][x]:
                    bits[x >> 3] |= 0x80 >> (x & 7)
            andm += bits
        blobs.append(header + colours + bytes(xor) + bytes(andm))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for im, blob in zip(images, blobs):
        ncolours = 0 if im["bpp"] == 8 else 1 << im["bpp"]
        out += struct.pack("<BBBBHHII", im["w"] % 256, im["h"] % 256, ncolours, 0, 1,
                           im["bpp"], len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def lzw_gif(indices, min_code_size):
    """GIF flavour of LZW: variable code width from min_code_size + 1 up to 12 bits,
    codes packed least significant bit first."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    width = min_code_size + 1
    table = {}
    next_code = end + 1
    emit(clear, width)
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix, k)
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix, width)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            # the decoder is one entry behind us, so it widens one code later
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = {}
            next_code = end + 1
            width = min_code_size + 1
        prefix = k
    emit(prefix, width)
    # the decoder counts this last code too before it reads the end code
    if next_code < 4096:
        next_code += 1
        if next_code > (1 << width) and width < 12:
            width += 1
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(w, h, palette, indices, transparent=None):
    n = len(palette)
    bits = n.bit_length() - 1
    assert n == 1 << bits and 2 <= n <= 256
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", w, h, 0x80 | 0x70 | (bits - 1), 0, 0)
    for r, g, b in palette:
        out += bytes((r, g, b))
    if transparent is not None:
        out += bytes((0x21, 0xF9, 4, 0x01, 0, 0, transparent, 0))
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0)
    min_code_size = max(2, bits)
    data = lzw_gif(indices, min_code_size)
    out.append(min_code_size)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3b"
    return bytes(out)


def jpeg_bytes(img, full_chroma):
    """Baseline JPEG.  Full-resolution colour keeps the green lettering crisp; the smooth
    banner does fine with the usual halved chroma.  Huffman tables made for the picture
    itself cost nothing in its pixels and keep the file small."""
    import io
    buf = io.BytesIO()
    img.save(buf, "JPEG", quality=JPEG_QUALITY, optimize=True, progressive=False,
             subsampling=0 if full_chroma else 2)
    return buf.getvalue()


# --------------------------------------------------------------------------------------------
# readers, used by --check and --preview

def read_ico(data):
    """Parses a classic icon file; returns a list of dicts (directory entry fields plus the
    decoded RGBA image).  Raises ValueError with a reason if the layout is off."""
    if len(data) < 6:
        raise ValueError("too short")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        raise ValueError("bad header %r" % ((reserved, kind, count),))
    entries = []
    for i in range(count):
        w, h, ncol, res, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w = w or 256
        h = h or 256
        blob = data[offset:offset + size]
        if len(blob) != size:
            raise ValueError("image %d runs past the end of the file" % i)
        if blob[:8] == b"\x89PNG\r\n\x1a\n":
            raise ValueError("image %d is PNG-compressed" % i)
        (bsize, bw, bh, bplanes, bbpp, comp, simage, _, _, clrused, _) = \
            struct.unpack_from("<IiiHHIIiiII", blob, 0)
        if bsize != 40:
            raise ValueError("image %d: header size %d, not BITMAPINFOHEADER" % (i, bsize))
        if (bw, bh) != (w, 2 * h):
            raise ValueError("image %d: bitmap %dx%d does not match entry %dx%d (height doubled)"
                             % (i, bw, bh, w, h))
        if bplanes != 1 or comp != 0 or bbpp != bpp:
            raise ValueError("image %d: planes %d, compression %d, bits %d (entry says %d)"
                             % (i, bplanes, comp, bbpp, bpp))
        ncolours = clrused or (1 << bbpp)
        xor_stride = (w * bbpp + 31) // 32 * 4
        and_stride = (w + 31) // 32 * 4
        want = 40 + 4 * ncolours + (xor_stride + and_stride) * h
        if size != want:
            raise ValueError("image %d: %d bytes, expected %d for palette + XOR + AND"
                             % (i, size, want))
        pal = [(blob[40 + 4 * j + 2], blob[40 + 4 * j + 1], blob[40 + 4 * j])
               for j in range(ncolours)]
        xor_at = 40 + 4 * ncolours
        and_at = xor_at + xor_stride * h
        pixels, mask = [], []
        for y in range(h):
            row_at = xor_at + (h - 1 - y) * xor_stride
            if bbpp == 8:
                row = list(blob[row_at:row_at + w])
            elif bbpp == 4:
                row = [(blob[row_at + x // 2] >> (4 if x % 2 == 0 else 0)) & 15 for x in range(w)]
            else:
                raise ValueError("image %d: %d bits per pixel not handled" % (i, bbpp))
            m_at = and_at + (h - 1 - y) * and_stride
            mrow = [(blob[m_at + x // 8] >> (7 - x % 8)) & 1 for x in range(w)]
            pixels.append(row)
            mask.append(mrow)
        rgba = Image.new("RGBA", (w, h))
        rgba.putdata([pal[pixels[y][x]] + ((0,) if mask[y][x] else (255,))
                      for y in range(h) for x in range(w)])
        entries.append(dict(w=w, h=h, colour_count=ncol, planes=planes, bpp=bpp,
                            palette=pal, pixels=pixels, mask=mask, image=rgba))
    return entries


def gif_layout(data):
    """Walks the blocks of a single-frame GIF and returns what the checks care about."""
    info = {}
    if data[:6] != b"GIF89a":
        raise ValueError("does not start with GIF89a")
    w, h, packed = struct.unpack_from("<HHB", data, 6)
    info.update(width=w, height=h, gct=bool(packed & 0x80),
                gct_size=(2 << (packed & 7)) if packed & 0x80 else 0, transparent=None,
                gce=False, frames=0)
    pos = 13 + 3 * info["gct_size"]
    while pos < len(data):
        tag = data[pos]
        if tag == 0x3B:
            info["trailer"] = True
            break
        if tag == 0x21:
            label = data[pos + 1]
            pos += 2
            if label == 0xF9:
                info["gce"] = True
                if data[pos + 1] & 1:
                    info["transparent"] = data[pos + 4]
            while data[pos]:
                pos += data[pos] + 1
            pos += 1
        elif tag == 0x2C:
            x, y, iw, ih, ipacked = struct.unpack_from("<HHHHB", data, pos + 1)
            info.update(frames=info["frames"] + 1, frame=(x, y, iw, ih),
                        local_table=bool(ipacked & 0x80))
            pos += 10
            if ipacked & 0x80:
                pos += 3 * (2 << (ipacked & 7))
            info["min_code_size"] = data[pos]
            pos += 1
            lzw = bytearray()
            while data[pos]:
                lzw += data[pos + 1:pos + 1 + data[pos]]
                pos += data[pos] + 1
            info["lzw"] = bytes(lzw)
            pos += 1
        else:
            raise ValueError("unexpected block 0x%02x at %d" % (tag, pos))
    return info


def lzw_gif_decode(data, min_code_size, count):
    """Strict reader for our GIF pixel data: it must hold exactly `count` pixels followed by
    the end code at the right width, and nothing after it but padding bits."""
    clear = 1 << min_code_size
    end = clear + 1
    width = min_code_size + 1
    table = [(i,) for i in range(clear)] + [None, None]
    prev = None
    out = []
    pos = 0
    total = len(data) * 8
    while True:
        if pos + width > total:
            raise ValueError("pixel data ends before the end code")
        code = 0
        for b in range(width):
            bit = pos + b
            code |= ((data[bit >> 3] >> (bit & 7)) & 1) << b
        pos += width
        if code == clear:
            width = min_code_size + 1
            table = table[:clear + 2]
            prev = None
            continue
        if code == end:
            break
        if code < len(table) and table[code] is not None:
            entry = table[code]
        elif prev is not None and code == len(table):
            entry = table[prev] + table[prev][:1]
        else:
            raise ValueError("code %d out of range at bit %d" % (code, pos - width))
        if prev is not None and len(table) < 4096:
            table.append(table[prev] + entry[:1])
            if len(table) == (1 << width) and width < 12:
                width += 1
        out.extend(entry)
        prev = code
    if total - pos >= 8:
        raise ValueError("%d stray bytes after the end code" % ((total - pos) // 8))
    if len(out) != count:
        raise ValueError("%d pixels, expected %d" % (len(out), count))
    return out


def jpeg_frame(data):
    """Returns (SOF marker, width, height) of a JPEG file."""
    if data[:2] != b"\xff\xd8":
        raise ValueError("no JPEG start marker")
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            raise ValueError("lost marker sync at %d" % pos)
        marker = data[pos + 1]
        length = struct.unpack_from(">H", data, pos + 2)[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            h, w = struct.unpack_from(">HH", data, pos + 5)
            return marker, w, h
        if marker == 0xDA:
            break
        pos += 2 + length
    raise ValueError("no frame header")


# --------------------------------------------------------------------------------------------
# supersampled vector drawing for the 256-colour key ring icon

class Sketch:
    """Draws in a 48-unit design space onto a supersampled canvas for an n x n icon."""

    DESIGN = 48.0

    def __init__(self, n, ss=8):
        self.n = n
        self.ss = ss
        self.size = n * ss
        self.k = self.size / self.DESIGN

    def new_mask(self):
        return Image.new("L", (self.size, self.size), 0)

    def circle(self, draw, c, r, fill=255):
        k = self.k
        draw.ellipse([(c[0] - r) * k, (c[1] - r) * k, (c[0] + r) * k - 1, (c[1] + r) * k - 1],
                     fill=fill)

    def box(self, draw, a, b, hw, fill=255):
        """Rectangle along the segment a-b with half width hw."""
        dx, dy = b[0] - a[0], b[1] - a[1]
        length = math.hypot(dx, dy)
        nx, ny = -dy / length, dx / length
        k = self.k
        pts = [(a[0] + nx * hw, a[1] + ny * hw), (b[0] + nx * hw, b[1] + ny * hw),
               (b[0] - nx * hw, b[1] - ny * hw), (a[0] - nx * hw, a[1] - ny * hw)]
        draw.polygon([(x * k, y * k) for x, y in pts], fill=fill)

    def field(self, colour_at):
        """RGB image whose pixels are colour_at(x, y) in design units (sampled at centres)."""
        inv = 1.0 / self.k
        data = []
        for j in range(self.size):
            y = (j + 0.5) * inv
            for i in range(self.size):
                data.append(tuple(clamp8(v) for v in colour_at((i + 0.5) * inv, y)))
        img = Image.new("RGB", (self.size, self.size))
        img.putdata(data)
        return img

    def dilate(self, mask, width):
        """Grows a mask by a disc of `width` output pixels."""
        r = width * self.ss
        ir = int(math.ceil(r))
        out = mask.copy()
        for dy in range(-ir, ir + 1):
            for dx in range(-ir, ir + 1):
                if (dx or dy) and dx * dx + dy * dy <= r * r:
                    shifted = Image.new("L", mask.size, 0)
                    shifted.paste(mask, (dx, dy))
                    out = ImageChops.lighter(out, shifted)
        return out

    def layer(self, fill_mask, colours, outline_rgb, outline_width):
        outline = self.dilate(fill_mask, outline_width)
        img = Image.new("RGBA", (self.size, self.size), (0, 0, 0, 0))
        img.paste(outline_rgb + (255,), (0, 0), outline)
        img.paste(colours, (0, 0), fill_mask)
        return img

    def finish(self, img):
        return img.resize((self.n, self.n), Image.Resampling.BOX)


SILVER_RAMP = [(-1.0, (112, 118, 132)), (-0.35, (160, 166, 178)), (0.25, (214, 219, 227)),
               (0.62, (250, 251, 253)), (1.0, (200, 206, 216))]
GOLD_RAMP = [(-1.0, (160, 98, 8)), (-0.35, (214, 150, 24)), (0.25, (250, 204, 64)),
             (0.62, (255, 244, 170)), (1.0, (236, 190, 70))]
STEEL_RAMP = [(-1.0, (88, 94, 106)), (-0.3, (138, 144, 156)), (0.35, (200, 205, 214)),
              (0.75, (245, 247, 250)), (1.0, (210, 214, 222))]
LIGHT = (-0.6, -0.8)   # light comes from the upper left


def key_parts(bow_c, angle_deg, bit_side):
    """Geometry of one key: a round bow centred on bow_c with a large hole for the ring, the
    blade pointing along angle_deg, and the bit sticking out on bit_side (+1 is the lit
    side of the blade, -1 the other)."""
    a = math.radians(angle_deg)
    u = (math.cos(a), math.sin(a))
    # the normal that points up the screen gets the light
    n = (-u[1], u[0]) if u[0] < 0 else (u[1], -u[0])

    def at(t, s=0.0):
        return (bow_c[0] + u[0] * t + n[0] * s, bow_c[1] + u[1] * t + n[1] * s)

    bow_r = 6.6
    hole_r = 3.0
    shaft_hw = 2.0
    tip = 22.5                    # distances are measured from the bow centre along the key
    side = bit_side * (shaft_hw - 0.3)
    return dict(u=u, n=n, bow_c=bow_c, bow_r=bow_r, hole_c=bow_c, hole_r=hole_r,
                shaft=(at(bow_r - 1.0), at(tip)), shaft_hw=shaft_hw,
                collar=(at(bow_r + 0.3), at(bow_r + 2.1)),
                collar_hw=shaft_hw + 1.0,
                bit=(at(tip - 7.8, side), at(tip - 0.3, side)), bit_depth=3.3,
                bit_side=bit_side, notch=at(tip - 4.1, side + bit_side * 3.3))


def draw_key(sk, parts, ramp_stops, outline_rgb):
    m = sk.new_mask()
    d = ImageDraw.Draw(m)
    n, side = parts["n"], parts["bit_side"]
    sk.circle(d, parts["bow_c"], parts["bow_r"])
    sk.box(d, parts["shaft"][0], parts["shaft"][1], parts["shaft_hw"])
    sk.box(d, parts["collar"][0], parts["collar"][1], parts["collar_hw"])
    # the bit: a block off one side of the blade with a notch cut into it
    a, b = parts["bit"]
    half = parts["bit_depth"] / 2 * side
    sk.box(d, (a[0] + n[0] * half, a[1] + n[1] * half), (b[0] + n[0] * half, b[1] + n[1] * half),
           parts["bit_depth"] / 2)
    c = parts["notch"]
    sk.box(d, (c[0] + n[0] * side * 1.0, c[1] + n[1] * side * 1.0),
           (c[0] - n[0] * side * 1.7, c[1] - n[1] * side * 1.7), 0.9, fill=0)
    sk.circle(d, parts["hole_c"], parts["hole_r"], fill=0)
    u = parts["u"]
    bow_c, bow_r = parts["bow_c"], parts["bow_r"]

    def colour_at(x, y):
        dx, dy = x - bow_c[0], y - bow_c[1]
        along = dx * u[0] + dy * u[1]
        across = dx * n[0] + dy * n[1]
        if along < bow_r - 0.8:
            # the bow is a slightly domed disc lit from the upper left
            s = (dx * LIGHT[0] + dy * LIGHT[1]) / bow_r
            s = 0.85 * s + 0.15 * (1 - 2 * min(1.0, math.hypot(dx, dy) / bow_r))
        else:
            s = across / parts["shaft_hw"]
        return ramp(ramp_stops, max(-1.0, min(1.0, s)))

    return sk.layer(m, sk.field(colour_at), outline_rgb, 1.0)


def draw_keyring(n):
    """A steel ring with a silver and a gold key hanging from it in a V."""
    sk = Sketch(n)
    centre = (24.0, 10.6)
    ring_r = 8.3
    ring_hw = 1.25
    keys = (  # angle, bit side, colours, outline
        (119.0, 1, SILVER_RAMP, (44, 48, 60)),
        (59.0, -1, GOLD_RAMP, (96, 58, 6)),
    )

    def on_ring(angle, extra=0.0):
        a = math.radians(angle)
        return (centre[0] + (ring_r + extra) * math.cos(a), centre[1] + (ring_r + extra) * math.sin(a))

    ring_mask = sk.new_mask()
    d = ImageDraw.Draw(ring_mask)
    sk.circle(d, centre, ring_r + ring_hw)
    sk.circle(d, centre, ring_r - ring_hw, fill=0)

    def ring_colour(x, y):
        dx, dy = x - centre[0], y - centre[1]
        dist = math.hypot(dx, dy) or 1.0
        facing = (dx * LIGHT[0] + dy * LIGHT[1]) / dist
        radial = (dist - ring_r) / ring_hw
        return ramp(STEEL_RAMP, max(-1.0, min(1.0, 0.7 * facing + 0.45 * (0.4 - radial * radial))))

    ring = sk.layer(ring_mask, sk.field(ring_colour), (38, 42, 52), 1.0)

    img = Image.new("RGBA", (sk.size, sk.size), (0, 0, 0, 0))
    for angle, side, stops, outline in keys:
        # the bow hangs just below the ring, which runs through the top of its hole
        parts = key_parts(on_ring(angle, 4.0), angle, side)
        img = Image.alpha_composite(img, draw_key(sk, parts, stops, outline))
    img = Image.alpha_composite(img, ring)
    return sk.finish(img)


def palette_icon_256(rgba):
    """Reduces an RGBA drawing to a 256-colour icon image: index 0 is black and is used for
    every transparent pixel; the opaque pixels share the other 255 entries."""
    w, h = rgba.size
    alpha = rgba.getchannel("A")
    opaque = alpha.point(lambda a: 255 if a >= 128 else 0)
    rgb = rgba.convert("RGB")
    # give the transparent area a colour that exists anyway so it costs no palette entry
    first = next(rgb.getpixel((i % w, i // w)) for i in range(w * h)
                 if opaque.getpixel((i % w, i // w)))
    flat = Image.new("RGB", (w, h), first)
    flat.paste(rgb, (0, 0), opaque)
    q = flat.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    qpal = q.getpalette()[:255 * 3]
    palette = [(0, 0, 0)] + [tuple(qpal[3 * i:3 * i + 3]) for i in range(255)]
    pixels, mask = [], []
    for y in range(h):
        row, mrow = [], []
        for x in range(w):
            if opaque.getpixel((x, y)):
                row.append(q.getpixel((x, y)) + 1)
                mrow.append(0)
            else:
                row.append(0)
                mrow.append(1)
        pixels.append(row)
        mask.append(mrow)
    return dict(w=w, h=h, bpp=8, palette=palette, pixels=pixels, mask=mask)


# --------------------------------------------------------------------------------------------
# 16-colour pixel art: shapes are rasterised by coverage, then shaded and outlined by rule

def coverage_mask(n, draw_fn, ss=8):
    """Rasterises draw_fn(draw, k) (k = high-res pixels per icon pixel) into a set of
    (x, y) icon pixels that are at least half covered."""
    img = Image.new("L", (n * ss, n * ss), 0)
    draw_fn(ImageDraw.Draw(img), ss)
    small = img.resize((n, n), Image.Resampling.BOX)
    return {(x, y) for y in range(n) for x in range(n) if small.getpixel((x, y)) >= 128}


def neighbours4(p):
    x, y = p
    return ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1))


def paint_shape(canvas, shape, fill, light=None, dark=None, outline=BLACK):
    """Paints a shape with a black 1-pixel outline; pixels along its upper-left edge get
    `light`, those along its lower-right edge get `dark`."""
    n = len(canvas)
    for p in shape:
        for q in neighbours4(p):
            if q not in shape and 0 <= q[0] < n and 0 <= q[1] < n:
                canvas[q[1]][q[0]] = outline
    for (x, y) in shape:
        c = fill
        if dark is not None and ((x + 1, y) not in shape or (x, y + 1) not in shape):
            c = dark
        elif light is not None and ((x - 1, y) not in shape or (x, y - 1) not in shape):
            c = light
        canvas[y][x] = c


def outlined(shape, n):
    out = set(shape)
    for p in shape:
        for q in neighbours4(p):
            if 0 <= q[0] < n and 0 <= q[1] < n:
                out.add(q)
    return out


def pixel_icon(canvas):
    n = len(canvas)
    return dict(w=n, h=n, bpp=4, palette=VGA16,
                pixels=[[BLACK if c is None else c for c in row] for row in canvas],
                mask=[[1 if c is None else 0 for c in row] for row in canvas])


def draw_key16(n):
    """Yellow key lying diagonally, bow at the upper right, with a chequered shadow."""
    f = n / 32.0

    def key(d, k):
        def P(x, y):
            return (x * f * k, y * f * k)

        def disc(cx, cy, r):
            d.ellipse([P(cx - r, cy - r), P(cx + r, cy + r)], fill=255)

        def bar(ax, ay, bx, by, hw):
            ux, uy = bx - ax, by - ay
            length = math.hypot(ux, uy)
            ux, uy = ux / length, uy / length
            nx, ny = -uy * hw, ux * hw
            d.polygon([P(ax + nx, ay + ny), P(bx + nx, by + ny),
                       P(bx - nx, by - ny), P(ax - nx, ay - ny)], fill=255)

        disc(9.0, 9.0, 6.6 if n == 32 else 6.2)
        bar(11.0, 11.0, 26.5, 26.5, 1.9 if n == 32 else 2.2)
        # two teeth off the end of the blade (down-left here, down-right once mirrored)
        bar(20.6, 20.6, 17.2, 24.0, 1.5 if n == 32 else 1.9)
        bar(24.8, 24.8, 21.4, 28.2, 1.5 if n == 32 else 1.9)
        d.ellipse([P(9.0 - 2.4, 9.0 - 2.4), P(9.0 + 2.4, 9.0 + 2.4)] if n == 32 else
                  [P(8.0 - 2.4, 8.0 - 2.4), P(8.0 + 2.4, 8.0 + 2.4)], fill=0)

    # drawn with the bow at the upper left, then mirrored so the blade runs across the
    # light and the shadow shows along its whole length
    shape = {(n - 1 - x, y) for x, y in coverage_mask(n, key)}
    offset = 2 if n == 32 else 1
    body = outlined(shape, n)
    canvas = [[None] * n for _ in range(n)]
    for (x, y) in body:
        sx, sy = x + offset, y + offset
        if sx < n and sy < n and (sx + sy) % 2 == 0:
            canvas[sy][sx] = BLACK
    # keep the shadow off the key itself
    for (x, y) in body:
        canvas[y][x] = None
    paint_shape(canvas, shape, YELLOW, light=WHITE, dark=OLIVE)
    return pixel_icon(canvas)


def draw_padlock(n=32):
    def shackle(d, k):
        d.ellipse([(8.0 * k, 3.0 * k), (24.0 * k, 19.0 * k)], fill=255)
        d.ellipse([(11.2 * k, 6.2 * k), (20.8 * k, 15.8 * k)], fill=0)
        d.rectangle([(0, 11.0 * k), (n * k, n * k)], fill=0)
        d.rectangle([(8.0 * k, 11.0 * k), (11.2 * k, 16.0 * k)], fill=255)
        d.rectangle([(20.8 * k, 11.0 * k), (24.0 * k, 16.0 * k)], fill=255)

    def body(d, k):
        d.rounded_rectangle([(5.0 * k, 15.0 * k), (27.0 * k, 29.0 * k)], radius=2.0 * k, fill=255)

    def keyhole(d, k):
        d.ellipse([(14.0 * k, 18.0 * k), (18.0 * k, 22.0 * k)], fill=255)
        d.polygon([(15.0 * k, 20.5 * k), (17.0 * k, 20.5 * k), (17.6 * k, 26.0 * k),
                   (14.4 * k, 26.0 * k)], fill=255)

    canvas = [[None] * n for _ in range(n)]
    paint_shape(canvas, coverage_mask(n, shackle), SILVER, light=WHITE, dark=GREY)
    body_px = coverage_mask(n, body)
    paint_shape(canvas, body_px, SILVER, light=WHITE, dark=GREY)
    # a darker band across the lower body, as on a laminated lock
    for (x, y) in body_px:
        if y == 27 and canvas[y][x] == SILVER:
            canvas[y][x] = GREY
    for (x, y) in coverage_mask(n, keyhole):
        canvas[y][x] = BLACK
    return pixel_icon(canvas)


# --------------------------------------------------------------------------------------------
# button faces

def rounded_rect_depth(x, y, w, h, r):
    """Distance from (x, y) to the outside of a w x h rectangle with corner radius r;
    negative outside."""
    cx = min(max(x, r), w - r)
    cy = min(max(y, r), h - r)
    if (cx, cy) != (x, y) and (x < r or x > w - r) and (y < r or y > h - r):
        return r - math.hypot(x - cx, y - cy)
    return min(x, y, w - x, h - y)


def face_colour(x, y, depth, base, glow):
    def shade(k):
        return tuple(base[i] * k for i in range(3))

    def lift(k):
        return tuple(base[i] + glow[i] * k for i in range(3))

    # the reflection is strongest in the middle and fades towards the ends
    across = (x - FACE_W / 2.0) / (FACE_W / 2.0)
    bell = 1.0 - across * across
    if depth < 1.0:
        return shade(0.58)                    # rim
    if y < 2.0:
        c = lift(1.2 + 0.5 * bell)            # sharp highlight just inside the top rim
    elif y < 11.0:
        c = lift((1.0 - 0.55 * (y - 2.0) / 9.0) * (0.7 + 0.45 * bell))  # glossy upper half
    elif y < 20.0:
        t = (y - 11.0) / 9.0
        c = shade(0.93 - 0.13 * t)
        c = tuple(c[i] + glow[i] * 0.35 * t * bell for i in range(3))  # light bounced off the bottom
    else:
        c = shade(0.70)                       # darker lower edge
    if depth < 2.0:                           # soft bevel down the sides
        c = tuple(v * 0.9 for v in c)
    return c


def render_face(base, glow, ss=4):
    pixels = []
    for py in range(FACE_H):
        for px in range(FACE_W):
            acc = [0.0, 0.0, 0.0]
            for sy in range(ss):
                y = py + (sy + 0.5) / ss
                for sx in range(ss):
                    x = px + (sx + 0.5) / ss
                    depth = rounded_rect_depth(x, y, FACE_W, FACE_H, FACE_RADIUS)
                    if depth < 0:
                        c = DIALOG_GROUND
                    else:
                        c = tuple(min(255.0, max(0.0, v)) for v in face_colour(x, y, depth, base, glow))
                    for i in range(3):
                        acc[i] += c[i]
            pixels.append(tuple(clamp8(v / (ss * ss)) for v in acc))
    return pixels


FACE_CORNERS = ((0, 0), (FACE_W - 1, 0), (0, FACE_H - 1), (FACE_W - 1, FACE_H - 1))
CORNER_INDICES = {y * FACE_W + x for x, y in FACE_CORNERS}


def average(pixels, skip=()):
    n = 0
    acc = [0, 0, 0]
    for i, p in enumerate(pixels):
        if i in skip:
            continue
        n += 1
        for c in range(3):
            acc[c] += p[c]
    return tuple(v / n for v in acc)


def draw_face(target, glow, transparent):
    skip = CORNER_INDICES if transparent is not None else ()
    # find the base colour whose rendering averages to the target, channel by channel
    # (the rendering is monotonic in each channel of the base)
    lo, hi = [-80.0] * 3, [330.0] * 3
    for _ in range(18):
        mid = tuple((lo[i] + hi[i]) / 2 for i in range(3))
        avg = average(render_face(mid, glow, ss=2), skip)
        for i in range(3):
            if avg[i] < target[i]:
                lo[i] = mid[i]
            else:
                hi[i] = mid[i]
    base = tuple((lo[i] + hi[i]) / 2 for i in range(3))
    pixels = render_face(base, glow)

    slots = FACE_PALETTE_SIZE - (1 if transparent is not None else 0)
    colours = sorted({p for i, p in enumerate(pixels) if i not in skip})
    if len(colours) > slots:
        img = Image.new("RGB", (FACE_W, FACE_H))
        img.putdata(pixels)
        q = img.quantize(colors=slots, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        qp = q.getpalette()
        colours = [tuple(qp[3 * i:3 * i + 3]) for i in range(slots)]
        index_of = list(q.getdata())
    else:
        lookup = {c: i for i, c in enumerate(colours)}
        index_of = [lookup.get(p, 0) for p in pixels]
    colours = colours + [(0, 0, 0)] * (slots - len(colours))
    if transparent is not None:
        palette = colours[:transparent] + [DIALOG_GROUND] + colours[transparent:]
        indices = [transparent if i in skip else (v if v < transparent else v + 1)
                   for i, v in enumerate(index_of)]
    else:
        palette = colours
        indices = index_of
    return gif_bytes(FACE_W, FACE_H, palette, indices, transparent)


# --------------------------------------------------------------------------------------------
# banner and About heading

def draw_banner(ss=4):
    w, h = BANNER_SIZE
    top, bottom, left, right = 1.0, h - 1.0, 1.0, w - 1.0
    r = (bottom - top) / 2
    cy = (top + bottom) / 2
    gloss = [(0.0, (226, 247, 210)), (0.48, (182, 229, 152)),
             (0.52, (158, 215, 120)), (0.85, (128, 196, 88)), (1.0, (148, 208, 108))]
    data = []
    for py in range(h):
        for px in range(w):
            acc = [0.0, 0.0, 0.0]
            for sy in range(ss):
                y = py + (sy + 0.5) / ss
                for sx in range(ss):
                    x = px + (sx + 0.5) / ss
                    cx = min(max(x, left + r), right - r)
                    depth = r - math.hypot(x - cx, y - cy)
                    if depth < 0:
                        c = (255, 255, 255)
                    elif depth < 1.0:
                        c = (72, 150, 48)
                    else:
                        c = ramp(gloss, (y - top) / (bottom - top))
                        # a faint sheen that fades towards the rounded ends
                        ends = min(x - left, right - x) / r
                        if ends < 1.6:
                            c = mix(c, (96, 176, 64), 0.22 * (1.6 - ends) / 1.6)
                    for i in range(3):
                        acc[i] += c[i]
            data.append(tuple(clamp8(v / (ss * ss)) for v in acc))
    img = Image.new("RGB", (w, h))
    img.putdata(data)
    return img


def smooth_noise(rng, count=4, scale=1.0):
    """A few summed sines with random phases: a wobbly but smooth function of x."""
    waves = [(rng.uniform(0.01, 0.05) * (i + 1), rng.uniform(0, 2 * math.pi),
              scale / (i + 1)) for i in range(count)]
    return lambda x: sum(a * math.sin(f * x + p) for f, p, a in waves)


def draw_about(ss=4):
    w, h = ABOUT_SIZE
    W, H = w * ss, h * ss
    rng = random.Random(20240611)

    # brush swash: thick at the left where the brush lands, dry and ragged at the right
    x0, x1 = 6.0, 230.0
    centre = smooth_noise(rng, 3, 2.2)
    upper = smooth_noise(rng, 4, 1.6)
    lower = smooth_noise(rng, 4, 1.6)
    bristles = 44
    shades = [rng.uniform(-16, 12) for _ in range(bristles)]
    ends = [x1 - rng.uniform(0, 46) ** 1.0 for _ in range(bristles)]
    starts = [x0 + rng.uniform(0, 5) for _ in range(bristles)]
    ink = (192, 230, 160)
    paper = (255, 255, 255)
    swash = Image.new("RGB", (W, H), paper)
    px = swash.load()
    for j in range(H):
        y = (j + 0.5) / ss
        for i in range(W):
            x = (i + 0.5) / ss
            if x < x0 - 8 or x > x1 + 1:
                continue
            t = (x - x0) / (x1 - x0)
            yc = 44.0 - 3.0 * t + centre(x)
            half = 14.0 - 5.0 * t * t
            # round blob where the brush lands
            if x < x0 + half:
                lead = half - math.sqrt(max(0.0, half * half - (x0 + half - x) ** 2))
            else:
                lead = 0.0
            top = yc - half + lead + upper(x)
            bot = yc + half - lead * 0.6 + lower(x)
            if not (top <= y <= bot):
                continue
            v = (y - top) / (bot - top)
            b = min(bristles - 1, int(v * bristles))
            if x > ends[b] or x < starts[b]:
                continue
            # the stroke thins towards its upper edge and the bristles streak it
            k = shades[b] + 10.0 * (0.5 - v) + 8.0 * math.sin(x * 0.9 + b)
            px[i, j] = tuple(clamp8(ink[c] + k * (0.5 if c == 1 else 1.0)) for c in range(3))
    swash = swash.filter(ImageFilter.GaussianBlur(0.6 * ss))

    # heading
    size = 31
    font = ImageFont.truetype(FONT_PATH, size * ss, index=0)
    left, ttop, right, tbot = font.getbbox(ABOUT_TEXT)
    while right - left > (w - 16) * ss:
        size -= 1
        font = ImageFont.truetype(FONT_PATH, size * ss, index=0)
        left, ttop, right, tbot = font.getbbox(ABOUT_TEXT)
    text = Image.new("L", (W, H), 0)
    tx = (W - (right - left)) // 2 - left
    ty = (H - (tbot - ttop)) // 2 - ttop - 1 * ss
    ImageDraw.Draw(text).text((tx, ty), ABOUT_TEXT, font=font, fill=255)
    # lean it a little, like a quick hand
    lean = 0.16
    text = text.transform((W, H), Image.Transform.AFFINE, (1, lean, -lean * H / 2, 0, 1, 0),
                          resample=Image.Resampling.BICUBIC)
    # drag a flat, slanted brush tip along the letters: strokes across the tip come out
    # broad, strokes along it stay thin, and the edges soften
    body = text.copy()
    for step in range(1, 7):
        moved = Image.new("L", (W, H), 0)
        moved.paste(text, (step, -int(step * 0.6)))
        body = ImageChops.lighter(body, moved)
    body = body.filter(ImageFilter.GaussianBlur(0.35 * ss))
    shadow = Image.new("L", (W, H), 0)
    shadow.paste(text.filter(ImageFilter.GaussianBlur(1.3 * ss)), (int(1.6 * ss), int(1.6 * ss)))
    # dry-brush streaks inside the letters
    streaks = Image.new("L", (W, H), 255)
    sd = ImageDraw.Draw(streaks)
    for j in range(0, H, 3):
        if rng.random() < 0.35:
            sd.line([(0, j), (W, j + rng.uniform(-6, 6))], fill=int(rng.uniform(150, 215)), width=2)
    streaks = streaks.filter(ImageFilter.GaussianBlur(0.8))

    img = swash.copy()
    img.paste((128, 168, 118), (0, 0), shadow.point(lambda a: a * 55 // 100))
    ink_img = Image.new("RGB", (W, H), (16, 92, 28))
    dry = Image.new("RGB", (W, H), (70, 138, 62))
    ink_img = Image.composite(ink_img, dry, streaks)
    img.paste(ink_img, (0, 0), body)
    return img.resize((w, h), Image.Resampling.LANCZOS)


# --------------------------------------------------------------------------------------------

def build_all():
    files = {}
    files["tovik.ico"] = ico_bytes([palette_icon_256(draw_keyring(n)) for n in (48,) + ICON_SIZES])
    files["key16.ico"] = ico_bytes([draw_key16(32), draw_key16(16)])
    files["padlock.ico"] = ico_bytes([draw_padlock(32)])
    for name, (target, glow, transparent) in FACES.items():
        files[name] = draw_face(target, glow, transparent)
    files["banner.jpg"] = jpeg_bytes(draw_banner(), full_chroma=False)
    files["about.jpg"] = jpeg_bytes(draw_about(), full_chroma=True)
    return files


def write_all(outdir):
    os.makedirs(outdir, exist_ok=True)
    for name, data in build_all().items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)


def face_average(path):
    img = Image.open(path)
    img.load()
    trans = img.info.get("transparency")
    pal = img.getpalette()
    w, h = img.size
    opaque = [tuple(pal[3 * v:3 * v + 3]) for v in img.getdata() if v != trans]
    return tuple(round(c, 1) for c in average(opaque)), img


def check_properties(folder):
    """Returns a list of problems found in the pictures in `folder`, and a list of notes."""
    problems, notes = [], []

    def bad(name, msg):
        problems.append("%s: %s" % (name, msg))

    def load(name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    icon_layouts = {
        "tovik.ico": [(n, 8) for n in (48,) + ICON_SIZES],
        "key16.ico": [(32, 4), (16, 4)],
        "padlock.ico": [(32, 4)],
    }
    for name, layout in icon_layouts.items():
        try:
            entries = read_ico(load(name))
        except (OSError, ValueError, struct.error) as e:
            bad(name, str(e))
            continue
        got = [(e["w"], e["bpp"]) for e in entries]
        if got != layout:
            bad(name, "images %r, expected %r (size, bits per pixel)" % (got, layout))
            continue
        for e in entries:
            tag = "%dx%d" % (e["w"], e["h"])
            want_count = 0 if e["bpp"] == 8 else 16
            if e["w"] != e["h"]:
                bad(name, "%s is not square" % tag)
            if e["colour_count"] != want_count:
                bad(name, "%s directory colour count %d, expected %d" % (tag, e["colour_count"], want_count))
            if e["planes"] != 1:
                bad(name, "%s directory planes %d" % (tag, e["planes"]))
            if not e["pixels"] or len(e["palette"]) <= max(max(row) for row in e["pixels"]) \
                    or len(e["palette"]) > 1 << e["bpp"]:
                bad(name, "%s palette has %d entries" % (tag, len(e["palette"])))
            if e["bpp"] == 4 and e["palette"] != VGA16:
                bad(name, "%s does not use the standard 16-colour palette" % tag)
            n = e["w"]
            corners = [(0, 0), (n - 1, 0), (0, n - 1), (n - 1, n - 1)]
            if not all(e["mask"][y][x] for x, y in corners):
                bad(name, "%s corners are not transparent" % tag)
            leaky = sum(1 for y in range(n) for x in range(n)
                        if e["mask"][y][x] and e["palette"][e["pixels"][y][x]] != (0, 0, 0))
            if leaky:
                bad(name, "%s has %d transparent pixels whose colour is not black" % (tag, leaky))
            cover = sum(1 for row in e["mask"] for m in row if not m) / float(n * n)
            if not 0.2 <= cover <= 0.85:
                bad(name, "%s covers %.0f%% of its area" % (tag, cover * 100))

    for name, (target, _glow, transparent) in FACES.items():
        try:
            data = load(name)
            info = gif_layout(data)
        except (OSError, ValueError, IndexError, struct.error) as e:
            bad(name, str(e))
            continue
        if (info["width"], info["height"]) != (FACE_W, FACE_H):
            bad(name, "logical screen %dx%d" % (info["width"], info["height"]))
        if not info["gct"] or info["gct_size"] != FACE_PALETTE_SIZE:
            bad(name, "global colour table flag %s, size %d" % (info["gct"], info["gct_size"]))
        if info["frames"] != 1 or info.get("frame") != (0, 0, FACE_W, FACE_H) or info.get("local_table"):
            bad(name, "expected one full-size frame without a local table")
        if not info.get("trailer"):
            bad(name, "no trailer")
        if info["transparent"] != transparent:
            bad(name, "transparent index %r, expected %r" % (info["transparent"], transparent))
        if transparent is None and info["gce"]:
            notes.append("%s: has a GCE (without transparency)" % name)
        try:
            strict = lzw_gif_decode(info["lzw"], info["min_code_size"], FACE_W * FACE_H)
            avg, img = face_average(os.path.join(folder, name))
        except (OSError, ValueError, IndexError) as e:
            bad(name, "pixel data does not decode: %s" % e)
            continue
        if strict != list(img.getdata()):
            bad(name, "our reader and PIL's disagree about the pixels")
        notes.append("%s: average of opaque pixels %r (wanted %r), %d bytes"
                     % (name, avg, target, len(data)))
        if any(abs(avg[i] - target[i]) > AVERAGE_TOLERANCE for i in range(3)):
            bad(name, "average colour %r is not within %d of %r" % (avg, AVERAGE_TOLERANCE, target))
        idx = list(img.getdata())
        if transparent is not None:
            where = {i for i, v in enumerate(idx) if v == transparent}
            if where != CORNER_INDICES:
                bad(name, "transparent pixels at %r, expected just the four corners"
                    % sorted((i % FACE_W, i // FACE_W) for i in where))
        # the caption is white: the face has to leave it readable
        if luminance(avg) > 0.4:
            bad(name, "too light for a white caption")

    jpeg_sizes = {"banner.jpg": BANNER_SIZE, "about.jpg": ABOUT_SIZE}
    for name, size in jpeg_sizes.items():
        try:
            data = load(name)
            marker, w, h = jpeg_frame(data)
        except (OSError, ValueError, struct.error) as e:
            bad(name, str(e))
            continue
        if marker != 0xC0:
            bad(name, "frame marker 0x%02X, expected baseline (0xC0)" % marker)
        if (w, h) != size:
            bad(name, "%dx%d, expected %dx%d" % (w, h, size[0], size[1]))
        notes.append("%s: %d bytes" % (name, len(data)))
        img = Image.open(os.path.join(folder, name)).convert("RGB")
        if name == "banner.jpg":
            # the credit line is printed in dark text across the middle of the bar
            mid = average([img.getpixel((x, h // 2)) for x in range(20, w - 20)])
            if (luminance(mid) + 0.05) / 0.05 < 7.0:
                bad(name, "middle of the bar %r too dark for dark text" % (mid,))
            if min(img.getpixel((0, 0))) < 240 or min(img.getpixel((w - 1, h - 1))) < 240:
                bad(name, "ground is not white")
        if name == "about.jpg":
            if min(img.getpixel((0, 0))) < 240:
                bad(name, "ground is not white")
    return problems, notes


def gif_round_trip_problems():
    """Encodes noisy and flat pictures of many lengths and reads them back with PIL's
    decoder; catches code-width slips in our LZW writer that the faces alone might not hit."""
    import io
    problems = []
    rng = random.Random(7)
    for colours in (4, 128):
        for length in list(range(1, 40)) + [255, 256, 257, 511, 512, 513, 1100, 3000, 9000]:
            noisy = rng.random() < 0.5
            data = [rng.randrange(colours) if noisy else (i // 7) % colours for i in range(length)]
            palette = [(i, 255 - i, (i * 7) % 256) for i in range(colours)]
            blob = gif_bytes(length, 1, palette, data)
            try:
                info = gif_layout(blob)
                ok = lzw_gif_decode(info["lzw"], info["min_code_size"], length) == data
                ok = ok and list(Image.open(io.BytesIO(blob)).getdata()) == data
            except (OSError, ValueError, IndexError):
                ok = False
            if not ok:
                problems.append("GIF writer: %d pixels in %d colours do not read back" % (length, colours))
    return problems


def check():
    problems = gif_round_trip_problems()
    tmp = tempfile.mkdtemp(prefix="tovik-pictures-")
    try:
        write_all(tmp)
        for name in ALL_FILES:
            committed = os.path.join(HERE, name)
            if not os.path.exists(committed):
                problems.append("%s: missing" % name)
                continue
            with open(committed, "rb") as a, open(os.path.join(tmp, name), "rb") as b:
                if a.read() != b.read():
                    problems.append("%s: differs from a fresh drawing (run the script to redraw)" % name)
        more, notes = check_properties(HERE)
        problems += more
        # the writers must also produce valid files, whatever is committed
        fresh, _ = check_properties(tmp)
        problems += ["fresh drawing, " + p for p in fresh]
    finally:
        shutil.rmtree(tmp)
    for note in notes:
        print(note)
    for p in problems:
        print("PROBLEM: " + p)
    print("ok" if not problems else "%d problem(s)" % len(problems))
    return 1 if problems else 0


def preview(path, folder=HERE, scale=4):
    """Contact sheet: every picture enlarged, icons on light and dark ground, plus the
    48-pixel icon shrunk to 16 pixels, as the notification area showed it before the icon
    had a 16-pixel image of its own."""
    tiles = []
    for name in ICON_FILES:
        with open(os.path.join(folder, name), "rb") as f:
            for e in read_ico(f.read()):
                tiles.append(e["image"])
                if name == "tovik.ico" and e["w"] == 48:
                    tiles.append(e["image"].resize((16, 16), Image.Resampling.LANCZOS))
    rows = [tiles]
    faces = []
    for name in FACE_FILES:
        img = Image.open(os.path.join(folder, name))
        faces.append(img.convert("RGBA"))
    rows.append(faces)
    rows.append([Image.open(os.path.join(folder, n)).convert("RGBA") for n in JPEG_FILES])
    pad = 8
    width = max(sum(t.width * scale + pad for t in row) for row in rows) + pad
    height = sum(max(t.height for t in row) * scale + pad for row in rows) * 2 + pad
    sheet = Image.new("RGBA", (width, height), (255, 255, 255, 255))
    y = pad
    for ground in ((255, 255, 255), (32, 48, 88)):
        for row in rows:
            rh = max(t.height for t in row) * scale
            sheet.paste(ground + (255,), (0, y - pad // 2, width, y + rh + pad // 2))
            x = pad
            for t in row:
                big = t.resize((t.width * scale, t.height * scale), Image.Resampling.NEAREST)
                sheet.alpha_composite(big, (x, y))
                x += big.width + pad
            y += rh + pad
    sheet.convert("RGB").save(path)


def main(argv):
    if len(argv) > 1 and argv[1] == "--check":
        return check()
    if len(argv) > 1 and argv[1] == "--preview":
        preview(argv[2] if len(argv) > 2 else "/tmp/tovik-preview.png")
        return 0
    if len(argv) > 1 and argv[1].startswith("-"):
        print(__doc__)
        return 2
    write_all(argv[1] if len(argv) > 1 else HERE)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

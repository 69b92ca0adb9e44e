#!/usr/bin/python3
"""Writes what the picture decoder's test compares with: the program's pictures and variants of
them (other chroma layouts, grey, odd sizes, interlaced and transparent GIFs), each beside the
pixels PIL decodes from it, which come from the same IJG library most programs use.

    picture_cases.py RES_DIR OUT_DIR

OUT_DIR/cases.txt lists one case a line: the picture's file, its reference and its size. A
reference holds four bytes a pixel: red, green, blue and 1 where the pixel is transparent.
"""

import os
import sys

from PIL import Image


def reference(path):
    image = Image.open(path)
    transparent = image.info.get("transparency") if image.mode == "P" else None
    indices = list(image.getdata()) if transparent is not None else None
    rgb = image.convert("RGB").tobytes()
    out = bytearray()
    for i in range(image.width * image.height):
        if indices and indices[i] == transparent:
            out += b"\0\0\0\1"
        else:
            out += rgb[3 * i:3 * i + 3] + b"\0"
    return bytes(out), image.size


def main(res, out):
    os.makedirs(out, exist_ok=True)
    files = [os.path.join(res, name) for name in
             ("banner.jpg", "about.jpg", "face_normal.gif", "face_hover.gif", "face_disabled.gif")]
    source = Image.open(os.path.join(res, "about.jpg")).convert("RGB")
    for width, height in ((1, 1), (2, 3), (9, 17), (37, 21)):
        crop = source.crop((30, 20, 30 + width, 20 + height))
        for subsampling in (0, 1, 2):  # 4:4:4, 4:2:2, 4:2:0
            name = os.path.join(out, "crop%dx%d-%d.jpg" % (width, height, subsampling))
            crop.save(name, quality=70, subsampling=subsampling)
            files.append(name)
        grey = os.path.join(out, "crop%dx%d-grey.jpg" % (width, height))
        crop.convert("L").save(grey, quality=80)
        interlaced = os.path.join(out, "crop%dx%d.gif" % (width, height))
        crop.quantize(200).save(interlaced, interlace=True, transparency=3)
        files += [grey, interlaced]
    source.save(os.path.join(out, "progressive.jpg"), progressive=True)  # to be refused
    with open(os.path.join(out, "cases.txt"), "w") as cases:
        for path in files:
            pixels, (width, height) = reference(path)
            target = os.path.join(out, os.path.basename(path) + ".rgbt")
            with open(target, "wb") as f:
                f.write(pixels)
            cases.write("%s %s %d %d\n" % (path, target, width, height))


if __name__ == "__main__":
    main(*sys.argv[1:3])

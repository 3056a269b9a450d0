#!/usr/bin/env python3
"""Lays the PNG images of the application's .ico out as an icon theme tree,
OUTDIR/<size>x<size>/apps/NAME.png, for the sizes given (all must be in the .ico).

    python3 scripts/hicolor_icons.py ICO OUTDIR NAME SIZE...

The .ico holds PNG-compressed images (scripts/make_icon.py), which are copied
byte for byte, so the theme shows exactly the pixels the Windows icon shows.
"""
import os
import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_images(data):
    """Yields (size, png bytes) for each PNG-compressed image of an .ico."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    for index in range(count):
        _, _, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        image = data[offset:offset + length]
        if len(image) != length or not image.startswith(PNG_SIGNATURE):
            raise ValueError("image %d is not PNG-compressed" % index)
        width, height = struct.unpack_from(">II", image, 16)
        if width != height:
            raise ValueError("image %d is not square" % index)
        yield width, image


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    ico, outdir, name = sys.argv[1:4]
    wanted = [int(size) for size in sys.argv[4:]]
    with open(ico, "rb") as f:
        images = dict(png_images(f.read()))
    missing = [size for size in wanted if size not in images]
    if missing:
        sys.exit("%s has no image of %s pixels" % (ico, ", ".join(map(str, missing))))
    for size in wanted:
        folder = os.path.join(outdir, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".png"), "wb") as f:
            f.write(images[size])


if __name__ == "__main__":
    main()

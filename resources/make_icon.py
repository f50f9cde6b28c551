#!/usr/bin/env python3
"""Makes ventrolik.ico, the program icon: a blue serif capital V, as tall as
the icon, on a transparent background. 32 x 32 pixels, 8 bits per pixel.

ImageMagick draws the letter; the icon file itself is written here, so that
its format is exactly the one wanted (a 2216-byte image: header, 256-colour
palette, pixels, transparency mask).

    python3 resources/make_icon.py [output.ico]
"""

import os
import shutil
import struct
import subprocess
import sys

SIZE = 32
LETTER = "V"
FONT = "DejaVu-Serif-Condensed-Bold"
BLUE = (0, 64, 192)


def letter_mask():
    """Rows of booleans, top row first: True where the letter is."""
    convert = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")
    gray = subprocess.run(
        [convert, "-background", "black", "-fill", "white", "-font", FONT,
         "-pointsize", "400", "label:" + LETTER, "-trim", "+repage",
         "-resize", f"{SIZE}x{SIZE}", "-gravity", "center", "-extent", f"{SIZE}x{SIZE}",
         "-depth", "8", "gray:-"],
        check=True, capture_output=True).stdout
    assert len(gray) == SIZE * SIZE, len(gray)
    return [[gray[y * SIZE + x] >= 128 for x in range(SIZE)] for y in range(SIZE)]


def icon_image(mask):
    # Palette entry 0 is black (under the transparency mask), entry 1 the blue.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = bytes(4) + bytes([BLUE[2], BLUE[1], BLUE[0], 0]) + bytes(4 * 254)
    rows = list(reversed(mask))  # bitmaps are stored bottom-up
    pixels = b"".join(bytes(1 if on else 0 for on in row) for row in rows)
    and_mask = b""
    for row in rows:
        bits = 0
        for on in row:
            bits = (bits << 1) | (0 if on else 1)  # 1 = transparent
        and_mask += struct.pack(">I", bits)
    return header + palette + pixels + and_mask


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "ventrolik.ico")
    image = icon_image(letter_mask())
    assert len(image) == 2216, len(image)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    with open(out, "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    main()

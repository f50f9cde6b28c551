#!/usr/bin/env python3
"""Makes the program icon, a blue serif capital V that fills the icon, on a
transparent background, in every form the program and its packages need:

- ventrolik.ico: 32 x 32 pixels, 8 bits per pixel, for the program itself.
  ImageMagick draws the letter; the icon file is written here, so that its
  format is exactly the one wanted (a 2216-byte image: header, 256-colour
  palette, pixels, transparency mask).
- icons/ventrolik.svg: the letter's outline from the same font, for desktops.
- icons/ventrolik-N.png: the SVG drawn at N x N pixels for each size that the
  hicolor icon theme wants, by rsvg-convert.

Needs ImageMagick, Debian's python3-fonttools, librsvg2-bin and
fonts-dejavu-extra.

    /usr/bin/python3 resources/make_icon.py
"""

import os
import shutil
import struct
import subprocess
import sys

SIZE = 32
LETTER = "V"
FONT = "DejaVu-Serif-Condensed-Bold"
FONT_FILE = "/usr/share/fonts/truetype/dejavu/DejaVuSerifCondensed-Bold.ttf"
BLUE = (0, 64, 192)
PNG_SIZES = [16, 24, 32, 48, 64, 128, 256]


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


def svg():
    """The letter's outline, scaled as the bitmap is: it fills the square
    along its longer side and is centred along the other."""
    from fontTools.pens.boundsPen import BoundsPen
    from fontTools.pens.svgPathPen import SVGPathPen
    from fontTools.ttLib import TTFont

    font = TTFont(FONT_FILE)
    glyphs = font.getGlyphSet()
    glyph = glyphs[font.getBestCmap()[ord(LETTER)]]
    bounds, path = BoundsPen(glyphs), SVGPathPen(glyphs)
    glyph.draw(bounds)
    glyph.draw(path)
    left, bottom, right, top = bounds.bounds
    scale = SIZE / max(right - left, top - bottom)
    x = (SIZE - scale * (right - left)) / 2 - scale * left
    y = (SIZE - scale * (top - bottom)) / 2 + scale * top
    colour = "#%02x%02x%02x" % BLUE
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">\n'
            f'  <path fill="{colour}" transform="matrix({scale:.6f} 0 0 {-scale:.6f} {x:.4f} {y:.4f})"\n'
            f'        d="{path.getCommands()}"/>\n'
            f'</svg>\n')


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    image = icon_image(letter_mask())
    assert len(image) == 2216, len(image)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    with open(os.path.join(here, "ventrolik.ico"), "wb") as f:
        f.write(directory + entry + image)

    icons = os.path.join(here, "icons")
    os.makedirs(icons, exist_ok=True)
    scalable = os.path.join(icons, "ventrolik.svg")
    with open(scalable, "w") as f:
        f.write(svg())
    for size in PNG_SIZES:
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o",
                        os.path.join(icons, f"ventrolik-{size}.png"), scalable], check=True)


if __name__ == "__main__":
    main()

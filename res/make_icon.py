#!/usr/bin/env python3
"""Writes the application icon as a 16-colour .ico: make_icon.py OUTPUT.ico

Both sizes are rendered from one resolution-independent shape, so the 16x16
image is drawn for its own grid rather than scaled down from the 32x32.
"""
import struct
import sys

# RGB; index 0 stays black because transparent pixels must have a zero XOR value.
PALETTE = [
    (0x00, 0x00, 0x00),  # transparent / unused
    (0x1B, 0x3A, 0x78),  # tile
    (0x6E, 0x83, 0xAC),  # tile/glyph blends, for smoother edges in 16 colours
    (0xB7, 0xC2, 0xD6),
    (0xFF, 0xFF, 0xFF),  # glyph
] + [(0x00, 0x00, 0x00)] * 11

SUBSAMPLES = 4  # per axis; fixed so the output is identical on every run


def inside_tile(x, y):
    """Rounded square on the unit square, with a small margin."""
    lo, hi, radius = 0.03, 0.97, 0.20
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return lo <= x <= hi and lo <= y <= hi and (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_glyph(x, y):
    """A 'T' whose stem curls left into a hook at the bottom."""
    if 0.20 <= x <= 0.80 and 0.18 <= y <= 0.32:
        return True
    if 0.43 <= x <= 0.57 and 0.18 <= y <= 0.62:
        return True
    # Lower half-ring; its right side lines up exactly with the stem.
    hx, hy = 0.36, 0.62
    d2 = (x - hx) ** 2 + (y - hy) ** 2
    return y >= hy and 0.07 ** 2 <= d2 <= 0.21 ** 2


def render(size):
    """Returns rows (top-down) of (palette index, opaque) pairs."""
    total = SUBSAMPLES * SUBSAMPLES
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            tile = glyph = 0
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x = (px + (sx + 0.5) / SUBSAMPLES) / size
                    y = (py + (sy + 0.5) / SUBSAMPLES) / size
                    if inside_tile(x, y):
                        tile += 1
                        glyph += inside_glyph(x, y)
            # The AND mask is 1 bit, so edge pixels are either in or out.
            if tile * 2 < total:
                row.append((0, False))
            else:
                row.append((1 + round(3 * glyph / tile), True))
        rows.append(row)
    return rows


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def icon_image(size):
    """BITMAPINFOHEADER + palette + XOR bitmap + AND mask, rows bottom-up."""
    rows = render(size)
    xor_bits = and_bits = b""
    for row in reversed(rows):
        xor_row = bytes((row[i][0] << 4) | row[i + 1][0] for i in range(0, size, 2))
        xor_bits += padded(xor_row)
        and_row = bytearray(size // 8)
        for i, (_, opaque) in enumerate(row):
            if not opaque:
                and_row[i // 8] |= 0x80 >> (i % 8)
        and_bits += padded(bytes(and_row))
    # Height is doubled: an icon bitmap stacks the XOR image and the AND mask.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor_bits) + len(and_bits), 0, 0, 0, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + xor_bits + and_bits


def icon_file(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as f:
        f.write(icon_file([32, 16]))


if __name__ == "__main__":
    main()

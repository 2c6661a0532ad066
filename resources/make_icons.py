#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files next to this script.

    python3 resources/make_icons.py

Produces redled.ico, yellowled.ico, greenled.ico (status LEDs, 16 and 32 pixels),
quorvane.ico (the application icon, 16 to 64 pixels, built into the program) and
icons/quorvane-N.png (the same icon at the sizes desktop menus ask for, installed into the
icon theme by the package). Only the standard library is used: the shapes are sampled 4 x 4
times per pixel for smooth edges and stored as 32-bit BGRA bitmaps, which every ICO reader
understands, or as 8-bit RGBA PNG. The output is committed; run this again only to change the
drawings.
"""

import math
import os
import struct
import zlib

SUPERSAMPLE = 4


def clamp(value, low=0.0, high=1.0):
    return max(low, min(high, value))


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def render(size, shader):
    """Calls shader(x, y) with x, y in 0..1 for each sub-sample; the shader returns
    (r, g, b, a) with components in 0..1. Returns rows of (r, g, b, a) bytes, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    r, g, b, a = shader(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            samples = n * n
            alpha = acc[3] / samples
            if alpha > 0:
                colour = [acc[i] / acc[3] for i in range(3)]
            else:
                colour = [0.0, 0.0, 0.0]
            row.append(tuple(int(round(clamp(c) * 255)) for c in colour + [alpha]))
        rows.append(row)
    return rows


def led_shader(base):
    """A round lamp: lit colour with a highlight towards the top left and a darker rim."""
    dark = tuple(c * 0.45 for c in base)
    light = mix(base, (1.0, 1.0, 1.0), 0.75)

    def shade(x, y):
        dx, dy = x - 0.5, y - 0.5
        r = math.hypot(dx, dy)
        if r > 0.46:
            return (0, 0, 0, 0)
        if r > 0.40:
            return dark + (1.0,)
        # Body: brighter in the middle, darker towards the rim.
        body = mix(base, dark, clamp((r - 0.15) / 0.25) * 0.6)
        # Specular highlight above and left of the centre.
        hx, hy = x - 0.38, y - 0.34
        highlight = clamp(1.0 - math.hypot(hx, hy) / 0.16)
        return mix(body, light, highlight * 0.9) + (1.0,)

    return shade


def app_shader(x, y):
    """A dark rounded square with a gauge: a scale arc, a sweep in the accent colour up to the
    needle, and the needle with its hub."""
    background = (0.10, 0.16, 0.27)
    rim = (0.22, 0.33, 0.52)
    scale = (0.85, 0.90, 0.96)
    accent = (1.00, 0.55, 0.12)

    # Rounded square, corner radius 0.18, with a thin lighter rim.
    corner = 0.18
    qx = max(abs(x - 0.5) - (0.5 - corner), 0.0)
    qy = max(abs(y - 0.5) - (0.5 - corner), 0.0)
    outside = math.hypot(qx, qy) - corner
    if outside > -0.005:
        return (0, 0, 0, 0)
    colour = rim if outside > -0.035 else background

    cx, cy = 0.5, 0.56
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    # Angle measured clockwise from straight down, so the scale runs from 45 to 315 degrees.
    angle = math.degrees(math.atan2(-dx, dy)) % 360.0
    needle_angle = 250.0

    on_scale = 45.0 <= angle <= 315.0
    if on_scale and 0.30 <= r <= 0.36:
        colour = accent if angle <= needle_angle else scale
    # Tick marks every 30 degrees just inside the arc.
    if on_scale and 0.24 <= r < 0.29:
        tick = (angle - 45.0) % 30.0
        if tick < 3.0 or tick > 27.0:
            colour = scale

    # Needle: a tapered bar from the hub towards the needle angle.
    a = math.radians(needle_angle)
    ux, uy = -math.sin(a), math.cos(a)
    along = dx * ux + dy * uy
    across = abs(-dx * uy + dy * ux)
    if -0.04 <= along <= 0.30 and across <= 0.035 * (1.0 - along / 0.4):
        colour = accent
    if r <= 0.065:
        colour = scale
    return colour + (1.0,)


def bitmap_entry(rows):
    """One icon image as a BITMAPINFOHEADER, bottom-up BGRA pixels and the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for px, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[px // 8] |= 0x80 >> (px % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def write_ico(path, images):
    """images: list of rows as returned by render(), in the order they should be listed."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    data = b""
    for rows in images:
        size = len(rows)
        blob = bitmap_entry(rows)
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset + len(data))
        data += blob
    with open(path, "wb") as out:
        out.write(directory + entries + data)


def write_png(path, rows):
    """One RGBA image; no filtering and no time stamp, so that the same drawing gives the same
    bytes."""
    size = len(rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


# The sizes of the hicolor icon theme that menus, launchers and file managers use.
THEME_SIZES = (16, 24, 32, 48, 64, 128, 256)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    leds = {
        "redled.ico": (0.86, 0.10, 0.08),
        "yellowled.ico": (0.98, 0.78, 0.05),
        "greenled.ico": (0.12, 0.78, 0.16),
    }
    for name, colour in leds.items():
        shader = led_shader(colour)
        # 16 pixels first: that is the image a plain pixmap load of the file takes.
        write_ico(os.path.join(here, name), [render(16, shader), render(32, shader)])
    app_icons = {size: render(size, app_shader) for size in THEME_SIZES}
    write_ico(os.path.join(here, "quorvane.ico"), [app_icons[s] for s in (16, 32, 48, 64)])
    os.makedirs(os.path.join(here, "icons"), exist_ok=True)
    for size, rows in app_icons.items():
        write_png(os.path.join(here, "icons", "quorvane-%d.png" % size), rows)


if __name__ == "__main__":
    main()

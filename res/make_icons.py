#!/usr/bin/env python3
"""Draws the program's icon, a folder with a red "remove" badge, and writes res/Orvelle.ico.

The icon holds 16, 32 and 48 pixel images as 32-bit bitmaps with alpha and an AND mask, which
every Windows from XP on reads. Run it from anywhere: python3 res/make_icons.py
"""

import math
import os
import struct

SIZES = (16, 32, 48)
SAMPLES = 8  # per pixel and axis: the edges are anti-aliased by supersampling

FOLDER_BACK = (214, 160, 38)
FOLDER_FRONT = (250, 205, 80)
FOLDER_EDGE = (150, 100, 20)
BADGE = (214, 38, 38)
BADGE_EDGE = (140, 18, 18)
MARK = (255, 255, 255)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def slanted_front(x0, y0, x1, y1, slant, r):
    """The folder's front flap: a rounded box whose top edge leans right, as if the flap were open."""
    box = rounded_rect(x0, y0, x1, y1, r)

    def inside(x, y):
        if not box(x - slant * (y1 - y) / (y1 - y0), y):
            return False
        return True
    return inside


def cross(cx, cy, arm, half_width):
    """An X: two bars at 45 degrees through (cx, cy), each arm long."""
    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = (dx + dy) / math.sqrt(2)
        v = (dx - dy) / math.sqrt(2)
        return (abs(u) <= half_width and abs(v) <= arm) or (abs(v) <= half_width and abs(u) <= arm)
    return inside


def layers(size):
    """The drawing as (shape, colour) from back to front, in pixel units of an image of size.

    The folder's edges fall on whole pixels of the 16-pixel grid, so every size stays sharp."""
    s = size / 16.0
    edge = 1.0 if size < 48 else 1.5
    slant = -1.0 * s if size > 16 else 0.0
    back = union(rounded_rect(1 * s, 2 * s, 7 * s, 6 * s, 0.8 * s),
                 rounded_rect(1 * s, 4 * s, 15 * s, 14 * s, 0.8 * s))
    back_inner = union(rounded_rect(1 * s + edge, 2 * s + edge, 7 * s - edge, 6 * s, 0.5 * s),
                       rounded_rect(1 * s + edge, 4 * s + edge, 15 * s - edge, 14 * s - edge, 0.5 * s))
    front = slanted_front(1 * s, 7 * s, 15 * s, 14 * s, slant, 0.8 * s)
    front_inner = slanted_front(1 * s + edge, 7 * s + edge, 15 * s - edge, 14 * s - edge, slant, 0.5 * s)
    bx, by, br = 11.5 * s, 11.5 * s, 4.4 * s
    bar = 0.55 if size == 16 else 0.7 * s
    return [
        (back, FOLDER_EDGE),
        (back_inner, FOLDER_BACK),
        (front, FOLDER_EDGE),
        (front_inner, FOLDER_FRONT),
        (circle(bx, by, br), BADGE_EDGE),
        (circle(bx, by, br - edge), BADGE),
        (cross(bx, by, br * 0.55, bar), MARK),
    ]


def render(size):
    """Returns rows of (r, g, b, a) from the top row down."""
    drawing = layers(size)
    step = 1.0 / SAMPLES
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            # Composite every sample separately, then average: shared edges stay clean.
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                y = py + (sy + 0.5) * step
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) * step
                    colour = None
                    for shape, c in drawing:
                        if shape(x, y):
                            colour = c
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1.0
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha > 0:
                pixel = (round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha * 255))
            else:
                pixel = (0, 0, 0, 0)
            row.append(pixel)
        rows.append(row)
    return rows


def bitmap_entry(size, rows):
    """An icon image: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def write_ico(path, images):
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    data = b''
    for size, blob in images:
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        data += blob
    with open(path, 'wb') as f:
        f.write(directory + entries + data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    images = [(size, bitmap_entry(size, render(size))) for size in SIZES]
    write_ico(os.path.join(here, 'Orvelle.ico'), images)


if __name__ == '__main__':
    main()

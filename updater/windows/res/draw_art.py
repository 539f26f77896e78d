#!/usr/bin/env python3
"""Draws the updater's application icon (ostrel.ico) and the wizard's side picture (side.bmp).

Python 3 standard library only: the BMP and ICO bytes are written directly.
  ostrel.ico  icon 128: 32x32 and 16x16, 8 bits per pixel (palette + AND mask)
  side.bmp    bitmap 225: 138x278, 16 bits per pixel (X1R5G5B5)
Run it from anywhere; it writes beside itself. The outputs are committed.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


class Canvas:
    """RGB pixels, top row first; None marks a transparent pixel."""

    def __init__(self, width, height, fill=None):
        self.width, self.height = width, height
        self.px = [[fill] * width for _ in range(height)]

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = color

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, color)

    def polygon(self, points, color):
        """Even-odd fill of a polygon sampled at pixel centres."""
        ys = [p[1] for p in points]
        for y in range(max(0, int(min(ys))), min(self.height, int(max(ys)) + 1)):
            cy = y + 0.5
            xs = []
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay <= cy < by) or (by <= cy < ay):
                    xs.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for left, right in zip(xs[::2], xs[1::2]):
                for x in range(int(math.ceil(left - 0.5)), int(math.floor(right - 0.5)) + 1):
                    self.put(x, y, color)

    def line(self, x0, y0, x1, y1, color):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(steps + 1):
            t = i / steps
            self.put(int(round(x0 + (x1 - x0) * t)), int(round(y0 + (y1 - y0) * t)), color)


def draw_book(c, cx, top, half_width, height, lift, page_lines, cover, paper, ink, spine):
    """An open book seen from the front: two pages curving up from the spine at cx."""
    bottom = top + height
    # The cover peeks out below and beside the pages.
    c.polygon([(cx - half_width - 2, top + lift + 2), (cx, top + 4), (cx + half_width + 2, top + lift + 2),
               (cx + half_width + 2, bottom + 3), (cx, bottom + 1), (cx - half_width - 2, bottom + 3)], cover)
    for side in (-1, 1):
        outer = cx + side * half_width
        c.polygon([(cx, top), (outer, top + lift), (outer, bottom), (cx, bottom - lift // 2)], paper)
        for i in range(page_lines):
            t = (i + 1) / (page_lines + 1)
            y0 = top + lift * 0.5 + (height - lift) * t
            inner = cx + side * max(2, half_width * 0.12)
            end = cx + side * half_width * 0.85
            c.line(inner, y0 - lift * 0.35, end, y0 + lift * 0.25, ink)
    c.line(cx, top, cx, bottom - lift // 2, spine)


def side_picture():
    w, h = 138, 278
    c = Canvas(w, h)
    top_color, bottom_color = (20, 44, 92), (36, 122, 140)
    for y in range(h):
        row = lerp(top_color, bottom_color, y / (h - 1))
        for x in range(w):
            c.put(x, y, row)
    # Faint stars of light over the night sky.
    for i in range(40):
        x = (i * 53 + 17) % w
        y = (i * 97 + 11) % 150
        c.put(x, y, (200, 214, 240) if i % 3 else (255, 236, 170))
    # A warm reading lamp glow behind the book.
    gx, gy = w // 2, 150
    for y in range(h):
        for x in range(w):
            d = math.hypot(x - gx, (y - gy) * 1.3)
            if d < 60:
                t = (1 - d / 60) ** 2 * 0.55
                c.put(x, y, lerp(c.px[y][x], (255, 214, 120), t))
    draw_book(c, w // 2, 128, 52, 60, 10, 6, (120, 36, 40), (250, 246, 232), (150, 150, 160),
              (180, 150, 110))
    # A ribbon bookmark hanging from the spine.
    c.polygon([(w // 2 + 3, 186), (w // 2 + 9, 186), (w // 2 + 9, 214), (w // 2 + 6, 209),
               (w // 2 + 3, 214)], (200, 40, 48))
    # A shelf of spines along the bottom.
    x = 8
    colors = [(142, 52, 46), (58, 96, 150), (196, 150, 60), (70, 120, 80), (120, 70, 130),
              (170, 90, 50), (60, 60, 90)]
    i = 0
    while x < w - 8:
        bw = 9 + (i * 5) % 7
        bh = 34 + (i * 11) % 18
        c.rect(x, 262 - bh, x + bw, 262, colors[i % len(colors)])
        c.rect(x + 2, 262 - bh + 5, x + bw - 2, 262 - bh + 7, (230, 210, 160))
        x += bw + 1
        i += 1
    c.rect(0, 262, w, 268, (90, 62, 40))
    c.rect(0, 268, w, h, (60, 40, 26))
    return c


def write_bmp16(path, c):
    stride = (c.width * 2 + 3) & ~3
    pixels = bytearray()
    for y in range(c.height - 1, -1, -1):
        row = bytearray()
        for r, g, b in c.px[y]:
            row += struct.pack('<H', ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
        pixels += row + b'\0' * (stride - len(row))
    info = struct.pack('<IiiHHIIiiII', 40, c.width, c.height, 1, 16, 0, len(pixels), 2835, 2835,
                       0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, 'wb') as f:
        f.write(header + info + pixels)


def icon_image(size):
    c = Canvas(size, size)
    s = size / 32
    draw_book(c, size // 2, int(7 * s), int(14 * s), int(19 * s), max(2, int(4 * s)),
              4 if size >= 32 else 2, (30, 80, 150), (255, 252, 240), (120, 130, 150),
              (30, 60, 110))
    # A green arrow in the lower right corner: the update.
    ax, ay = int(24 * s), int(20 * s)
    r = max(3, int(7 * s))
    c.polygon([(ax - r, ay), (ax + r, ay), (ax, ay + r + 1)], (40, 160, 60))
    c.rect(ax - r // 2, ay - r, ax + r // 2 + 1, ay, (40, 160, 60))
    return c


def icon_entry_bytes(c):
    colors = sorted({p for row in c.px for p in row if p is not None})
    assert len(colors) <= 255
    palette = [(0, 0, 0)] + colors
    index = {color: i for i, color in enumerate(palette)}
    xor_stride = (c.width + 3) & ~3
    and_stride = ((c.width + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in range(c.height - 1, -1, -1):
        row = bytes(index[p] if p is not None else 0 for p in c.px[y])
        xor += row + b'\0' * (xor_stride - len(row))
        bits = bytearray(and_stride)
        for x, p in enumerate(c.px[y]):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack('<IiiHHIIiiII', 40, c.width, c.height * 2, 1, 8, 0, len(xor) + len(mask),
                       0, 0, 256, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    pal += b'\0' * (1024 - len(pal))
    return info + pal + xor + mask


def write_ico(path, images):
    blobs = [icon_entry_bytes(c) for c in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', c.width, c.height, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(out + b''.join(blobs))


if __name__ == '__main__':
    write_bmp16(os.path.join(HERE, 'side.bmp'), side_picture())
    write_ico(os.path.join(HERE, 'ostrel.ico'), [icon_image(32), icon_image(16)])

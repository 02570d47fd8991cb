#!/usr/bin/env python3
"""Draws the tool's three icons as PNG files (no imaging library needed).

128: the application: a database drum with a gold band (32x32)
130: the update button: a drum with a green arrow up (32x32)
132: the restore button: a blue arrow turning back (16x16)
"""
import math
import struct
import zlib


def png(path, pixels, size):
    raw = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *pixels[y][x]) for x in range(size))
                   for y in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def canvas(size):
    return [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]


def drum(p, left, right, top, bottom, body, rim, band=None):
    cx = (left + right) / 2
    rx = (right - left) / 2
    ry = 3.0
    for y in range(len(p)):
        for x in range(len(p)):
            dx = (x + 0.5 - cx) / rx
            inside_x = abs(dx) <= 1
            if not inside_x:
                continue
            edge = ry * math.sqrt(max(0.0, 1 - dx * dx))
            if top + edge <= y + 0.5 <= bottom + edge:
                shade = 1 - 0.35 * abs(dx)
                colour = band if band and abs(y - (top + bottom) / 2 - edge) < 1.5 else body
                p[y][x] = tuple(int(c * shade) for c in colour) + (255,)
            if abs(y + 0.5 - (top - edge)) <= 0.8 or abs(y + 0.5 - (top + edge)) <= 0.8:
                p[y][x] = rim + (255,)
            elif top - edge < y + 0.5 < top + edge:
                p[y][x] = tuple(min(255, c + 40) for c in body) + (255,)
            if abs(y + 0.5 - (bottom + edge)) <= 0.8:
                p[y][x] = rim + (255,)


def arrow_up(p, cx, top, bottom, half, colour):
    for y in range(len(p)):
        for x in range(len(p)):
            head = top + half
            if top <= y <= head and abs(x + 0.5 - cx) <= (y - top + 1):
                p[y][x] = colour + (255,)
            elif head < y <= bottom and abs(x + 0.5 - cx) <= half / 2:
                p[y][x] = colour + (255,)


def icon128():
    p = canvas(32)
    drum(p, 5, 27, 7, 25, (60, 110, 200), (20, 40, 90), band=(230, 180, 40))
    return p


def icon130():
    p = canvas(32)
    drum(p, 2, 22, 9, 27, (60, 110, 200), (20, 40, 90))
    arrow_up(p, 25, 2, 20, 6, (30, 150, 50))
    return p


def icon132():
    p = canvas(16)
    for y in range(16):
        for x in range(16):
            d = math.hypot(x + 0.5 - 8, y + 0.5 - 9)
            angle = math.degrees(math.atan2(y + 0.5 - 9, x + 0.5 - 8))
            if 3.5 <= d <= 6 and not (-160 < angle < -90):
                p[y][x] = (30, 90, 200, 255)
    for y in range(16):
        for x in range(16):
            if 0 <= y <= 6 and abs(x + 0.5 - 4) <= 3.5 - abs(y - 3.5) * 0.9 and x <= 6:
                p[y][x] = (30, 90, 200, 255)
    return p


if __name__ == "__main__":
    png("icon128.png", icon128(), 32)
    png("icon130.png", icon130(), 32)
    png("icon132.png", icon132(), 16)

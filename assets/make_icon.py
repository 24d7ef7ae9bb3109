#!/usr/bin/env python3
"""Draws Velmora's 64 x 64, 32-bit icon (a warship on a navy medal) and writes it
as an .ico file. Pure Python, so the build needs nothing but python3."""
import math
import struct
import sys

SIZE = 64


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def inside_polygon(x, y, pts):
    hit = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


HULL = [(10, 38), (54, 38), (49, 46), (15, 46)]
DECK = [(22, 32), (42, 32), (42, 38), (22, 38)]
BRIDGE = [(27, 24), (35, 24), (35, 32), (27, 32)]
FUNNEL = [(37, 27), (41, 27), (41, 32), (37, 32)]
GUN = [(42, 34), (51, 33), (51, 35), (42, 36)]


def pixel(x, y):
    """RGBA of the icon at the pixel centre (x + .5, y + .5), 4x supersampled."""
    acc = [0.0, 0.0, 0.0, 0.0]
    for sx in (0.125, 0.375, 0.625, 0.875):
        for sy in (0.125, 0.375, 0.625, 0.875):
            px, py = x + sx, y + sy
            d = math.hypot(px - 32, py - 32)
            if d > 31:
                continue
            if d > 28:
                c = (212, 170, 64)  # gold rim
            else:
                c = lerp((38, 86, 150), (12, 30, 66), py / SIZE)  # sea-blue medal
                if py > 44 and (int(px + 3 * math.sin(py)) % 8) < 4:
                    c = lerp(c, (90, 150, 210), 0.35)  # waves
                for poly in (HULL, DECK, BRIDGE, FUNNEL, GUN):
                    if inside_polygon(px, py, poly):
                        c = (236, 240, 246) if poly is not HULL else (200, 210, 222)
            for k in range(3):
                acc[k] += c[k]
            acc[3] += 255
    n = 16.0
    a = acc[3] / n
    if a == 0:
        return (0, 0, 0, 0)
    return tuple(int(acc[k] / (acc[3] / 255.0)) for k in range(3)) + (int(a),)


def main(out_path):
    rows = []
    for y in range(SIZE - 1, -1, -1):  # DIBs are stored bottom-up
        row = b""
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    and_mask = b"\x00" * (SIZE * SIZE // 8)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(out_path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1])

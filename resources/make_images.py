#!/usr/bin/env python3
"""Draws the row bitmaps and program icons of BriscaTool as PNG files.

Each image is drawn from simple shapes sampled 4 x 4 times per pixel, so edges are smooth
but every image is made for its own pixel size and stays sharp at 1x. Run it from any folder;
the PNG files are written next to this script (they are committed, so a build needs no Python).
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # samples per pixel along each axis


def write_png(path, width, height, pixels):
    raw = b"".join(b"\x00" + bytes(pixels[y * width * 4:(y + 1) * width * 4])
                   for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(width, height, layers):
    """layers: list of (inside(x, y) -> bool, (r, g, b)); later layers paint over earlier."""
    pixels = [0] * (width * height * 4)
    for py in range(height):
        for px in range(width):
            r = g = b = a = 0.0
            for shape, colour in layers:
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if shape(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                            hits += 1
                cover = hits / (SS * SS)
                if cover == 0:
                    continue
                # "over" compositing with premultiplied sums
                r = colour[0] * cover + r * (1 - cover)
                g = colour[1] * cover + g * (1 - cover)
                b = colour[2] * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            i = (py * width + px) * 4
            if a > 0:
                pixels[i:i + 4] = [round(r / a), round(g / a), round(b / a), round(a * 255)]
    return pixels


def save(name, width, height, layers):
    write_png(os.path.join(HERE, name), width, height, render(width, height, layers))


# --- shapes ---------------------------------------------------------------------------------

def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                hit = not hit
        return hit
    return inside


def segment(x1, y1, x2, y2, width):
    def inside(x, y):
        dx, dy = x2 - x1, y2 - y1
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x1 + t * dx), y - (y1 + t * dy)) <= width / 2
    return inside


def polyline(points, width):
    parts = [segment(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1


def rect(x1, y1, x2, y2):
    return lambda x, y: x1 <= x <= x2 and y1 <= y <= y2


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, cut):
    return lambda x, y: shape(x, y) and not cut(x, y)


def arc(cx, cy, radius, width, start, sweep):
    """A ring segment from angle `start` turning by `sweep` degrees (clockwise on screen)."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - radius) > width / 2:
            return False
        angle = (math.degrees(math.atan2(y - cy, x - cx)) - start) % 360
        return angle <= sweep
    return inside


# --- row bitmaps (15 x 14) ------------------------------------------------------------------

NAVY = (0, 0, 128)
GREEN = (0, 128, 0)
RED = (176, 0, 0)
BLACK = (0, 0, 0)
AMBER = (200, 140, 0)


def row_bitmaps():
    # Selected for down-load: a solid arrowhead pointing at the name.
    save("bmp_select.png", 15, 14, [(polygon([(3, 2.5), (12.5, 7), (3, 11.5)]), RED)])
    # Sent: a tick.
    save("bmp_done.png", 15, 14, [(polyline([(2.5, 7.5), (5.8, 10.8), (12.5, 3)], 2.4), GREEN)])
    # Being sent: an arrow turning round, a quarter turn per frame.
    cx, cy, radius = 7.5, 7, 4.3
    for frame in range(4):
        start = frame * 90 - 45
        sweep = 250
        end = math.radians(start + sweep)
        tip_x, tip_y = cx + radius * math.cos(end), cy + radius * math.sin(end)
        # arrowhead along the direction of travel (tangent, clockwise on screen)
        tx, ty = -math.sin(end), math.cos(end)
        nx, ny = math.cos(end), math.sin(end)
        head = polygon([(tip_x + tx * 3.2, tip_y + ty * 3.2),
                        (tip_x + nx * 2.8, tip_y + ny * 2.8),
                        (tip_x - nx * 2.8, tip_y - ny * 2.8)])
        body = arc(cx, cy, radius, 1.9, start, sweep - 10)
        save("bmp_anim%d.png" % frame, 15, 14, [(union(body, head), NAVY)])
    # Busy: an hourglass.
    glass = polygon([(3.5, 1.5), (11.5, 1.5), (8.3, 7), (11.5, 12.5), (3.5, 12.5), (6.7, 7)])
    sand = union(polygon([(5.5, 3.5), (9.5, 3.5), (7.5, 6)]),
                 polygon([(7.5, 9), (10.2, 11.6), (4.8, 11.6)]))
    inner = union(polygon([(4.8, 2.4), (10.2, 2.4), (7.5, 6.4)]),
                  polygon([(7.5, 7.6), (10.2, 11.6), (4.8, 11.6)]))
    save("bmp_busy.png", 15, 14, [(glass, BLACK), (inner, (255, 255, 255)), (sand, AMBER)])


# --- program icons: a drum --------------------------------------------------------------------

SHELL = (178, 24, 32)
HEAD = (244, 238, 220)
RIM = (200, 204, 210)
RIM_DARK = (96, 100, 110)
STICK = (222, 176, 104)


def drum_layers(size, busy=False):
    s = size / 32.0
    cx = 16 * s
    rx = 13 * s
    top, bottom = 11.5 * s, 25 * s
    ry = 4.2 * s
    line = max(1.0, 1.3 * s)
    shell = union(rect(cx - rx, top, cx + rx, bottom), ellipse(cx, bottom, rx, ry))
    layers = [
        (union(shell, ellipse(cx, top, rx, ry)), RIM_DARK),
        (union(rect(cx - rx + line, top, cx + rx - line, bottom - line * 0.5),
               ellipse(cx, bottom - line * 0.5, rx - line, ry - line * 0.6)), SHELL),
    ]
    # lacing: a zigzag round the shell
    zig = []
    steps = 6
    for i in range(steps + 1):
        x = cx - rx + line * 1.5 + i * (2 * rx - 3 * line) / steps
        y = (top + 2.5 * s) if i % 2 == 0 else (bottom - 0.5 * s)
        zig.append((x, y))
    layers.append((polyline(zig, max(1.0, 1.1 * s)), RIM))
    # lower rim and the head with its rim
    layers.append((minus(ellipse(cx, bottom, rx, ry), ellipse(cx, bottom - line, rx, ry)),
                   RIM))
    layers.append((ellipse(cx, top, rx, ry), RIM))
    layers.append((ellipse(cx, top, rx - line, ry - line * 0.7), HEAD))
    # two sticks crossing above the head
    layers.append((segment(5 * s, 2.5 * s, 21 * s, 12 * s, max(1.6, 2.1 * s)), STICK))
    layers.append((segment(27 * s, 2.5 * s, 11 * s, 12 * s, max(1.6, 2.1 * s)), STICK))
    layers.append((ellipse(5 * s, 2.5 * s, 1.5 * s + 0.3, 1.5 * s + 0.3), STICK))
    layers.append((ellipse(27 * s, 2.5 * s, 1.5 * s + 0.3, 1.5 * s + 0.3), STICK))
    if busy:
        # a red dot: the drum is busy
        layers.append((ellipse(25 * s, 24 * s, 6 * s, 6 * s), (255, 255, 255)))
        layers.append((ellipse(25 * s, 24 * s, 5 * s, 5 * s), (220, 0, 0)))
    return layers


def icons():
    for size in (16, 32, 48, 64, 128):
        save("pelorin_%d.png" % size, size, size, drum_layers(size))
    save("very_busy_32.png", 32, 32, drum_layers(32, busy=True))


if __name__ == "__main__":
    row_bitmaps()
    icons()

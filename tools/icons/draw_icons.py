#!/usr/bin/env python3
"""Draws the program's icons 5000-5009 into resources/icons/*.ico (16x16 and 32x32,
32-bit with alpha) and a PNG contact sheet of all of them, over light and over dark,
using only the standard library. Shapes are signed distance functions in a 32x32 design
space, supersampled, so both sizes come from one drawing.

  5000 program and tray icon: a blue globe with metal rings
  5001 new forum posts: the globe with a yellow folder and a green arrow
  5002 page with an arrow              5004 ... and a green tick
  5003 jagged badge with an '!'       5005 ... and a green tick
  5006 page with a padlock            5008 ... and a green tick
  5007 badge with a padlock           5009 ... and a green tick

Usage: draw_icons.py [output folder]   (default: resources/icons beside this tool)
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.normpath(os.path.join(HERE, "..", "..", "resources", "icons"))
DESIGN = 32.0
SIZES = (16, 32)
SUPERSAMPLE = 5


# ---- signed distance functions (negative inside) ----------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry, angle=0.0):
    ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))

    def f(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * ca + dy * sa, -dx * sa + dy * ca
        k = math.hypot(u / rx, v / ry)
        # First-order distance: exact enough for strokes a pixel or two wide.
        if k == 0:
            return -min(rx, ry)
        g = math.hypot(u / (rx * rx), v / (ry * ry))
        return k * (k - 1.0) / g
    return f


def box(x0, y0, x1, y1, r=0.0):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return f


def _segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def polyline(points, width):
    segs = list(zip(points, points[1:]))
    return lambda x, y: min(_segment_distance(x, y, *a, *b) for a, b in segs) - width / 2


def polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def f(x, y):
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        d = min(_segment_distance(x, y, ax, ay, bx, by) for (ax, ay), (bx, by) in edges)
        return -d if inside else d
    return f


def stroke(f, width):
    return lambda x, y: abs(f(x, y)) - width / 2


def grow(f, amount):
    return lambda x, y: f(x, y) - amount


def union(*fs):
    return lambda x, y: min(g(x, y) for g in fs)


def intersect(*fs):
    return lambda x, y: max(g(x, y) for g in fs)


def subtract(f, g):
    return lambda x, y: max(f(x, y), -g(x, y))


def halfplane(nx, ny, c):
    """Inside where nx*x + ny*y < c."""
    n = math.hypot(nx, ny)
    return lambda x, y: (nx * x + ny * y - c) / n


# ---- paints ------------------------------------------------------------------------

def rgb(hex_colour, alpha=1.0):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha)


def radial(cx, cy, r, inner, outer):
    a, b = rgb(inner), rgb(outer)

    def paint(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r)
        return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))
    return paint


def linear(x0, y0, x1, y1, start, end):
    a, b = rgb(start), rgb(end)
    dx, dy = x1 - x0, y1 - y0
    n = dx * dx + dy * dy

    def paint(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / n))
        return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))
    return paint


# ---- canvas --------------------------------------------------------------------------

class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = DESIGN / size  # design units per pixel
        self.rgba = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]  # premultiplied

    def fill(self, sdf, paint, bounds=(0, 0, DESIGN, DESIGN)):
        n, px, s = self.size, self.px, SUPERSAMPLE
        x0, y0, x1, y1 = bounds
        i0, i1 = max(0, int(x0 / px) - 1), min(n, int(math.ceil(x1 / px)) + 1)
        j0, j1 = max(0, int(y0 / px) - 1), min(n, int(math.ceil(y1 / px)) + 1)
        offsets = [(k + 0.5) / s for k in range(s)]
        for j in range(j0, j1):
            for i in range(i0, i1):
                hits = 0
                for oy in offsets:
                    y = (j + oy) * px
                    for ox in offsets:
                        if sdf((i + ox) * px, y) <= 0:
                            hits += 1
                if not hits:
                    continue
                c = paint((i + 0.5) * px, (j + 0.5) * px) if callable(paint) else paint
                a = c[3] * hits / (s * s)
                d = self.rgba[j * n + i]
                for k in range(3):
                    d[k] = c[k] * a + d[k] * (1 - a)
                d[3] = a + d[3] * (1 - a)

    def pixels(self):
        """Rows of straight-alpha (r, g, b, a) bytes, top row first."""
        out = []
        for j in range(self.size):
            row = []
            for i in range(self.size):
                r, g, b, a = self.rgba[j * self.size + i]
                if a <= 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append(tuple(int(round(min(1.0, v / a) * 255)) for v in (r, g, b)) + (int(round(a * 255)),))
            out.append(row)
        return out


# ---- parts of the pictures -----------------------------------------------------------

OUTLINE = 1.0


def outline_width(c):
    return max(OUTLINE, c.px * 0.9)


def draw_globe(c, cx, cy, r):
    """A blue globe with two tilted metal rings around it."""
    w = outline_width(c)
    rings = [(-28.0, 1.4 * r, 0.48 * r), (32.0, 1.36 * r, 0.4 * r)]
    ring_width = max(0.2 * r, c.px * 1.3)

    def ring_part(angle, rx, ry, back):
        e = ellipse(cx, cy, rx, ry, angle)
        a = math.radians(angle)
        # Back half lies above the ring's major axis (behind the globe).
        side = halfplane(-math.sin(a), math.cos(a), -math.sin(a) * cx + math.cos(a) * cy)
        half = side if back else (lambda x, y: -side(x, y))
        bound = (cx - rx - 2, cy - rx - 2, cx + rx + 2, cy + rx + 2)
        c.fill(intersect(stroke(e, ring_width + 2 * w), half), rgb("#4a5260"), bound)
        c.fill(intersect(stroke(e, ring_width), half),
               linear(cx - rx, cy - rx, cx + rx, cy + rx, "#f4f6f9", "#9aa3b0"), bound)

    for angle, rx, ry in rings:
        ring_part(angle, rx, ry, True)
    ball = circle(cx, cy, r)
    bound = (cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2)
    c.fill(grow(ball, w), rgb("#0b2f6b"), bound)
    c.fill(ball, radial(cx - 0.4 * r, cy - 0.45 * r, 1.6 * r, "#9fd6ff", "#1346a0"), bound)
    grid = max(0.09 * r, c.px * 0.6)
    lat = 0.5 * r
    lines = union(stroke(ellipse(cx, cy, 0.45 * r, r), grid),
                  polyline([(cx - r, cy), (cx + r, cy)], grid),
                  polyline([(cx - r, cy - lat), (cx + r, cy - lat)], grid),
                  polyline([(cx - r, cy + lat), (cx + r, cy + lat)], grid),
                  polyline([(cx, cy - r), (cx, cy + r)], grid))
    c.fill(intersect(lines, grow(ball, -0.5 * w)), rgb("#d8efff", 0.55), bound)
    c.fill(circle(cx - 0.38 * r, cy - 0.42 * r, 0.22 * r), rgb("#ffffff", 0.6), bound)
    for angle, rx, ry in rings:
        ring_part(angle, rx, ry, False)


def draw_page(c, x0=6.0, y0=2.0, x1=26.0, y1=30.0):
    w = outline_width(c)
    fold = 6.0
    sheet = polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    c.fill(grow(sheet, w), rgb("#5b6270"))
    c.fill(sheet, linear(x0, y0, x1, y1, "#ffffff", "#dfe4ec"))
    corner = polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)])
    c.fill(grow(corner, w * 0.5), rgb("#5b6270"))
    c.fill(corner, rgb("#c9d0db"))
    if c.size >= 32:
        for k, y in enumerate((8.0, 11.5, 15.0)):
            right = x1 - 4.0 - (fold if k == 0 else 0.0) - (3.0 if k == 2 else 0.0)
            c.fill(polyline([(x0 + 3.5, y), (right, y)], 1.2), rgb("#9aa6b8"))


def draw_page_arrow(c):
    """A blue arrow pointing right across the lower part of the page."""
    w = outline_width(c)
    y = 21.0
    shaft = box(10.5, y - 2.4, 19.0, y + 2.4, 0.6)
    head = polygon([(17.0, y - 6.5), (24.5, y), (17.0, y + 6.5)])
    arrow = union(shaft, head)
    c.fill(grow(arrow, w), rgb("#123f86"))
    c.fill(arrow, linear(8, y - 6, 24, y + 6, "#6fb2ff", "#1d5fc7"))


def starburst(cx, cy, r_out, r_in, points):
    pts = []
    for k in range(points * 2):
        a = math.pi * k / points - math.pi / 2
        r = r_out if k % 2 == 0 else r_in
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return polygon(pts)


def draw_badge(c, cx=16.0, cy=15.0, r=14.5, mark=True):
    """A jagged orange badge, with a white exclamation mark unless mark is False."""
    w = outline_width(c)
    shape = starburst(cx, cy, r, r * 0.8, 12)
    c.fill(grow(shape, w), rgb("#8a2a05"))
    c.fill(shape, radial(cx - 0.3 * r, cy - 0.35 * r, 1.5 * r, "#ffd27a", "#e9561b"))
    if mark:
        bar = max(1.8, c.px * 1.6)
        stem = polygon([(cx - bar, cy - 0.55 * r), (cx + bar, cy - 0.55 * r),
                        (cx + bar * 0.55, cy + 0.18 * r), (cx - bar * 0.55, cy + 0.18 * r)])
        dot = circle(cx, cy + 0.42 * r, bar * 0.95)
        glyph = union(stem, dot)
        c.fill(grow(glyph, w * 0.8), rgb("#8a2a05"))
        c.fill(glyph, rgb("#ffffff"))


def draw_padlock(c, x0, y0, size):
    """A golden padlock in the square (x0, y0, size)."""
    w = outline_width(c)
    s = size / 14.0
    body = box(x0 + 1.0 * s, y0 + 6.0 * s, x0 + 13.0 * s, y0 + 14.0 * s, 1.2 * s)
    shackle_width = max(2.0 * s, c.px * 1.2)
    shackle = intersect(stroke(ellipse(x0 + 7.0 * s, y0 + 6.0 * s, 3.8 * s, 4.6 * s), shackle_width),
                        halfplane(0, 1, y0 + 7.0 * s))
    c.fill(grow(shackle, w), rgb("#3c4049"))
    c.fill(shackle, linear(x0, y0, x0 + size, y0 + 8 * s, "#eef1f5", "#8c94a1"))
    c.fill(grow(body, w), rgb("#6b4a00"))
    c.fill(body, linear(x0, y0 + 6 * s, x0 + size, y0 + size, "#ffe27a", "#d49a06"))
    if c.size >= 32:
        c.fill(union(circle(x0 + 7 * s, y0 + 9.3 * s, 1.3 * s),
                     box(x0 + 6.4 * s, y0 + 9.3 * s, x0 + 7.6 * s, y0 + 12.2 * s)), rgb("#6b4a00"))


def draw_tick(c, x0, y0, size):
    """A green tick in the square (x0, y0, size)."""
    w = outline_width(c)
    s = size / 14.0
    width = max(3.4 * s, c.px * 2.2)
    tick = polyline([(x0 + 1.8 * s, y0 + 7.6 * s), (x0 + 5.4 * s, y0 + 11.6 * s), (x0 + 12.4 * s, y0 + 2.6 * s)], width)
    c.fill(grow(tick, w), rgb("#0e5a17"))
    c.fill(tick, linear(x0, y0, x0 + size, y0 + size, "#7be07f", "#1f9a2c"))


def draw_folder(c, x0, y0, x1, y1):
    w = outline_width(c)
    h = y1 - y0
    tab = polygon([(x0, y0 + 0.12 * h), (x0 + 0.38 * (x1 - x0), y0 + 0.12 * h),
                   (x0 + 0.48 * (x1 - x0), y0 + 0.28 * h), (x1, y0 + 0.28 * h), (x1, y1), (x0, y1)])
    front = polygon([(x0, y0 + 0.42 * h), (x1, y0 + 0.42 * h), (x1, y1), (x0, y1)])
    c.fill(grow(tab, w), rgb("#7a5300"))
    c.fill(tab, rgb("#e0a82a"))
    c.fill(grow(front, w * 0.6), rgb("#7a5300"))
    c.fill(front, linear(x0, y0 + 0.42 * h, x0, y1, "#ffe58a", "#f2b935"))


def draw_green_arrow(c, tip_x, tip_y, length, width):
    """A green arrow pointing down towards (tip_x, tip_y)."""
    w = outline_width(c)
    head = width * 1.9
    shaft = box(tip_x - width / 2, tip_y - length, tip_x + width / 2, tip_y - head * 0.7)
    tip = polygon([(tip_x - head, tip_y - head * 0.9), (tip_x + head, tip_y - head * 0.9), (tip_x, tip_y)])
    arrow = union(shaft, tip)
    c.fill(grow(arrow, w), rgb("#0e5a17"))
    c.fill(arrow, linear(tip_x - head, tip_y - length, tip_x + head, tip_y, "#8ff08f", "#1f9a2c"))


# ---- the ten icons ---------------------------------------------------------------------

def overlay_tick(c):
    draw_tick(c, 0.5, 16.5, 15.0)


def overlay_lock(c):
    draw_padlock(c, 16.5, 16.0, 15.0)


def icon_5000(c):
    draw_globe(c, 16.0, 16.0, 11.0)


def icon_5001(c):
    draw_globe(c, 19.0, 12.5, 8.8)
    draw_folder(c, 1.0, 14.5, 19.5, 30.5)
    draw_green_arrow(c, 25.0, 30.5, 13.0, 4.4)


def icon_page_arrow(c, tick):
    draw_page(c)
    draw_page_arrow(c)
    if tick:
        overlay_tick(c)


def icon_badge(c, tick):
    draw_badge(c)
    if tick:
        overlay_tick(c)


def icon_page_lock(c, tick):
    draw_page(c)
    overlay_lock(c)
    if tick:
        overlay_tick(c)


def icon_badge_lock(c, tick):
    draw_badge(c, mark=c.size >= 32)
    overlay_lock(c)
    if tick:
        overlay_tick(c)


ICONS = [
    (5000, icon_5000),
    (5001, icon_5001),
    (5002, lambda c: icon_page_arrow(c, False)),
    (5003, lambda c: icon_badge(c, False)),
    (5004, lambda c: icon_page_arrow(c, True)),
    (5005, lambda c: icon_badge(c, True)),
    (5006, lambda c: icon_page_lock(c, False)),
    (5007, lambda c: icon_badge_lock(c, False)),
    (5008, lambda c: icon_page_lock(c, True)),
    (5009, lambda c: icon_badge_lock(c, True)),
]


# ---- file formats ------------------------------------------------------------------------

def bmp_payload(rows):
    """An ICO image entry: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico_file(images):
    """images: list of pixel rows (square). Returns the bytes of a .ico file."""
    payloads = [bmp_payload(rows) for rows in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for rows, data in zip(images, payloads):
        n = len(rows)
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(payloads)


def png_file(rows):
    """An RGBA PNG of the given rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


# 3x5 digits for the contact sheet labels.
DIGITS = {
    "0": "111101101101111", "1": "010110010010111", "2": "111001111100111", "3": "111001111001111",
    "4": "101101111001001", "5": "111100111001111", "6": "111100111101111", "7": "111001001001001",
    "8": "111101111101111", "9": "111101111001111",
}


# The dark taskbar's and list's background, against which the icons must read too.
DARK = (32, 32, 32)


def contact_sheet(rendered):
    """Each icon at 32x32 (scale 4) and 16x16 (scale 4), labelled with its id: over a checkerboard,
    and again below over the dark background."""
    scale, cell_w, cell_h, columns = 4, 220, 190, 5
    rows_n = (len(rendered) + columns - 1) // columns
    band = cell_h * rows_n
    width, height = cell_w * columns, 2 * band
    sheet = [[(255, 255, 255, 255)] * width for _ in range(band)] + [[DARK + (255,)] * width for _ in range(band)]

    def put(x, y, colour):
        if 0 <= x < width and 0 <= y < height:
            sheet[y][x] = colour

    def background(x, y):
        if y >= band:
            return DARK
        bg = 236 if ((x // 8) + (y // 8)) % 2 else 252
        return (bg, bg, bg)

    def blit(rows, ox, oy):
        for j, row in enumerate(rows):
            for i, (r, g, b, a) in enumerate(row):
                for dy in range(scale):
                    for dx in range(scale):
                        x, y = ox + i * scale + dx, oy + j * scale + dy
                        bg = background(x, y)
                        put(x, y, tuple(int(round(v * a / 255 + w * (1 - a / 255))) for v, w in zip((r, g, b), bg))
                            + (255,))

    for top, ink in ((0, (40, 40, 40, 255)), (band, (220, 220, 220, 255))):
        for k, (icon_id, images) in enumerate(rendered):
            cx, cy = (k % columns) * cell_w, top + (k // columns) * cell_h
            blit(images[32], cx + 16, cy + 16)
            blit(images[16], cx + 16 + 128 + 12, cy + 16 + 64)
            for d, ch in enumerate(str(icon_id)):
                pattern = DIGITS[ch]
                for p, bit in enumerate(pattern):
                    if bit == "1":
                        for dy in range(5):
                            for dx in range(5):
                                put(cx + 16 + d * 20 + (p % 3) * 5 + dx, cy + 156 + (p // 3) * 5 + dy, ink)
    return sheet


def render_all():
    rendered = []
    for icon_id, draw in ICONS:
        images = {}
        for size in SIZES:
            c = Canvas(size)
            draw(c)
            images[size] = c.pixels()
        rendered.append((icon_id, images))
    return rendered


def main(argv):
    out = argv[0] if argv else DEFAULT_OUT
    os.makedirs(out, exist_ok=True)
    rendered = render_all()
    for icon_id, images in rendered:
        with open(os.path.join(out, "%d.ico" % icon_id), "wb") as f:
            f.write(ico_file([images[s] for s in SIZES]))
    with open(os.path.join(out, "contact_sheet.png"), "wb") as f:
        f.write(png_file(contact_sheet(rendered)))
    print("draw_icons.py: wrote %d icons and contact_sheet.png to %s" % (len(rendered), out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Tests of the icon script: the committed files are what the script draws, and each
.ico and the contact sheet are well-formed. Run: python3 -m unittest discover -s tools/icons"""
import os
import shutil
import struct
import tempfile
import unittest
import zlib

import draw_icons

IDS = list(range(5000, 5010))


def read_ico(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    images = []
    for k in range(count):
        w, h, colours, _, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * k)
        header = struct.unpack_from("<IiiHHI", data, offset)
        images.append({"w": w, "h": h, "planes": planes, "bpp": bpp, "size": size, "offset": offset,
                       "header": header, "payload": data[offset:offset + size]})
    return reserved, kind, images


def pixels(image):
    """Rows of (r, g, b, a), top row first."""
    n, data = image["w"], image["payload"][40:]
    return [[(data[k + 2], data[k + 1], data[k], data[k + 3]) for k in range((n - 1 - j) * n * 4, (n - j) * n * 4, 4)]
            for j in range(n)]


def contrast(a, b):
    """WCAG's contrast of two colours, 1 to 21."""
    def luminance(c):
        lin = [v / 3294.6 if v <= 10 else ((v / 255 + 0.055) / 1.055) ** 2.4 for v in c]
        return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2]
    x, y = luminance(a) + 0.05, luminance(b) + 0.05
    return max(x, y) / min(x, y)


def alphas(image):
    n = image["w"]
    pixels = image["payload"][40:40 + n * n * 4]
    return [pixels[i + 3] for i in range(0, len(pixels), 4)]


class CommittedIconsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fresh = tempfile.mkdtemp()
        draw_icons.main([cls.fresh])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.fresh)

    def test_committed_files_match_the_script(self):
        for name in ["%d.ico" % i for i in IDS] + ["contact_sheet.png"]:
            with open(os.path.join(draw_icons.DEFAULT_OUT, name), "rb") as a, \
                    open(os.path.join(self.fresh, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name + " is stale: run tools/icons/draw_icons.py")

    def test_each_icon_has_16_and_32_pixel_32_bit_images(self):
        for i in IDS:
            with open(os.path.join(self.fresh, "%d.ico" % i), "rb") as f:
                data = f.read()
            reserved, kind, images = read_ico(data)
            self.assertEqual((reserved, kind), (0, 1))
            self.assertEqual([(im["w"], im["h"]) for im in images], [(16, 16), (32, 32)])
            for im in images:
                n = im["w"]
                self.assertEqual((im["planes"], im["bpp"]), (1, 32))
                self.assertEqual(im["header"], (40, n, 2 * n, 1, 32, 0))
                mask_bytes = ((n + 31) // 32) * 4 * n
                self.assertEqual(im["size"], 40 + n * n * 4 + mask_bytes)
                self.assertLessEqual(im["offset"] + im["size"], len(data))

    def test_icons_use_alpha_and_differ(self):
        seen = set()
        for i in IDS:
            with open(os.path.join(self.fresh, "%d.ico" % i), "rb") as f:
                _, _, images = read_ico(f.read())
            for im in images:
                a = alphas(im)
                self.assertIn(0, a, "%d has no transparent pixel" % i)
                self.assertIn(255, a, "%d has no opaque pixel" % i)
                self.assertTrue(any(0 < v < 255 for v in a), "%d has no smooth edge" % i)
                self.assertNotIn(im["payload"], seen, "%d repeats another icon" % i)
                seen.add(im["payload"])

    def test_every_shape_stands_out_on_light_and_dark(self):
        # The dark outlines that show a shape on white vanish on a dark taskbar or list: there its
        # fills must show it. Nearly every pixel of a shape's edge has one within a pixel that
        # stands out 3:1 from the background.
        for background in ((255, 255, 255), draw_icons.DARK):
            for i in IDS:
                with open(os.path.join(self.fresh, "%d.ico" % i), "rb") as f:
                    _, _, images = read_ico(f.read())
                for im in images:
                    rows, n = pixels(im), im["w"]
                    solid = lambda x, y: 0 <= x < n and 0 <= y < n and rows[y][x][3] >= 128
                    seen = lambda x, y: tuple(round(v * rows[y][x][3] / 255 + w * (1 - rows[y][x][3] / 255))
                                              for v, w in zip(rows[y][x][:3], background))
                    edge = [(x, y) for y in range(n) for x in range(n) if solid(x, y) and
                            not all(solid(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))]
                    shown = [(x, y) for x, y in edge if any(
                        solid(x + dx, y + dy) and contrast(seen(x + dx, y + dy), background) >= 3
                        for dx in (-1, 0, 1) for dy in (-1, 0, 1))]
                    self.assertGreaterEqual(len(shown), 0.9 * len(edge), (i, n, background))

    def test_and_mask_marks_transparent_pixels(self):
        with open(os.path.join(self.fresh, "5000.ico"), "rb") as f:
            _, _, images = read_ico(f.read())
        im = images[0]
        n, a = im["w"], alphas(im)
        mask = im["payload"][40 + n * n * 4:]
        stride = ((n + 31) // 32) * 4
        for row in range(n):
            for col in range(n):
                bit = (mask[row * stride + col // 8] >> (7 - col % 8)) & 1
                self.assertEqual(bit, 1 if a[row * n + col] == 0 else 0)

    def test_contact_sheet_is_a_valid_png(self):
        with open(os.path.join(self.fresh, "contact_sheet.png"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        pos, chunks = 8, []
        while pos < len(data):
            length, kind = struct.unpack_from(">I4s", data, pos)
            body = data[pos + 8:pos + 8 + length]
            crc = struct.unpack_from(">I", data, pos + 8 + length)[0]
            self.assertEqual(crc, zlib.crc32(kind + body) & 0xFFFFFFFF)
            chunks.append((kind, body))
            pos += 12 + length
        self.assertEqual([k for k, _ in chunks], [b"IHDR", b"IDAT", b"IEND"])
        width, height, depth, colour = struct.unpack(">IIBB", chunks[0][1][:10])
        self.assertEqual((depth, colour), (8, 6))
        self.assertEqual(len(zlib.decompress(chunks[1][1])), height * (1 + width * 4))


class PrimitivesTest(unittest.TestCase):
    def test_distances(self):
        self.assertAlmostEqual(draw_icons.circle(0, 0, 2)(3, 4), 3.0)
        self.assertLess(draw_icons.box(0, 0, 10, 10)(5, 5), 0)
        self.assertGreater(draw_icons.box(0, 0, 10, 10)(12, 5), 0)
        square = draw_icons.polygon([(0, 0), (4, 0), (4, 4), (0, 4)])
        self.assertAlmostEqual(square(2, 1), -1.0)
        self.assertAlmostEqual(square(6, 2), 2.0)

    def test_full_coverage_is_opaque_and_straight_alpha(self):
        c = draw_icons.Canvas(16)
        c.fill(draw_icons.box(0, 0, 32, 32), draw_icons.rgb("#336699"))
        c.fill(draw_icons.box(0, 0, 32, 32), draw_icons.rgb("#ffffff", 0.5))
        self.assertEqual(c.pixels()[3][3], (153, 178, 204, 255))
        half = draw_icons.Canvas(16)
        half.fill(draw_icons.box(0, 0, 32, 32), draw_icons.rgb("#ff0000", 0.5))
        self.assertEqual(half.pixels()[0][0], (255, 0, 0, 128))


if __name__ == "__main__":
    unittest.main()

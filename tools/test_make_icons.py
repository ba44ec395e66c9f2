#!/usr/bin/env python3
"""Tests of the icon generator: exact file sizes, byte layout, reproducibility,
the checker that guards the build, and the 256-colour palette."""
import os
import re
import struct
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_icons as mi  # noqa: E402

MESSAGE_ICONS = ["msg%d.ico" % n for n in range(101, 112) if n != 107]
SIZES = {"main.ico": 10134, "archive.ico": 10134, "stub.ico": 1078,
         "cmd.ico": 766, "doc.ico": 766, "pps.ico": 766, "vbs.ico": 766,
         "xls.ico": 766, **{name: 4710 for name in MESSAGE_ICONS}}


def generate(folder):
    assert mi.main(["make_icons.py", folder]) == 0
    out = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            out[name] = f.read()
    return out


class GeneratedFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory() as d:
            cls.files = generate(d)

    def test_every_file_has_its_size_and_is_the_same_on_every_run(self):
        with tempfile.TemporaryDirectory() as d:
            second = generate(d)
        self.assertEqual({n: len(d) for n, d in self.files.items()}, SIZES)
        self.assertEqual(self.files, second)
        # one drawing listed under two names would pass every other check
        self.assertEqual(len(set(self.files.values())), len(self.files))

    def test_images_come_in_the_stated_order(self):
        files = self.files
        full = [(48, 4), (48, 8), (32, 4), (32, 8), (16, 4), (16, 8)]
        message = [(32, 4), (32, 8), (16, 4), (16, 8)]
        expected = {"main.ico": full, "archive.ico": full, "stub.ico": [(32, 4), (16, 4)],
                    "cmd.ico": [(32, 4)], **{name: message for name in MESSAGE_ICONS}}
        for name, images in expected.items():
            self.assertEqual([(w, b) for w, b, *_ in mi.read_ico(files[name])], images, name)

    def test_message_signs_show_in_every_image(self):
        # The white sign sits on the badge; drawn in the wrong order or
        # layer it is covered or lost to the outline at one size or depth.
        for name in ("msg101.ico", "msg102.ico", "msg104.ico", "msg111.ico"):
            for w, bits, palette, idx, clear in mi.read_ico(self.files[name]):
                white = sum(1 for i, t in zip(idx, clear)
                            if not t and palette[i] == (255, 255, 255))
                self.assertGreaterEqual(white, w // 2, "%s %d px %d bit" % (name, w, bits))

    def test_the_build_declares_exactly_the_files_drawn(self):
        # A file drawn but not declared is never redrawn; one declared but
        # not drawn stops the build.
        with open(os.path.join(HERE, "..", "cmake", "QavIcons.cmake"), encoding="utf-8") as f:
            names = re.search(r"set\(names\s([^)]*)\)", f.read()).group(1).split()
        declared = {"QAV_ICON_" + var: stem + ".ico" for var, stem in zip(names[::2], names[1::2])}
        self.assertEqual(sorted(declared.values()), sorted(n for n, *_ in mi.ICONS))
        for n in range(101, 112):
            self.assertEqual(declared.get("QAV_ICON_MSG%d" % n),
                             None if n == 107 else "msg%d.ico" % n)


def one_pixel(size, bits, x, y, colour):
    """A picture with a single opaque pixel."""
    pic = mi.Picture(size, bits)
    pic.px[y * size + x] = colour
    return mi.ico_bytes([pic])


class ByteLayout(unittest.TestCase):
    # Offsets worked out by hand from the format, not from the encoder.

    def test_16_colours_top_left_pixel_lands_in_the_last_row_high_nibble(self):
        data = one_pixel(16, 4, 0, 0, mi.WHITE)
        self.assertEqual(len(data), 6 + 16 + 296)
        xor = 6 + 16 + 40 + 64          # 16 rows of 8 bytes, bottom row first
        mask = xor + 16 * 8             # 16 rows of 4 bytes
        self.assertEqual(data[xor + 15 * 8], 0xF0)
        self.assertEqual(data[xor:xor + 15 * 8], bytes(15 * 8))
        self.assertEqual(data[mask + 15 * 4:mask + 15 * 4 + 2], b"\x7f\xff")
        self.assertEqual(data[mask:mask + 2], b"\xff\xff")
        bi = struct.unpack_from("<IiiHHII", data, 22)
        self.assertEqual(bi, (40, 16, 32, 1, 4, 0, 16 * 8 + 16 * 4))

    def test_256_colours_bottom_right_pixel_is_the_first_row_last_byte(self):
        data = one_pixel(32, 8, 31, 31, (10, 20, 30))
        xor = 6 + 16 + 40 + 1024
        mask = xor + 32 * 32
        index = data[xor + 31]
        self.assertNotEqual(index, 0)
        pal = 6 + 16 + 40 + 4 * index
        self.assertEqual(data[pal:pal + 4], bytes((30, 20, 10, 0)))   # B, G, R, 0
        self.assertEqual(data[mask:mask + 4], b"\xff\xff\xff\xfe")
        self.assertEqual(data[0:6], struct.pack("<HHH", 0, 1, 1))
        self.assertEqual(struct.unpack_from("<BBBBHHII", data, 6),
                         (32, 32, 0, 0, 1, 8, 40 + 1024 + 1024 + 128, 22))


class Checker(unittest.TestCase):
    """read_ico is what stops a broken file from reaching the programs."""

    def test_damaged_files_are_rejected(self):
        good = mi.ico_bytes([mi.main_icon(32, 4), mi.main_icon(16, 8)])
        mi.read_ico(good)
        first = 6 + 32                   # first image's BITMAPINFOHEADER

        def patch(at, fmt, value):
            d = bytearray(good)
            struct.pack_into(fmt, d, at, value)
            return bytes(d)
        damaged = {
            "truncated": good[:-1],
            "trailing_byte": good + b"\0",
            "size_image_wrong": patch(first + 20, "<I", 0),
            "height_not_doubled": patch(first + 8, "<i", 32),
            "second_offset_wrong": patch(6 + 16 + 12, "<I", 1000),
            "colour_count_wrong": patch(6 + 2, "<B", 0),
            # a masked pixel whose colour is not black would show on screen
            "visible_transparent_pixel": patch(first + 40 + 64, "<B", 0xFF),
        }
        for fault, data in damaged.items():
            with self.subTest(fault):
                self.assertRaises(ValueError, mi.read_ico, data)


class Palette(unittest.TestCase):
    def test_more_than_255_colours_fit_the_palette_closely(self):
        pic = mi.Picture(48, 8)
        for y in range(48):
            for x in range(48):
                if (x, y) != (0, 0):
                    pic.px[y * 48 + x] = (x * 5, y * 5, (x * y) % 256)
        palette, idx = mi.quantize(pic.px)
        self.assertEqual(len(palette), 256)
        self.assertEqual(palette[0], (0, 0, 0))
        self.assertEqual(idx[0], 0)
        self.assertNotIn(0, idx[1:])
        worst = max(max(abs(a - b) for a, b in zip(c, palette[i]))
                    for c, i in zip(pic.px[1:], idx[1:]))
        self.assertLessEqual(worst, 32)   # a broken cut is off by 100 and more
        # and the whole image still passes the checker
        mi.read_ico(mi.ico_bytes([pic]))


if __name__ == "__main__":
    unittest.main()

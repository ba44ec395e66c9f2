#!/usr/bin/env python3
"""Draw QAV's icons and write them as classic .ico files.

Every picture is drawn here by code, so the repository holds no image of
unknown origin and a build always produces the same bytes.

    make_icons.py <out dir>               write the icon files (see ICONS)
    make_icons.py <out dir> --png <dir>   also write every image, enlarged, as PNG

Files written: main.ico and archive.ico (48, 32 and 16 pixels, each in 16 and
256 colours: 10134 bytes), stub.ico (32 and 16 pixels in 16 colours: 1078
bytes), cmd.ico, doc.ico, pps.ico, vbs.ico and xls.ico (one 32 x 32 image in
16 colours: 766 bytes), and the message-box icons msg101.ico to msg111.ico
without msg107.ico, whose place the archive icon takes (32 and 16 pixels, each
in 16 and 256 colours: 4710 bytes). The sizes are fixed because the programs
carry and write these files whole; every file is parsed back and checked
before it is written, and a wrong size fails the build.

Format: BITMAPINFOHEADER with the height doubled, the colour bitmap bottom-up
with rows padded to 4 bytes, then the 1-bit transparency mask, also bottom-up
and padded. 16-colour images use the standard VGA palette; 256-colour images
get a palette made for the picture (index 0 is black, the colour of every
transparent pixel).

Only the Python standard library is used. Geometry uses + - * / and sqrt
only, which IEEE arithmetic rounds the same way everywhere, so the output is
identical on every machine.
"""
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- palette

VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


class Paint:
    """A colour for both depths: rgb (tuple, or f(x, y) -> tuple of ints) for
    256-colour images, a VGA index for 16-colour ones."""

    def __init__(self, rgb, vga):
        self.rgb = rgb if callable(rgb) else (lambda x, y, c=tuple(rgb): c)
        self.vga = vga


def vertical(top, bottom, y0, y1):
    """rgb function: a vertical gradient from top (at y0) to bottom (at y1)."""
    def f(x, y):
        t = (y - y0) / (y1 - y0)
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        return tuple(int(a + (b - a) * t + 0.5) for a, b in zip(top, bottom))
    return f


# ---------------------------------------------------------------- shapes
# A shape is a predicate over continuous coordinates in pixels, origin at the
# top-left corner, y downwards. Pixel (px, py) covers [px, px+1) x [py, py+1).

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def poly(points):
    """Inside test by crossings (even-odd), for any simple polygon."""
    pts = list(points)

    def inside(x, y):
        c = False
        n = len(pts)
        for i in range(n):
            ax, ay = pts[i]
            bx, by = pts[(i + 1) % n]
            if (ay > y) != (by > y):
                if x < ax + (y - ay) * (bx - ax) / (by - ay):
                    c = not c
        return c
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r


def ellipse(cx, cy, rx, ry):
    def inside(x, y):
        u, v = (x - cx) / rx, (y - cy) / ry
        return u * u + v * v <= 1.0
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def inter(*shapes):
    return lambda x, y: all(s(x, y) for s in shapes)


def parallelogram(origin, e1, e2, test):
    """Points origin + u*e1 + v*e2; test(u, v) decides, with u, v in [0, 1)
    covering the face. Used for the faces of the box and the straps on them."""
    ox, oy = origin
    det = e1[0] * e2[1] - e1[1] * e2[0]

    def inside(x, y):
        dx, dy = x - ox, y - oy
        u = (dx * e2[1] - dy * e2[0]) / det
        v = (e1[0] * dy - e1[1] * dx) / det
        return 0 <= u < 1 and 0 <= v < 1 and test(u, v)
    return inside


ALL = lambda u, v: True  # noqa: E731


# ---------------------------------------------------------------- canvas

class Layer:
    """One opaque object: drawn with supersampling (256 colours) or one sample
    per pixel (16 colours), then reduced to pixels and given a 1-pixel outline
    along its silhouette, so that every object has the same crisp edge."""

    def __init__(self, size, bits):
        self.size, self.bits = size, bits
        # Smoothing pays off from 32 pixels up; at 16 it only blurs.
        self.ss = 4 if bits == 8 and size >= 32 else 1
        n = size * self.ss
        self.samples = [None] * (n * n)

    def fill(self, shape, paint):
        ss, n = self.ss, self.size * self.ss
        for sy in range(n):
            y = (sy + 0.5) / ss
            row = sy * n
            for sx in range(n):
                x = (sx + 0.5) / ss
                if shape(x, y):
                    if self.bits == 8:
                        self.samples[row + sx] = paint.rgb(x, y)
                    else:
                        self.samples[row + sx] = paint.vga

    def art(self, x0, y0, rows, key):
        """Pixel art: one character per pixel, '.' leaves it untouched."""
        for r, row in enumerate(rows):
            for c, ch in enumerate(row):
                if ch != ".":
                    x, y = x0 + c, y0 + r
                    self.fill(rect(x, y, x + 1, y + 1), key[ch])

    def pixels(self):
        """Pixel colours (rgb tuple or VGA index), None where transparent.
        A pixel is opaque when more than half of it is covered; it takes the
        mean colour of its covered part (never blended with the background)."""
        ss, size, n = self.ss, self.size, self.size * self.ss
        out = [None] * (size * size)
        for py in range(size):
            for px in range(size):
                got = []
                for sy in range(py * ss, py * ss + ss):
                    for sx in range(px * ss, px * ss + ss):
                        s = self.samples[sy * n + sx]
                        if s is not None:
                            got.append(s)
                if 2 * len(got) <= ss * ss:
                    continue
                if self.bits == 4:
                    out[py * size + px] = got[0]
                else:
                    k = len(got)
                    out[py * size + px] = tuple(
                        (sum(c[i] for c in got) + k // 2) // k for i in range(3))
        return out


class Picture:
    """The image being built, as layers composed in order."""

    def __init__(self, size, bits):
        self.size, self.bits = size, bits
        self.px = [None] * (size * size)

    def layer(self):
        return Layer(self.size, self.bits)

    def put(self, layer, outline=None):
        """Compose a layer; outline: None for a darkened edge (256 colours)
        or black (16 colours); False for no outline; a Paint otherwise."""
        size = self.size
        lp = layer.pixels()
        if outline is not False:
            edge = []
            for py in range(size):
                for px in range(size):
                    if lp[py * size + px] is None:
                        continue
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        qx, qy = px + dx, py + dy
                        if not (0 <= qx < size and 0 <= qy < size) or lp[qy * size + qx] is None:
                            edge.append((px, py))
                            break
            for px, py in edge:
                c = lp[py * size + px]
                if self.bits == 8:
                    lp[py * size + px] = (darken(c) if outline is None
                                          else outline.rgb(px + 0.5, py + 0.5))
                else:
                    lp[py * size + px] = BLACK if outline is None else outline.vga
        for i, c in enumerate(lp):
            if c is not None:
                self.px[i] = c


def darken(c):
    return tuple(v * 2 // 5 for v in c)


# ---------------------------------------------------------------- designs

# The box: white lid, teal sides, green strap; it sits well on the main
# window's light green. 16-colour forms: white, aqua, teal, lime, green.
BOX_TOP = ((246, 255, 250), (212, 244, 232))
BOX_LEFT = ((128, 226, 206), (92, 202, 182))
BOX_RIGHT = ((34, 146, 130), (20, 112, 102))
STRAP_TOP = ((92, 206, 110), (70, 188, 92))
STRAP_LEFT = ((62, 178, 84), (44, 154, 68))
STRAP_RIGHT = ((32, 124, 58), (22, 100, 46))
BOX_EDGE = (14, 66, 58)
PAPER = ((255, 255, 255), (234, 240, 238))
PAPER_FOLD = (200, 214, 210)
PAPER_LINE = (150, 170, 166)


def draw_box(pic, x0, y0, w, h, strap):
    """An isometric parcel w wide and w/2 + h tall, its top corner at
    (x0 + w/2, y0). strap: the band's width as a part of a face, 0 for none."""
    cx = x0 + w / 2
    T = (cx, y0)
    R = (x0 + w, y0 + w / 4)
    L = (x0, y0 + w / 4)
    B = (cx, y0 + w / 2)
    e_tr = (R[0] - T[0], R[1] - T[1])
    e_tl = (L[0] - T[0], L[1] - T[1])
    down = (0, h)
    lay = pic.layer()
    half = strap / 2
    band = lambda u, v: abs(u - 0.5) < half  # noqa: E731
    band_v = lambda u, v: abs(v - 0.5) < half  # noqa: E731
    # Faces, each with its own light: top brightest, right darkest.
    top = parallelogram(T, e_tr, e_tl, ALL)
    left = parallelogram(L, (B[0] - L[0], B[1] - L[1]), down, ALL)
    right = parallelogram(B, (R[0] - B[0], R[1] - B[1]), down, ALL)
    y1 = y0 + w / 2 + h
    lay.fill(top, Paint(vertical(*BOX_TOP, y0, B[1]), WHITE))
    lay.fill(left, Paint(vertical(*BOX_LEFT, L[1], y1), AQUA))
    lay.fill(right, Paint(vertical(*BOX_RIGHT, R[1], y1), TEAL))
    if strap:
        # Two straps cross on the lid and run down the middle of each side.
        lay.fill(parallelogram(T, e_tr, e_tl, lambda u, v: band(u, v) or band_v(u, v)),
                 Paint(vertical(*STRAP_TOP, y0, B[1]), LIME))
        lay.fill(parallelogram(L, (B[0] - L[0], B[1] - L[1]), down, band),
                 Paint(vertical(*STRAP_LEFT, L[1], y1), GREEN))
        lay.fill(parallelogram(B, (R[0] - B[0], R[1] - B[1]), down, band),
                 Paint(vertical(*STRAP_RIGHT, R[1], y1), GREEN))
    pic.put(lay, Paint(BOX_EDGE, BLACK))


# Below 32 pixels a sampled box turns into a blob, so the small ones are
# drawn pixel by pixel on the same 2:1 grid.
PARCEL_16 = [
    "......kkkk......",
    "....kkTTTTkk....",
    "..kkSSTTTTSSkk..",
    "kkTTTTSSSSTTTTkk",
    "kLTTTTSSSSTTTTRk",
    "kLLLSSTTTTSSRRRk",
    "kLLLMMTTTTNNRRRk",
    "kLLLMMLLRRNNRRRk",
    "kLLLMMLLRRNNRRRk",
    "kLLLMMLLRRNNRRRk",
    "kLLLMMLLRRNNRRRk",
    "kLLLMMLLRRNNRRRk",
    "kkLLMMLLRRNNRRkk",
    "..kkMMLLRRNNkk..",
    "....kkLLRRkk....",
    "......kkkk......",
]
PARCEL_10 = [
    "....kk....",
    "..kkTTkk..",
    "kkTTSSTTkk",
    "kLSSTTSSRk",
    "kLMMTTNNRk",
    "kLMMLRNNRk",
    "kLMMLRNNRk",
    "kLMMLRNNRk",
    "kkMMLRNNkk",
    "..kkLRkk..",
    "....kk....",
]


def parcel_art(pic, x0, y0, rows):
    h = len(rows)
    key = {
        "k": Paint(BOX_EDGE, BLACK),
        "T": Paint(vertical(*BOX_TOP, y0, y0 + h / 2), WHITE),
        "S": Paint(vertical(*STRAP_TOP, y0, y0 + h / 2), LIME),
        "L": Paint(vertical(*BOX_LEFT, y0 + h / 4, y0 + h), AQUA),
        "M": Paint(vertical(*STRAP_LEFT, y0 + h / 4, y0 + h), GREEN),
        "R": Paint(vertical(*BOX_RIGHT, y0 + h / 4, y0 + h), TEAL),
        "N": Paint(vertical(*STRAP_RIGHT, y0 + h / 4, y0 + h), GREEN),
    }
    lay = pic.layer()
    lay.art(x0, y0, rows, key)
    pic.put(lay, outline=False)


def main_icon(size, bits):
    pic = Picture(size, bits)
    if size == 48:
        draw_box(pic, 2, 2, 44, 22, 0.16)
    elif size == 32:
        draw_box(pic, 1, 1, 30, 15, 0.2)
    else:
        parcel_art(pic, 0, 0, PARCEL_16)
    return pic


def draw_page(pic, x0, y0, x1, y1, fold, lines=None):
    """A white page with its top-right corner folded; lines: (left, right,
    first y, step, count) of grey text lines."""
    lay = pic.layer()
    body = poly([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    lay.fill(body, Paint(vertical(*PAPER, y0, y1), WHITE))
    lay.fill(poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)]),
             Paint(PAPER_FOLD, SILVER))
    if lines:
        lx0, lx1, ly, step, count = lines
        for i in range(count):
            lay.fill(rect(lx0, ly + i * step, lx1, ly + i * step + 1), Paint(PAPER_LINE, SILVER))
    pic.put(lay)


def archive_icon(size, bits):
    pic = Picture(size, bits)
    if size == 48:
        draw_page(pic, 4, 1, 38, 47, 10, (9, 29, 10, 4, 3))
        draw_box(pic, 16, 19, 32, 13, 0.2)
    elif size == 32:
        draw_page(pic, 2, 0, 26, 32, 7, (6, 18, 7, 3, 3))
        draw_box(pic, 10, 12, 22, 9, 0.24)
    else:
        draw_page(pic, 1, 0, 13, 16, 4, (3, 8, 4, 2, 2))
        parcel_art(pic, 6, 5, PARCEL_10)
    return pic


def stub_icon(size, bits):
    return main_icon(size, bits)


# -- the five document-type icons: 32 x 32, 16 colours, pixel-aligned shapes.

def vga(i):
    return Paint(VGA[i], i)


GLYPHS = {  # 3 x 5 pixel letters for the console prompt
    "C": [".##", "#..", "#..", "#..", ".##"],
    ":": ["...", ".#.", "...", ".#.", "..."],
    "\\": ["#..", "#..", ".#.", "..#", "..#"],
    ">": ["#..", ".#.", "..#", ".#.", "#.."],
    "_": ["...", "...", "...", "...", "###"],
}


def text(lay, x, y, s, paint):
    for ch in s:
        for r, row in enumerate(GLYPHS[ch]):
            for c, cell in enumerate(row):
                if cell == "#":
                    lay.fill(rect(x + c, y + r, x + c + 1, y + r + 1), paint)
        x += 4


def cmd_icon(size, bits):
    pic = Picture(size, bits)
    lay = pic.layer()
    lay.fill(rect(1, 3, 31, 29), vga(SILVER))          # window frame
    lay.fill(rect(2, 4, 30, 9), vga(NAVY))             # title bar
    lay.fill(rect(3, 5, 7, 8), vga(SILVER))            # system menu box
    lay.fill(rect(4, 6, 6, 7), vga(BLACK))
    lay.fill(rect(25, 5, 29, 8), vga(SILVER))          # close box
    lay.fill(rect(3, 10, 29, 27), vga(BLACK))          # console area
    text(lay, 5, 12, "C:\\>", vga(SILVER))
    lay.fill(rect(21, 16, 24, 17), vga(WHITE))         # cursor
    lay.fill(rect(5, 19, 15, 20), vga(GRAY))           # earlier output
    lay.fill(rect(5, 22, 19, 23), vga(GRAY))
    pic.put(lay)
    return pic


def doc_icon(size, bits):
    pic = Picture(size, bits)
    lay = pic.layer()
    lay.fill(poly([(5, 1), (20, 1), (27, 8), (27, 31), (5, 31)]), vga(WHITE))
    lay.fill(poly([(20, 1), (20, 8), (27, 8)]), vga(SILVER))
    lay.fill(rect(20, 1, 21, 9), vga(GRAY))
    lay.fill(rect(20, 8, 27, 9), vga(GRAY))
    lay.fill(rect(8, 5, 17, 7), vga(BLUE))             # heading
    for i, right in enumerate((24, 22, 24, 19, 24, 23, 16)):
        y = 11 + i * 3
        lay.fill(rect(8, y, right, y + 1), vga(GRAY if i % 3 else NAVY))
    pic.put(lay)
    return pic


def pps_icon(size, bits):
    pic = Picture(size, bits)
    stand = pic.layer()
    stand.fill(rect(15, 22, 17, 29), vga(GRAY))         # post
    stand.fill(poly([(16, 26), (8, 31), (10, 31), (16, 28), (22, 31), (24, 31)]), vga(GRAY))
    pic.put(stand)
    screen = pic.layer()
    screen.fill(rect(1, 2, 31, 5), vga(GRAY))           # roller
    screen.fill(rect(2, 4, 30, 24), vga(WHITE))         # slide
    screen.fill(rect(5, 7, 22, 9), vga(NAVY))           # title
    # a bar chart
    screen.fill(rect(6, 18, 10, 21), vga(RED))
    screen.fill(rect(11, 14, 15, 21), vga(YELLOW))
    screen.fill(rect(16, 11, 20, 21), vga(GREEN))
    screen.fill(rect(21, 15, 25, 21), vga(BLUE))
    screen.fill(rect(5, 21, 27, 22), vga(BLACK))        # axis
    pic.put(screen)
    return pic


def gear(cx, cy, r_in, r_out, hole, tooth):
    """Eight teeth on the axes and diagonals."""
    d = math.sqrt(0.5)  # correctly rounded everywhere, unlike pow
    axes = [(1.0, 0.0), (0.0, 1.0), (d, d), (d, -d)]

    def inside(x, y):
        dx, dy = x - cx, y - cy
        rr = dx * dx + dy * dy
        if rr <= hole * hole or rr > r_out * r_out:
            return False
        if rr <= r_in * r_in:
            return True
        return any(abs(dx * ay - dy * ax) < tooth for ax, ay in axes)
    return inside


def vbs_icon(size, bits):
    pic = Picture(size, bits)
    scroll = pic.layer()
    scroll.fill(rect(5, 6, 22, 26), vga(YELLOW))                 # the sheet
    scroll.fill(rect(20, 6, 22, 26), vga(OLIVE))                 # its shaded edge
    # A roll at each end: a cylinder lit from above, its other end showing
    # the curl of the paper.
    for x0, x1, y0, cx in ((4, 24, 1, 4.0), (3, 23, 24, 4.0)):
        cy = y0 + 3.0
        far = x1 if cx < x1 else x0
        scroll.fill(union(rect(x0, y0, x1, y0 + 6), ellipse(far, cy, 1.5, 3.0)), vga(YELLOW))
        scroll.fill(union(rect(x0, y0 + 4, x1, y0 + 6),
                          inter(ellipse(far, cy, 1.5, 3.0), rect(0, y0 + 4, 32, y0 + 6))),
                    vga(OLIVE))
        scroll.fill(circle(cx, cy, 3.0), vga(BLACK))
        scroll.fill(circle(cx, cy, 2.0), vga(YELLOW))
        scroll.fill(rect(cx - 0.5, cy - 0.5, cx + 0.5, cy + 1.5), vga(OLIVE))
    for i, (x0, x1) in enumerate(((8, 17), (10, 19), (10, 15), (8, 16))):
        y = 10 + i * 3
        scroll.fill(rect(x0, y, x1, y + 1), vga(MAROON if i % 2 == 0 else BLUE))
    pic.put(scroll)
    cog = pic.layer()
    cog.fill(gear(23.5, 23.5, 5.2, 8.2, 0, 1.5), vga(SILVER))
    cog.fill(circle(23.5, 23.5, 2.8), vga(GRAY))
    cog.fill(circle(23.5, 23.5, 1.5), vga(BLACK))
    pic.put(cog)
    return pic


def xls_icon(size, bits):
    pic = Picture(size, bits)
    lay = pic.layer()
    x0, y0, x1, y1 = 2, 3, 30, 29
    lay.fill(rect(x0, y0, x1, y1), vga(WHITE))
    lay.fill(rect(x0, y0, x1, y0 + 5), vga(GREEN))        # column headers
    lay.fill(rect(x0, y0, x0 + 5, y1), vga(GREEN))        # row headers
    lay.fill(rect(9, 12, 17, 15), vga(LIME))              # a selected cell
    cols = (7, 15, 23)
    rows = (8, 12, 16, 20, 24)
    for x in cols:
        lay.fill(rect(x, y0, x + 1, y1), vga(GRAY))
    for y in rows:
        lay.fill(rect(x0, y, x1, y + 1), vga(GRAY))
    lay.fill(rect(8, 11, 17, 12), vga(BLACK))             # its frame
    lay.fill(rect(8, 15, 17, 16), vga(BLACK))
    lay.fill(rect(8, 11, 9, 16), vga(BLACK))
    lay.fill(rect(16, 11, 17, 16), vga(BLACK))
    pic.put(lay)
    return pic


# -- the message-box icons, 101 to 111 less the archive's 107: 32 pixels drawn
# from shapes on a 32-unit grid, 16 pixels drawn pixel by pixel (sampled at
# that size the glyphs break up). Each put() outlines the silhouette, so the
# 16-pixel art gives the whole silhouette and its rim becomes the edge.

def capsule(ax, ay, bx, by, r):
    """A stroke from a to b, r thick on each side, with round ends."""
    ex, ey = bx - ax, by - ay
    ll = ex * ex + ey * ey

    def inside(x, y):
        t = ((x - ax) * ex + (y - ay) * ey) / ll
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        dx, dy = x - ax - t * ex, y - ay - t * ey
        return dx * dx + dy * dy <= r * r
    return inside


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in < (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r_out * r_out


def round_rect(x0, y0, x1, y1, r):
    return union(rect(x0 + r, y0, x1 - r, y1), rect(x0, y0 + r, x1, y1 - r),
                 circle(x0 + r, y0 + r, r), circle(x1 - r, y0 + r, r),
                 circle(x0 + r, y1 - r, r), circle(x1 - r, y1 - r, r))


def paint(colour, vga_index, size):
    """colour: one rgb, or (top, bottom) for a gradient down the whole image."""
    if isinstance(colour[0], tuple):
        return Paint(vertical(colour[0], colour[1], 0, size), vga_index)
    return Paint(colour, vga_index)


class Sketch:
    """One layer of a message icon: shapes in 32-unit coordinates at 32
    pixels, pixel art at 16."""

    def __init__(self, pic):
        self.pic, self.lay, self.k = pic, pic.layer(), 32 / pic.size

    def fill(self, shape, colour, vga_index):
        k = self.k
        self.lay.fill(lambda x, y: shape(x * k, y * k), paint(colour, vga_index, self.pic.size))

    def art(self, rows, key):
        """key: character -> (colour, VGA index)."""
        size = self.pic.size
        if len(rows) != size or any(len(r) != size for r in rows):
            raise ValueError("%d-pixel art is not %d x %d" % (size, size, size))
        self.lay.art(0, 0, rows, {ch: paint(c, v, size) for ch, (c, v) in key.items()})

    def put(self):
        self.pic.put(self.lay)


MSG_WHITE = (255, 255, 255)
MSG_INK = (24, 24, 32)
MSG_RED = ((255, 118, 96), (172, 0, 0))
MSG_BLUE = ((112, 176, 255), (16, 72, 196))
MSG_YELLOW = ((255, 240, 128), (236, 164, 0))
MSG_GREEN = ((124, 222, 112), (18, 132, 40))
MSG_STEEL = ((236, 240, 246), (124, 134, 150))
MSG_GOLD = ((255, 224, 110), (210, 144, 10))
MSG_TAN_BACK = ((236, 186, 80), (196, 134, 26))
MSG_TAN_FRONT = ((255, 230, 146), (238, 178, 56))
MSG_FACE = ((255, 255, 255), (222, 230, 240))
MSG_TICK = (128, 138, 152)

def badge(size, bits, colour, vga_index, glyph32, glyph16, ink, ink_vga):
    """A round badge with a glyph: the shape at 32 pixels, art rows at 16
    ('w' marks the glyph)."""
    pic = Picture(size, bits)
    s = Sketch(pic)
    if size == 16:
        s.art(glyph16, {"#": (colour, vga_index), "w": (ink, ink_vga)})
    else:
        s.fill(circle(16, 16, 15), colour, vga_index)
        s.fill(glyph32, ink, ink_vga)
    s.put()
    return pic


STOP_16 = [
    ".....######.....",
    "...##########...",
    "..############..",
    ".##############.",
    ".###ww####ww###.",
    "####www##www####",
    "#####wwwwww#####",
    "######wwww######",
    "######wwww######",
    "#####wwwwww#####",
    "####www##www####",
    ".###ww####ww###.",
    ".##############.",
    "..############..",
    "...##########...",
    ".....######.....",
]


def stop_icon(size, bits):
    return badge(size, bits, MSG_RED, RED,
                 union(capsule(10.5, 10.5, 21.5, 21.5, 2.3), capsule(21.5, 10.5, 10.5, 21.5, 2.3)),
                 STOP_16, MSG_WHITE, WHITE)


QUESTION_16 = [
    ".....######.....",
    "...##########...",
    "..####wwww####..",
    ".####ww##ww####.",
    ".########ww####.",
    ".#######ww#####.",
    ".######ww######.",
    ".######ww######.",
    ".##############.",
    ".######ww######.",
    ".######ww######.",
    "..############..",
    "...##########...",
    "...########.....",
    "..###...........",
    ".##.............",
]


def question_icon(size, bits):
    pic = Picture(size, bits)
    s = Sketch(pic)
    if size == 16:
        s.art(QUESTION_16, {"#": (MSG_BLUE, BLUE), "w": (MSG_WHITE, WHITE)})
    else:
        s.fill(union(circle(16, 14.5, 14), poly([(6, 21), (14, 27), (3, 31)])), MSG_BLUE, BLUE)
        hook = inter(ring(16, 11, 6.5, 3),
                     lambda x, y: y <= 11 or (x >= 16 and y <= 14))
        s.fill(union(hook, poly([(14.25, 15), (20.5, 12), (21.5, 14.5), (17.75, 17)]),
                     rect(14.25, 15, 17.75, 19.5), circle(16, 23.5, 2.2)), MSG_WHITE, WHITE)
    s.put()
    return pic


WARNING_16 = [
    "................",
    ".......##.......",
    "......####......",
    "......####......",
    ".....######.....",
    ".....##kk##.....",
    "....###kk###....",
    "....###kk###....",
    "...####kk####...",
    "...####kk####...",
    "..############..",
    "..#####kk#####..",
    ".######kk######.",
    ".##############.",
    "################",
    "################",
]


def warning_icon(size, bits):
    pic = Picture(size, bits)
    s = Sketch(pic)
    if size == 16:
        s.art(WARNING_16, {"#": (MSG_YELLOW, YELLOW), "k": (MSG_INK, BLACK)})
    else:
        a, b, c = (16, 4.5), (28.5, 27), (3.5, 27)
        s.fill(union(poly([a, b, c]), capsule(*a, *b, 2.5), capsule(*b, *c, 2.5),
                     capsule(*c, *a, 2.5)), MSG_YELLOW, YELLOW)
        s.fill(union(circle(16, 11, 2), poly([(14, 11), (18, 11), (17.1, 20.5), (14.9, 20.5)]),
                     circle(16, 24.2, 2)), MSG_INK, BLACK)
    s.put()
    return pic


INFO_16 = [
    ".....######.....",
    "...##########...",
    "..############..",
    ".######ww######.",
    ".######ww######.",
    "################",
    "######www#######",
    "#######ww#######",
    "#######ww#######",
    "#######ww#######",
    "#######ww#######",
    ".#####wwww#####.",
    ".##############.",
    "..############..",
    "...##########...",
    ".....######.....",
]


def info_icon(size, bits):
    return badge(size, bits, MSG_BLUE, BLUE,
                 union(circle(16, 8.5, 2.4), rect(14, 13, 18, 24.5), rect(12.5, 13, 18, 15),
                       rect(12.5, 22.5, 19.5, 24.5)),
                 INFO_16, MSG_WHITE, WHITE)


SHACKLE_16 = [
    "....########....",
    "...##########...",
    "..####....####..",
    "..###......###..",
    "..###......###..",
    "..###......###..",
    "..###......###..",
    "..###......###..",
] + ["." * 16] * 8
LOCK_16 = ["." * 16] * 7 + [
    ".##############.",
    ".##############.",
    ".######kk######.",
    ".#####kkkk#####.",
    ".######kk######.",
    ".######kk######.",
    ".######kk######.",
    ".##############.",
    ".##############.",
]


def lock_icon(size, bits):
    pic = Picture(size, bits)
    s = Sketch(pic)
    if size == 16:
        s.art(SHACKLE_16, {"#": (MSG_STEEL, SILVER)})
    else:
        s.fill(union(inter(ring(16, 12, 9, 5.5), lambda x, y: y <= 12),
                     rect(7, 12, 10.5, 17), rect(21.5, 12, 25, 17)), MSG_STEEL, SILVER)
    s.put()
    s = Sketch(pic)
    if size == 16:
        s.art(LOCK_16, {"#": (MSG_GOLD, YELLOW), "k": (MSG_INK, BLACK)})
    else:
        s.fill(round_rect(4, 15, 28, 30, 2), MSG_GOLD, YELLOW)
        s.fill(union(circle(16, 20.5, 3), poly([(14.4, 21), (17.6, 21), (18.4, 27), (13.6, 27)])),
               MSG_INK, BLACK)
    s.put()
    return pic


TRAY_16 = ["." * 16] * 10 + [
    ".###........###.",
    ".###........###.",
    ".###........###.",
    ".##############.",
    ".##############.",
    ".##############.",
]
ARROW_16 = [
    "......####......",
    "......####......",
    "......####......",
    "......####......",
    "......####......",
    "......####......",
    "..############..",
    "...##########...",
    "....########....",
    ".....######.....",
    "......####......",
    ".......##.......",
] + ["." * 16] * 4


def download_icon(size, bits):
    pic = Picture(size, bits)
    s = Sketch(pic)
    if size == 16:
        s.art(TRAY_16, {"#": (MSG_STEEL, SILVER)})
    else:
        s.fill(union(rect(2, 20, 7, 30), rect(25, 20, 30, 30), rect(2, 25, 30, 30)),
               MSG_STEEL, SILVER)
    s.put()
    s = Sketch(pic)
    if size == 16:
        s.art(ARROW_16, {"#": (MSG_GREEN, LIME)})
    else:
        s.fill(union(rect(11.5, 1, 20.5, 13), poly([(4, 12), (28, 12), (16, 24)])),
               MSG_GREEN, LIME)
    s.put()
    return pic


FOLDER_BACK_16 = [
    "................",
    ".######.........",
    "########........",
] + ["################"] * 12 + ["." * 16]
FOLDER_PAPER_16 = ["." * 16] * 4 + ["..############.."] * 4 + ["." * 16] * 8
FOLDER_FRONT_16 = ["." * 16] * 6 + ["################"] * 9 + ["." * 16]


def folder_icon(size, bits):
    pic = Picture(size, bits)
    parts = ((FOLDER_BACK_16, poly([(1, 3), (12, 3), (15, 6), (31, 6), (31, 29), (1, 29)]),
              MSG_TAN_BACK, OLIVE),
             (FOLDER_PAPER_16, rect(4, 8, 28, 16), MSG_WHITE, WHITE),
             (FOLDER_FRONT_16, rect(1, 12, 31, 29), MSG_TAN_FRONT, YELLOW))
    for art, shape, colour, vga_index in parts:
        s = Sketch(pic)
        if size == 16:
            s.art(art, {"#": (colour, vga_index)})
        else:
            s.fill(shape, colour, vga_index)
        s.put()
    return pic


GEAR_16 = [
    "......####......",
    "..##..####..##..",
    ".####.####.####.",
    ".##############.",
    "..############..",
    "..#####..#####..",
    "######....######",
    "#####......#####",
    "#####......#####",
    "######....######",
    "..#####..#####..",
    "..############..",
    ".##############.",
    ".####.####.####.",
    "..##..####..##..",
    "......####......",
]


def settings_icon(size, bits):
    pic = Picture(size, bits)
    s = Sketch(pic)
    if size == 16:
        s.art(GEAR_16, {"#": (MSG_STEEL, SILVER)})
    else:
        s.fill(gear(16, 16, 10, 15, 4.5, 3.2), MSG_STEEL, SILVER)
    s.put()
    return pic


CLOCK_16 = [
    ".....######.....",
    "...##########...",
    "..####wwww####..",
    ".###wwwkwwww###.",
    ".##wwwwkwwwww##.",
    "###wwwwkwwwww###",
    "##wwwwwkwwwwww##",
    "##wwwwwkwwwwww##",
    "##wtwwwkkkkkww##",
    "##wwwwwwwwwwww##",
    "###wwwwwwwwww###",
    ".##wwwwwwwwww##.",
    ".###wwwtwwww###.",
    "..####wwww####..",
    "...##########...",
    ".....######.....",
]


def clock_icon(size, bits):
    pic = Picture(size, bits)
    s = Sketch(pic)
    if size == 16:
        s.art(CLOCK_16, {"#": (MSG_BLUE, BLUE), "w": (MSG_FACE, WHITE),
                         "t": (MSG_TICK, GRAY), "k": (MSG_INK, BLACK)})
    else:
        s.fill(circle(16, 16, 15), MSG_BLUE, BLUE)
        s.fill(circle(16, 16, 12), MSG_FACE, WHITE)
        for x0, y0, x1, y1 in ((15, 5, 17, 8), (24, 15, 27, 17), (15, 24, 17, 27), (5, 15, 8, 17)):
            s.fill(rect(x0, y0, x1, y1), MSG_TICK, GRAY)
        s.fill(union(capsule(16, 16, 16, 7.5, 1.1), capsule(16, 16, 21.5, 16, 1.4)),
               MSG_INK, BLACK)
    s.put()
    return pic


DONE_16 = [
    ".....######.....",
    "...##########...",
    "..############..",
    ".##############.",
    ".###########ww#.",
    "###########www##",
    "##########www###",
    "###ww####www####",
    "###www##www#####",
    "####wwwwww######",
    "#####wwww#######",
    ".#####ww#######.",
    ".##############.",
    "..############..",
    "...##########...",
    ".....######.....",
]


def done_icon(size, bits):
    return badge(size, bits, MSG_GREEN, GREEN,
                 union(capsule(8.5, 16.5, 13.5, 21.5, 2.3), capsule(13.5, 21.5, 23, 10.5, 2.3)),
                 DONE_16, MSG_WHITE, WHITE)


# ---------------------------------------------------------------- encoding

def quantize(px):
    """Palette of at most 256 colours for a 256-colour image, index 0 black.
    Median cut over the distinct colours, with every tie broken by value, so
    the result depends on nothing but the picture."""
    colours = sorted(set(c for c in px if c is not None))
    if len(colours) <= 255:
        palette = [(0, 0, 0)] + colours
    else:
        boxes = [colours]
        while len(boxes) < 255:
            best, span, chan = -1, 0, 0
            for i, b in enumerate(boxes):
                if len(b) < 2:
                    continue
                for ch in range(3):
                    s = max(c[ch] for c in b) - min(c[ch] for c in b)
                    if s > span:
                        best, span, chan = i, s, ch
            if best < 0:
                break
            b = sorted(boxes[best], key=lambda c: (c[chan], c))
            mid = len(b) // 2
            boxes[best:best + 1] = [b[:mid], b[mid:]]
        palette = [(0, 0, 0)] + sorted(
            tuple((sum(c[i] for c in b) + len(b) // 2) // len(b) for i in range(3))
            for b in boxes)
    palette += [(0, 0, 0)] * (256 - len(palette))
    lookup = {}

    def index(c):
        if c not in lookup:
            # nearest palette colour; index 0 stays for transparency
            lookup[c] = min(range(1, 256), key=lambda i: (
                sum((a - b) * (a - b) for a, b in zip(c, palette[i])), i))
        return lookup[c]
    return palette, [0 if c is None else index(c) for c in px]


def image_bytes(pic):
    """One icon image: BITMAPINFOHEADER, palette, colour bits, mask bits."""
    size, bits = pic.size, pic.bits
    if bits == 4:
        palette = VGA
        idx = [0 if c is None else c for c in pic.px]
    else:
        palette, idx = quantize(pic.px)
    xor_stride = (size * bits + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for py in range(size - 1, -1, -1):           # bottom-up
        row = idx[py * size:(py + 1) * size]
        if bits == 8:
            line = bytearray(row)
        else:
            line = bytearray((row[i] << 4) | row[i + 1] for i in range(0, size, 2))
        xor += line + bytes(xor_stride - len(line))
        m = bytearray(and_stride)
        for px in range(size):
            if pic.px[py * size + px] is None:
                m[px // 8] |= 0x80 >> (px % 8)
        mask += m
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + pal + bytes(xor) + bytes(mask)


def ico_bytes(pictures):
    data = struct.pack("<HHH", 0, 1, len(pictures))
    images = [image_bytes(p) for p in pictures]
    offset = 6 + 16 * len(pictures)
    for p, img in zip(pictures, images):
        colours = 16 if p.bits == 4 else 0
        data += struct.pack("<BBBBHHII", p.size, p.size, colours, 0, 1, p.bits,
                            len(img), offset)
        offset += len(img)
    return data + b"".join(images)


def read_ico(data):
    """Parse an .ico back and check its structure; returns [(size, bits,
    palette, pixel indices, transparent flags)]. Raises ValueError."""
    def need(ok, what):
        if not ok:
            raise ValueError(what)
    need(len(data) >= 6, "short header")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    need(reserved == 0 and kind == 1 and count > 0, "not an icon directory")
    end = 6 + 16 * count
    out = []
    for n in range(count):
        w, h, colours, res, planes, bits, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * n)
        need(offset == end and offset + length <= len(data), "image %d misplaced" % n)
        end += length
        need(w == h and w > 0 and res == 0 and planes == 1 and bits in (4, 8), "entry %d" % n)
        need(colours == (16 if bits == 4 else 0), "colour count of entry %d" % n)
        (bsize, bw, bh, bplanes, bbits, comp, bimage, _, _, used,
         _) = struct.unpack_from("<IiiHHIIiiII", data, offset)
        need(bsize == 40 and bw == w and bh == 2 * w and bplanes == 1 and bbits == bits
             and comp == 0 and used == 0, "bitmap header %d" % n)
        ncol = 1 << bits
        xor_stride = (w * bits + 31) // 32 * 4
        and_stride = (w + 31) // 32 * 4
        need(bimage == (xor_stride + and_stride) * w, "image size %d" % n)
        need(length == 40 + 4 * ncol + bimage, "length %d" % n)
        p = offset + 40
        palette = [tuple(data[p + 4 * i + 2 - k] for k in range(3)) for i in range(ncol)]
        xor_at, and_at = p + 4 * ncol, p + 4 * ncol + xor_stride * w
        idx, clear = [], []
        for y in range(w):
            xr = xor_at + (w - 1 - y) * xor_stride
            ar = and_at + (w - 1 - y) * and_stride
            for x in range(w):
                if bits == 8:
                    v = data[xr + x]
                else:
                    v = (data[xr + x // 2] >> (4 if x % 2 == 0 else 0)) & 15
                t = bool(data[ar + x // 8] & (0x80 >> (x % 8)))
                # a transparent pixel must show the screen unchanged
                need(not t or palette[v] == (0, 0, 0), "visible transparent pixel in %d" % n)
                idx.append(v)
                clear.append(t)
        out.append((w, bits, palette, idx, clear))
    need(end == len(data), "trailing bytes")
    return out


# ---------------------------------------------------------------- the set

TYPE_ICON = [(32, 4)]
FULL_ICON = [(48, 4), (48, 8), (32, 4), (32, 8), (16, 4), (16, 8)]
MSG_ICON = [(32, 4), (32, 8), (16, 4), (16, 8)]

ICONS = [  # file, drawing, images, exact size in bytes
    ("main.ico", main_icon, FULL_ICON, 10134),
    ("archive.ico", archive_icon, FULL_ICON, 10134),
    ("stub.ico", stub_icon, [(32, 4), (16, 4)], 1078),
    ("cmd.ico", cmd_icon, TYPE_ICON, 766),
    ("doc.ico", doc_icon, TYPE_ICON, 766),
    ("pps.ico", pps_icon, TYPE_ICON, 766),
    ("vbs.ico", vbs_icon, TYPE_ICON, 766),
    ("xls.ico", xls_icon, TYPE_ICON, 766),
    ("msg101.ico", stop_icon, MSG_ICON, 4710),
    ("msg102.ico", question_icon, MSG_ICON, 4710),
    ("msg103.ico", warning_icon, MSG_ICON, 4710),
    ("msg104.ico", info_icon, MSG_ICON, 4710),
    ("msg105.ico", lock_icon, MSG_ICON, 4710),
    ("msg106.ico", download_icon, MSG_ICON, 4710),
    ("msg108.ico", folder_icon, MSG_ICON, 4710),
    ("msg109.ico", settings_icon, MSG_ICON, 4710),
    ("msg110.ico", clock_icon, MSG_ICON, 4710),
    ("msg111.ico", done_icon, MSG_ICON, 4710),
]


def build(name, draw, images, expected):
    data = ico_bytes([draw(s, b) for s, b in images])
    if len(data) != expected:
        raise ValueError("%s: %d bytes, expected %d" % (name, len(data), expected))
    parsed = read_ico(data)
    if [(w, b) for w, b, *_ in parsed] != images:
        raise ValueError("%s: images differ from %r" % (name, images))
    for w, bits, palette, idx, clear in parsed:
        if bits == 4 and palette != VGA:
            raise ValueError("%s: 16-colour image without the VGA palette" % name)
        # an icon that is all background or has no background is a drawing fault
        if all(clear) or not any(clear):
            raise ValueError("%s: %d-pixel image has no shape or no transparency" % (name, w))
    return data


def write_file(path, data):
    # Always rewritten, so the build sees it newer than the generator.
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


# ---------------------------------------------------------------- debug PNG

def png_bytes(w, h, rows):
    """rows: list of bytes, RGBA, each w * 4 long."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_pngs(name, data, outdir, scale=8):
    """Each image enlarged on a checkerboard, so transparency shows."""
    for w, bits, palette, idx, clear in read_ico(data):
        rows = []
        for y in range(w * scale):
            row = bytearray()
            for x in range(w * scale):
                i = (y // scale) * w + x // scale
                if clear[i]:
                    g = 200 if ((x // 4) + (y // 4)) % 2 else 240
                    row += bytes((g, g, g, 255))
                else:
                    row += bytes(palette[idx[i]]) + b"\xff"
            rows.append(bytes(row))
        stem = os.path.splitext(name)[0]
        with open(os.path.join(outdir, "%s-%d-%dbit.png" % (stem, w, bits)), "wb") as f:
            f.write(png_bytes(w * scale, w * scale, rows))


# ---------------------------------------------------------------- main

def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--png"):
        print(__doc__, file=sys.stderr)
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    if len(argv) == 4:
        os.makedirs(argv[3], exist_ok=True)
    for name, draw, images, expected in ICONS:
        try:
            data = build(name, draw, images, expected)
        except ValueError as e:
            print("make_icons: %s" % e, file=sys.stderr)
            return 1
        write_file(os.path.join(outdir, name), data)
        if len(argv) == 4:
            write_pngs(name, data, argv[3])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

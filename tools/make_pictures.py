#!/usr/bin/env python3
"""Draws the program's five built-in pictures and writes them as C++ arrays.

  printer icon      32 x 32   baseline JPEG, JFIF 1.01, YCbCr 4:2:0      (print button)
  power icon        32 x 32   BMP, 8 bits per pixel, 256-entry palette    (exit button)
  no-cover picture  200 x 275 baseline JPEG, JFIF 1.01, 72 dpi, 4:2:0     (cover box)
  sort arrows       12 x 12   BMP, 8 bits per pixel, black on white       (list headers)

Everything is drawn and encoded here with nothing but Python 3: shapes are rasterised with
4 x 4 supersampling, JPEGs are written by the small baseline encoder below (standard quantisation
and Huffman tables), BMPs by hand. The output is the same on every run.

Usage: tools/make_pictures.py [--out DIR]   (from anywhere; --out also writes the picture files)
Writes app/embedded_pictures.cpp and services/columnsort/arrow_pictures.cpp.
"""

import argparse
import math
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SUB = 4  # supersampling per axis


# --- Drawing ------------------------------------------------------------------------------------

class Canvas:
    """An RGB picture of floats; shapes are painted over it by their coverage."""

    def __init__(self, width, height, colour):
        self.w, self.h = width, height
        self.px = [[list(colour) for _ in range(width)] for _ in range(height)]

    def paint(self, inside, box, colour, opacity=1.0):
        """Paints `colour` where inside(x, y) holds, looking only at pixels in box."""
        x0, y0, x1, y1 = box
        x0, y0 = max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        if inside(x + (sx + 0.5) / SUB, y + (sy + 0.5) / SUB):
                            hits += 1
                if hits:
                    a = opacity * hits / (SUB * SUB)
                    p = self.px[y][x]
                    for i in range(3):
                        p[i] = p[i] * (1 - a) + colour[i] * a

    def rect(self, x0, y0, x1, y1, colour, radius=0.0, opacity=1.0):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
        self.paint(inside, (x0, y0, x1, y1), colour, opacity)

    def frame(self, x0, y0, x1, y1, width, colour, radius=0.0):
        """The outline of a rectangle, `width` thick, inside its bounds."""
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            ix0, iy0, ix1, iy1 = x0 + width, y0 + width, x1 - width, y1 - width
            if ix0 <= x <= ix1 and iy0 <= y <= iy1:
                r = max(0.0, radius - width)
                if r <= 0:
                    return False
                cx = min(max(x, ix0 + r), ix1 - r)
                cy = min(max(y, iy0 + r), iy1 - r)
                return (x - cx) ** 2 + (y - cy) ** 2 > r * r
            if radius > 0:
                cx = min(max(x, x0 + radius), x1 - radius)
                cy = min(max(y, y0 + radius), y1 - radius)
                return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
            return True
        self.paint(inside, (x0, y0, x1, y1), colour)

    def circle(self, cx, cy, r, colour):
        self.paint(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                   (cx - r, cy - r, cx + r, cy + r), colour)

    def polygon(self, points, colour):
        def inside(x, y):
            c = False
            n = len(points)
            for i in range(n):
                (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
                if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                    c = not c
            return c
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        self.paint(inside, (min(xs), min(ys), max(xs), max(ys)), colour)

    def stroke(self, points, width, colour):
        """A polyline with round joins and caps."""
        half = width / 2
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            def inside(x, y, ax=ax, ay=ay, bx=bx, by=by):
                dx, dy = bx - ax, by - ay
                ll = dx * dx + dy * dy
                t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
                return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half * half
            # Segments are painted one by one; coverage already full stays full.
            self.paint(inside, (min(ax, bx) - half, min(ay, by) - half,
                                max(ax, bx) + half, max(ay, by) + half), colour)

    def rgb_rows(self):
        return [[tuple(max(0, min(255, int(round(c)))) for c in p) for p in row]
                for row in self.px]


def coverage_map(width, height, draw):
    """Draws white on black with `draw(canvas)` and returns the coverage 0..255 per pixel."""
    c = Canvas(width, height, (0, 0, 0))
    draw(c)
    return [[int(round(p[0])) for p in row] for row in c.px]


def arc(cx, cy, rx, ry, start_deg, end_deg, steps=24):
    return [(cx + rx * math.cos(math.radians(start_deg + (end_deg - start_deg) * i / steps)),
             cy + ry * math.sin(math.radians(start_deg + (end_deg - start_deg) * i / steps)))
            for i in range(steps + 1)]


# --- A stroke font for capitals (cap height 10 units, y down) -----------------------------------

GLYPHS = {
    'N': (6, [[(0, 10), (0, 0), (6, 10), (6, 0)]]),
    'O': (7, [arc(3.5, 5, 3.5, 5, 0, 360, 40)]),
    'E': (5.5, [[(5.5, 0), (0, 0), (0, 10), (5.5, 10)], [(0, 5), (4.5, 5)]]),
    'X': (6, [[(0, 0), (6, 10)], [(6, 0), (0, 10)]]),
    'I': (0, [[(0, 0), (0, 10)]]),
    'S': (6, [arc(3, 2.5, 3, 2.5, -20, -270, 20) + arc(3, 7.5, 3, 2.5, -90, 160, 20)[1:]]),
    'T': (7, [[(0, 0), (7, 0)], [(3.5, 0), (3.5, 10)]]),
    'M': (8, [[(0, 10), (0, 0), (4, 7), (8, 0), (8, 10)]]),
    'A': (7, [[(0, 10), (3.5, 0), (7, 10)], [(1.4, 6.4), (5.6, 6.4)]]),
    'G': (7, [arc(3.5, 5, 3.5, 5, -40, -360, 36) + [(4, 5)]]),
    ' ': (3, []),
}
LETTER_GAP = 2.6


def text_width(text, scale, stroke):
    units = sum(GLYPHS[ch][0] for ch in text) + LETTER_GAP * (len(text) - 1)
    return units * scale + stroke


def draw_text(canvas, text, centre_x, top, scale, stroke, colour):
    x = centre_x - text_width(text, scale, stroke) / 2 + stroke / 2
    for ch in text:
        width, lines = GLYPHS[ch]
        for line in lines:
            canvas.stroke([(x + px * scale, top + py * scale) for px, py in line], stroke, colour)
        x += (width + LETTER_GAP) * scale


# --- The pictures -------------------------------------------------------------------------------

BUTTON_FACE = (239, 239, 239)


def printer_icon():
    c = Canvas(32, 32, BUTTON_FACE)
    # The sheet waiting at the back.
    c.rect(9, 1.5, 23, 13, (255, 255, 255))
    c.frame(9, 1.5, 23, 13, 1, (90, 90, 100))
    for y in (4.5, 6.5, 8.5):
        c.rect(11.5, y, 20.5, y + 0.9, (110, 140, 200))
    # The body, lighter at the top.
    c.rect(2, 11, 30, 25, (120, 124, 132), radius=3)
    c.rect(3, 12, 29, 17, (168, 172, 180), radius=2)
    c.frame(2, 11, 30, 25, 1, (55, 58, 64), radius=3)
    c.rect(6, 18.5, 26, 20, (40, 42, 48))  # the paper slot
    c.circle(26, 14.5, 1.4, (40, 200, 60))  # the power light
    # The printed sheet coming out at the front.
    c.rect(7, 19.5, 25, 30.5, (255, 255, 255))
    c.frame(7, 19.5, 25, 30.5, 1, (90, 90, 100))
    for y in (22.5, 25.5):
        c.rect(9.5, y, 22.5, y + 0.9, (60, 60, 60))
    return c.rgb_rows()


def power_icon_coverage():
    def draw(c):
        white = (255, 255, 255)
        # The broken ring of the power symbol, open at the top, and its upright bar.
        c.stroke(arc(16, 17, 10.5, 10.5, -55, 235, 48), 3.6, white)
        c.stroke([(16, 3.5), (16, 16)], 3.6, white)
    return coverage_map(32, 32, draw)


def no_cover_picture():
    grey = (196, 196, 196)
    c = Canvas(200, 275, grey)
    dark = (72, 72, 72)
    mid = (150, 150, 150)
    c.frame(6, 6, 194, 269, 2, (120, 120, 120))
    # A framed landscape, struck through: there is no picture.
    c.rect(50, 50, 150, 125, (218, 218, 218), radius=4)
    c.frame(50, 50, 150, 125, 3, mid, radius=4)
    c.circle(122, 72, 8, mid)
    c.polygon([(56, 119), (84, 80), (104, 106), (116, 94), (144, 119)], mid)
    c.stroke([(40, 138), (160, 38)], 5, (196, 196, 196))
    c.stroke([(40, 138), (160, 38)], 3, dark)
    draw_text(c, "NO EXISTE", 100, 168, 2.2, 3.0, dark)
    draw_text(c, "IMAGEN", 100, 203, 2.2, 3.0, dark)
    return c.rgb_rows()


def arrow_coverage(up):
    def draw(c):
        white = (255, 255, 255)
        if up:
            c.polygon([(6, 2.5), (10.5, 8.5), (1.5, 8.5)], white)
        else:
            c.polygon([(1.5, 3.5), (10.5, 3.5), (6, 9.5)], white)
    return coverage_map(12, 12, draw)


# --- BMP ----------------------------------------------------------------------------------------

def bmp_8bit(indexes, palette):
    """An uncompressed 8-bit BMP with a 256-entry palette, rows stored bottom-up."""
    h, w = len(indexes), len(indexes[0])
    stride = (w + 3) // 4 * 4
    pixels = b''.join(bytes(row) + b'\0' * (stride - w) for row in reversed(indexes))
    offset = 14 + 40 + 256 * 4
    header = b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    assert len(pal) == 1024
    return header + info + pal + pixels


def ramp(a, b):
    return [tuple(int(round(a[i] + (b[i] - a[i]) * k / 255)) for i in range(3)) for k in range(256)]


# --- Baseline JPEG encoder ----------------------------------------------------------------------

ZIGZAG = sorted(((x, y) for y in range(8) for x in range(8)),
                key=lambda p: (p[0] + p[1], p[1] if (p[0] + p[1]) % 2 else -p[1]))
ZIGZAG = [y * 8 + x for x, y in ZIGZAG]

LUMA_Q = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
          14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
          18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
          49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
CHROMA_Q = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
            24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32


def _run(a, b):
    return list(range(a, b + 1))


DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d],
           [0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51,
            0x61, 0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1,
            0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18,
            0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39,
            0x3a] + _run(0x43, 0x4a) + _run(0x53, 0x5a) + _run(0x63, 0x6a) + _run(0x73, 0x7a) +
           _run(0x83, 0x8a) + _run(0x92, 0x9a) + _run(0xa2, 0xaa) + _run(0xb2, 0xba) +
           _run(0xc2, 0xca) + _run(0xd2, 0xda) + _run(0xe1, 0xea) + _run(0xf1, 0xfa))
AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77],
             [0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51,
              0x07, 0x61, 0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1,
              0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24,
              0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a,
              0x35, 0x36, 0x37, 0x38, 0x39, 0x3a] + _run(0x43, 0x4a) + _run(0x53, 0x5a) +
             _run(0x63, 0x6a) + _run(0x73, 0x7a) + _run(0x82, 0x8a) + _run(0x92, 0x9a) +
             _run(0xa2, 0xaa) + _run(0xb2, 0xba) + _run(0xc2, 0xca) + _run(0xd2, 0xda) +
             _run(0xe2, 0xea) + _run(0xf2, 0xfa))
for _bits, _vals in (DC_LUMA, DC_CHROMA, AC_LUMA, AC_CHROMA):
    assert sum(_bits) == len(_vals) == len(set(_vals))


def huffman_codes(table):
    """Canonical codes: symbol -> (code, length)."""
    bits, vals = table
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def scaled_quant(table, quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [max(1, min(255, (t * scale + 50) // 100)) for t in table]


COS = [[math.cos((2 * x + 1) * u * math.pi / 16) * (math.sqrt(0.5) if u == 0 else 1.0)
        for x in range(8)] for u in range(8)]


def fdct(block):
    """8 x 8 forward DCT of level-shifted samples, row-major in and out."""
    rows = [[sum(COS[u][x] * block[y * 8 + x] for x in range(8)) / 2 for u in range(8)]
            for y in range(8)]
    return [sum(COS[v][y] * rows[y][u] for y in range(8)) / 2 for v in range(8) for u in range(8)]


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, code, length):
        self.acc = (self.acc << length) | code
        self.n += length
        while self.n >= 8:
            byte = (self.acc >> (self.n - 8)) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)  # byte stuffing
            self.n -= 8
        self.acc &= (1 << self.n) - 1

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


def magnitude(v):
    size = abs(v).bit_length()
    return size, (v if v >= 0 else v + (1 << size) - 1)


def encode_block(w, coefs, quant, previous_dc, dc_codes, ac_codes):
    q = [int(round(coefs[ZIGZAG[i]] / quant[i])) for i in range(64)]
    diff = q[0] - previous_dc
    size, bits = magnitude(diff)
    w.put(*dc_codes[size])
    if size:
        w.put(bits, size)
    run = 0
    for i in range(1, 64):
        if q[i] == 0:
            run += 1
            continue
        while run > 15:
            w.put(*ac_codes[0xF0])
            run -= 16
        size, bits = magnitude(q[i])
        w.put(*ac_codes[(run << 4) | size])
        w.put(bits, size)
        run = 0
    if run:
        w.put(*ac_codes[0x00])
    return q[0]


def segment(marker, payload):
    return bytes((0xFF, marker)) + struct.pack('>H', len(payload) + 2) + payload


def jpeg_baseline(rows, quality, dpi=None):
    """Baseline JPEG, JFIF 1.01, YCbCr with 2 x 2 luminance and 1 x 1 chroma sampling."""
    h, w = len(rows), len(rows[0])
    mw, mh = (w + 15) // 16 * 16, (h + 15) // 16 * 16

    def at(x, y):
        return rows[min(y, h - 1)][min(x, w - 1)]  # edges repeat into the padding

    Y = [[0.0] * mw for _ in range(mh)]
    Cb = [[0.0] * mw for _ in range(mh)]
    Cr = [[0.0] * mw for _ in range(mh)]
    for y in range(mh):
        for x in range(mw):
            r, g, b = at(x, y)
            Y[y][x] = 0.299 * r + 0.587 * g + 0.114 * b
            Cb[y][x] = -0.168736 * r - 0.331264 * g + 0.5 * b + 128
            Cr[y][x] = 0.5 * r - 0.418688 * g - 0.081312 * b + 128

    lq, cq = scaled_quant(LUMA_Q, quality), scaled_quant(CHROMA_Q, quality)
    lq_zz = [lq[ZIGZAG[i]] for i in range(64)]
    cq_zz = [cq[ZIGZAG[i]] for i in range(64)]
    dcl, acl = huffman_codes(DC_LUMA), huffman_codes(AC_LUMA)
    dcc, acc = huffman_codes(DC_CHROMA), huffman_codes(AC_CHROMA)

    wr = BitWriter()
    pred = [0, 0, 0]
    for my in range(0, mh, 16):
        for mx in range(0, mw, 16):
            for by, bx in ((0, 0), (0, 8), (8, 0), (8, 8)):
                block = [Y[my + by + j][mx + bx + i] - 128 for j in range(8) for i in range(8)]
                pred[0] = encode_block(wr, fdct(block), lq_zz, pred[0], dcl, acl)
            for k, plane in ((1, Cb), (2, Cr)):
                block = [(plane[my + 2 * j][mx + 2 * i] + plane[my + 2 * j][mx + 2 * i + 1] +
                          plane[my + 2 * j + 1][mx + 2 * i] + plane[my + 2 * j + 1][mx + 2 * i + 1])
                         / 4 - 128 for j in range(8) for i in range(8)]
                pred[k] = encode_block(wr, fdct(block), cq_zz, pred[k], dcc, acc)
    wr.flush()

    units, xd, yd = (1, dpi, dpi) if dpi else (0, 1, 1)
    out = bytearray(b'\xFF\xD8')
    out += segment(0xE0, b'JFIF\0' + struct.pack('>BBBHHBB', 1, 1, units, xd, yd, 0, 0))
    out += segment(0xDB, bytes([0x00] + lq_zz) + bytes([0x01] + cq_zz))
    out += segment(0xC0, struct.pack('>BHHB', 8, h, w, 3) +
                   bytes((1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1)))
    for cls_id, table in ((0x00, DC_LUMA), (0x10, AC_LUMA), (0x01, DC_CHROMA), (0x11, AC_CHROMA)):
        out += segment(0xC4, bytes([cls_id] + table[0] + table[1]))
    out += segment(0xDA, bytes((3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0)))
    out += wr.out
    out += b'\xFF\xD9'
    return bytes(out)


# --- C++ output ---------------------------------------------------------------------------------

def c_array(name, data):
    lines = []
    for i in range(0, len(data), 16):
        lines.append('    ' + ', '.join('0x%02X' % b for b in data[i:i + 16]) + ',')
    return ('constexpr unsigned char %s[%d] = {\n' % (name, len(data)) + '\n'.join(lines) +
            '\n};\n')


GENERATED = '// Generated by tools/make_pictures.py from the drawings in that script; do not edit.\n'


def write(path, text):
    with open(os.path.join(ROOT, path), 'w', newline='\n') as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--out', help='also write the picture files into this folder')
    args = parser.parse_args()

    printer = jpeg_baseline(printer_icon(), 90)
    no_cover = jpeg_baseline(no_cover_picture(), 85, dpi=72)
    power = bmp_8bit(power_icon_coverage(), ramp(BUTTON_FACE, (204, 20, 20)))
    assert len(power) == 2102
    black_on_white = ramp((255, 255, 255), (0, 0, 0))
    up = bmp_8bit(arrow_coverage(True), black_on_white)
    down = bmp_8bit(arrow_coverage(False), black_on_white)

    write('app/embedded_pictures.cpp',
          GENERATED + '#include "app/embedded_pictures.h"\n\nnamespace {\n\n' +
          '// The printer on the print button: 32 x 32 baseline JPEG.\n' +
          c_array('kPrinterIcon', printer) +
          '\n// The red power symbol on the exit button: 32 x 32 BMP, 8 bits per pixel.\n' +
          c_array('kPowerIcon', power) +
          '\n// The cover box before the first cover: 200 x 275 baseline JPEG.\n' +
          c_array('kNoCover', no_cover) +
          '\n}  // namespace\n\n'
          'EmbeddedPicture PrinterIconPicture() { return {kPrinterIcon, sizeof kPrinterIcon}; }\n'
          'EmbeddedPicture PowerIconPicture() { return {kPowerIcon, sizeof kPowerIcon}; }\n'
          'EmbeddedPicture NoCoverPicture() { return {kNoCover, sizeof kNoCover}; }\n')
    write('services/columnsort/arrow_pictures.cpp',
          GENERATED + '#include "services/columnsort/arrow_pictures.h"\n\nnamespace {\n\n' +
          '// 12 x 12 BMPs, 8 bits per pixel, black on white.\n' +
          c_array('kArrowUp', up) + '\n' + c_array('kArrowDown', down) +
          '\n}  // namespace\n\n'
          'SortArrowPicture SortArrowUpPicture() { return {kArrowUp, sizeof kArrowUp}; }\n'
          'SortArrowPicture SortArrowDownPicture() { return {kArrowDown, sizeof kArrowDown}; }\n')

    if args.out:
        os.makedirs(args.out, exist_ok=True)
        for name, data in (('printer_icon.jpg', printer), ('power_icon.bmp', power),
                           ('no_cover.jpg', no_cover), ('arrow_up.bmp', up),
                           ('arrow_down.bmp', down)):
            with open(os.path.join(args.out, name), 'wb') as f:
                f.write(data)
    print('printer icon %d bytes, power icon %d, no-cover %d, arrows %d and %d' %
          (len(printer), len(power), len(no_cover), len(up), len(down)))


if __name__ == '__main__':
    main()

"""Our own icon artwork and the encoders that store it: DIBs at 1, 4, 8, 16, 24 and 32 bits,
PNG streams, .ico/.cur/.ani files. Python standard library only."""

import math
import struct
import zlib

# ---------------------------------------------------------------- drawing

def hsv(h, s, v):
    i = int(h * 6) % 6
    f = h * 6 - int(h * 6)
    p, q, t = v * (1 - s), v * (1 - f * s), v * (1 - (1 - f) * s)
    r, g, b = [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i]
    return int(r * 255 + 0.5), int(g * 255 + 0.5), int(b * 255 + 0.5)


def coverage(inside, x, y, n=4):
    """Share of the pixel (x, y) inside the shape, from an n x n grid of samples."""
    hits = 0
    for sy in range(n):
        for sx in range(n):
            if inside(x + (sx + 0.5) / n, y + (sy + 0.5) / n):
                hits += 1
    return hits / (n * n)


def draw(shape, size, hue):
    """RGBA rows of one picture: a shape filled with a gradient, soft edges, clear background."""
    c = size / 2.0
    r = size * 0.44

    def inside(px, py):
        dx, dy = (px - c) / r, (py - c) / r
        if shape == "disc":
            return dx * dx + dy * dy <= 1.0
        if shape == "square":
            return max(abs(dx), abs(dy)) <= 0.85
        if shape == "diamond":
            return abs(dx) + abs(dy) <= 1.0
        if shape == "ring":
            d = dx * dx + dy * dy
            return 0.35 <= d <= 1.0
        if shape == "triangle":
            return dy <= 0.8 and dy >= -0.9 + 2 * abs(dx) * 0.95
        if shape == "hand":
            return hand_inside(px / size, py / size)
        raise ValueError(shape)

    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            a = coverage(inside, x, y)
            if a == 0:
                row.append((0, 0, 0, 0))
                continue
            # Diagonal gradient from light to full colour.
            t = (x + y) / max(1, 2 * size - 2)
            cr, cg, cb = hsv(hue, 0.35 + 0.6 * t, 1.0 - 0.35 * t)
            row.append((cr, cg, cb, int(a * 255 + 0.5)))
        rows.append(row)
    return rows


def hand_inside(u, v):
    """A pointing hand in unit coordinates, finger tip at the top left (about 0.28, 0.03)."""
    # Raised index finger.
    if 0.22 <= u <= 0.36 and 0.05 <= v <= 0.55:
        return True
    if (u - 0.29) ** 2 + (v - 0.06) ** 2 <= 0.07 ** 2:
        return True
    # Folded fingers and palm.
    if 0.22 <= u <= 0.80 and 0.42 <= v <= 0.85 and (u - 0.80) ** 2 + (v - 0.85) ** 2 >= 0:
        return (u - 0.51) ** 2 / 0.29 ** 2 + (v - 0.62) ** 2 / 0.26 ** 2 <= 1.25
    # Thumb to the left.
    if 0.06 <= u <= 0.24 and 0.50 <= v <= 0.68:
        return (u - 0.15) ** 2 / 0.10 ** 2 + (v - 0.59) ** 2 / 0.09 ** 2 <= 1.0
    # Cuff.
    return 0.34 <= u <= 0.76 and 0.84 <= v <= 0.98


def outlined(rows):
    """Dark outline around the opaque part, so the shape reads on any background."""
    size = len(rows)
    out = [list(r) for r in rows]
    for y in range(size):
        for x in range(size):
            if rows[y][x][3] >= 128:
                continue
            near = any(0 <= y + dy < size and 0 <= x + dx < size and rows[y + dy][x + dx][3] >= 128
                       for dy in (-1, 0, 1) for dx in (-1, 0, 1))
            if near:
                out[y][x] = (20, 20, 30, 255)
    return out

# ---------------------------------------------------------------- colour tables

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def cube256():
    table = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    table += [(int(i * 255 / 39 + 0.5),) * 3 for i in range(40)]
    return table


def nearest(table, rgb):
    best, bi = None, 0
    for i, c in enumerate(table):
        d = (c[0] - rgb[0]) ** 2 + (c[1] - rgb[1]) ** 2 + (c[2] - rgb[2]) ** 2
        if best is None or d < best:
            best, bi = d, i
    return bi

# ---------------------------------------------------------------- encoders

def stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def dib(rows, bits):
    """A DIB as icons store it: header (height doubled), colours, XOR rows and AND rows, bottom-up.
    Returns the bytes and the picture a reader should show (RGBA rows)."""
    size_y, size_x = len(rows), len(rows[0])
    table = None
    if bits == 1:
        table = [(0, 0, 0), (255, 255, 255)]
    elif bits == 4:
        table = VGA16
    elif bits == 8:
        table = cube256()
    expect = []
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size_y)):
        line = bytearray(stride(size_x, bits))
        mline = bytearray(stride(size_x, 1))
        for x in range(size_x):
            r, g, b, a = rows[y][x]
            transparent = a < 128
            if transparent:
                mline[x // 8] |= 0x80 >> (x % 8)
            if bits == 32:
                line[x * 4:x * 4 + 4] = bytes((b, g, r, a))
            elif bits == 24:
                line[x * 3:x * 3 + 3] = bytes((0, 0, 0) if transparent else (b, g, r))
            elif bits == 16:
                v = 0 if transparent else ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
                line[x * 2:x * 2 + 2] = struct.pack("<H", v)
            else:
                i = 0 if transparent else nearest(table, (r, g, b))
                if bits == 8:
                    line[x] = i
                elif bits == 4:
                    line[x // 2] |= i << (0 if x % 2 else 4)
                else:
                    line[x // 8] |= (i & 1) << (7 - x % 8)
        xor += line
        mask += mline
    for y in range(size_y):
        erow = []
        for x in range(size_x):
            r, g, b, a = rows[y][x]
            if bits == 32:
                erow.append((r, g, b, a))
            elif a < 128:
                erow.append((0, 0, 0, 0))
            elif bits == 24:
                erow.append((r, g, b, 255))
            elif bits == 16:
                erow.append(tuple(((v >> 3) * 255 + 15) // 31 for v in (r, g, b)) + (255,))
            else:
                erow.append(table[nearest(table, (r, g, b))] + (255,))
        expect.append(erow)
    colours = b"".join(bytes((c[2], c[1], c[0], 0)) for c in table) if table else b""
    header = struct.pack("<IiiHHIIiiII", 40, size_x, size_y * 2, 1, bits, 0, len(xor) + len(mask),
                         0, 0, len(table) if table else 0, 0)
    return header + colours + bytes(xor) + bytes(mask), expect


def png(rows):
    """An RGBA PNG stream."""
    size_y, size_x = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size_x, size_y, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def png_rgb(rows):
    """An RGB PNG stream (no alpha), for 24-bit artwork."""
    size_y, size_x = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px[:3]) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size_x, size_y, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file(images, kind=1):
    """images: list of (bytes, width, height, bits, hot_x, hot_y). kind 1 = .ico, 2 = .cur."""
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for data, w, h, bits, hx, hy in images:
        colours = (1 << bits) if bits < 8 else 0
        a, b = (1, bits) if kind == 1 else (hx, hy)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colours % 256, 0, a, b, len(data), offset)
        offset += len(data)
        body += data
    return out + body


def ani_file(frames, rate=10):
    """An animated cursor: RIFF "ACON" with anih, rate-less frame list of .cur/.ico files."""
    def chunk(kind, data):
        return kind + struct.pack("<I", len(data)) + data + (b"\x00" if len(data) % 2 else b"")

    anih = struct.pack("<IIIIIIIII", 36, len(frames), len(frames), 0, 0, 0, 0, rate, 1)
    fram = b"fram" + b"".join(chunk(b"icon", f) for f in frames)
    body = b"ACON" + chunk(b"anih", anih) + chunk(b"LIST", fram)
    return b"RIFF" + struct.pack("<I", len(body)) + body

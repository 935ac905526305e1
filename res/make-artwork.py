#!/usr/bin/env python3
"""Draws the program's own artwork into this folder: the application icon as PNGs (32 x 32 at
24 bits on the window colour; 48, 128 and 256 at 32 bits with alpha) and the hand pointer
HAND-M.CUR (32 x 32, 32 bits, hot spot on the finger tip). Standard library only; the drawing
and encoders are shared with the test fixtures. Run: python3 res/make-artwork.py
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "data"))
import iconart as art  # noqa: E402

WINDOW = (240, 240, 240)


def app_icon(size):
    """A cut gem with a sparkle: the gatherer's glimmer."""
    gem = art.draw("diamond", size, 0.55)
    c = size / 2.0
    out = []
    for y, row in enumerate(gem):
        line = []
        for x, (r, g, b, a) in enumerate(row):
            # Facets: lighten the upper left half, darken the lower right.
            u, v = (x + 0.5 - c) / size, (y + 0.5 - c) / size
            shade = 1.18 if u + v < 0 else 0.85
            if abs(u - v) < 0.015 or abs(u + v) < 0.015:
                shade = 1.35
            line.append((min(255, int(r * shade)), min(255, int(g * shade)), min(255, int(b * shade)), a))
        out.append(line)
    # A four-pointed sparkle near the top right.
    sx, sy, sr = size * 0.76, size * 0.22, size * 0.17

    def sparkle(px, py):
        dx, dy = abs(px - sx) / sr, abs(py - sy) / sr
        return (dx ** 0.5 + dy ** 0.5) <= 1.0

    for y in range(size):
        for x in range(size):
            cov = art.coverage(sparkle, x, y)
            if cov == 0:
                continue
            r, g, b, a = out[y][x]
            k = cov
            na = int(255 * k + a * (1 - k) + 0.5)
            blend = lambda s, d: int((s * 255 * k + d * a / 255 * (1 - k) * 255) / max(1, na) + 0.5)
            out[y][x] = (min(255, blend(255, r)), min(255, blend(250, g)), min(255, blend(200, b)), na)
    return out


def on_window(rows):
    return [[tuple(int(p[i] * p[3] / 255 + WINDOW[i] * (1 - p[3] / 255) + 0.5) for i in range(3)) for p in row]
            for row in rows]


def save(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    save("app-icon-32.png", art.png_rgb(on_window(app_icon(32))))
    for size in (48, 128, 256):
        save(f"app-icon-{size}.png", art.png(app_icon(size)))
    hand = art.outlined(art.draw("hand", 32, 0.08))
    # The hot spot is the top of the raised finger.
    tip_y = next(y for y, row in enumerate(hand) if any(p[3] >= 128 for p in row))
    xs = [x for x, p in enumerate(hand[tip_y]) if p[3] >= 128]
    tip_x = xs[len(xs) // 2]
    data, _ = art.dib(hand, 32)
    save("HAND-M.CUR", art.icon_file([(data, 32, 32, 32, tip_x, tip_y)], kind=2))
    print(f"hand hot spot: {tip_x},{tip_y}")


if __name__ == "__main__":
    main()

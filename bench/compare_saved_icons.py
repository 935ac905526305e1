#!/usr/bin/env python3
"""The icons the window saves, from two builds of glimmer-extract: byte for byte where the icon has
an exact 32 x 32 image, and the largest difference in a colour byte where it was scaled.

`extract --format ico32` writes what the window's save commands write for each icon. Both tools
extract every icon of every file under the folders named; an icon is "exact" when one of its
group's images is 32 x 32 (as `list --json` tells). Exits 1 when an exact icon differs.

Usage: bench/compare_saved_icons.py BEFORE_TOOL AFTER_TOOL FILE|FOLDER...
"""
import json
import subprocess
import sys
import tempfile
from pathlib import Path

# A 24-bit one-image .ico: directory (6 + 16), BITMAPINFOHEADER (40), then 32 x 32 x 3 colour bytes.
COLOUR_BITS = slice(6 + 16 + 40, 6 + 16 + 40 + 32 * 32 * 3)


def saved(tool, path, out):
    """The tool's ico32 files for the file, in icon order (empty when it has none)."""
    out.mkdir()
    run = subprocess.run([tool, "extract", "--format", "ico32", "-o", str(out), str(path)],
                         capture_output=True, text=True)
    lines = [line for line in run.stdout.splitlines() if line]
    return [Path(line).read_bytes() for line in lines]


def main():
    before, after, roots = sys.argv[1], sys.argv[2], [Path(p) for p in sys.argv[3:]]
    files = sorted(p for r in roots for p in ([r] if r.is_file() else r.rglob("*")) if p.is_file())
    exact = exact_same = scaled = scaled_same = 0
    largest = 0
    differing = []
    with tempfile.TemporaryDirectory() as scratch:
        for n, path in enumerate(files):
            listing = subprocess.run([after, "list", "--json", str(path)], capture_output=True, text=True)
            try:
                icons = json.loads(listing.stdout or "[]")
            except json.JSONDecodeError:
                continue
            a = saved(before, path, Path(scratch) / f"a{n}")
            b = saved(after, path, Path(scratch) / f"b{n}")
            if len(a) != len(b):
                differing.append(f"{path}: {len(a)} icons before, {len(b)} after")
                continue
            for icon, old, new in zip(icons, a, b):
                has32 = any(i["width"] == 32 and i["height"] == 32 for i in icon["images"])
                if has32:
                    exact += 1
                    exact_same += old == new
                    if old != new:
                        differing.append(f"{path} icon {icon['icon']}: exact 32 x 32, bytes differ")
                else:
                    scaled += 1
                    scaled_same += old == new
                    if len(old) == len(new):
                        largest = max([largest] + [abs(x - y) for x, y in zip(old[COLOUR_BITS], new[COLOUR_BITS])])
    print(f"{len(files)} files")
    print(f"icons with an exact 32 x 32 image: {exact}, saved the same bytes: {exact_same}")
    print(f"icons scaled to 32 x 32: {scaled}, the same bytes: {scaled_same}, "
          f"largest difference in a colour byte: {largest}")
    for line in differing[:20]:
        print("  " + line)
    return 1 if exact != exact_same else 0


if __name__ == "__main__":
    sys.exit(main())

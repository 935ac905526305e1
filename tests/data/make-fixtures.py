#!/usr/bin/env python3
"""Builds the icon reader's fixtures in this folder from our own artwork.

Icon, cursor and animated cursor files are written directly. PE32 and PE32+ modules are built
with the MinGW-w64 resource compiler and linker (Debian binutils-mingw-w64-i686 / -x86-64); the
16-bit NE icon library is laid out by ne_library() below. The results are committed, so the
tests need none of these tools. Run: python3 tests/data/make-fixtures.py
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import iconart as art  # noqa: E402


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def image(shape, size, hue, bits):
    rows = art.draw(shape, size, hue)
    if bits == "png":
        return (art.png(rows), size, size, 32, 0, 0), rows
    data, expect = art.dib(rows, bits)
    return (data, size, size, bits, 0, 0), expect


# ---------------------------------------------------------------- icon files

def icon_files():
    made = {}
    # One 32 x 32 image per depth, with the picture the reader must give back.
    for bits, shape, hue in [(1, "square", 0.0), (4, "diamond", 0.33), (8, "disc", 0.6),
                             (16, "triangle", 0.8), (24, "ring", 0.1), (32, "disc", 0.95)]:
        entry, expect = image(shape, 32, hue, bits)
        write(f"depth-{bits}.ico", art.icon_file([entry]))
        write(f"depth-{bits}.expected.png", art.png(expect))
        made[f"depth-{bits}.ico"] = True

    # Every size; the 32 x 32 at 32 bits must win although it is not first.
    entries = [image("square", 16, 0.45, 8)[0], image("square", 32, 0.45, 4)[0],
               image("square", 32, 0.45, 24)[0]]
    best, expect = image("square", 32, 0.45, 32)
    entries += [best, image("square", 48, 0.45, 32)[0], image("square", 256, 0.45, "png")[0]]
    write("sizes.ico", art.icon_file(entries))
    write("sizes.expected.png", art.png(expect))

    # No 32 x 32: the 48 x 48 is scaled down.
    write("no-32.ico", art.icon_file([image("ring", 16, 0.7, 32)[0], image("ring", 48, 0.7, 32)[0],
                                      image("ring", 256, 0.7, "png")[0]]))
    # Only smaller ones: the 24 x 24 is scaled up.
    write("small-only.ico", art.icon_file([image("diamond", 16, 0.15, 32)[0], image("diamond", 24, 0.15, 24)[0]]))
    # Only a 256 x 256 PNG.
    write("png-256.ico", art.icon_file([image("triangle", 256, 0.55, "png")[0]]))

    # A cursor with its hot spot, and an animated cursor of two frames.
    hand = art.outlined(art.draw("hand", 32, 0.08))
    data, expect = art.dib(hand, 32)
    write("pointer.cur", art.icon_file([(data, 32, 32, 32, 9, 1)], kind=2))
    write("pointer.expected.png", art.png(expect))
    frames = []
    for hue in (0.3, 0.6):
        data, expect = art.dib(art.draw("ring", 32, hue), 32)
        frames.append(art.icon_file([(data, 32, 32, 32, 16, 16)], kind=2))
        if hue == 0.3:
            write("spinner.expected.png", art.png(expect))
    write("spinner.ani", art.ani_file(frames))


# ---------------------------------------------------------------- PE modules

def cursor_files():
    """The cursors that modules carry: pointer.cur as written above, and a cursor of two sizes
    and depths, each with a hot spot of its own."""
    with open(os.path.join(HERE, "pointer.cur"), "rb") as f:
        pointer = f.read()
    small, _ = art.dib(art.outlined(art.draw("hand", 32, 0.5)), 4)
    large, _ = art.dib(art.outlined(art.draw("hand", 48, 0.5)), 32)
    return {"pointer.cur": pointer,
            "arrows.cur": art.icon_file([(small, 32, 32, 4, 2, 3), (large, 48, 48, 32, 5, 7)], kind=2)}


def small_icon(shape, hue):
    """A 16 x 16, 4-bit icon: many of them make a big library without a big file."""
    data, _ = art.dib(art.draw(shape, 16, hue), 4)
    return art.icon_file([(data, 16, 16, 4, 0, 0)])


def build_pe(name, rc_lines, arch, exe=False, workdir=None):
    prefix = {"i686": "i686-w64-mingw32-", "x86_64": "x86_64-w64-mingw32-"}[arch]
    rc = os.path.join(workdir, name + ".rc")
    with open(rc, "w") as f:
        f.write("\n".join(rc_lines) + "\n")
    obj = os.path.join(workdir, name + ".res.o")
    subprocess.run([prefix + "windres", "--preprocessor=cpp", "-O", "coff", "-i", rc, "-o", obj],
                   check=True, cwd=workdir)
    out = os.path.join(HERE, name)
    if exe:
        asm = os.path.join(workdir, "start.s")
        with open(asm, "w") as f:
            f.write(".text\n.globl start\n.globl _start\nstart:\n_start:\n ret\n")
        start = os.path.join(workdir, name + ".start.o")
        subprocess.run([prefix + "as", asm, "-o", start], check=True)
        subprocess.run([prefix + "ld", "-s", "--no-insert-timestamp", "-e", "start" if arch == "x86_64" else "_start", "-o", out,
                        start, obj], check=True)
    else:
        subprocess.run([prefix + "ld", "-s", "--no-insert-timestamp", "--dll", "-e", "0", "-o", out, obj], check=True)


def pe_modules():
    work = tempfile.mkdtemp()
    try:
        for f in ["sizes.ico", "depth-1.ico", "depth-8.ico", "depth-24.ico", "no-32.ico", "depth-32.ico",
                  "png-256.ico", "depth-4.ico"]:
            shutil.copy(os.path.join(HERE, f), work)
        # Named groups first (stored sorted by name), then ids ascending whatever the script order.
        groups = ['ZAPP ICON "sizes.ico"', '7 ICON "depth-24.ico"', 'APPLE ICON "depth-8.ico"',
                  '2 ICON "depth-1.ico"', '300 ICON "no-32.ico"']
        build_pe("icons32.dll", groups, "i686", workdir=work)
        build_pe("icons64.dll", groups, "x86_64", workdir=work)
        build_pe("tool.exe", ['1 ICON "depth-32.ico"', '5 ICON "png-256.ico"'], "x86_64", exe=True, workdir=work)
        build_pe("tool32.exe", ['MAINICON ICON "depth-4.ico"'], "i686", exe=True, workdir=work)
        build_pe("noicons.dll", ['STRINGTABLE', '{', '  1, "No icons here"', '}'], "i686", workdir=work)
        # Cursor groups: a library of cursors only, and one whose icon and cursor groups share an id.
        for name, data in cursor_files().items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        build_pe("cursors.dll", ['POINTER CURSOR "pointer.cur"', '4 CURSOR "arrows.cur"'], "i686", workdir=work)
        build_pe("mixed64.dll", ['1 ICON "depth-32.ico"', '1 CURSOR "pointer.cur"', 'ARROWS CURSOR "arrows.cur"'],
                 "x86_64", workdir=work)
        shapes = ["disc", "square", "diamond", "ring", "triangle"]
        lines = []
        for i in range(12):
            fname = f"small-{i}.ico"
            with open(os.path.join(work, fname), "wb") as f:
                f.write(small_icon(shapes[i % len(shapes)], i / 12.0))
        for gid in range(1, 321):
            lines.append(f'{gid} ICON "small-{gid % 12}.ico"')
        build_pe("many.dll", lines, "x86_64", workdir=work)
    finally:
        shutil.rmtree(work)


# ---------------------------------------------------------------- NE icon library

def ne_library(groups, shift=4, cursor_groups=()):
    """A 16-bit NE module holding only resources, laid out as the NE format documents it.
    groups: list of (name or integer id, icon file bytes), stored in this order; cursor_groups
    the same with cursor files, whose images are stored after their hot spot."""
    align = 1 << shift
    icons = []        # (id, image bytes)
    group_dirs = []   # (name or id, GRPICONDIR bytes)
    next_id = 1
    for gname, ico in groups:
        count = struct.unpack_from("<H", ico, 4)[0]
        body = struct.pack("<HHH", 0, 1, count)
        for i in range(count):
            w, h, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
            icons.append((next_id, ico[offset:offset + size]))
            body += struct.pack("<BBBBHHIH", w, h, colours, 0, planes, bits, size, next_id)
            next_id += 1
        group_dirs.append((gname, body))
    cursors = []      # (id, hot spot and image bytes)
    cursor_dirs = []  # (name or id, cursor group bytes)
    for gname, cur in cursor_groups:
        count = struct.unpack_from("<H", cur, 4)[0]
        body = struct.pack("<HHH", 0, 2, count)
        for i in range(count):
            w, h, _, _, hot_x, hot_y, size, offset = struct.unpack_from("<BBBBHHII", cur, 6 + 16 * i)
            image = cur[offset:offset + size]
            bits = struct.unpack_from("<H", image, 14)[0]
            cid = len(cursors) + 1
            cursors.append((cid, struct.pack("<HH", hot_x, hot_y) + image))
            body += struct.pack("<HHHHIH", w or 256, 2 * (h or 256), 1, bits, size + 4, cid)
        cursor_dirs.append((gname, body))

    # Resource table: shift, TYPEINFO + NAMEINFOs per type, 0, then the names.
    names = b""
    name_offsets = {}
    types = [t for t in [(0x8003, icons), (0x800E, group_dirs), (0x8001, cursors), (0x800C, cursor_dirs)] if t[1]]
    table_fixed = 2 + sum(8 + 12 * len(items) for _, items in types) + 2
    for gname, _ in group_dirs + cursor_dirs:
        if isinstance(gname, str):
            name_offsets[gname] = table_fixed + len(names)
            names += bytes([len(gname)]) + gname.encode("ascii")
    names += b"\x00"
    table_size = table_fixed + len(names)

    mz_size = 64
    ne_at = mz_size
    ne_size = 64
    table_at = ne_size                         # relative to the NE header
    resident_at = table_at + table_size
    resident = bytes([7]) + b"SHAPES1" + b"\x00\x00" + b"\x00"
    modref_at = resident_at + len(resident)
    imported_at = modref_at
    imported = b"\x00"
    entry_at = imported_at + len(imported)
    entry = b"\x00\x00"
    nonresident_abs = ne_at + entry_at + len(entry)
    nonresident = bytes([8]) + b"Shapes16" + b"\x00\x00" + b"\x00"
    header_end = nonresident_abs + len(nonresident)

    data = b""
    pos = (header_end + align - 1) // align * align

    def place(blob):
        nonlocal data, pos
        start = pos
        pad = (-len(blob)) % align
        data += blob + b"\x00" * pad
        pos += len(blob) + pad
        return start >> shift, (len(blob) + pad) >> shift

    table = struct.pack("<H", shift)
    resources = 0
    for type_id, items in types:
        table += struct.pack("<HHI", type_id, len(items), 0)
        for key, blob in items:
            off, length = place(blob)
            rid = name_offsets[key] if isinstance(key, str) else 0x8000 | key
            table += struct.pack("<HHHHHH", off, length, 0x1C30, rid, 0, 0)
            resources += 1
    table += struct.pack("<H", 0) + names
    assert len(table) == table_size

    mz = bytearray(mz_size)
    mz[0:2] = b"MZ"
    struct.pack_into("<H", mz, 0x18, 0x40)          # relocation table at 0x40 marks a new header
    struct.pack_into("<I", mz, 0x3C, ne_at)
    ne = bytearray(ne_size)
    ne[0:2] = b"NE"
    ne[2], ne[3] = 5, 10                            # linker version
    struct.pack_into("<H", ne, 0x04, entry_at)      # entry table
    struct.pack_into("<H", ne, 0x06, len(entry))
    struct.pack_into("<H", ne, 0x0C, 0x8000)        # library module
    struct.pack_into("<H", ne, 0x1C, 0)             # segments
    struct.pack_into("<H", ne, 0x1E, 0)             # module references
    struct.pack_into("<H", ne, 0x20, len(nonresident))
    struct.pack_into("<H", ne, 0x22, table_at)      # segment table (empty)
    struct.pack_into("<H", ne, 0x24, table_at)      # resource table
    struct.pack_into("<H", ne, 0x26, resident_at)   # resident names
    struct.pack_into("<H", ne, 0x28, modref_at)     # module references
    struct.pack_into("<H", ne, 0x2A, imported_at)   # imported names
    struct.pack_into("<I", ne, 0x2C, nonresident_abs)
    struct.pack_into("<H", ne, 0x32, shift)         # segment alignment shift
    struct.pack_into("<H", ne, 0x34, resources)
    ne[0x36] = 2                                    # Windows
    struct.pack_into("<H", ne, 0x3E, 0x030A)        # Windows 3.10
    head = bytes(mz) + bytes(ne) + table + resident + imported + entry + nonresident
    head += b"\x00" * ((header_end + align - 1) // align * align - len(head))
    return head + data


def ne_libraries():
    def read(name):
        with open(os.path.join(HERE, name), "rb") as f:
            return f.read()
    # Table order is not id order: 7, "BRAVO", 2.
    write("shapes.icl", ne_library([(7, read("depth-4.ico")), ("BRAVO", read("depth-32.ico")),
                                    (2, read("sizes.ico"))]))
    # A small one for the byte-flip sweep.
    write("tiny.icl", ne_library([("FIRST", read("depth-1.ico")), (3, read("depth-4.ico"))]))
    # A 16-bit library under the name old .dll files have, for the thumbnailer's file types.
    write("icons16.dll", ne_library([("DISC", read("depth-8.ico")), (5, read("no-32.ico"))]))
    # Cursor groups beside an icon group.
    cursors = cursor_files()
    write("cursors16.dll", ne_library([("DISC", read("depth-8.ico"))],
                                      cursor_groups=[("POINTER", cursors["pointer.cur"]), (4, cursors["arrows.cur"])]))


if __name__ == "__main__":
    icon_files()
    pe_modules()
    ne_libraries()

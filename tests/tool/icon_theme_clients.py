#!/usr/bin/python3
"""What `glimmer-extract install-icon` puts into the icon theme, read by GTK's own icon lookup under a
private XDG_DATA_HOME: every size found, the pixels as the icon holds them, the theme's icon-theme.cache
brought up to date both ways, and the launcher read by GIO and desktop-file-validate.

    icon_theme_clients.py GLIMMER_EXTRACT

Exits 77 (skipped) where GTK 3 for Python, gtk-update-icon-cache or desktop-file-validate is missing.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIP = 77
tool = sys.argv[1]
work = tempfile.mkdtemp(prefix="glimmer-icon-theme-")
data = os.path.join(work, "data")
theme = os.path.join(data, "icons", "hicolor")
os.makedirs(os.path.join(work, "home"))
# GLib reads these once, so they are set before GTK is loaded. The system's hicolor index.theme, which
# lists the theme's size folders, comes from /usr/share.
os.environ.update(XDG_DATA_HOME=data, HOME=os.path.join(work, "home"), XDG_DATA_DIRS="/usr/share")
os.environ.pop("XDG_CONFIG_HOME", None)

try:
    import gi
    gi.require_version("Gtk", "3.0")
    gi.require_version("GdkPixbuf", "2.0")
    from gi.repository import GdkPixbuf, Gio, Gtk
except (ImportError, ValueError) as error:
    print(f"SKIP: GTK 3 for Python is not installed (python3-gi, gir1.2-gtk-3.0): {error}")
    sys.exit(SKIP)
for program in ("gtk-update-icon-cache", "desktop-file-validate"):
    if shutil.which(program) is None:
        print(f"SKIP: {program} is not installed")
        sys.exit(SKIP)

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def pattern(side):
    """Every pixel of a side x side image different, some half and fully transparent: RGBA rows, top first."""
    rows = []
    for y in range(side):
        row = []
        for x in range(side):
            alpha = 0 if (x + y) % 7 == 0 else 128 if (x * y) % 5 == 1 else 255
            row.append(((x * 37 + side) % 256, (y * 53) % 256, (x ^ y) * 11 % 256, alpha))
        rows.append(row)
    return rows


def dib(rows):
    """A 32-bit icon image: BITMAPINFOHEADER (height doubled for the mask), BGRA rows bottom up, the mask."""
    side = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask = bytes(((side + 31) // 32) * 4 * side)
    return header + pixels + mask


def png(rows):
    side = len(rows)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def icon_file(images):
    """An .ico of (side, bytes) pairs; a 256 is written as 0 in the directory, as icon files do."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, body in images:
        directory += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    return directory + b"".join(body for _, body in images)


def run(*args, path=None):
    env = dict(os.environ)
    if path is not None:
        env["PATH"] = path
    return subprocess.run([tool, *args], capture_output=True, text=True, env=env)


def found(name, size):
    """The file GTK's lookup gives for the name at that size, or None."""
    lookup = Gtk.IconTheme.new()
    lookup.set_custom_theme("hicolor")
    info = lookup.lookup_icon(name, size, 0)
    return info.get_filename() if info else None


def ours(name, side):
    return os.path.join(theme, f"{side}x{side}", "apps", f"{name}.png")


try:
    images = {side: pattern(side) for side in (16, 32, 48, 256)}
    program = os.path.join(work, "Glimmer Test Game.exe")
    with open(program, "wb") as out:
        out.write(icon_file([(s, dib(images[s])) for s in (16, 32, 48)] + [(256, png(images[256]))]))

    name = "glimmer-test-launcher"
    done = run("install-icon", "--name", name, program)
    check(done.returncode == 0 and done.stdout == name + "\n", f"install-icon: {done.returncode} {done.stdout!r} {done.stderr!r}")
    for size in (16, 32, 48, 256):
        check(found(name, size) == ours(name, size), f"GTK at {size}: {found(name, size)}")
    # 24 has no file of its own: the nearest size the theme holds serves.
    check(found(name, 24) in (ours(name, 16), ours(name, 32)), f"GTK at 24: {found(name, 24)}")

    # GTK reads the 16 px file as the icon's own 16 x 16 image, pixel for pixel.
    pixbuf = GdkPixbuf.Pixbuf.new_from_file(ours(name, 16))
    shape = (pixbuf.get_width(), pixbuf.get_height(), pixbuf.get_n_channels())
    check(shape == (16, 16, 4), f"the 16 px file is {shape}")
    if shape == (16, 16, 4):
        pixels, stride = pixbuf.get_pixels(), pixbuf.get_rowstride()
        wrong = []
        for y in range(16):
            for x in range(16):
                got, want = tuple(pixels[y * stride + x * 4:y * stride + x * 4 + 4]), images[16][y][x]
                # A fully transparent pixel's colour is not seen.
                if got[3] != want[3] or (want[3] and got != want):
                    wrong.append((x, y, got, want))
        check(not wrong, f"16 px pixels differ: {wrong[:3]}")

    # A theme with a cache: GTK reads the cache instead of the folders while the cache is the newer.
    subprocess.run(["gtk-update-icon-cache", "--force", "--quiet", "--ignore-theme-index", theme], check=True)
    rebuilt = "glimmer-test-rebuilt"
    check(run("install-icon", "--name", rebuilt, program).returncode == 0, "install with gtk-update-icon-cache")
    check(found(rebuilt, 48) == ours(rebuilt, 48), f"GTK after a cache rebuild: {found(rebuilt, 48)}")
    # Without gtk-update-icon-cache the theme's folder is made newer than the cache, which GTK then passes over.
    empty_path = os.path.join(work, "no-programs")
    os.makedirs(empty_path)
    stale = "glimmer-test-stale"
    check(run("install-icon", "--name", stale, program, path=empty_path).returncode == 0, "install without the cache tool")
    check(found(stale, 48) == ours(stale, 48), f"GTK after the cache was marked stale: {found(stale, 48)}")
    subprocess.run(["gtk-update-icon-cache", "--force", "--quiet", "--ignore-theme-index", theme], check=True)
    gone = run("uninstall-icon", name, path=empty_path)
    check(gone.returncode == 0, f"uninstall-icon: {gone.returncode} {gone.stderr!r}")
    check(found(name, 48) is None, f"GTK after uninstall-icon: {found(name, 48)}")
    check(found(rebuilt, 48) == ours(rebuilt, 48), "the other icons stay")

    # The launcher: valid for desktop-file-validate, and read by GIO with our icon and command. GIO takes
    # only an entry whose program is on PATH: a stand-in for wine.
    stand_in = os.path.join(work, "bin")
    os.makedirs(stand_in)
    with open(os.path.join(stand_in, "wine"), "w") as out:
        out.write("#!/bin/sh\n")
    os.chmod(os.path.join(stand_in, "wine"), 0o755)
    os.environ["PATH"] = stand_in + os.pathsep + os.environ.get("PATH", "")
    command = f'wine "{work}/drive_c/Program Files/Game/game.exe"'
    launched = "glimmer-test-entry"
    check(run("install-icon", "--name", launched, "--desktop-entry", command, program).returncode == 0,
          "install-icon --desktop-entry")
    entry = os.path.join(data, "applications", f"{launched}.desktop")
    valid = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
    check(valid.returncode == 0 and not valid.stdout.strip(), f"desktop-file-validate: {valid.stdout}{valid.stderr}")
    info = Gio.DesktopAppInfo.new_from_filename(entry)
    check(info is not None and info.get_icon().to_string() == launched, "GIO reads the launcher's icon")
    check(info is not None and info.get_commandline() == command, f"GIO reads the command: {info and info.get_commandline()}")
    check(info is not None and info.get_name() == "Glimmer Test Game", f"its name: {info and info.get_name()}")
    check(info is not None and info.get_string("Path") == work, f"it starts in {info and info.get_string('Path')}")
    check(run("uninstall-icon", launched).returncode == 0 and not os.path.exists(entry), "the launcher goes with the icon")
finally:
    shutil.rmtree(work, ignore_errors=True)

if failures:
    print(f"{len(failures)} check(s) failed")
    sys.exit(1)
print("icon theme read by GTK OK")

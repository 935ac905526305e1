#!/usr/bin/python3
"""The file managers' own thumbnail machinery asked for thumbnails of FILES_DIR's files.

  thumbnailer_clients.py gnome FILES_DIR       GNOME's DesktopThumbnailFactory, at every size
  thumbnailer_clients.py gnome-user FILES_DIR  the same, with the program installed for one user
  thumbnailer_clients.py tumbler FILES_DIR     tumblerd on this session bus, at every flavour

Run by thumbnailer_clients.sh inside its private namespace (HOME is the test's own). noicons.dll
has no icon and must fail cleanly; every other file must get a thumbnail that is our picture.
"""

import hashlib
import glob
import os
import struct
import subprocess
import sys
import time

import faulthandler
import gi
# A hang shows where it is before the harness's own time runs out.
faulthandler.dump_traceback_later(240, exit=True)

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib  # noqa: E402

SIZES = {"normal": 128, "large": 256, "x-large": 512, "xx-large": 1024}
WITHOUT_ICONS = "noicons.dll"
failures = []


def fail(text):
    print("FAIL:", text)
    failures.append(text)


def describe(path):
    f = Gio.File.new_for_path(path)
    info = f.query_info("standard::content-type,time::modified", Gio.FileQueryInfoFlags.NONE, None)
    return f.get_uri(), info.get_content_type(), info.get_attribute_uint64("time::modified")


def png_text(path):
    """The tEXt keys of a PNG file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    keys, at = {}, 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"tEXt":
            key, _, value = data[at + 8:at + 8 + length].partition(b"\0")
            keys[key.decode("latin-1")] = value.decode("latin-1")
        at += 12 + length
    return keys


def pixels(pixbuf):
    if not pixbuf.get_has_alpha():
        pixbuf = pixbuf.add_alpha(False, 0, 0, 0)
    rows = pixbuf.get_pixels()
    stride, width = pixbuf.get_rowstride(), pixbuf.get_width()
    return (width, pixbuf.get_height(), b"".join(rows[y * stride:y * stride + width * 4] for y in range(pixbuf.get_height())))


def ours(path, size):
    """What glimmer-extract itself draws for the file at that size."""
    out = os.path.join(os.environ["HOME"], "ours.png")
    subprocess.run(["glimmer-extract", "thumbnail", "-s", str(size), path, out], check=True, timeout=60)
    return pixels(GdkPixbuf.Pixbuf.new_from_file(out))


def check_saved(flavour, path, uri, mtime):
    """The thumbnail in the cache, under the thumbnail specification's name and keys."""
    saved = os.path.join(os.environ["HOME"], ".cache", "thumbnails", flavour,
                         hashlib.md5(uri.encode()).hexdigest() + ".png")
    name = os.path.basename(path)
    if not os.path.isfile(saved):
        fail(f"{name} at {flavour}: no {saved}")
        return
    keys = png_text(saved) or {}
    if keys.get("Thumb::URI") != uri:
        fail(f"{name} at {flavour}: Thumb::URI is {keys.get('Thumb::URI')!r}, not {uri!r}")
    # Tumbler adds the microseconds; the seconds are what the specification asks for.
    if not keys.get("Thumb::MTime", "").split(".")[0] == str(mtime):
        fail(f"{name} at {flavour}: Thumb::MTime is {keys.get('Thumb::MTime')!r}, not {mtime}")
    picture = pixels(GdkPixbuf.Pixbuf.new_from_file(saved))
    if picture[:2] != (SIZES[flavour], SIZES[flavour]):
        fail(f"{name} at {flavour}: the thumbnail is {picture[0]}x{picture[1]}")
    elif picture != ours(path, SIZES[flavour]):
        fail(f"{name} at {flavour}: the thumbnail is not glimmer-extract's picture")


def gnome(files, installed):
    gi.require_version("GnomeDesktop", "3.0")
    from gi.repository import GnomeDesktop
    sizes = {"normal": GnomeDesktop.DesktopThumbnailSize.NORMAL, "large": GnomeDesktop.DesktopThumbnailSize.LARGE,
             "x-large": GnomeDesktop.DesktopThumbnailSize.XLARGE,
             "xx-large": GnomeDesktop.DesktopThumbnailSize.XXLARGE}
    for flavour, size in sizes.items():
        factory = GnomeDesktop.DesktopThumbnailFactory.new(size)
        for path in files:
            name = os.path.basename(path)
            uri, mime, mtime = describe(path)
            # As Nautilus does: ask, generate, then save the picture or record the failure.
            can = factory.can_thumbnail(uri, mime, mtime)
            if name == WITHOUT_ICONS and factory.has_valid_failed_thumbnail(uri, mtime):
                # Recorded at an earlier size: the factory asks no more, whatever the size.
                if can:
                    fail(f"{name} at {flavour}: offered again after its failure was recorded")
                continue
            if not installed:
                if can:
                    fail(f"{name} ({mime}) at {flavour}: a thumbnailer is offered though none can run")
                continue
            if not can:
                fail(f"{name} ({mime}) at {flavour}: the factory has no thumbnailer for it")
                continue
            start = time.monotonic()
            try:
                pixbuf = factory.generate_thumbnail(uri, mime)
            except GLib.Error as error:
                pixbuf = None
                why = error.message
            took = time.monotonic() - start
            if name == WITHOUT_ICONS:
                if pixbuf is not None:
                    fail(f"{name} at {flavour}: a thumbnail of a module without icons")
                factory.create_failed_thumbnail(uri, mtime)
                if not factory.has_valid_failed_thumbnail(uri, mtime):
                    fail(f"{name} at {flavour}: the failure was not recorded")
                print(f"{name} at {flavour}: failed as it should in {took:.2f} s ({why})")
                continue
            if pixbuf is None:
                fail(f"{name} ({mime}) at {flavour}: {why}")
                continue
            factory.save_thumbnail(pixbuf, uri, mtime)
            check_saved(flavour, path, uri, mtime)
            print(f"{name} ({mime}) at {flavour}: {pixbuf.get_width()}x{pixbuf.get_height()} in {took:.2f} s")
    if not installed:
        recorded = glob.glob(os.path.join(os.environ["HOME"], ".cache", "thumbnails", "**", "*.png"), recursive=True)
        if recorded:
            fail(f"the factory recorded {recorded}")


def tumbler(files):
    name = "org.freedesktop.thumbnails.Thumbnailer1"
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    daemon = subprocess.Popen(glob.glob("/usr/lib/*/tumbler-1/tumblerd")[:1])
    try:
        deadline = time.monotonic() + 60
        while not bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                                GLib.Variant("(s)", (name,)), None, Gio.DBusCallFlags.NONE, -1, None).unpack()[0]:
            if time.monotonic() > deadline or daemon.poll() is not None:
                fail("tumblerd did not come up on the session bus")
                return
            time.sleep(0.1)
        proxy = Gio.DBusProxy.new_sync(bus, Gio.DBusProxyFlags.NONE, None, name, "/org/freedesktop/thumbnails/Thumbnailer1",
                                       name, None)
        described = [describe(path) for path in files]
        for flavour in SIZES:
            ready, errors, finished = set(), {}, []
            loop = GLib.MainLoop()

            def on_signal(_proxy, _sender, signal, parameters):
                values = parameters.unpack()
                if signal == "Ready":
                    ready.update(values[1])
                elif signal == "Error":
                    errors.update({uri: values[3] for uri in values[1]})
                elif signal == "Finished":
                    finished.append(values[0])
                    loop.quit()

            handler = proxy.connect("g-signal", on_signal)
            proxy.call_sync("Queue", GLib.Variant("(asasssu)", ([d[0] for d in described], [d[1] for d in described],
                                                              flavour, "default", 0)), Gio.DBusCallFlags.NONE, -1, None)
            timer = GLib.timeout_add_seconds(120, loop.quit)
            loop.run()
            GLib.source_remove(timer) if finished else None
            proxy.disconnect(handler)
            if not finished:
                fail(f"{flavour}: tumbler did not finish within 120 s")
                continue
            for path, (uri, mime, mtime) in zip(files, described):
                base = os.path.basename(path)
                if base == WITHOUT_ICONS:
                    if uri not in errors:
                        fail(f"{base} at {flavour}: no error reported")
                    else:
                        print(f"{base} at {flavour}: failed as it should ({errors[uri]})")
                    continue
                if uri not in ready:
                    fail(f"{base} ({mime}) at {flavour}: not ready: {errors.get(uri, 'no word')}")
                    continue
                check_saved(flavour, path, uri, mtime)
                print(f"{base} ({mime}) at {flavour}: ready")
    finally:
        daemon.terminate()
        daemon.wait(timeout=30)


def main():
    mode, folder = sys.argv[1], sys.argv[2]
    files = sorted(os.path.join(folder, f) for f in os.listdir(folder))
    if mode == "tumbler":
        tumbler(files)
    else:
        gnome(files, installed=mode == "gnome")
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print(f"{mode}: every check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

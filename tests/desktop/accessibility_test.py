#!/usr/bin/python3
"""The built program as a screen reader meets it: on Xvfb, with a session bus and an accessibility
bus of its own (dbus-run-session, at-spi-bus-launcher), read through pyatspi, the library Orca is
built on. The views and the progress bar carry names; after the samples are extracted every icon
of the gallery is named by its caption and described by its file, its number there and its images;
the keyboard reaches the gallery's menu and its save dialog, and each step is announced.

    accessibility_test.py PROGRAM SOURCE_DIR

Exits 77 (skipped) when a package it needs is not installed.
"""
import importlib.util
import os
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_test  # noqa: E402
from desktop_test import PRODUCT, Desktop, Failure, check, run_checks, wait_until  # noqa: E402

# Nothing should take this long; past it the run stops and says so rather than hang.
WHOLE_RUN_SECONDS = 240
LAUNCHERS = ["/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"]
GALLERY_MENU = ["Save Original Icon...", "Save as PNG...", "Copy Image", "Add to Icon Theme..."]


class Bus:
    """The accessibility bus of the private session, read through pyatspi."""

    def __init__(self, work):
        launcher = next(path for path in LAUNCHERS if os.path.exists(path))
        runtime = os.path.join(work, "a11y-runtime")
        os.makedirs(runtime, mode=0o700)
        # Its socket goes into a folder of ours; on our X server it leaves the bus's address as a
        # real session's launcher does.
        self.launcher = subprocess.Popen([launcher, "--launch-immediately"],
                                         env=dict(os.environ, XDG_RUNTIME_DIR=runtime),
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        from gi.repository import Gio, GLib
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

        def address():
            try:
                return session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                         GLib.VariantType("(s)"), Gio.DBusCallFlags.NO_AUTO_START, 1000,
                                         None).unpack()[0]
            except GLib.Error:
                return None
        wait_until("the accessibility bus", address)
        import pyatspi
        self.atspi = pyatspi
        self.context = GLib.MainContext.default()
        self.events = []
        pyatspi.Registry.registerEventListener(self.record, "object:state-changed:focused", "window:activate")

    def close(self):
        self.launcher.terminate()
        try:
            self.launcher.wait(5)
        except subprocess.TimeoutExpired:
            self.launcher.kill()

    def record(self, event):
        """Keeps what a screen reader would say for the event, read while the object is there."""
        if event.type.startswith("object:state-changed:focused") and not event.detail1:
            return
        try:
            source = event.source
            self.events.append((event.type.split(":")[0], source.getRoleName(), source.name,
                                source.description, source))
        except Exception:  # the object went away before it could be read
            pass

    def pump(self):
        while self.context.pending():
            self.context.iteration(False)

    def wait(self, what, probe):
        """wait_until, with the events that keep pyatspi's copies of names current handled first."""
        def pumped():
            self.pump()
            return probe()
        return wait_until(what, pumped)

    def application(self, program):
        """The program's entry on the bus, once it has registered."""
        def probe():
            if program.process.poll() is not None:
                raise Failure(f"the program ended ({program.process.returncode})")
            return next((app for app in children(self.atspi.Registry.getDesktop(0))
                         if app is not None and app.get_process_id() == program.pid), None)
        return self.wait("the program on the accessibility bus", probe)

    def announced(self, what, kind, role, name=None):
        """Waits for an event of this kind on an object of this role and name (None: any); returns it."""
        def probe():
            for i, event in enumerate(self.events):
                if event[0] == kind and role in (None, event[1]) and name in (None, event[2]):
                    del self.events[:i + 1]
                    return event
            return None
        try:
            return self.wait(what, probe)
        except Failure:
            heard = [f"{e[0]} {e[1]} {e[2]!r}" for e in self.events]
            raise Failure(f"timed out waiting for {what}; announced: {heard}") from None


def children(acc):
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)]


def controls(acc):
    """Every object below acc, the items of views left out."""
    found = []
    for child in children(acc):
        found.append(child)
        if child.getRoleName() not in ("list", "tree"):
            found.extend(controls(child))
    return found


def control(window, role, name=None):
    matches = [c for c in controls(window) if c.getRoleName() == role and (name is None or c.name == name)]
    check(len(matches) == 1, f"{len(matches)} objects of role {role!r} named {name!r}")
    return matches[0]


def press(window, name):
    """Presses a button through its action, as a screen reader's command does."""
    action = control(window, "push button", name).queryAction()
    check(action.getName(0) == "Press", f"the first action of {name!r} is {action.getName(0)!r}")
    action.doAction(0)


def main_window(bus, program):
    app = bus.application(program)
    return bus.wait("the main window on the bus", lambda: next((w for w in children(app) if w.name == PRODUCT), None))


def extract_samples(bus, program):
    """Adds the sample folder and extracts it; returns the window and the gallery."""
    window = main_window(bus, program)
    press(window, "Load Sample/Example Folders")
    press(window, "Start Extracting Icons")
    counters = bus.wait("the counters", lambda: next(
        (c for c in children(window) if c.getRoleName() == "label" and c.name.startswith("Total Files:")), None))
    gallery = control(window, "list", "Icons")
    check(counters.name.endswith(f"Total Icons: {gallery.childCount}"),
          f"the counters say {counters.name!r}, the gallery holds {gallery.childCount} items")
    return window, gallery


# --- the checks ---------------------------------------------------------------------------------

def test_views_and_progress_bar_are_named(desktop, env):
    """The source list, the gallery and the progress bar have names; so has every control the
    keyboard can reach."""
    p = env.program("names").start(**env.program_env)
    window = main_window(env.bus, p)
    check(control(window, "tree").name == "Folder(s)", f"the source list is named {control(window, 'tree').name!r}")
    check(control(window, "list").name == "Icons", f"the gallery is named {control(window, 'list').name!r}")
    check(control(window, "progress bar").name == "Extraction progress",
          f"the progress bar is named {control(window, 'progress bar').name!r}")
    focusable = env.bus.atspi.STATE_FOCUSABLE
    nameless = [c.getRoleName() for c in controls(window) if c.getState().contains(focusable) and not c.name.strip()]
    check(not nameless, f"focusable controls without a name: {nameless}")


def test_gallery_items_tell_their_icons_apart(desktop, env):
    """After the samples are extracted each item is named by its caption and described by its
    file, its number in the file and its images, as its tooltip is."""
    p = env.program("items", samples=env.samples).start(**env.program_env)
    _, gallery = extract_samples(env.bus, p)
    samples = os.path.join(p.folder, "program", "Samples")
    numbers = {}
    descriptions = set()
    for item in children(gallery):
        name, description = item.name, item.description
        number = numbers[name] = numbers.get(name, -1) + 1
        lines = description.split("\n")
        check(len(lines) == 3 and lines[:2] == [os.path.join(samples, name), f"Icon number {number} in the file"]
              and lines[2], f"item {name!r} number {number} is described as {description!r}")
        descriptions.add(description)
    check(len(descriptions) == gallery.childCount, "two items have the same description")
    check(os.path.join(samples, "icons32.dll") + "\nIcon number 1 in the file\n"
          "16x16 8-bit, 32x32 4-bit, 32x32 24-bit, 32x32 32-bit, 48x48 32-bit, 256x256 PNG" in descriptions,
          "icon 1 of icons32.dll does not name its six images")


def test_menu_and_save_dialog_are_announced(desktop, env):
    """From the keyboard: the first icon, announced with its description; the Menu key and Down,
    announced as the menu's first entry beside the others; Return, announced as the save dialog
    with its file name field; Return again saves the icon."""
    p = env.program("menu", samples=env.samples)
    p.write_settings({"Output Directory": p.out + "/"})
    p.start(**env.program_env)
    _, gallery = extract_samples(env.bus, p)
    last = gallery.getChildAtIndex(gallery.childCount - 1).name
    main = p.main_window()
    env.bus.events.clear()
    # Keys pressed before the program has taken the keyboard would go nowhere.
    desktop.xdotool("windowfocus", "--sync", str(main.id))
    env.bus.announced("the window active", "window", None, PRODUCT)

    # The window opens on the gallery's first icon without choosing it: End and Home choose it.
    desktop.keys(main, "End")
    env.bus.announced("the last icon focused", "object", "list item", last)
    desktop.keys(main, "Home")
    item = env.bus.announced("the first icon focused", "object", "list item", "GLOBE.ICO")
    check(item[3].endswith("/Samples/GLOBE.ICO\nIcon number 0 in the file\n32x32 32-bit"),
          f"the first icon is announced with {item[3]!r}")

    desktop.keys(main, "Menu", "Down")
    entry = env.bus.announced("the menu's first entry focused", "object", "menu item", GALLERY_MENU[0])
    menu = entry[4].parent
    entries = [(e.name, e.getState().contains(env.bus.atspi.STATE_ENABLED)) for e in children(menu)]
    check(entries == [(name, True) for name in GALLERY_MENU], f"the menu holds {entries}")

    desktop.keys(main, "Return")
    env.bus.announced("the save dialog", "window", "dialog", "Save Original Icon")
    field = env.bus.announced("the file name field focused", "object", "text", "File name:")
    text = field[4].queryText()
    check(text.getText(0, -1) == "GLOBE.ico", f"the file name field holds {text.getText(0, -1)!r}")
    desktop.keys(p.window("Save Original Icon"), "Return")
    wait_until("the icon saved", lambda: os.listdir(p.out) == ["GLOBE.ico"])


class Environment(desktop_test.Environment):
    def __init__(self, desktop, bus, built, source, work):
        super().__init__(desktop, built, source, work)
        self.bus = bus
        folder = os.path.join(source, "Samples")
        self.samples = [(name, os.path.join(folder, name)) for name in sorted(os.listdir(folder))]
        self.program_env = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}


TESTS = [test_views_and_progress_bar_are_named, test_gallery_items_tell_their_icons_apart,
         test_menu_and_save_dialog_are_announced]


def missing_packages():
    missing = []
    for tool, package in (("Xvfb", "xvfb"), ("xdotool", "xdotool"), ("dbus-run-session", "dbus-daemon")):
        if shutil.which(tool) is None:
            missing.append(package)
    if not any(os.path.exists(path) for path in LAUNCHERS):
        missing.append("at-spi2-core")
    for module, package in (("pyatspi", "python3-pyatspi"), ("Xlib", "python3-xlib")):
        if importlib.util.find_spec(module) is None:
            missing.append(package)
    return missing


class TimedOut(Exception):
    """Ends the whole run, not just the check under way."""


def timed_out(signum, frame):
    raise TimedOut(f"the run took longer than {WHOLE_RUN_SECONDS} s")


def run(built, source):
    signal.signal(signal.SIGALRM, timed_out)
    signal.alarm(WHOLE_RUN_SECONDS)
    with tempfile.TemporaryDirectory(prefix="gg-a11y-") as work:
        desktop = Desktop("bare", work)
        bus = None
        try:
            bus = Bus(work)
            failures = run_checks(TESTS, desktop, Environment(desktop, bus, built, source, work))
        except (Failure, TimedOut) as e:
            failures = len(TESTS)
            print(f"FAIL: {e}")
        finally:
            signal.alarm(0)
            if bus is not None:
                bus.close()
            desktop.close()
    print(f"{len(TESTS) - failures} passed, {failures} failed")
    return 1 if failures else 0


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    missing = missing_packages()
    if missing:
        print("SKIP: missing " + ", ".join(missing) + " (scripts/deps installs them)")
        return 77
    built, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if os.environ.get("GG_PRIVATE_SESSION") != "1":
        # A session bus of its own, so that the accessibility bus and its registry are ours alone.
        # The program finds the accessibility bus through it, as in a desktop session: an address
        # inherited from the caller's session must not lead elsewhere, and Qt 6.4 given one in
        # AT_SPI_BUS_ADDRESS connects to that bus but never registers on it.
        env = {k: v for k, v in os.environ.items() if not k.startswith("AT_SPI_")}
        env["GG_PRIVATE_SESSION"] = "1"
        return subprocess.run(["dbus-run-session", "--", sys.executable, os.path.abspath(__file__), built, source],
                              env=env).returncode
    return run(built, source)


if __name__ == "__main__":
    sys.exit(main())

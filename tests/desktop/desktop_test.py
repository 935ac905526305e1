#!/usr/bin/python3
"""The built program on a real X server, seen from outside as a desktop sees it: the title bars
(_NET_WM_NAME), where the window opens, the pointer over the text box and over a box shown while
busy, Tab and the arrows as real key presses, where the folder dialog opens, the gallery's menu
from the Menu key and the save dialog it opens, and which settings files the program reads and writes.

    desktop_test.py bare|wm PROGRAM SOURCE_DIR

"bare" runs on Xvfb alone; "wm" under jwm, a small window manager that frames the windows and
keeps a panel at the bottom of the screen. Input goes through xdotool, the way a person's would.
Exits 77 (skipped) when Xvfb is not installed.
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

PRODUCT = "Tessaly Glimmer Gatherer Suite"
APP_TITLE = "Tessaly Glimmer Gatherer"
FOLDER_DIALOG = "Please select folder:"
LIST_FILE_DIALOG = "Add File(s) - Hold Ctrl to select multiple files"
REPORT = "Application Error"
CLIENT_SIZE = (536, 664)
# Sanitizer builds start slowly; nothing waits this long when all is well.
TIMEOUT = 20.0

# Centres of the controls the tests press, in the window's client area (the layout's twips / 15).
AT = {
    "background": (3, 3),
    "add_folder": (136, 197),
    "list_file": (400, 197),
    "clear": (136, 231),
    "samples": (400, 231),
    "extract": (268, 265),
    "first_icon": (64, 400),
    "output_box": (243, 533),
    "choose_output": (492, 533),
    "save_all": (268, 609),
}

JWM_CONFIG = """<?xml version="1.0"?>
<JWM>
  <Tray x="0" y="-1" height="24" autohide="off"><TaskList/></Tray>
  <WindowStyle><Font>Sans-10</Font><Width>4</Width><Height>22</Height></WindowStyle>
  <FocusModel>click</FocusModel>
</JWM>
"""


class Failure(Exception):
    pass


def wait_until(what, probe, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.02)


class Desktop:
    """One Xvfb (and, for "wm", jwm) for the whole run."""

    def __init__(self, mode, work):
        self.mode = mode
        self.work = work
        self.processes = []
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp"], pass_fds=[write_end],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(xvfb)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.display_name = ":" + number
        os.environ["DISPLAY"] = self.display_name
        from Xlib import X, Xatom, display, error  # noqa: F401 (checked before the X server starts)
        self.X, self.Xatom, self.XError = X, Xatom, error.XError
        self.d = display.Display(self.display_name)
        self.root = self.d.screen().root
        self.d.xfixes_query_version()
        if mode == "wm":
            config = os.path.join(work, "jwmrc")
            with open(config, "w") as f:
                f.write(JWM_CONFIG)
            self.processes.append(subprocess.Popen(["jwm", "-f", config], stdout=subprocess.DEVNULL,
                                                   stderr=subprocess.DEVNULL))
            wait_until("the window manager", lambda: self.prop(self.root, "_NET_SUPPORTING_WM_CHECK"))
            wait_until("the panel's work area", lambda: self.work_area()[3] < 1024)

    def close(self):
        for p in reversed(self.processes):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()

    def atom(self, name):
        return self.d.intern_atom(name)

    def prop(self, window, name):
        try:
            p = window.get_full_property(self.atom(name), self.X.AnyPropertyType)
        except self.XError:
            return None
        return p.value if p else None

    def work_area(self):
        area = self.prop(self.root, "_NET_WORKAREA")
        if area is not None and len(area) >= 4:
            return tuple(int(v) for v in area[:4])
        s = self.d.screen()
        return (0, 0, s.width_in_pixels, s.height_in_pixels)

    def windows_of(self, pid):
        """Title -> window for every mapped window of the process."""
        found = {}
        stack = [self.root]
        while stack:
            w = stack.pop()
            try:
                stack.extend(w.query_tree().children)
                if w == self.root or w.get_attributes().map_state != self.X.IsViewable:
                    continue
            except self.XError:
                continue
            owner = self.prop(w, "_NET_WM_PID")
            name = self.prop(w, "_NET_WM_NAME")
            if owner is not None and int(owner[0]) == pid and name is not None:
                found[name.decode("utf-8")] = w
        self.d.sync()
        return found

    def origin(self, w):
        """The client area's top-left corner on the screen."""
        r = self.root.translate_coords(w, 0, 0)
        return r.x, r.y

    def frame(self, w):
        """The window manager's frame around w (w itself where there is none)."""
        while True:
            parent = w.query_tree().parent
            if parent == self.root:
                return w
            w = parent

    def outer_rect(self, w):
        f = self.frame(w)
        g = f.get_geometry()
        x, y = self.origin(f)
        return x, y, g.width + 2 * g.border_width, g.height + 2 * g.border_width

    def uncovered_corner(self, w, cover):
        """A point of w's background near one of its corners that the window cover leaves free."""
        x, y = self.origin(w)
        cx, cy, cw, ch = self.outer_rect(cover)
        for dx, dy in ((3, 3), (CLIENT_SIZE[0] - 4, 3), (3, CLIENT_SIZE[1] - 4),
                       (CLIENT_SIZE[0] - 4, CLIENT_SIZE[1] - 4)):
            if not (cx <= x + dx < cx + cw and cy <= y + dy < cy + ch):
                return dx, dy
        raise Failure("the box covers every corner of the window")

    def cursor(self):
        """What the pointer looks like now: size, hot spot and a digest of its pixels."""
        c = self.d.xfixes_get_cursor_image(self.root)
        pixels = b"".join(int(v).to_bytes(4, "little") for v in c.cursor_image)
        return (c.width, c.height, c.xhot, c.yhot, hashlib.sha1(pixels).hexdigest())

    def steady_cursor(self):
        """The pointer once it has looked the same for 100 ms; the program may change it on a move."""
        last, same = None, 0
        deadline = time.monotonic() + TIMEOUT
        while same < 5:
            now = self.cursor()
            same = same + 1 if now == last else 0
            last = now
            if time.monotonic() > deadline:
                raise Failure("the pointer never settled")
            time.sleep(0.02)
        return last

    def focused(self):
        return self.d.get_input_focus().focus

    # --- input, through xdotool ---------------------------------------------------------------

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], check=True, env=dict(os.environ, DISPLAY=self.display_name))

    def point_at(self, w, where):
        x, y = self.origin(w)
        dx, dy = AT[where] if isinstance(where, str) else where
        self.xdotool("mousemove", "--sync", str(x + dx), str(y + dy))

    def click(self, w, where):
        self.point_at(w, where)
        self.xdotool("click", "1")

    def keys(self, w, *names):
        """Gives w the keyboard, as a click on its title bar or the desktop's focus rule would, and types."""
        self.xdotool("windowactivate" if self.mode == "wm" else "windowfocus", "--sync", str(w.id))
        wait_until("the keyboard focus", lambda: self.focused() == w)
        self.xdotool("key", "--delay", "20", *names)


class Program:
    """A copy of the built program in a folder of its own, with its own home and settings."""

    def __init__(self, desktop, built, root, name, hand_pointer=None, samples=()):
        self.desktop = desktop
        self.folder = os.path.join(root, name)
        self.home = os.path.join(self.folder, "home")
        self.config = os.path.join(self.home, ".config")
        self.system = os.path.join(self.folder, "xdg")
        self.out = os.path.join(self.folder, "out")
        for d in (self.config, self.system, self.out, os.path.join(self.folder, "program")):
            os.makedirs(d)
        self.exe = os.path.join(self.folder, "program", os.path.basename(built))
        shutil.copy2(built, self.exe)
        if hand_pointer is not None:
            with open(os.path.join(self.folder, "program", "HAND-M.CUR"), "wb") as f:
                f.write(hand_pointer)
        if samples:
            os.makedirs(os.path.join(self.folder, "program", "Samples"))
            for target, source in samples:
                shutil.copy(source, os.path.join(self.folder, "program", "Samples", target))
        # A system-wide file whose values must never reach the user.
        with open(os.path.join(self.system, "Vorlentis.conf"), "w") as f:
            f.write("[Tessaly%20Glimmer%20Gatherer%20Suite]\n"
                    "Output%20Directory=/from/the/system/\nLastFolderDot=/\n")
        self.process = None

    def write_settings(self, values):
        """The user's own settings file, as an earlier run would have left it."""
        with open(os.path.join(self.config, "Vorlentis.conf"), "w") as f:
            f.write("[Tessaly%20Glimmer%20Gatherer%20Suite]\n")
            for key, value in values.items():
                f.write(f"{key.replace(' ', '%20')}={value}\n")

    def start(self, **extra_env):
        runtime = os.path.join(self.folder, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "XDG_", "XCURSOR_"))}
        # No pointer theme: the X server's own pointers are still pictures, where a theme's hourglass
        # would be an animation that never looks the same twice.
        env.update(HOME=self.home, XDG_CONFIG_HOME=self.config, XDG_CONFIG_DIRS=self.system,
                   XDG_RUNTIME_DIR=runtime, XCURSOR_PATH=os.path.join(self.folder, "no-pointer-themes"),
                   QT_QPA_PLATFORM="xcb", LANG="C.UTF-8", DISPLAY=self.desktop.display_name)
        env.update(extra_env)
        if "ASAN_OPTIONS" in env:
            # libxkbcommon-x11 hands strndup() names that are not NUL-terminated, which is allowed
            # but which the strict string check reports; the program's own code stays checked.
            env["ASAN_OPTIONS"] += ":strict_string_checks=0"
        with open(os.path.join(self.folder, "program.log"), "w") as log:
            self.process = subprocess.Popen([self.exe], cwd=self.folder, env=env,
                                            stdout=log, stderr=subprocess.STDOUT)
        self.pid = self.process.pid
        return self

    def stop(self):
        """Ends the program; returns what it printed."""
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        with open(os.path.join(self.folder, "program.log"), errors="replace") as log:
            return log.read().strip()

    def window(self, title):
        """Waits for a window of exactly this title; the failure names the titles there were."""
        seen = {}

        def probe():
            if self.process.poll() is not None:
                raise Failure(f"the program ended ({self.process.returncode}) while waiting for \"{title}\"")
            seen.clear()
            seen.update(self.desktop.windows_of(self.pid))
            return seen.get(title)

        try:
            return wait_until(f"a window titled \"{title}\"", probe)
        except Failure as e:
            raise Failure(f"{e}; the program's windows: {sorted(seen)}") from None

    def gone(self, title):
        wait_until(f"\"{title}\" to close", lambda: title not in self.desktop.windows_of(self.pid))

    def main_window(self):
        return self.window(PRODUCT)

    def setting(self, key):
        try:
            with open(os.path.join(self.config, "Vorlentis.conf")) as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return None
        prefix = key.replace(" ", "%20") + "="
        return next((line[len(prefix):] for line in lines if line.startswith(prefix)), None)

    def press_save_all(self, main):
        """Presses "Start Saving All Icons" until the run answers "Done."; a press while the extraction
        run still works is ignored."""
        def done():
            self.desktop.click(main, "save_all")
            try:
                return wait_until("Done.", lambda: self.desktop.windows_of(self.pid).get(APP_TITLE), 1.0)
            except Failure:
                return None
        box = wait_until("the save run", done)
        self.desktop.keys(box, "Return")
        self.gone(APP_TITLE)


# --- the checks ---------------------------------------------------------------------------------

def check(condition, message):
    if not condition:
        raise Failure(message)


def test_report_title_then_window_centred(desktop, env):
    """A hand pointer file that is no cursor gives an error report at start-up; then the window."""
    p = env.program("startup", hand_pointer=b"not a cursor at all").start()
    report = p.window(REPORT)
    desktop.keys(report, "Return")
    main = p.main_window()
    check(desktop.windows_of(p.pid).keys() == {PRODUCT}, f"windows: {sorted(desktop.windows_of(p.pid))}")

    # The frame centred on the free part of the screen; on a bare server the client area.
    ax, ay, aw, ah = desktop.work_area()
    def centred():
        x, y, w, h = desktop.outer_rect(main)
        return abs((x + w / 2) - (ax + aw / 2)) <= 1 and abs((y + h / 2) - (ay + ah / 2)) <= 1
    try:
        wait_until("the window centred", centred, 3.0)
    except Failure:
        raise Failure(f"window at {desktop.outer_rect(main)}, screen area {desktop.work_area()}") from None
    gx = main.get_geometry()
    check((gx.width, gx.height) == CLIENT_SIZE, f"client area {gx.width} x {gx.height}")
    if desktop.mode == "wm":
        check(desktop.frame(main) != main, "the window manager did not frame the window")

    # Only the user's own settings count: the system-wide file's output folder is not taken.
    check(p.setting("Output Directory") == p.home + "/Desktop/",
          f"output folder {p.setting('Output Directory')!r}")


def test_pointer_rules_stop_at_the_window(desktop, env):
    """The hand stays over the text box; a box raised while busy shows its own pointer."""
    p = env.program("pointer").start()
    main = p.main_window()
    desktop.point_at(main, "background")
    arrow = desktop.steady_cursor()
    desktop.point_at(main, "extract")
    hand = wait_until("the hand over a button", lambda: desktop.cursor() != arrow and desktop.steady_cursor())
    desktop.point_at(main, "output_box")
    check(desktop.steady_cursor() == hand, "over the output folder box the hand gave way")
    desktop.point_at(main, "background")
    wait_until("the arrow over the background", lambda: desktop.cursor() == arrow)
    desktop.point_at(main, "output_box")
    check(desktop.steady_cursor() != hand, "the text box lost its own pointer after the hand")

    # The samples folder is missing beside this copy, so the listing fails while the hourglass shows.
    desktop.click(main, "samples")
    desktop.click(main, "extract")
    report = p.window(REPORT)
    desktop.point_at(main, desktop.uncovered_corner(main, report))
    busy = desktop.steady_cursor()
    check(busy != arrow, "no hourglass over the window during the run")
    g = report.get_geometry()
    desktop.point_at(report, (g.width // 2, g.height // 3))
    check(desktop.steady_cursor() != busy, "the error report shows the hourglass")
    desktop.keys(report, "Return")
    p.gone(REPORT)

    # A plain message box carries the application title; a dialog exactly its own.
    desktop.click(main, "clear")
    desktop.click(main, "extract")
    box = p.window(APP_TITLE)
    desktop.keys(box, "Return")
    p.gone(APP_TITLE)
    desktop.click(main, "list_file")
    desktop.keys(p.window(APP_TITLE), "Return")
    dialog = p.window(LIST_FILE_DIALOG)
    desktop.keys(dialog, "Escape")
    p.gone(LIST_FILE_DIALOG)


def test_tab_enters_the_options_on_the_chosen_one(desktop, env):
    """Tab, Tab, Tab from the gallery reaches "Application Files"; Up chooses "All Files", so a
    sample that only "All Files" lists is saved."""
    p = env.program("keys", samples=[("only-all-files.bin", env.icon)])
    p.write_settings({"Output Directory": p.out + "/"})
    main = p.start().main_window()
    desktop.keys(main, "Tab", "Tab", "Tab", "Up")
    desktop.click(main, "samples")
    desktop.click(main, "extract")
    p.press_save_all(main)
    check(os.listdir(p.out) == ["only-all-files.ico"],
          f"saved {os.listdir(p.out)}: the keys did not choose \"All Files\"")


def test_folder_dialog_opens_at_its_own_place(desktop, env):
    """After "..." chose the output folder, "Add Folder and Subfolders" still opens at the home
    folder: Return there adds the home tree, whose icon is then saved into the output folder."""
    p = env.program("dialog")
    shutil.copy(env.icon, os.path.join(p.home, "from-home.ico"))
    p.write_settings({"LastFolderDot": p.out})
    main = p.start().main_window()
    desktop.click(main, "choose_output")
    desktop.keys(p.window(FOLDER_DIALOG), "Return")
    p.gone(FOLDER_DIALOG)
    wait_until("the output folder chosen", lambda: p.setting("Output Directory") == p.out + "/")
    desktop.click(main, "add_folder")
    desktop.keys(p.window(FOLDER_DIALOG), "Return")
    p.gone(FOLDER_DIALOG)
    desktop.click(main, "extract")
    p.press_save_all(main)
    check(os.listdir(p.out) == ["from-home.ico"],
          f"saved {os.listdir(p.out)}: the folder dialog did not open at the home folder")
    # The program keeps its own settings file and no other (Qt's dialog would add QtProject.conf).
    check(sorted(os.listdir(p.config)) == ["Vorlentis.conf"], f"settings files {sorted(os.listdir(p.config))}")


def test_menu_key_saves_the_original_through_the_save_dialog(desktop, env):
    """The Menu key opens the gallery's menu (the window system sends it as a keyboard request);
    its first entry opens the save dialog under its own title on a free name in the output
    folder, and Return there writes the icon's whole group."""
    p = env.program("menu", samples=[("sample.ico", env.icon)])
    p.write_settings({"Output Directory": p.out + "/"})
    main = p.start().main_window()
    desktop.click(main, "samples")
    desktop.click(main, "extract")
    desktop.click(main, "first_icon")
    desktop.keys(main, "Menu", "Down", "Return")
    desktop.keys(p.window("Save Original Icon"), "Return")
    p.gone("Save Original Icon")
    saved = os.path.join(p.out, "sample.ico")
    wait_until("the icon saved", lambda: os.path.exists(saved))
    with open(saved, "rb") as f, open(env.icon, "rb") as g:
        check(f.read() == g.read(), "the saved icon is not the sample's group")
    check(os.listdir(p.out) == ["sample.ico"], f"saved {os.listdir(p.out)}")


class Environment:
    def __init__(self, desktop, built, source, work):
        self.desktop, self.built, self.work = desktop, built, work
        self.icon = os.path.join(source, "tests", "data", "depth-24.ico")
        self.running = []

    def program(self, name, **kwargs):
        p = Program(self.desktop, self.built, self.work, name, **kwargs)
        self.running.append(p)
        return p


def run_checks(tests, desktop, env):
    """Runs each check, printing how it went; the programs it started end with it. Returns how
    many failed."""
    failures = 0
    for test in tests:
        started = time.monotonic()
        try:
            test(desktop, env)
            print(f"ok   {test.__name__} ({time.monotonic() - started:.1f} s)")
        except Failure as e:
            failures += 1
            print(f"FAIL {test.__name__}: {e}")
            for p in env.running:
                output = p.stop()
                if output:
                    print("  the program printed:\n    " + output.replace("\n", "\n    "))
        finally:
            for p in env.running:
                p.stop()
            env.running.clear()
    return failures


TESTS = [test_report_title_then_window_centred, test_pointer_rules_stop_at_the_window,
         test_tab_enters_the_options_on_the_chosen_one, test_folder_dialog_opens_at_its_own_place,
         test_menu_key_saves_the_original_through_the_save_dialog]


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("bare", "wm"):
        print(__doc__)
        return 2
    mode, built, source = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    if shutil.which("Xvfb") is None:
        print("SKIP: Xvfb is not installed (xvfb)")
        return 77
    needed = ["xdotool"] + (["jwm"] if mode == "wm" else [])
    missing = [tool for tool in needed if shutil.which(tool) is None]
    try:
        import Xlib.ext.xfixes  # noqa: F401
    except ImportError:
        missing.append("python3-xlib")
    if missing:
        print("FAIL: missing " + ", ".join(missing) + " (scripts/deps installs them)")
        return 1

    with tempfile.TemporaryDirectory(prefix="gg-desktop-") as work:
        desktop = Desktop(mode, work)
        try:
            failures = run_checks(TESTS, desktop, Environment(desktop, built, source, work))
        finally:
            desktop.close()
    print(f"{len(TESTS) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""One process per small file, the way file managers, `find -exec` and launchers call an extractor.

Times whole processes, the commands of a row in turn (A B A B ... or A B C A B C ...), RUNS times
after one warm-up round; each figure is a median: wall milliseconds of each command, and the ratio
of each other command to glimmer-extract taken round by round, so a machine whose speed drifts still
compares like with like (above 1: glimmer-extract is faster). Every run starts with an empty output
folder on /dev/shm (emptied outside the timing), so the disk's speed at making files does not hide
the tools' own.

  start-up    glimmer-extract --version                against  wrestool --version
  extract     glimmer-extract extract --format ico F   against  wrestool -x -t14 F
  thumbnail   glimmer-extract thumbnail -s 256 F OUT   against  wrestool -x -t14 F + icotool -x, keeping
                                                                the 256 x 256 PNG or else the largest,
                                                       and      exe-thumbnailer -s 256 F OUT (PE only)

The files are the module fixtures of tests/data (Samples/ holds copies of some of them).
wrestool copies group bytes without looking at them; glimmer-extract numbers a file's icons as the
gallery does, which checks that each group's chosen image decodes. Most groups offer a 32 x 32 bitmap,
cheap to check; tool.exe's second group holds only a 256 x 256 PNG, so its row is where the check costs
most (loading libdeflate and inflating a quarter megabyte).
Needs: icoutils (wrestool, icotool); for the third column of thumbnails, Debian's exe-thumbnailer
(apt install icoextract-thumbnailer), which is left out when missing. Neither is needed by the tests.
Usage: bench/bench_per_file.py [BUILD_DIR] [RUNS]   (RUNS defaults to 31)
"""
import os
import shutil
import statistics
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MODULES = ["icons32.dll", "icons64.dll", "many.dll", "mixed64.dll", "tool.exe", "tool32.exe",
           "icons16.dll", "shapes.icl", "tiny.icl"]
FAILED = set()

# What a user would script without glimmer-extract: the icon groups to one stream, icotool writes
# the first group's images as PNG files, and the 256 x 256 one (or else the largest file) is kept.
PIPELINE = r'''wrestool -x -t14 "$1" >"$2/groups.ico" && icotool -x -o "$2" "$2/groups.ico" || exit 1
for png in "$2"/*_256x256x*.png; do [ -e "$png" ] && exec cp "$png" "$3"; done
exec cp "$(ls -S "$2"/*.png | head -n 1)" "$3"'''


def run_once(argv, folder):
    """Wall milliseconds of one run of argv, with an emptied `folder` and no output kept; a run that
    does not succeed is noted in FAILED."""
    shutil.rmtree(folder, ignore_errors=True)
    os.mkdir(folder)
    devnull = os.open(os.devnull, os.O_RDWR)
    try:
        actions = [(os.POSIX_SPAWN_DUP2, devnull, fd) for fd in (0, 1, 2)]
        start = time.perf_counter_ns()
        pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=actions)
        _, status = os.waitpid(pid, 0)
        elapsed = (time.perf_counter_ns() - start) / 1e6
    finally:
        os.close(devnull)
    if status != 0:
        FAILED.add(argv[0] if argv[0] != "sh" else "the wrestool + icotool pipeline")
    return elapsed


def paired(commands, runs):
    """Runs the (argv, folder) commands in turn, runs + 1 rounds; the first round is not counted."""
    rounds = []
    for i in range(runs + 1):
        times = [run_once(argv, folder) for argv, folder in commands]
        if i > 0:
            rounds.append(times)
    return rounds


def is_pe(path):
    data = path.read_bytes()
    offset = int.from_bytes(data[0x3C:0x40], "little") if len(data) >= 0x40 else 0
    return data[offset:offset + 4] == b"PE\0\0"


class Table:
    def __init__(self, title, names):
        self.names = names
        self.all_rounds = []
        print(f"\n{title}")
        header = f"{'file':<14}" + "".join(f"{n + ' ms':>22}" for n in names)
        header += "".join(f"{n + ' / ours':>26}" for n in names[1:])
        print(header)

    def row(self, label, rounds):
        self.all_rounds += rounds
        medians = [statistics.median(r[i] for r in rounds if r[i] is not None) if any(
            r[i] is not None for r in rounds) else None for i in range(len(self.names))]
        ratios = []
        for i in range(1, len(self.names)):
            pairs = [r[i] / r[0] for r in rounds if r[i] is not None]
            ratios.append(statistics.median(pairs) if pairs else None)
        line = f"{label:<14}" + "".join(f"{m:>22.2f}" if m is not None else f"{'-':>22}" for m in medians)
        line += "".join(f"{q:>25.2f}x" if q is not None else f"{'-':>26}" for q in ratios)
        print(line, flush=True)

    def total(self):
        self.row("all files", self.all_rounds)


def main():
    build = Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build").resolve()
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 31
    tool = build / "glimmer-extract"
    if not os.access(tool, os.X_OK):
        sys.exit(f"build glimmer-extract first: {tool}")
    if not (shutil.which("wrestool") and shutil.which("icotool")):
        sys.exit("icoutils is not installed (apt install icoutils)")
    thumbnailer = shutil.which("exe-thumbnailer")
    shm = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(dir=shm) as scratch:
        ours, theirs, third = (os.path.join(scratch, n) for n in ("ours", "theirs", "third"))
        files = [ROOT / "tests" / "data" / name for name in MODULES]
        print(f"{len(files)} files, {runs} rounds each after one warm-up round; medians of wall time")

        table = Table("start-up: --version", ["glimmer-extract", "wrestool"])
        table.row("--version", paired([([str(tool), "--version"], ours), (["wrestool", "--version"], theirs)], runs))

        table = Table("extract: extract --format ico FILE  vs  wrestool -x -t14 FILE", ["glimmer-extract", "wrestool"])
        for f in files:
            table.row(f.name, paired([
                ([str(tool), "extract", "--format", "ico", "-o", ours, str(f)], ours),
                (["wrestool", "-x", "-t14", "-o", theirs + "/", str(f)], theirs)], runs))
        table.total()

        names = ["glimmer-extract", "wrestool + icotool"] + (["exe-thumbnailer"] if thumbnailer else [])
        table = Table("thumbnail: thumbnail -s 256 FILE OUT  vs  wrestool -x + icotool -x  vs  exe-thumbnailer -s 256",
                      names)
        for f in files:
            commands = [([str(tool), "thumbnail", "-s", "256", str(f), ours + "/t.png"], ours),
                        (["sh", "-c", PIPELINE, "sh", str(f), theirs, theirs + "/t.png"], theirs)]
            # exe-thumbnailer reads PE modules only.
            if thumbnailer and is_pe(f):
                commands.append(([thumbnailer, "-s", "256", str(f), third + "/t.png"], third))
            rounds = paired(commands, runs)
            table.row(f.name, [r + [None] * (len(names) - len(r)) for r in rounds])
        table.total()
        for name in sorted(FAILED):
            print(f"note: {name} failed on some runs; its times are of failed runs")
        if not thumbnailer:
            print("(exe-thumbnailer is not installed: apt install icoextract-thumbnailer)")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The crash-state check (docs/durability.md): runs the programs under strace on
maps in a scratch folder, then checks every state a crash could leave.

usage: crash_check.py BUILD_DIR"""

import os
import shutil
import subprocess
import sys
import tempfile

import map_files
from crash_states import crash_states
from disk_model import DiskModel
from report_lines import edit_lines, no_lines
from state_check import StateCheck
from strace_log import read_calls, strace_command

# Past this many states at one crash point a sample is checked: only the
# insert of a file copied in many blocks comes near it.
CAP = 1000
SHOWN = 8  # kinds of violation printed for each run

def one_map(folder):
    map_files.write(os.path.join(folder, "map.lvl"), map_files.tileset_map(map_files.bitmap(304, 160)))


def insert_setup(folder):
    # A bitmap of 4076 bytes puts the chunk's data on a page boundary, where
    # the file is copied in the kernel.
    map_files.write(os.path.join(folder, "map.lvl"), map_files.tileset_map(map_files.bitmap(16, 16, 4076)))
    map_files.write(os.path.join(folder, "raw.dat"), bytes(i * 7 % 251 for i in range(100_003)))


def tileset_setup(folder):
    one_map(folder)
    map_files.write(os.path.join(folder, "tiles.bmp"), map_files.bitmap(160, 96, shade=40))


# Past one window of 64 maps saved together, into the next.
BATCH = ["m%02d.lvl" % i for i in range(70)]


def batch_setup(folder):
    for i, name in enumerate(BATCH):
        map_files.write(os.path.join(folder, name), map_files.tileset_map(map_files.bitmap(304, 40, shade=i)))


RUNS = [
    ("mapgraft inserting a file", insert_setup, ["mapgraft", "map.lvl", "DATA", "raw.dat"], no_lines),
    ("mapgraft-edit --set on one map", one_map, ["mapgraft-edit", "--set", "NAME=Arena", "map.lvl"], edit_lines),
    ("mapgraft-edit -o to a new file", one_map, ["mapgraft-edit", "-o", "new.lvl", "--set", "NAME=Arena", "map.lvl"],
     edit_lines),
    ("mapgraft-edit --set on a batch of %d maps" % len(BATCH), batch_setup,
     ["mapgraft-edit", "--set", "ZONE=Main"] + BATCH, edit_lines),
    ("mapgraft-edit --tileset", tileset_setup, ["mapgraft-edit", "--tileset", "tiles.bmp", "map.lvl"], edit_lines),
]


def check_run(model, printed, reported):
    check = StateCheck(model)
    states, failing, most_left, broken = 0, 0, 0, {}
    for point in model.points:
        written = set(check.maps) if point.exit_status == 0 else reported(printed[:point.stdout])
        for state in crash_states(point, CAP):
            states += 1
            found, left = check.violations(state, written)
            most_left = max(most_left, left)
            failing += bool(found)
            for what, detail in found:
                first, example, count = broken.get(what, (point, detail, 0))
                broken[what] = (first, example, count + 1)
    return states, failing, most_left, broken


def run_one(build, strace, work, name, setup, argv, reported):
    folder, log, out = os.path.join(work, "maps"), os.path.join(work, "trace"), os.path.join(work, "stdout")
    os.mkdir(folder)
    setup(folder)
    model = DiskModel(folder)
    # LeakSanitizer cannot run under a tracer; the sanitize preset runs the check too.
    env = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")
    with open(out, "wb") as stdout:
        ran = subprocess.run(strace_command(strace, log) + [os.path.join(build, argv[0])] + argv[1:], cwd=folder,
                             stdout=stdout, stderr=subprocess.PIPE, env=env)
    if ran.returncode != 0:
        print("%s: the run failed (status %d): %s" % (name, ran.returncode, ran.stderr.decode(errors="replace")))
        return False
    model.replay(read_calls(log))
    if model.exit_status != 0:
        print("%s: the trace does not show the program ending with status 0" % name)
        return False
    with open(out, "rb") as f:
        printed = f.read()
    states, failing, most_left, broken = check_run(model, printed, reported)
    print("%s: %d crash states checked (crash points: %d), %d break the promise; temporary files left: at most %d" %
          (name, states, len(model.points), failing, most_left))
    ordered = sorted(broken.items(), key=lambda item: item[1][0].line or sys.maxsize)
    for what, (point, example, count) in ordered[:SHOWN]:
        where = "after the run" if point.line == 0 else "before %s, line %d of the trace" % (point.call, point.line)
        print("  VIOLATION in %d states, the first with a crash %s: %s%s" %
              (count, where, what, " (%s)" % example if example else ""))
    if len(ordered) > SHOWN:
        print("  and %d more kinds of violation" % (len(ordered) - SHOWN))
    return not broken


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    strace = os.environ.get("STRACE") or shutil.which("strace")
    if strace is None:
        print("strace not found: the crash-state check cannot run (Debian: apt-get install strace)")
        return 1
    passed = True
    for name, setup, argv, reported in RUNS:
        with tempfile.TemporaryDirectory(prefix="mapgraft-crash-") as work:
            passed = run_one(build, strace, work, name, setup, argv, reported) and passed
    print("crash-state check: " + ("every state keeps the promise" if passed else "FAILED"))
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())

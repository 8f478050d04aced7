#!/usr/bin/env python3
"""The kill test (docs/durability.md): mapgraft-edit killed with SIGKILL at
random moments of a batch of 2,000 maps, and what each kill leaves checked.

usage: kill_test.py BUILD_DIR [SEED]"""

import collections
import os
import random
import subprocess
import sys
import tempfile
import time

import map_files
from report_lines import edit_lines
from state_check import TEMPORARY

MAPS = 2000
KILLS = 100


def scratch_parent():
    # A SIGKILL leaves what the kernel holds, flushed or not: in a file system
    # in memory the batch makes the same calls ten to fifty times faster.
    return "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Batch:
    def __init__(self, edit, work):
        self.edit, self.folder, self.side = edit, os.path.join(work, "maps"), os.path.join(work, "side")
        self.out = os.path.join(work, "stdout")
        os.mkdir(self.folder)
        os.mkdir(self.side)
        self.names = ["m%04d.lvl" % i for i in range(MAPS)]
        for name in self.names:
            map_files.write(os.path.join(self.folder, name), map_files.tileset_map(map_files.bitmap(16, 16)))

    def start(self, value, folder=None, names=None):
        with open(self.out, "wb") as out:
            return subprocess.Popen([self.edit, "--set", "K=" + value] + (names or self.names), cwd=folder or self.folder,
                                    stdout=out, stderr=subprocess.DEVNULL)

    def expected(self, old, value):
        """What an edit that is not killed makes of each distinct old map."""
        new = {}
        for data in set(old.values()):
            map_files.write(os.path.join(self.side, "x.lvl"), data)
            if self.start(value, self.side, ["x.lvl"]).wait() != 0:
                raise SystemExit("kill test: mapgraft-edit failed on a map it was given before")
            new[data] = read(os.path.join(self.side, "x.lvl"))
        return new

    def problems(self, old, new):
        """What breaks the promise in the folder, and the temporary files left, which are removed."""
        found, maps = [], {}
        for name in self.names:
            data = read(os.path.join(self.folder, name))
            maps[os.stat(os.path.join(self.folder, name)).st_ino] = name
            if data not in (old[name], new[old[name]]):
                found.append("%s is neither its old nor its new bytes (%d bytes)" % (name, len(data)))
        for name in edit_lines(read(self.out)):
            if read(os.path.join(self.folder, name)) != new[old[name]]:
                found.append("%s was reported written but is old" % name)
        left = sorted(set(os.listdir(self.folder)) - set(self.names))
        for name in left:
            path = os.path.join(self.folder, name)
            if not TEMPORARY.match(name):
                found.append("%s is left and is not a temporary file of the program" % name)
            elif os.stat(path).st_ino in maps:
                found.append("%s is left as a second name of %s" % (name, maps[os.stat(path).st_ino]))
            else:
                os.unlink(path)
        if len(left) > 1:
            found.append("%d temporary files are left: %s" % (len(left), " ".join(left)))
        return found, len(left)


def main():
    edit = os.path.join(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build"), "mapgraft-edit")
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.SystemRandom().randrange(1 << 32)
    print("kill test: seed %d (kill_test.py BUILD_DIR %d kills at the same moments)" % (seed, seed))
    rng = random.Random(seed)
    with tempfile.TemporaryDirectory(prefix="mapgraft-kill-", dir=scratch_parent()) as work:
        batch = Batch(edit, work)
        began = time.monotonic()
        if batch.start("000").wait() != 0:
            print("kill test: the batch failed without a kill")
            return 1
        length = time.monotonic() - began
        print("kill test: %d maps in %s; the batch takes %.2f s unkilled" % (MAPS, batch.folder, length))
        failures, left_after, written, finished = 0, collections.Counter(), [], 0
        for kill in range(1, KILLS + 1):
            old = {name: read(os.path.join(batch.folder, name)) for name in batch.names}
            value = "%03d" % kill
            new = batch.expected(old, value)
            moment = rng.uniform(0, length)
            run = batch.start(value)
            time.sleep(moment)
            run.kill()
            finished += run.wait() == 0
            found, left = batch.problems(old, new)
            left_after[left] += 1
            written.append(len(edit_lines(read(batch.out))))
            for problem in found:
                print("  VIOLATION after the kill at %.3f s (kill %d): %s" % (moment, kill, problem))
            failures += bool(found)
    print("kill test: %d kills, %d of them after the batch had ended; maps reported written before the kill: "
          "%d to %d; temporary files left: %s; %d kills broke the promise" %
          (KILLS, finished, min(written), max(written),
           ", ".join("%d after %d kills" % item for item in sorted(left_after.items())), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Gives every map in a folder that has no NAME one from its file name:
arena_2.lvl becomes "Arena 2". Prints what it changed; a map it cannot
read or save is reported and left as it was.

    python3 examples/python/name_maps.py maps/
"""

import sys
from pathlib import Path

import mapgraft


def main(folder: str) -> int:
    failed = 0
    for path in sorted(Path(folder).glob("*.lvl")):
        try:
            with mapgraft.open(path, strict=True) as map_:
                if "NAME" in map_.attrs:
                    continue
                name = path.stem.replace("_", " ").replace("-", " ").strip().capitalize() or path.stem
                map_.attrs["NAME"] = name
                for warning in map_.save():
                    print(f"{path}: {warning}", file=sys.stderr)
            print(f"{path}: NAME={name}")
        except (OSError, mapgraft.Error) as error:
            print(f"{path}: {error}", file=sys.stderr)
            failed = 1
    return failed


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} FOLDER")
    sys.exit(main(sys.argv[1]))

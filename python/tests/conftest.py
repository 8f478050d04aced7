"""The module against the programs in MAPGRAFT_BUILD, on maps in a temporary folder."""

import os
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(os.environ.get("MAPGRAFT_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BUILD = Path(os.environ.get("MAPGRAFT_BUILD", SOURCE / "build"))


def run(program, *arguments):
    return subprocess.run([BUILD / program, *map(str, arguments)], capture_output=True)


@pytest.fixture
def maps(tmp_path):
    """Every example map, and each fuzz input as the fuzz target reads it: all but its first byte."""
    made = []
    for folder in ("examples", "fuzz/corpus", "fuzz/regressions"):
        for source in sorted((SOURCE / folder).glob("*.lvl")):
            made.append(tmp_path / f"{folder.replace('/', '_')}_{source.name}")
            made[-1].write_bytes(source.read_bytes()[0 if folder == "examples" else 1:])
    return made

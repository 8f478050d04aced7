"""mapgraft: read, change and safely rewrite tarvex map files (.lvl) with
libmapgraft, the library under the mapgraft programs."""

from __future__ import annotations

import ctypes
import os

from ._arguments import ChunkType, Data, FilePath
from ._attrs import Attrs
from ._chunks import Chunk, Chunks
from ._errors import NOT_A_MAP, ChangedError, DamagedError, Error, NotAMapError, check, fail
from ._library import lib, text
from ._map import Map

__version__ = "0.1.1"
__all__ = ["Attrs", "ChangedError", "Chunk", "ChunkType", "Chunks", "Data", "DamagedError", "Error", "FilePath", "Map",
           "NotAMapError", "library_version", "open", "read"]

_READ_FORCE = 1


def library_version() -> str:
    """The version of the library loaded, as the programs print it."""
    return text(lib.mg_version()) or ""


def _refuse_unlike(made: Map, strict: bool, force: bool) -> Map:
    # The programs' rule for a file that does not look like a map, with
    # their words for why.
    reason = text(lib.mg_map_unlike_a_map(made._handle())) if strict and not force else None
    if reason:
        made.close()
        fail(NOT_A_MAP, detail=reason)
    return made


def read(data: bytes | bytearray | memoryview, force: bool = False) -> Map:
    """A map from its bytes; force=True keeps what a damaged map holds."""
    raw = bytes(memoryview(data))
    handle = ctypes.c_void_p()
    check(lib.mg_map_read(raw, len(raw), _READ_FORCE if force else 0, ctypes.byref(handle)))
    return Map(handle.value or 0)


def open(path: FilePath, force: bool = False, strict: bool = False) -> Map:
    """A map from its file, which Map.save() then replaces; strict=True
    refuses what does not look like a map, as the programs do."""
    encoded = os.fsencode(path)
    handle = ctypes.c_void_p()
    check(lib.mg_map_read_file(encoded, _READ_FORCE if force else 0, ctypes.byref(handle)), filename=path)
    return _refuse_unlike(Map(handle.value or 0, encoded, path), strict, force)

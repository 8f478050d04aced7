"""Finds libmapgraft and declares the C functions the module calls."""

from __future__ import annotations

import ctypes
import os
import sys
from pathlib import Path

_NAME = "mapgraft-0.dll" if sys.platform == "win32" else "libmapgraft.so.0"

size_t = ctypes.c_size_t
map_p = ctypes.c_void_p
bytes_pp = ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))


class ChunkStruct(ctypes.Structure):
    _fields_ = [("type", ctypes.c_ubyte * 4), ("data", ctypes.POINTER(ctypes.c_ubyte)), ("size", size_t)]


WRITE_FN = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p, size_t)
WARN_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p)
TEMP_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int)


class SaveOptions(ctypes.Structure):
    _fields_ = [("size", size_t), ("flags", ctypes.c_uint), ("warn", WARN_FN), ("temp", TEMP_FN),
                ("context", ctypes.c_void_p)]


def _candidates() -> list[str]:
    here = Path(__file__).resolve().parent
    found = [str(here / _NAME)]
    # `cmake --install` records where, from here, it put the library.
    try:
        from ._installed import LIBRARY_DIR
    except ImportError:
        LIBRARY_DIR = None
    if LIBRARY_DIR is not None:
        found.append(str((here / LIBRARY_DIR / _NAME).resolve()))
    found.append(_NAME)
    return found


def _load() -> ctypes.CDLL:
    errors = []
    for candidate in _candidates():
        if os.sep in candidate and not os.path.exists(candidate):
            continue
        try:
            return ctypes.CDLL(candidate, use_errno=True, use_last_error=True)
        except OSError as error:
            errors.append(str(error))
    raise ImportError(f"mapgraft: cannot load {_NAME}: " + "; ".join(errors))


_PROTOTYPES = {
    "mg_strerror": (ctypes.c_char_p, [ctypes.c_int]),
    "mg_error_name": (ctypes.c_char_p, [ctypes.c_int]),
    "mg_version": (ctypes.c_char_p, []),
    "mg_map_read": (ctypes.c_int, [ctypes.c_char_p, size_t, ctypes.c_uint, ctypes.POINTER(map_p)]),
    "mg_map_read_file": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_uint, ctypes.POINTER(map_p)]),
    "mg_map_free": (None, [map_p]),
    "mg_map_shape": (ctypes.c_int, [map_p]),
    "mg_map_damage": (ctypes.c_char_p, [map_p]),
    "mg_map_unlike_a_map": (ctypes.c_char_p, [map_p]),
    "mg_map_errmsg": (ctypes.c_char_p, [map_p]),
    "mg_map_chunk_count": (size_t, [map_p]),
    "mg_map_chunk": (ctypes.c_int, [map_p, size_t, ctypes.POINTER(ChunkStruct)]),
    "mg_map_tileset": (ctypes.c_int, [map_p, bytes_pp, ctypes.POINTER(size_t)]),
    "mg_map_tiles": (ctypes.c_int, [map_p, bytes_pp, ctypes.POINTER(size_t)]),
    "mg_map_get_attr": (ctypes.c_int, [map_p, ctypes.c_char_p, bytes_pp, ctypes.POINTER(size_t)]),
    "mg_map_add_chunk": (ctypes.c_int, [map_p, ctypes.c_char_p, ctypes.c_char_p, size_t]),
    "mg_map_remove_chunk": (ctypes.c_int, [map_p, size_t]),
    "mg_map_replace_chunk": (ctypes.c_int, [map_p, size_t, ctypes.c_char_p, size_t]),
    "mg_map_set_attr": (ctypes.c_int, [map_p, ctypes.c_char_p, ctypes.c_char_p]),
    "mg_map_unset_attr": (ctypes.c_int, [map_p, ctypes.c_char_p]),
    "mg_map_set_tileset": (ctypes.c_int, [map_p, ctypes.c_char_p, size_t]),
    "mg_map_written_size": (ctypes.c_int, [map_p, ctypes.POINTER(ctypes.c_uint64)]),
    "mg_map_write": (ctypes.c_int, [map_p, WRITE_FN, ctypes.c_void_p]),
    "mg_map_save_file": (ctypes.c_int, [map_p, ctypes.c_char_p, ctypes.POINTER(SaveOptions)]),
}

lib = _load()
for _name, (_result, _arguments) in _PROTOTYPES.items():
    _function = getattr(lib, _name)
    _function.restype = _result
    _function.argtypes = _arguments


def text(value: bytes | None) -> str | None:
    """A C string from the library; a file name in it may not be UTF-8."""
    return None if value is None else value.decode("utf-8", "surrogateescape")

"""Map: one map read by libmapgraft, its queries, changes and writing."""

from __future__ import annotations

import ctypes
import os
from collections.abc import Callable
from typing import Any

from . import _arguments as arguments
from ._arguments import ChunkType, Data, FilePath
from ._attrs import Attrs
from ._chunks import Chunks
from ._errors import ARGUMENT, NO_TILESET, check, fail
from ._library import TEMP_FN, WARN_FN, WRITE_FN, SaveOptions, lib, text

_SHAPES = ("plain", "tileset", "extended")
_SAVE_NEW, _SAVE_CHECK, _SAVE_ANYWAY = 1, 2, 4


class Map:
    """A map as libmapgraft holds it; made by mapgraft.read and mapgraft.open."""

    def __init__(self, handle: int, path: bytes | None = None, name: FilePath | None = None) -> None:
        self._pointer: int | None = handle
        self._path = path  # its file, as the library was given it
        self._name = name  # and as the caller gave it, for errors
        self._free = lib.mg_map_free

    def _handle(self) -> int:
        if self._pointer is None:
            raise ValueError("the map is closed")
        return self._pointer

    def close(self) -> None:
        """Frees the map; closing a closed map does nothing."""
        if self._pointer is not None:
            pointer, self._pointer = self._pointer, None
            self._free(pointer)

    def __enter__(self) -> Map:
        self._handle()
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_pointer", None) is not None:
            self.close()

    def __repr__(self) -> str:
        if self._pointer is None:
            return "<mapgraft.Map closed>"
        return f"<mapgraft.Map {self.shape}, {len(self.chunks)} chunks>"

    @property
    def shape(self) -> str:
        """"plain", "tileset" or "extended": the shape as read."""
        return _SHAPES[lib.mg_map_shape(self._handle())]

    @property
    def damage(self) -> str | None:
        """None, or the first damage found, as mapgraft-inspect words it."""
        return text(lib.mg_map_damage(self._handle()))

    def _region(self, query: Callable[..., int]) -> bytes | None:
        pointer = ctypes.POINTER(ctypes.c_ubyte)()
        size = ctypes.c_size_t()
        status = query(self._handle(), ctypes.byref(pointer), ctypes.byref(size))
        if status == NO_TILESET:
            return None
        check(status)
        return ctypes.string_at(pointer, size.value) if size.value else b""

    @property
    def tileset(self) -> bytes | None:
        """The map's own bitmap as mapgraft-inspect --tileset writes it, or None."""
        return self._region(lib.mg_map_tileset)

    @property
    def tiles(self) -> bytes:
        """The tile data."""
        return self._region(lib.mg_map_tiles) or b""

    @property
    def chunks(self) -> Chunks:
        return Chunks(self)

    @property
    def attrs(self) -> Attrs:
        return Attrs(self)

    def _change(self, function: Callable[..., int], *arguments: Any) -> None:
        handle = self._handle()
        status = function(handle, *arguments)
        if status != 0:
            fail(status, detail=text(lib.mg_map_errmsg(handle)))

    def add_chunk(self, type: ChunkType, data: Data) -> None:
        """Appends a chunk."""
        raw = arguments.data(data)
        self._change(lib.mg_map_add_chunk, arguments.chunk_type(type), raw, len(raw))

    def remove_chunk(self, i: int) -> None:
        self._change(lib.mg_map_remove_chunk, arguments.index(i, len(self.chunks)))

    def replace_chunk(self, i: int, data: Data) -> None:
        raw = arguments.data(data)
        self._change(lib.mg_map_replace_chunk, arguments.index(i, len(self.chunks)), raw, len(raw))

    def set_tileset(self, bitmap: bytes | bytearray | memoryview) -> None:
        raw = bytes(memoryview(bitmap))
        self._change(lib.mg_map_set_tileset, raw, len(raw))

    def to_bytes(self) -> bytes:
        """The map in the extended shape: what mapgraft-edit -o writes."""
        handle = self._handle()
        size = ctypes.c_uint64()
        check(lib.mg_map_written_size(handle, ctypes.byref(size)))
        out = bytearray(size.value)
        # The pieces go straight into out, which is never resized meanwhile.
        base = ctypes.addressof((ctypes.c_char * len(out)).from_buffer(out))
        at = 0

        def write(_context: Any, piece: int, length: int) -> int:
            nonlocal at
            if at + length > len(out):
                return 1
            if length == 0:
                return 0
            ctypes.memmove(base + at, piece, length)
            at += length
            return 0

        check(lib.mg_map_write(handle, WRITE_FN(write), None))
        return bytes(out)

    def save(self, path: FilePath | None = None, *, new: bool = False, check: bool = False, anyway: bool = False) -> list[str]:
        """Replaces the file safely, as mapgraft-edit does; returns what it
        could not keep, one line each. With check=True nothing is written."""
        if path is None:
            name, target = self._name, self._path
        else:
            name, target = path, os.fsencode(path)
        handle = self._handle()
        if target is None:
            fail(ARGUMENT, detail="the map was read from bytes: save it to a path")
        warnings: list[str] = []
        options = SaveOptions(ctypes.sizeof(SaveOptions),
                              (_SAVE_NEW if new else 0) | (_SAVE_CHECK if check else 0) | (_SAVE_ANYWAY if anyway else 0),
                              WARN_FN(lambda _context, line: warnings.append(text(line) or "")), TEMP_FN(), None)
        status = lib.mg_map_save_file(handle, target, ctypes.byref(options))
        if status != 0:
            fail(status, filename=name)
        if not check:
            self._path, self._name = target, name
        return warnings

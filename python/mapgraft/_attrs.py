"""Map.attrs: the ATTR chunks as a mutable mapping of text."""

from __future__ import annotations

import ctypes
from collections.abc import Iterator, MutableMapping
from typing import TYPE_CHECKING

from ._arguments import c_string
from ._errors import ARGUMENT, NO_ATTR, check
from ._library import ChunkStruct, lib

if TYPE_CHECKING:
    from ._map import Map

_ATTR = b"ATTR"


def _decode(value: bytes) -> str:
    return value.decode("utf-8", "surrogateescape")


class Attrs(MutableMapping[str, str]):
    """Key to the first value of that key, in chunk order; setting and
    deleting change the map as mapgraft-edit --set and --unset do."""

    def __init__(self, owner: Map) -> None:
        self._owner = owner

    def __getitem__(self, key: str) -> str:
        try:
            encoded = c_string(key)
        except (TypeError, ValueError):
            raise KeyError(key) from None
        value = ctypes.POINTER(ctypes.c_ubyte)()
        size = ctypes.c_size_t()
        status = lib.mg_map_get_attr(self._owner._handle(), encoded, ctypes.byref(value), ctypes.byref(size))
        if status in (NO_ATTR, ARGUMENT):
            raise KeyError(key)
        check(status)
        return _decode(ctypes.string_at(value, size.value) if size.value else b"")

    def __setitem__(self, key: str, value: str) -> None:
        self._owner._change(lib.mg_map_set_attr, c_string(key), c_string(value))

    def __delitem__(self, key: str) -> None:
        if key not in self:
            raise KeyError(key)
        self._owner._change(lib.mg_map_unset_attr, c_string(key))

    def __iter__(self) -> Iterator[str]:
        seen = set()
        found = ChunkStruct()
        i = 0
        # A large map has millions of chunks: only ATTR ones are copied.
        while i < lib.mg_map_chunk_count(self._owner._handle()):
            check(lib.mg_map_chunk(self._owner._handle(), i, ctypes.byref(found)))
            i += 1
            if bytes(found.type) != _ATTR or not found.size:
                continue
            key, equals, _ = ctypes.string_at(found.data, found.size).partition(b"=")
            if equals and key and b"\0" not in key and key not in seen:
                seen.add(key)
                yield _decode(key)

    def __len__(self) -> int:
        return sum(1 for _ in self)

    def __repr__(self) -> str:
        return f"<mapgraft attrs: {dict(self.items())!r}>"

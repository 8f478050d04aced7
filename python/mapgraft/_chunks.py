"""Map.chunks: the chunks as a sequence of copies."""

from __future__ import annotations

import ctypes
from collections.abc import Iterator, Sequence
from typing import TYPE_CHECKING, NamedTuple, overload

from ._arguments import index
from ._errors import check
from ._library import ChunkStruct, lib

if TYPE_CHECKING:
    from ._map import Map


class Chunk(NamedTuple):
    type: bytes
    data: bytes


def read_chunk(handle: int, at: int) -> Chunk:
    found = ChunkStruct()
    check(lib.mg_map_chunk(handle, at, ctypes.byref(found)))
    return Chunk(bytes(found.type), ctypes.string_at(found.data, found.size) if found.size else b"")


class Chunks(Sequence[Chunk]):
    """The map's chunks as they are now: each item is read when asked for."""

    def __init__(self, owner: Map) -> None:
        self._owner = owner

    def __len__(self) -> int:
        return lib.mg_map_chunk_count(self._owner._handle())

    @overload
    def __getitem__(self, at: int) -> Chunk: ...
    @overload
    def __getitem__(self, at: slice) -> list[Chunk]: ...
    def __getitem__(self, at: int | slice) -> Chunk | list[Chunk]:
        count = len(self)
        if isinstance(at, slice):
            return [read_chunk(self._owner._handle(), i) for i in range(*at.indices(count))]
        i = index(at, count)
        if i == count:
            raise IndexError(f"no chunk {at}: the map has {count}")
        return read_chunk(self._owner._handle(), i)

    def __iter__(self) -> Iterator[Chunk]:
        for i in range(len(self)):
            yield read_chunk(self._owner._handle(), i)

    def __repr__(self) -> str:
        return f"<mapgraft chunks: {len(self)}>"

"""Python values as the C functions take them."""

from __future__ import annotations

import operator
import os
from typing import Union

Data = Union[bytes, bytearray, memoryview, str]
ChunkType = Union[bytes, str]
FilePath = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def chunk_type(value: ChunkType) -> bytes:
    """1 to 4 bytes, or characters up to U+00FF, padded with zero bytes."""
    if isinstance(value, str):
        if any(ord(c) > 0xFF for c in value):
            raise ValueError(f"chunk type {value!r} has a character past U+00FF")
        value = value.encode("latin-1")
    elif not isinstance(value, bytes):
        raise TypeError(f"a chunk type is bytes or str, not {type(value).__name__}")
    if not 1 <= len(value) <= 4:
        raise ValueError(f"chunk type {value!r} is not 1 to 4 long")
    return value.ljust(4, b"\0")


def data(value: Data) -> bytes:
    """Bytes as they are, text as UTF-8."""
    if isinstance(value, str):
        return value.encode("utf-8")
    return bytes(memoryview(value))


def c_string(value: str) -> bytes:
    """An attribute's key or value; bytes that were not UTF-8 when read go back as they were."""
    if not isinstance(value, str):
        raise TypeError(f"an attribute key or value is str, not {type(value).__name__}")
    encoded = value.encode("utf-8", "surrogateescape")
    if b"\0" in encoded:
        raise ValueError(f"{value!r} holds a zero character")
    return encoded


def index(value: int, count: int) -> int:
    """A chunk index, negative ones from the end; any out of range becomes
    `count`, which the library refuses (ctypes would wrap one past size_t)."""
    at = operator.index(value)
    if at < 0:
        at += count
    return at if 0 <= at < count else count

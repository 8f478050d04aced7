"""The library's codes as Python exceptions."""

from __future__ import annotations

import ctypes
import os
import sys
from typing import NoReturn

from ._library import lib, text

NOMEM = 1
ARGUMENT = 2
NOT_A_MAP = 3
DAMAGED = 4
NO_ATTR = 6
NO_TILESET = 7
IO = 10
CHANGED = 12


class Error(Exception):
    """A failure of libmapgraft: `code` is its number, `name` its name in
    mapgraft.h, and the message is mg_strerror's text, followed by why in the
    programs' words where the library says."""

    def __init__(self, code: int, detail: str | None = None) -> None:
        self.code = code
        self.name = text(lib.mg_error_name(code)) or ""
        self.detail = detail or None
        message = text(lib.mg_strerror(code)) or ""
        super().__init__(f"{message}: {detail}" if detail else message)

    def __reduce__(self) -> tuple[type[Error], tuple[int, str | None]]:
        # So that it crosses to another process (multiprocessing) whole.
        return type(self), (self.code, self.detail)


class DamagedError(Error):
    """MG_ERR_DAMAGED: the map's metadata is damaged; read it with force=True."""


class NotAMapError(Error):
    """MG_ERR_NOT_A_MAP: the bytes are no map."""


class ChangedError(Error):
    """MG_ERR_CHANGED: the file changed since it was read; save with anyway=True."""


_SUBCLASSES = {DAMAGED: DamagedError, NOT_A_MAP: NotAMapError, CHANGED: ChangedError}


def fail(code: int, *, detail: str | None = None, filename: str | bytes | None = None) -> NoReturn:
    if code == NOMEM:
        raise MemoryError()
    if code == IO:
        if sys.platform == "win32":
            winerror = ctypes.get_last_error()
            raise OSError(None, ctypes.FormatError(winerror), filename, winerror)
        number = ctypes.get_errno()
        raise OSError(number, os.strerror(number), filename)
    raise _SUBCLASSES.get(code, Error)(code, detail)


def check(code: int, **how: str | bytes | None) -> None:
    if code != 0:
        fail(code, **how)

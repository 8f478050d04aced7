"""A PEP 517 backend of the standard library alone: the wheel holds the
mapgraft folder as it is, for any Python 3 on any platform."""

import base64
import hashlib
import io
import re
import tarfile
import zipfile
from pathlib import Path

_HERE = Path(__file__).resolve().parent
_VERSION = re.search(r'^__version__ = "([^"]+)"', (_HERE / "mapgraft/__init__.py").read_text(), re.M)[1]
_NAME = f"mapgraft-{_VERSION}"
_METADATA = f"""Metadata-Version: 2.1
Name: mapgraft
Version: {_VERSION}
Summary: Read, change and safely rewrite tarvex map files with libmapgraft
License: MIT
Requires-Python: >=3.11
"""
_WHEEL = "Wheel-Version: 1.0\nGenerator: mapgraft wheel_backend\nRoot-Is-Purelib: true\nTag: py3-none-any\n"


def _module_files():
    return sorted(p for p in (_HERE / "mapgraft").iterdir() if p.suffix in (".py", ".typed"))


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    wheel = f"{_NAME}-py3-none-any.whl"
    info = f"{_NAME}.dist-info"
    entries = [(f"mapgraft/{p.name}", p.read_bytes()) for p in _module_files()]
    entries += [(f"{info}/METADATA", _METADATA.encode()), (f"{info}/WHEEL", _WHEEL.encode())]
    record = [f"{name},sha256={base64.urlsafe_b64encode(hashlib.sha256(body).digest()).rstrip(b'=').decode()},{len(body)}"
              for name, body in entries]
    entries.append((f"{info}/RECORD", "\n".join(record + [f"{info}/RECORD,,", ""]).encode()))
    with zipfile.ZipFile(Path(wheel_directory) / wheel, "w", zipfile.ZIP_DEFLATED) as out:
        for name, body in entries:
            out.writestr(name, body)
    return wheel


def build_sdist(sdist_directory, config_settings=None):
    sdist = f"{_NAME}.tar.gz"
    with tarfile.open(Path(sdist_directory) / sdist, "w:gz") as out:
        for path in [_HERE / "pyproject.toml", _HERE / "wheel_backend.py", *_module_files()]:
            out.add(path, f"{_NAME}/{path.relative_to(_HERE)}")
        info = tarfile.TarInfo(f"{_NAME}/PKG-INFO")
        info.size = len(_METADATA.encode())
        out.addfile(info, io.BytesIO(_METADATA.encode()))
    return sdist

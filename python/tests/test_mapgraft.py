import json
import os
import stat

import pytest

import mapgraft
from conftest import run

CHANGES = [  # mapgraft-edit's operations, and the same through the module
    (["--set", "NAME=Arena"], lambda m, f: m.attrs.__setitem__("NAME", "Arena")),
    (["--set", "NAME=Cave", "--unset", "NAME"], lambda m, f: (m.attrs.__setitem__("NAME", "Cave"), m.attrs.__delitem__("NAME"))),
    (["--add", "NOTE", "{f}"], lambda m, f: m.add_chunk("NOTE", f.read_bytes())),
    (["--add", "X", "{f}", "--remove", "0"], lambda m, f: (m.add_chunk(b"X", f.read_bytes()), m.remove_chunk(-len(m.chunks)))),
    (["--replace", "1", "{f}"], lambda m, f: m.replace_chunk(1, f.read_bytes())),
    (["--tileset", "{t}"], lambda m, f: m.set_tileset((f.parent / "tiles.bmp").read_bytes())),
]


def test_reads_as_inspect_and_writes_as_edit(maps, tmp_path):
    for path in maps:
        report = json.loads(run("mapgraft-inspect", "--json", path).stdout)
        if report["error"] or b"does not look like a map" in run("mapgraft-edit", "-n", "--unset", "X", path).stderr:
            with pytest.raises(mapgraft.NotAMapError):
                mapgraft.open(path, strict=True)
        if report["error"]:
            continue
        if report["damage"]:
            with pytest.raises(mapgraft.DamagedError):
                mapgraft.read(path.read_bytes())
        with mapgraft.open(path, force=True, strict=True) as m:
            assert (m.shape, m.damage) == (report["shape"], report["damage"] and report["damage"]["reason"]), path
            assert [(c.type.decode("latin-1"), len(c.data)) for c in m.chunks] == \
                [(c["type"], c["length"]) for c in report["chunks"] or []], path
            assert dict(m.attrs) == (report["attrs"] or {}), path
            assert len(m.tiles) == report["map"]["bytes"]
            if run("mapgraft-edit", "--force", "-o", tmp_path / "out", path).returncode == 0:
                assert m.to_bytes() == (tmp_path / "out").read_bytes(), path
            (tmp_path / "out").unlink(missing_ok=True)


@pytest.mark.parametrize("arguments,change", CHANGES)
def test_each_change_as_edit_does(maps, tmp_path, arguments, change):
    data = tmp_path / "data"
    data.write_bytes(b"NAME=From a file")
    (tmp_path / "tiles.bmp").write_bytes(mapgraft.read(mapgraft.read(maps[0].read_bytes()).to_bytes()).tileset)
    fill = {"{f}": str(data), "{t}": str(tmp_path / "tiles.bmp")}
    base = tmp_path / "base.lvl"
    run("mapgraft-edit", "-o", base, "--set", "NAME=Base", "--add", "NOTE", data, maps[0]).check_returncode()
    expected = tmp_path / "expected.lvl"
    run("mapgraft-edit", "-o", expected, *[fill.get(a, a) for a in arguments], base).check_returncode()
    before = base.read_bytes()
    with mapgraft.open(base) as m:
        change(m, data)
        assert m.to_bytes() == expected.read_bytes()
        assert m.save(tmp_path / "saved.lvl", new=True) == []
        assert m.save(check=True) == []
    assert base.read_bytes() == before and (tmp_path / "saved.lvl").read_bytes() == expected.read_bytes()


def test_save_keeps_the_mode_and_refuses_a_changed_file(maps):
    path = maps[0]
    os.chmod(path, 0o640)
    with mapgraft.open(path) as m:
        m.attrs["NAME"] = "Arena"
        assert m.save() == []
        assert stat.S_IMODE(os.stat(path).st_mode) == 0o640 and mapgraft.open(path).attrs["NAME"] == "Arena"
        path.write_bytes(path.read_bytes() + b"\0\0\0\0")
        with pytest.raises(mapgraft.ChangedError):
            m.save()
        m.save(anyway=True)
        with pytest.raises(mapgraft.Error) as refused:
            m.save(path, new=True)
        assert refused.value.name == "MG_ERR_EXISTS"


def test_errors(tmp_path, maps):
    with pytest.raises(FileNotFoundError) as missing:
        mapgraft.open(tmp_path / "none.lvl")
    assert missing.value.filename == tmp_path / "none.lvl" and missing.value.strerror
    (tmp_path / "text.lvl").write_bytes(b"x" * 23)
    with pytest.raises(mapgraft.NotAMapError, match="23 bytes are not whole 4-byte tiles") as no_map:
        mapgraft.open(tmp_path / "text.lvl", strict=True)
    assert (no_map.value.code, no_map.value.name) == (3, "MG_ERR_NOT_A_MAP")
    m = mapgraft.read(maps[0].read_bytes())
    for bad, error, text in [
        (lambda: m.save(), mapgraft.Error, "invalid argument"),
        (lambda: m.remove_chunk(9), mapgraft.Error, "no such chunk"),
        (lambda: m.attrs.__setitem__("A=B", "x"), mapgraft.Error, "key 'A=B' is empty or holds '='"),
        (lambda: m.attrs["NAME"], KeyError, "NAME"),
        (lambda: m.attrs.__delitem__("NAME"), KeyError, "NAME"),
        (lambda: m.set_tileset(b"BM"), mapgraft.Error, "not a bitmap"),
        (lambda: m.add_chunk("ABCDE", b""), ValueError, "1 to 4"),
        (lambda: m.chunks[0], IndexError, "no chunk 0"),
    ]:
        with pytest.raises(error, match=text):
            bad()
    m.attrs["KEY"] = "\udcff bytes"
    assert m.chunks[0].data == b"KEY=\xff bytes" and m.attrs["KEY"] == "\udcff bytes" and "KEY" in m.attrs
    m.close()
    for use in [lambda: m.shape, lambda: len(m.chunks), lambda: m.attrs.get("NAME"), m.to_bytes, lambda: m.save("x")]:
        with pytest.raises(ValueError, match="closed"):
            use()
    m.close()

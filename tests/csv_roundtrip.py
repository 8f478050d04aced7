"""The CSV of mapgraft-inspect --csv through Python's csv module and back
into mapgraft-edit --import: values with commas, quotes, line breaks and
letters beyond ASCII come back exactly. Usage: csv_roundtrip.py BUILD SOURCE"""
import csv, io, os, shutil, subprocess, sys, tempfile

build, source = sys.argv[1], sys.argv[2]
run = lambda *args: subprocess.run([os.path.join(build, args[0]), *args[1:]], capture_output=True, check=True)
values = {"m1.lvl": "Arena, the \"first\"", "m2.lvl": "Zwei\nZeilen", "m3.lvl": "Ärger ☃"}
with tempfile.TemporaryDirectory() as folder:
    os.chdir(folder)
    for name in values:
        shutil.copy(os.path.join(source, "examples", "smallmap.lvl"), name)
        run("mapgraft-edit", "-q", "--set", "NAME=old " + name, "--set", "ZONE=Main", name)
    table = run("mapgraft-inspect", "--csv", *values).stdout.decode()
    rows = list(csv.reader(io.StringIO(table, newline="")))
    assert rows == [["file", "NAME", "ZONE"]] + [[n, "old " + n, "Main"] for n in values], rows
    for terminator in ("\r\n", "\n"):
        out = io.StringIO(newline="")
        writer = csv.writer(out, lineterminator=terminator)
        writer.writerow(["file", "NAME", "ZONE"])
        for name, value in values.items():
            writer.writerow([name, value, ""])
        with open("t.csv", "w", encoding="utf-8", newline="") as f:
            f.write(out.getvalue())
        run("mapgraft-edit", "-q", "--import", "t.csv")
        for name, value in values.items():
            got = run("mapgraft-inspect", "--json", name).stdout.decode()
            assert f'"attrs":{{"NAME":{__import__("json").dumps(value, ensure_ascii=False)}}}' in got, got
    print("3 maps through Python's csv and back: 2 passed, 0 failed")

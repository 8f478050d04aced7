"""Reads the log of `strace -f -yy -s 0` into calls, in the order the log has them."""

import re
from dataclasses import dataclass

CALLS = ("open,openat,openat2,creat,read,readv,write,writev,pwrite64,pwritev,pwritev2,lseek,"
         "copy_file_range,sendfile,splice,ftruncate,truncate,fallocate,fsync,fdatasync,sync_file_range,"
         "syncfs,sync,rename,renameat,renameat2,link,linkat,unlink,unlinkat,symlink,symlinkat,mkdir,mkdirat,"
         "rmdir,close,dup,dup2,dup3,fcntl,mmap,clone,clone3,fork,vfork")


def strace_command(strace, log):
    return [strace, "-f", "-yy", "-s", "0", "-e", "trace=" + CALLS, "-o", log]


@dataclass
class Call:
    line: int
    pid: int
    name: str
    args: list
    result: int  # -1 for a failed call, and for one that returns no number
    exit_status: object = None  # for "+++ exited with N +++", the status; else None


_start = re.compile(r"^(\d+) +(?:<\.\.\. (\w+) resumed>|(\w+)\()(.*)$")
_end = re.compile(r"^(.*)\) += (-?\d+|0x[0-9a-f]+|\?)")
_exit = re.compile(r"^(\d+) +\+\+\+ (?:exited with (\d+)|killed by (\w+))")


def split_arguments(text):
    """Top-level commas, outside strings, brackets and the <path> that -yy puts after a descriptor."""
    parts, depth, angle, current, i = [], 0, 0, [], 0
    while i < len(text):
        c = text[i]
        if c == '"':
            j = i + 1
            while text[j] != '"':
                j += 2 if text[j] == "\\" else 1
            current.append(text[i:j + 1])
            i = j + 1
            continue
        if c == "<" and (angle or (current and current[-1][-1:].isalnum())):
            angle += 1
        elif c == ">" and angle:
            angle -= 1
        elif c in "([{" and not angle:
            depth += 1
        elif c in ")]}" and not angle:
            depth -= 1
        elif c == "," and depth == 0 and angle == 0:
            parts.append("".join(current).strip())
            current = []
            i += 1
            continue
        current.append(c)
        i += 1
    if current:
        parts.append("".join(current).strip())
    return parts


def read_calls(path):
    pending = {}
    with open(path, encoding="utf-8", errors="surrogateescape") as log:
        for number, line in enumerate(log, 1):
            line = line.rstrip("\n")
            ended = _exit.match(line)
            if ended:
                status = int(ended.group(2)) if ended.group(2) is not None else ended.group(3)
                yield Call(number, int(ended.group(1)), "+++", [], 0, status)
                continue
            started = _start.match(line)
            if not started:
                continue
            pid = int(started.group(1))
            if started.group(2):
                name, rest = started.group(2), pending.pop(pid, ("", ""))[1] + started.group(4)
            else:
                name, rest = started.group(3), started.group(4)
            if rest.endswith("<unfinished ...>"):
                pending[pid] = (name, rest[:-len("<unfinished ...>")])
                continue
            done = _end.match(rest)
            if not done:
                continue
            value = done.group(2)
            result = -1 if value == "?" else int(value, 0)
            yield Call(number, pid, name, split_arguments(done.group(1)), result)


def fd_number(arg):
    """The descriptor of an argument such as 5</tmp/x/a.lvl>; AT_FDCWD is -100."""
    if arg.startswith("AT_FDCWD"):
        return -100
    digits = re.match(r"-?\d+", arg)
    return int(digits.group()) if digits else None


def fd_path(arg):
    """The path -yy shows after a descriptor, or None."""
    start = arg.find("<")
    if start < 0:
        return None
    depth = 0
    for i in range(start, len(arg)):
        depth += {"<": 1, ">": -1}.get(arg[i], 0)
        if depth == 0:
            return unescape(arg[start + 1:i])
    return None


_escapes = {"n": 10, "t": 9, "r": 13, "v": 11, "f": 12, "\\": 92, '"': 34}


def unescape(text):
    out, i = bytearray(), 0
    raw = text.encode("utf-8", "surrogateescape")
    while i < len(raw):
        if raw[i] != 92:
            out.append(raw[i])
            i += 1
        elif raw[i + 1:i + 2] == b"x":
            out.append(int(raw[i + 2:i + 4], 16))
            i += 4
        elif raw[i + 1:i + 2].isdigit():
            octal = re.match(rb"[0-7]{1,3}", raw[i + 1:i + 4]).group()
            out.append(int(octal, 8))
            i += 1 + len(octal)
        else:
            out.append(_escapes.get(chr(raw[i + 1]), raw[i + 1]))
            i += 2
    return out.decode("utf-8", "surrogateescape")


def string(arg):
    """The value of a quoted string argument; strace shows file names whole whatever -s says."""
    return unescape(arg[1:arg.rindex('"')]) if arg.startswith('"') else None

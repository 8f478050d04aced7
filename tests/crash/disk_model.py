"""Replays a run's system calls on a model of one folder tree, keeping for every
file and folder what is flushed apart from what is not yet, and marks the
points where a crash leaves the most choices: just before each flush, and
after the run."""

import os
import re
from dataclasses import dataclass

from disk_nodes import File, Folder, apply_name_op
from strace_log import fd_number, fd_path, string


class NotModelled(Exception):
    pass


@dataclass
class Open:
    node: object  # File or Folder of the tree, or None for anything outside it
    position: int = 0
    append: bool = False


@dataclass
class CrashPoint:
    line: int  # the trace line of the flush the crash comes before; 0 after the run
    call: str
    nodes: list  # (File or Folder, flushed, recorded) of every node at that moment
    stdout: int  # bytes written to standard output so far
    exit_status: object = None  # after the run: how the program ended


_proc_fd = re.compile(r"^/proc/(self|\d+)/fd/(\d+)$")


class DiskModel:
    def __init__(self, root):
        self.root_path = os.path.realpath(root)
        self.cwd = self.root_path
        self.nodes = []
        self.root = self._snapshot(self.root_path, {})
        self.initial = dict(self.tree(lambda folder: 0))
        self.tables = {}
        self.exit_status = None
        self.main_pid = None
        self.stdout = 0
        self.points = []

    def _snapshot(self, path, by_inode):
        entries = {}
        for entry in sorted(os.scandir(path), key=lambda e: e.name):
            info = entry.stat(follow_symlinks=False)
            if entry.is_dir(follow_symlinks=False):
                entries[entry.name] = self._snapshot(entry.path, by_inode)
            elif entry.is_file(follow_symlinks=False):
                if info.st_ino not in by_inode:
                    with open(entry.path, "rb") as f:
                        by_inode[info.st_ino] = self._new(File(f.read()))
                entries[entry.name] = by_inode[info.st_ino]
            else:
                raise NotModelled(entry.path + ": neither a file nor a folder")
        return self._new(Folder(entries))

    def _new(self, node):
        self.nodes.append(node)
        return node

    def tree(self, count, folder=None, prefix=""):
        """(path, node) of every name reachable from the root, each folder's names taken up to count(folder)."""
        folder = folder or self.root
        entries = dict(folder.base)
        for op in folder.ops[:count(folder)]:
            apply_name_op(entries, op)
        for name, node in sorted(entries.items()):
            if isinstance(node, Folder):
                yield from self.tree(count, node, prefix + name + "/")
            elif node is not None:
                yield prefix + name, node

    # Paths and descriptors.

    def locate(self, path):
        """(folder, name) of a path inside the tree, or None."""
        path = os.path.normpath(path)
        if path == self.root_path or not path.startswith(self.root_path + "/"):
            return None
        parts = path[len(self.root_path) + 1:].split("/")
        folder = self.root
        for part in parts[:-1]:
            folder = folder.live.get(part)
            if not isinstance(folder, Folder):
                return None
        return folder, parts[-1]

    def node_at(self, path):
        if os.path.normpath(path) == self.root_path:
            return self.root
        place = self.locate(path)
        return place[0].live.get(place[1]) if place else None

    def path_of(self, dir_arg, name_arg):
        name = string(name_arg)
        if name.startswith("/"):
            return name
        base = fd_path(dir_arg) if dir_arg is not None else None
        return os.path.join(base or self.cwd, name)

    def table(self, pid):
        if self.main_pid is None:
            self.main_pid = pid
        # A thread whose first call comes before its clone returns shares the first table.
        return self.tables.setdefault(pid, self.tables.setdefault(self.main_pid, {}))

    def opened(self, pid, arg):
        known = self.table(pid).get(fd_number(arg))
        if known is not None:
            return known
        path = fd_path(arg)
        return Open(self.node_at(path) if path and not path.endswith("(deleted)") else None)

    # The calls.

    def replay(self, calls):
        for call in calls:
            handler = getattr(self, "_" + call.name, None)
            if call.name == "+++":
                if call.pid == self.main_pid:
                    self.exit_status = call.exit_status
            elif handler is not None and call.result >= 0:
                handler(call.pid, call.args, call.result, call)
        self.points.append(CrashPoint(0, "the end of the run", self._state(), self.stdout, self.exit_status))
        for path, node in self.tree(lambda folder: len(folder.ops)):
            with open(os.path.join(self.root_path, path), "rb") as f:
                node.final = f.read()

    def _state(self):
        return [(node, node.flushed, len(node.ops)) for node in self.nodes]

    def _crash_point(self, call):
        if any(flushed < recorded for _, flushed, recorded in self._state()):
            path = fd_path(call.args[0]) if call.args else None
            shown = os.path.relpath(path, self.root_path) if path and path.startswith(self.root_path) else path
            self.points.append(CrashPoint(call.line, "%s(%s)" % (call.name, shown or ""), self._state(), self.stdout))

    def _open_path(self, pid, path, flags, fd):
        node = None
        if "O_TMPFILE" in flags:
            if self.node_at(path) is not None:
                node = self._new(File())
        elif path is not None:
            node = self.node_at(path)
            place = self.locate(path)
            if node is None and place and "O_CREAT" in flags:
                node = self._new(File())
                place[0].record(("set", place[1], node))
            elif isinstance(node, File) and "O_TRUNC" in flags:
                node.record(("t", 0))
        self.table(pid)[fd] = Open(node, 0, "O_APPEND" in flags)

    def _open(self, pid, args, fd, call):
        self._open_path(pid, self.path_of(None, args[0]), args[1], fd)

    def _creat(self, pid, args, fd, call):
        self._open_path(pid, self.path_of(None, args[0]), "O_CREAT|O_WRONLY|O_TRUNC", fd)

    def _openat(self, pid, args, fd, call):
        self._open_path(pid, self.path_of(args[0], args[1]), args[2], fd)

    _openat2 = _openat

    def _write_at(self, pid, arg, length, offset=None):
        place = self.opened(pid, arg)
        if place.node is None:
            if fd_number(arg) == 1:
                self.stdout += length
            return
        if offset is None:
            offset = place.node.size if place.append else place.position
            place.position = offset + length
        if length:
            place.node.record(("w", offset, length))

    def _write(self, pid, args, result, call):
        self._write_at(pid, args[0], result)

    _writev = _write

    def _pwrite64(self, pid, args, result, call):
        self._write_at(pid, args[0], result, int(args[3]))

    _pwritev = _pwritev2 = _pwrite64

    def _read(self, pid, args, result, call):
        self.opened(pid, args[0]).position += result

    _readv = _read

    def _lseek(self, pid, args, result, call):
        self.opened(pid, args[0]).position = result

    def _copy_file_range(self, pid, args, result, call):
        if args[1] == "NULL":
            self.opened(pid, args[0]).position += result
        offset = None if args[3] == "NULL" else int(re.match(r"\[(\d+)", args[3]).group(1))
        self._write_at(pid, args[2], result, offset)

    _splice = _copy_file_range

    def _sendfile(self, pid, args, result, call):
        if args[2] == "NULL":
            self.opened(pid, args[1]).position += result
        self._write_at(pid, args[0], result)

    def _ftruncate(self, pid, args, result, call):
        node = self.opened(pid, args[0]).node
        if isinstance(node, File):
            node.record(("t", int(args[1])))

    def _truncate(self, pid, args, result, call):
        node = self.node_at(self.path_of(None, args[0]))
        if isinstance(node, File):
            node.record(("t", int(args[1])))

    def _fallocate(self, pid, args, result, call):
        node = self.opened(pid, args[0]).node
        if not isinstance(node, File) or "KEEP_SIZE" in args[1]:
            return
        if args[1] != "0":
            raise NotModelled("fallocate " + args[1])
        end = int(args[2]) + int(args[3])
        if end > node.size:
            node.record(("t", end))

    def _fsync(self, pid, args, result, call):
        node = self.opened(pid, args[0]).node
        if node is not None:
            self._crash_point(call)
            node.flushed = len(node.ops)

    _fdatasync = _fsync

    def _sync(self, pid, args, result, call):
        self._crash_point(call)
        for node in self.nodes:
            node.flushed = len(node.ops)

    _syncfs = _sync

    def _rename_paths(self, source, target, exchange=False):
        a, b = self.locate(source), self.locate(target)
        if a is None and b is None:
            return
        if a is None or b is None or (exchange and a[0] is not b[0]):
            raise NotModelled("a rename across the edge of the folder: %s -> %s" % (source, target))
        if a[0] is b[0]:
            a[0].record(("swap" if exchange else "move", a[1], b[1]))
        else:
            b[0].record(("set", b[1], a[0].live.get(a[1])))
            a[0].record(("del", a[1]))

    def _rename(self, pid, args, result, call):
        self._rename_paths(self.path_of(None, args[0]), self.path_of(None, args[1]))

    def _renameat(self, pid, args, result, call):
        exchange = len(args) > 4 and "RENAME_EXCHANGE" in args[4]
        self._rename_paths(self.path_of(args[0], args[1]), self.path_of(args[2], args[3]), exchange)

    _renameat2 = _renameat

    def _link_node(self, node, target):
        place = self.locate(target)
        if place is not None:
            place[0].record(("set", place[1], node))

    def _link(self, pid, args, result, call):
        self._link_node(self.node_at(self.path_of(None, args[0])), self.path_of(None, args[1]))

    def _linkat(self, pid, args, result, call):
        source = string(args[1])
        by_fd = _proc_fd.match(source)
        if source == "" and "AT_EMPTY_PATH" in args[4]:
            node = self.opened(pid, args[0]).node
        elif by_fd:
            owner = pid if by_fd.group(1) == "self" else int(by_fd.group(1))
            node = self.table(owner).get(int(by_fd.group(2)), Open(None)).node
        else:
            node = self.node_at(self.path_of(args[0], args[1]))
        self._link_node(node, self.path_of(args[2], args[3]))

    def _remove(self, path):
        place = self.locate(path)
        if place is not None:
            place[0].record(("del", place[1]))

    def _unlink(self, pid, args, result, call):
        self._remove(self.path_of(None, args[0]))

    _rmdir = _unlink

    def _unlinkat(self, pid, args, result, call):
        self._remove(self.path_of(args[0], args[1]))

    def _make_folder(self, path):
        place = self.locate(path)
        if place is not None:
            place[0].record(("set", place[1], self._new(Folder())))

    def _mkdir(self, pid, args, result, call):
        self._make_folder(self.path_of(None, args[0]))

    def _mkdirat(self, pid, args, result, call):
        self._make_folder(self.path_of(args[0], args[1]))

    def _symlink(self, pid, args, result, call):
        if self.locate(self.path_of(None if call.name == "symlink" else args[1], args[-1])):
            raise NotModelled("a symbolic link made in the folder")

    _symlinkat = _symlink

    def _close(self, pid, args, result, call):
        self.table(pid).pop(fd_number(args[0]), None)

    def _dup(self, pid, args, result, call):
        if call.name == "fcntl" and not args[1].startswith("F_DUPFD"):
            return
        self.table(pid)[result] = self.opened(pid, args[0])

    _fcntl = _dup

    def _dup2(self, pid, args, result, call):
        self.table(pid)[result] = self.opened(pid, args[0])

    _dup3 = _dup2

    def _mmap(self, pid, args, result, call):
        if "PROT_WRITE" in args[2] and "MAP_SHARED" in args[3] and isinstance(self.opened(pid, args[4]).node, File):
            raise NotModelled("a file of the folder mapped for writing")

    def _clone(self, pid, args, result, call):
        if result > 0:
            table = self.table(pid)
            self.tables[result] = table if "CLONE_FILES" in ",".join(args) else dict(table)

    _clone3 = _fork = _vfork = _clone

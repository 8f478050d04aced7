"""The nodes of the model of a folder tree: files and folders, each with what
it held before the run and every change made to it since, in order."""


class File:
    """An inode's data: the bytes it had before the run, then its writes and truncations."""

    def __init__(self, base=b""):
        self.base = base
        self.ops = []  # ("w", offset, length) or ("t", size), in the order made
        self.flushed = 0  # how many of ops are flushed
        self.size = len(base)
        self.final = None  # its bytes at the end of the run, if a name held it then

    def record(self, op):
        self.ops.append(op)
        self.size = max(self.size, op[1] + op[2]) if op[0] == "w" else op[1]


class Folder:
    """A folder's names: those it had before the run, then each change to them in order."""

    def __init__(self, base=None):
        self.base = dict(base or {})
        self.live = dict(self.base)
        self.ops = []  # ("set", name, node), ("del", name), ("move", from, to), ("swap", a, b)
        self.flushed = 0

    def record(self, op):
        self.ops.append(op)
        apply_name_op(self.live, op)


def apply_name_op(entries, op):
    if op[0] == "set":
        entries[op[1]] = op[2]
    elif op[0] == "del":
        entries.pop(op[1], None)
    elif op[0] == "move" and op[1] in entries:
        entries[op[2]] = entries.pop(op[1])
    elif op[0] == "swap":
        entries[op[1]], entries[op[2]] = entries.get(op[2]), entries.get(op[1])

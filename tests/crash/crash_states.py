"""The states the disk may hold after a crash at a crash point: every one, or
beyond a cap a deterministic sample, and the names and bytes of each."""

import itertools
import math
import random

from disk_nodes import Folder

BLOCK = 4096
UNKNOWN = object()  # bytes the trace cannot tell


def shares(op):
    """How much of an unflushed change may have reached the disk."""
    if op[0] == "t":
        return (False, True)
    _, offset, length = op
    first = (offset // BLOCK + 1) * BLOCK - offset
    return tuple(sorted({0, length, *range(first, length, BLOCK)}))


def picks(choices, cap, seed):
    """Every combination, or the corners, each choice alone against all and
    none of the others, then random ones, up to cap."""
    if math.prod(len(c) for c in choices) <= cap:
        yield from itertools.product(*choices)
        return
    low, high = [c[0] for c in choices], [c[-1] for c in choices]
    wanted = [tuple(low), tuple(high)]
    for i, values in enumerate(choices):
        for value in values:
            wanted += [tuple(high[:i] + [value] + high[i + 1:]), tuple(low[:i] + [value] + low[i + 1:])]
    rng = random.Random(seed)
    seen = set()
    for combination in itertools.chain(wanted, iter(lambda: tuple(rng.choice(c) for c in choices), None)):
        if combination not in seen:
            seen.add(combination)
            yield combination
            if len(seen) == cap:
                return


def crash_states(point, cap):
    """Dicts of node -> how much of it a state holds: for a folder the number of
    its name changes, for a file its flushed changes and the share of each other."""
    base, variables = {}, []
    for node, flushed, recorded in point.nodes:
        if isinstance(node, Folder):
            base[node] = flushed
            if recorded > flushed:
                variables.append((node, None, tuple(range(flushed, recorded + 1))))
        else:
            base[node] = (flushed, ())
            variables += [(node, i, shares(node.ops[i])) for i in range(flushed, recorded)]
    for combination in picks([v[2] for v in variables], cap, point.line):
        state = dict(base)
        for (node, index, _), value in zip(variables, combination):
            if index is None:
                state[node] = value
            else:
                state[node] = (state[node][0], state[node][1] + (value,))
        yield state


class Contents:
    """A file's bytes in a state."""

    def __init__(self):
        self._known = {}

    def __call__(self, node, held):
        return self._build(node, *held)

    def _known_writes(self, node):
        # A write's bytes are read from the file at the end of the run, so they
        # are known only if nothing later overwrote or cut them.
        if id(node) not in self._known:
            known, later = [], []
            for op in reversed(node.ops):
                start, end = (op[1], op[1] + op[2]) if op[0] == "w" else (op[1], math.inf)
                known.append(op[0] == "w" and node.final is not None and end <= len(node.final)
                             and not any(a < end and start < b for a, b in later))
                later.append((start, end))
            self._known[id(node)] = known[::-1]
        return self._known[id(node)]

    def _build(self, node, flushed, parts):
        known = self._known_writes(node)
        data, sure = bytearray(node.base), True
        for i, op in enumerate(node.ops[:flushed + len(parts)]):
            share = True if i < flushed else parts[i - flushed]
            if op[0] == "t":
                if share:
                    del data[op[1]:]
                    data.extend(bytes(op[1] - len(data)))
                continue
            offset, length = op[1], (op[2] if share is True else share)
            if length:
                sure = sure and known[i]
                data.extend(bytes(max(0, offset - len(data))))
                data[offset:offset + length] = node.final[offset:offset + length] if known[i] else bytes(length)
        return bytes(data) if sure else UNKNOWN

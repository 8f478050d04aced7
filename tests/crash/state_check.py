"""What a crash state must show: each map old or new, each map reported written
new, and nothing else left but the program's own temporary files, none of
them a second name of a map."""

import os
import re

from crash_states import UNKNOWN, Contents
from disk_nodes import Folder

TEMPORARY = re.compile(r"^\..*\.mapgraft-[A-Za-z0-9]{6}$")


def describe(data):
    return "absent" if data is None else "of bytes the trace cannot tell" if data is UNKNOWN else "%d bytes" % len(data)


class StateCheck:
    def __init__(self, model):
        final = dict(model.tree(lambda folder: len(folder.ops)))
        self.old = {path: node.base for path, node in model.initial.items()}
        self.new = {path: node.final for path, node in final.items()}
        self.maps = sorted(set(self.old) | set(self.new))
        self.model = model
        self.contents = Contents()
        self._verdicts = {}

    def verdict(self, path, node, held):
        """"old", "new" or a description of what the name holds instead."""
        key = (path, id(node), held)
        if key not in self._verdicts:
            data = None if node is None else UNKNOWN if isinstance(node, Folder) else self.contents(node, held)
            old, new = self.old.get(path), self.new.get(path)
            self._verdicts[key] = "new" if data == new else "old" if data == old else describe(data)
        return self._verdicts[key]

    def violations(self, state, written):
        """(what, detail) for each way the state breaks the promise; written: the maps that must be new."""
        tree = dict(self.model.tree(lambda folder: state[folder]))
        found, left = [], 0
        for path in self.maps:
            node = tree.get(path)
            verdict = self.verdict(path, node, state.get(node))
            if verdict not in ("old", "new"):
                found.append(("%s is neither its old nor its new bytes" % path, verdict))
            elif verdict == "old" and path in written and self.old.get(path) != self.new.get(path):
                found.append(("%s was reported written but is old" % path, describe(None) if node is None else ""))
        map_nodes = {id(tree[path]): path for path in self.maps if path in tree}
        for path, node in tree.items():
            if path in self.old or path in self.new:
                continue
            left += 1
            if not TEMPORARY.match(os.path.basename(path)):
                found.append(("%s is left and is not a temporary file of the program" % path, ""))
            elif id(node) in map_nodes:
                found.append(("%s is left as a second name of %s" % (path, map_nodes[id(node)]), ""))
        return found, left

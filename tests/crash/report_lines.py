"""The maps a run has said are done, from what it printed on standard output."""

import re

_done = re.compile(r"^(.*?): (?:unchanged|.* bytes written(?: to (.*))?)$")


def edit_lines(text):
    """The maps mapgraft-edit reported written or unchanged: whole lines only."""
    lines = text.decode("utf-8", "surrogateescape").split("\n")[:-1]
    return {m.group(2) or m.group(1) for m in map(_done.match, lines) if m}


def no_lines(text):
    # mapgraft says a map is written only by its exit status.
    return set()

"""Where the bytes of Kestrum.exe go: what each component of the link
(components.py) puts into the file's sections, from the map of its link,
largest first."""
import collections
import os
import re

from components import KESTRUM, ComponentError

# Columns: code, read-only data, data, unwind tables, Qt's MIME database.
KINDS = [".text", ".rdata", ".data", ".pdata+.xdata", ".qtmimedatabase"]


def qt_notices(link_map):
    """The notices collected with the Qt the link took Qt Core from."""
    for origin in link_map.origins():
        if archive := re.fullmatch(r"(/.*)/lib/libQt6Core\.a\([^()]*\)", origin):
            return os.path.join(archive.group(1), "notices")
    raise ComponentError("the link map shows no Qt Core (libQt6Core.a) in the link")


def column(counter, kind):
    return sum(counter[k] for k in kind.split("+"))


def row(name, values):
    return f"{name:28}" + "".join(f"{v:14,}" for v in values) + f"{sum(values):12,}"


def report(found, link_map):
    sizes = collections.defaultdict(collections.Counter)
    for piece in link_map.pieces:
        sizes[found.parts[piece.origin]][piece.section] += piece.size
    lines = [f"{'part':28}" + "".join(f"{k:>14}" for k in KINDS) + f"{'all':>12}"]
    small = collections.Counter()
    for part, counter in sorted(sizes.items(), key=lambda item: (-sum(item[1].values()), item[0])):
        values = [column(counter, k) for k in KINDS]
        if 0 < sum(values) < 16384 and part != KESTRUM:
            small.update(counter)
        elif sum(values):
            lines.append(row(part, values))
    if small:
        lines.append(row("(smaller parts)", [column(small, k) for k in KINDS]))
    sections = collections.Counter(link_map.section_sizes)
    lines.append(row("sections in all", [column(sections, k) for k in KINDS]))
    others = {k: v for k, v in sections.items() if v and not any(k in c.split("+") for c in KINDS)}
    lines.append("other sections: " + ", ".join(f"{k} {v:,}" for k, v in sorted(others.items())))
    return "\n".join(lines)

#!/usr/bin/env python3
"""The product's folders as a graph of their #include "..." lines: no circle
of folders, no arrow from a folder to one above it but the writer's two (the
map in docs/rooms.md gives the order), and no folder over 30% of the lines.

Usage: tests/rooms_check.py [ROOT]
"""
import os
import re
import sys

# Lowest first; a folder may include its own headers and those of folders
# before it.
ORDER = ["platform", "res", "disk", "output", "app", "walk", "check", "rescue", "text",
         "stream", "picture", "remux", "report", "files", "mount", "library", "cli"]
# The output writer reports through the application's messages and state.
ALLOWED_UP = {("output", "app/messages.h"), ("output", "app/state.h")}
# Test tooling and everything else that is not the product.
NOT_PRODUCT = {"tests", "fuzz", "bench", "tools", "build", "docs", "packaging", "cmake"}
GENERATED = {"text/charset_tables.cpp"}  # tables made by tools/make-charset-tables
SHARE_LIMIT = 0.30

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    edges = {}
    lines = {}
    faults = []
    for folder in os.listdir(root):
        path = os.path.join(root, folder)
        if not os.path.isdir(path) or folder.startswith(".") or folder in NOT_PRODUCT:
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".cpp", ".h")):
                continue
            if folder not in ORDER:
                faults.append("%s/%s: folder %s is not on the map" % (folder, name, folder))
                continue
            with open(os.path.join(path, name), encoding="utf-8", errors="replace") as f:
                text = f.read().splitlines()
            if "%s/%s" % (folder, name) not in GENERATED:
                lines[folder] = lines.get(folder, 0) + len(text)
            for line in text:
                m = INCLUDE.match(line)
                if not m or "/" not in m.group(1):
                    continue
                target = m.group(1).split("/")[0]
                if target == folder or target not in ORDER:
                    continue
                if (folder, m.group(1)) in ALLOWED_UP:
                    continue
                edges.setdefault(folder, set()).add(target)
                if ORDER.index(target) > ORDER.index(folder):
                    faults.append('%s/%s includes "%s": an arrow up' % (folder, name, m.group(1)))
    # A circle of folders, beside the writer's two arrows.
    state = {}

    def visit(node, trail):
        state[node] = 1
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 1:
                faults.append("a circle of folders: " + " -> ".join(trail + [node, nxt]))
            elif not state.get(nxt):
                visit(nxt, trail + [node])
        state[node] = 2

    for node in sorted(edges):
        if not state.get(node):
            visit(node, [])
    total = sum(lines.values())
    for folder, n in sorted(lines.items()):
        if total and n > SHARE_LIMIT * total:
            faults.append("%s/ holds %d of %d lines (%.0f%%, more than %d%%)"
                          % (folder, n, total, 100.0 * n / total, SHARE_LIMIT * 100))
    for f in faults:
        print("rooms_check: " + f)
    print("rooms_check: %d folders, %d lines, largest %s" % (
        len(lines), total,
        ", ".join("%s %.0f%%" % (f, 100.0 * n / total) for f, n in
                  sorted(lines.items(), key=lambda x: -x[1])[:3])))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

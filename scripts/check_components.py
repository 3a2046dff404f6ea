#!/usr/bin/env python3
"""Checks the shape of the C++ under src/:

1. Components (a header and its source file, named alike) depend on each other without
   cycles, judged by their #include "..." lines. A cycle means none of its members can be
   understood or tested without all the others.
2. No file is longer than 400 lines.
3. Rooms (the folders below src/, each one library) depend on each other without
   cycles: a room that reaches a room above it ties the two libraries into one.

Each check has an allow-list of what was known when the check came in; anything not on
it fails. Entries go as the faults are mended: a stale entry is reported, not failed.

    check_components.py [SRC_DIR]     (default: the src/ beside this script's folder)
"""

import os
import sys

MAX_LINES = 400

# Known cycles, each as the set of components in it (paths below src/, no extension).
# A cycle passes when all its members are in one entry, so breaking part of a cycle
# passes too; a component joining a cycle, or two cycles joining, fails.
KNOWN_CYCLES = []

# Files over MAX_LINES lines when the check came in (paths below src/).
KNOWN_LONG_FILES = set()

SOURCE_SUFFIXES = (".h", ".cpp")


def component_of(rel_path):
    return os.path.splitext(rel_path)[0]


def quoted_includes(path):
    """The names inside #include "..." lines, in order."""
    names = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            stripped = line.strip()
            if not stripped.startswith("#"):
                continue
            directive = stripped[1:].lstrip()
            if not directive.startswith("include"):
                continue
            rest = directive[len("include") :].strip()
            if rest.startswith('"'):
                end = rest.find('"', 1)
                if end > 1:
                    names.append(rest[1:end])
    return names


def source_files(src):
    files = []
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith(SOURCE_SUFFIXES):
                files.append(os.path.relpath(os.path.join(folder, name), src))
    return sorted(files)


def dependency_graph(src, files):
    """Component -> the components its files include (generated and system headers,
    which are not below src/, are left out)."""
    known = set(files)
    graph = {component_of(f): set() for f in files}
    for rel in files:
        here = os.path.dirname(rel)
        for name in quoted_includes(os.path.join(src, rel)):
            # As the compiler looks: beside the including file first, then below src/.
            for candidate in (os.path.normpath(os.path.join(here, name)), os.path.normpath(name)):
                if candidate in known:
                    target = component_of(candidate)
                    if target != component_of(rel):
                        graph[component_of(rel)].add(target)
                    break
    return graph


def strongly_connected(graph):
    """Tarjan's algorithm, without recursion: the groups of components that reach each
    other, those of more than one member only."""
    index = {}
    low = {}
    on_stack = set()
    stack = []
    groups = []
    counter = 0
    for root in sorted(graph):
        if root in index:
            continue
        work = [(root, iter(sorted(graph[root])))]
        index[root] = low[root] = counter
        counter += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                group = set()
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.add(member)
                    if member == node:
                        break
                if len(group) > 1:
                    groups.append(group)
    return groups


def room_graph(graph):
    """Room -> the other rooms its components include."""
    rooms = {}
    for component, targets in graph.items():
        room = component.split("/", 1)[0]
        rooms.setdefault(room, set()).update(t.split("/", 1)[0] for t in targets)
    for room, targets in rooms.items():
        targets.discard(room)
    return rooms


def room_cycle_evidence(graph, path):
    """For each step of a cycle of rooms, one include that makes it."""
    lines = []
    for here, there in zip(path, path[1:]):
        for component in sorted(graph):
            hit = next((t for t in sorted(graph[component]) if t.startswith(there + "/")), None)
            if component.startswith(here + "/") and hit:
                lines.append(f"{component} -> {hit}")
                break
    return lines


def one_cycle(graph, group):
    """A shortest path from the group's first member back to itself, inside the group."""
    start = min(group)
    previous = {start: None}
    frontier = [start]
    while frontier:
        following = []
        for node in frontier:
            for child in sorted(graph[node] & group):
                if child == start:
                    path = [node]
                    while previous[path[-1]] is not None:
                        path.append(previous[path[-1]])
                    return list(reversed(path)) + [start]
                if child not in previous:
                    previous[child] = node
                    following.append(child)
        frontier = following
    return sorted(group)


def line_count(path):
    with open(path, "rb") as f:
        return sum(1 for _ in f)


def main(argv):
    src = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    src = os.path.normpath(src)
    if not os.path.isdir(src):
        print(f"check_components: no folder {src}", file=sys.stderr)
        return 2
    files = source_files(src)
    graph = dependency_graph(src, files)
    failed = False

    seen_known = set()
    for group in sorted(strongly_connected(graph), key=min):
        cycle = " -> ".join(one_cycle(graph, group))
        allowed = next((i for i, known in enumerate(KNOWN_CYCLES) if group <= known), None)
        if allowed is None:
            failed = True
            print(f"FAIL component cycle: {cycle}")
            print(f"     members: {', '.join(sorted(group))}")
        else:
            seen_known.add(allowed)
            print(f"known component cycle: {cycle}")
            print(f"     members: {', '.join(sorted(group))}")
    for i, known in enumerate(KNOWN_CYCLES):
        if i not in seen_known:
            print(f"note: no longer a cycle, take it off KNOWN_CYCLES: {', '.join(sorted(known))}")

    rooms = room_graph(graph)
    for group in strongly_connected(rooms):
        failed = True
        path = one_cycle(rooms, group)
        print(f"FAIL room cycle: {' -> '.join(path)}")
        for line in room_cycle_evidence(graph, path):
            print(f"     {line}")

    for rel in files:
        lines = line_count(os.path.join(src, rel))
        if lines <= MAX_LINES:
            if rel in KNOWN_LONG_FILES:
                print(f"note: {rel} is down to {lines} lines, take it off KNOWN_LONG_FILES")
            continue
        if rel in KNOWN_LONG_FILES:
            print(f"known long file: {rel} ({lines} lines)")
        else:
            failed = True
            print(f"FAIL {rel} has {lines} lines (at most {MAX_LINES})")

    components = len(graph)
    print(f"{components} components in {len(rooms)} rooms, {len(files)} files checked: {'FAILED' if failed else 'ok'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

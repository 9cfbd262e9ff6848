#!/usr/bin/env python3
"""Lists the circles among the files of a source folder.

A file's module is its path without the extension, so Foo.h and Foo.cpp are
one module. Module A points to module B when a file of A includes a header of
B (#include "...", found beside the file or from the folder's root),
declares a class ahead that B defines, or calls a function that B alone
defines (by name, as a reader would find it: a name that several modules
define, as a virtual function overridden in another module is, gives no
arrow, since the call may end in either). Every group of modules that reach
each other (a strongly connected component with more than one module) is
printed with its arrows.

    scripts/source-circles.py [FOLDER]    (default: wizard)

Exits with 0 when there is no circle, 1 when there is one.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
AHEAD = re.compile(r'^\s*(?:class|struct)\s+(\w+)\s*;', re.M)
DEFINES = re.compile(r'^\s*(?:class|struct)\s+(\w+)\b[^;]*$', re.M)
# A function defined in a source file: a line that starts at the margin
# with a name and "(", whose statement opens a body ("{", or ":" of a
# constructor's initialisers) before it ends (";"); or one defined in a
# class in a header, on one line.
TOP_LEVEL = re.compile(r'^[A-Za-z_~][^;()=#]*?\b(~?\w+)\s*\(', re.M)
INLINE = re.compile(r'^\s+[^;()=#]*?\b(\w+)\s*\([^;]*\)\s*(?:const\s*)?(?:override\s*)?\{', re.M)
CALL = re.compile(r'(?<![\w.>:~])(?:\w+::)?(\w+)\s*\(')
NOT_CALLS = {"if", "for", "while", "switch", "return", "sizeof", "catch", "defined",
             "static_cast", "reinterpret_cast", "const_cast", "dynamic_cast", "alignof",
             "decltype", "noexcept", "static_assert", "main"}
COMMENT = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"', re.S)


def modules(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in sorted(names):
            if name.endswith((".h", ".cpp")):
                path = os.path.relpath(os.path.join(folder, name), root)
                found.setdefault(os.path.splitext(path)[0], []).append(path)
    return found


def arrows(root, files):
    module_of = {path: module for module, paths in files.items() for path in paths}
    texts = {path: open(os.path.join(root, path), encoding="utf-8").read() for path in module_of}
    definer = {}
    for path, text in texts.items():
        if path.endswith(".h"):
            for name in DEFINES.findall(text):
                definer.setdefault(name, module_of[path])
    code = {path: COMMENT.sub(" ", text) for path, text in texts.items()}
    functions = {}
    for path, text in code.items():
        names = INLINE.findall(text) if path.endswith(".h") else []
        for match in TOP_LEVEL.finditer(text) if path.endswith(".cpp") else ():
            rest = text[match.end():]
            body, end = rest.find("{"), rest.find(";")
            if body >= 0 and (end < 0 or body < end):
                names.append(match.group(1))
        for name in names:
            if name not in NOT_CALLS:
                functions.setdefault(name, set()).add(module_of[path])
    edges = {}
    for path, text in texts.items():
        source = module_of[path]
        targets = []
        for included in INCLUDE.findall(text):
            beside = os.path.normpath(os.path.join(os.path.dirname(path), included))
            for candidate in (beside, os.path.normpath(included)):
                if candidate in module_of:
                    targets.append((module_of[candidate], "includes " + candidate))
                    break
        for name in AHEAD.findall(text):
            if name in definer:
                targets.append((definer[name], "declares " + name + " ahead"))
        calls = CALL.findall(code[path]) if path.endswith(".cpp") else []
        for name in sorted(set(calls)):
            owners = functions.get(name, set())
            if len(owners) == 1 and name not in NOT_CALLS:
                targets.append((next(iter(owners)), "calls " + name))
        for target, why in targets:
            if target != source:
                edges.setdefault(source, {}).setdefault(target, path + " " + why)
    return edges


def circles(nodes, edges):
    """Tarjan's strongly connected components with more than one node."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for target in sorted(edges.get(node, {})):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for node in sorted(nodes):
        if node not in index:
            visit(node)
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "wizard"
    files = modules(root)
    edges = arrows(root, files)
    groups = circles(files, edges)
    count = sum(len(targets) for targets in edges.values())
    print(f"{root}: {len(files)} modules, {count} arrows, {len(groups)} circle(s)")
    for group in groups:
        print(f"circle of {len(group)} modules:")
        for source in group:
            for target, why in sorted(edges.get(source, {}).items()):
                if target in group:
                    print(f"  {source} -> {target}  ({why})")
    return 1 if groups else 0


if __name__ == "__main__":
    sys.exit(main())

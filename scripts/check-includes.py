#!/usr/bin/env python3
"""Fails when the #include lines under src/ make a circle between units.

A unit is a header with its source (roster/ImportTable.h + .cpp). Prints every circle found,
as the units that form it, and exits 1; exits 0 when there is none.
"""
import os
import re
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

files = {}
for base, _, names in os.walk(root):
    for n in names:
        if n.endswith((".h", ".cpp")):
            path = os.path.relpath(os.path.join(base, n), root)
            files[path] = open(os.path.join(base, n), encoding="utf-8", errors="replace").read()

def unit(path):
    return os.path.splitext(path)[0]

def resolve(target, source):
    for candidate in (target, os.path.normpath(os.path.join(os.path.dirname(source), target))):
        if candidate in files:
            return candidate
    return None

graph = {}
for path, text in files.items():
    u = unit(path)
    graph.setdefault(u, set())
    for target in include.findall(text):
        found = resolve(target, path)
        if found and unit(found) != u:
            graph[u].add(unit(found))

# Tarjan's strongly connected components: every component of more than one unit is a circle.
index, low, on, stack, circles = {}, {}, set(), [], []
counter = [0]
sys.setrecursionlimit(10000)

def visit(v):
    index[v] = low[v] = counter[0]
    counter[0] += 1
    stack.append(v)
    on.add(v)
    for w in sorted(graph.get(v, ())):
        if w not in index:
            visit(w)
            low[v] = min(low[v], low[w])
        elif w in on:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        component = []
        while True:
            w = stack.pop()
            on.discard(w)
            component.append(w)
            if w == v:
                break
        if len(component) > 1:
            circles.append(sorted(component))

for v in sorted(graph):
    if v not in index:
        visit(v)

for c in circles:
    print("include circle: " + " <-> ".join(c))
if circles:
    sys.exit(1)
print(f"no include circle among {len(graph)} units")

#!/usr/bin/env bash
# Checks the layers of src/: every folder compiles into exactly one target, no circle of includes runs
# between folders, and no folder includes from a target it may not use (README, "Layout").
# Reads the build's compile commands (configuring the build first when it has none) and the #include
# lines of every source and header under src/.
# Usage: scripts/check-layers.sh [build directory]   (default: build/test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
if [ ! -f "$build/compile_commands.json" ]; then
    [ "$build" = build/test ] || { echo "check-layers: no $build/compile_commands.json" >&2; exit 2; }
    cmake --preset test >/dev/null
fi

exec /usr/bin/python3 - "$build/compile_commands.json" <<'EOF'
import json, os, re, sys
from collections import defaultdict

# Which targets a folder of each target may include from, lowest layer first.
MAY_USE = {
    "netlatch_core": {"netlatch_core"},
    "netlatch_platform": {"netlatch_core", "netlatch_platform"},
    "netlatch_gui": {"netlatch_core", "netlatch_gui"},
    # The desktop adapters implement platform's DesktopAdapters; its plugin wraps them.
    "netlatch_desktop": {"netlatch_core", "netlatch_platform", "netlatch_desktop"},
    "netlatch-linux-desktop": {"netlatch_core", "netlatch_platform", "netlatch_desktop", "netlatch-linux-desktop"},
    "netlatch": {"netlatch_core", "netlatch_platform", "netlatch_desktop", "netlatch_gui", "netlatch"},
    "netlatchctl": {"netlatch_core", "netlatch_platform", "netlatchctl"},
}

src = os.path.abspath("src")
failures = []

def folder_of(path):
    return os.path.relpath(os.path.dirname(os.path.abspath(path)), src)

# Targets per folder: from what the build compiles, and from what each folder's CMakeLists.txt names.
targets = defaultdict(set)
for entry in json.load(open(sys.argv[1])):
    path = os.path.abspath(os.path.join(entry["directory"], entry["file"]))
    if not path.startswith(src + os.sep):
        continue
    command = entry.get("command") or " ".join(entry.get("arguments", []))
    found = re.search(r"CMakeFiles/([^/ ]+)\.dir/", command)
    if found:
        targets[folder_of(path)].add(found.group(1))
for root, _, files in os.walk(src):
    if "CMakeLists.txt" in files:
        text = open(os.path.join(root, "CMakeLists.txt")).read()
        for name in re.findall(r"^\s*(?:target_sources|add_executable)\(\s*([\w-]+)", text, re.M):
            targets[os.path.relpath(root, src)].add(name)

folders = sorted(f for f in targets)
for folder in folders:
    if len(targets[folder]) != 1:
        failures.append(f"src/{folder} compiles into {len(targets[folder])} targets: {', '.join(sorted(targets[folder]))}")

# Includes between folders.
edges = defaultdict(set)
where = {}
for root, _, files in os.walk(src):
    for name in files:
        if not name.endswith((".h", ".cpp")):
            continue
        path = os.path.join(root, name)
        here = folder_of(path)
        for line in open(path, encoding="utf-8"):
            found = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not found or not os.path.exists(os.path.join(src, found.group(1))):
                continue
            there = os.path.dirname(found.group(1))
            if there != here:
                edges[here].add(there)
                where.setdefault((here, there), os.path.relpath(path))

for (here, there), path in sorted(where.items()):
    mine, theirs = targets.get(here), targets.get(there)
    if mine and theirs and len(mine) == 1 and len(theirs) == 1:
        (mine,), (theirs,) = mine, theirs
        if theirs not in MAY_USE.get(mine, {mine}):
            failures.append(f"src/{here} ({mine}) includes src/{there} ({theirs}): {path}")

# Circles: strongly connected components of the folder graph with more than one folder.
index, low, stack, on_stack, circles = {}, {}, [], set(), []
def visit(node):
    index[node] = low[node] = len(index)
    stack.append(node); on_stack.add(node)
    for nxt in edges.get(node, ()):
        if nxt not in index:
            visit(nxt); low[node] = min(low[node], low[nxt])
        elif nxt in on_stack:
            low[node] = min(low[node], index[nxt])
    if low[node] == index[node]:
        component = []
        while True:
            top = stack.pop(); on_stack.discard(top); component.append(top)
            if top == node:
                break
        if len(component) > 1:
            circles.append(sorted(component))
sys.setrecursionlimit(10000)
for node in sorted(set(edges) | {n for ns in edges.values() for n in ns}):
    if node not in index:
        visit(node)
for circle in circles:
    detail = "; ".join(f"{a} -> {b} ({where[(a, b)]})" for a in circle for b in sorted(edges[a]) if b in circle)
    failures.append(f"circle of includes between {', '.join('src/' + c for c in circle)}: {detail}")

if failures:
    print("check-layers: FAILED")
    for failure in failures:
        print("  " + failure)
    sys.exit(1)
print(f"check-layers: {len(folders)} folders, each in one target; no circle of includes; every include allowed")
EOF

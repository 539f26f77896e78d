#!/usr/bin/env python3
"""The product's include graph, checked against its layout.

Every folder of the product belongs to exactly one build target (TARGETS, the same table as the
README's map). A file may include only files of its own target and of the targets that target
is built on (USES), and the folders may not include each other in a loop.

  layering.py [--root DIR] [--dot FILE]

Exits 1 and names each offending include or loop; --dot writes the folders' graph for Graphviz
(dot -Tsvg FILE > graph.svg), its clusters the targets.
"""
import argparse
import pathlib
import re
import sys

# Path prefix (a folder, or one file) -> the target its files build into; the longest prefix
# wins.
TARGETS = {
    "platform/": "platform",
    "updater/core/": "updater_core",
    "updater/windows/": "updater_windows",
    "updater/main.cpp": "Ostrel",
    "launcher/core/": "launcher_core",
    "launcher/windows/": "Pellwick",
    "launcher/link/": "PellwickLink",
}

# Target -> the targets it is built on (and so may include).
USES = {
    "platform": set(),
    "updater_core": {"platform"},
    "updater_windows": {"updater_core", "platform"},
    "Ostrel": {"updater_windows", "updater_core", "platform"},
    "launcher_core": {"platform"},
    "Pellwick": {"launcher_core", "platform"},
    "PellwickLink": {"launcher_core", "platform"},
}

SOURCE_SUFFIXES = {".h", ".cpp", ".in", ".rc"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def target_of(path):
    best = None
    for prefix, target in TARGETS.items():
        if path == prefix or (prefix.endswith("/") and path.startswith(prefix)):
            if best is None or len(prefix) > len(best[0]):
                best = (prefix, target)
    return best[1] if best else None


def read_graph(root):
    """(file -> target, [(including file, included file)], [unresolved complaints])."""
    files = {}
    for top in sorted({prefix.split("/")[0] for prefix in TARGETS}):
        for path in sorted((root / top).rglob("*")):
            if path.is_file() and path.suffix in SOURCE_SUFFIXES:
                files[path.relative_to(root).as_posix()] = None
    problems = []
    for name in files:
        files[name] = target_of(name)
        if files[name] is None:
            problems.append(f"{name}: in no target's folder")
    edges = []
    for name, target in files.items():
        text = (root / name).read_text(encoding="utf-8", errors="replace")
        for included in INCLUDE.findall(text):
            # The file beside the includer first, as the compiler looks; then any product file
            # whose path ends with the include (generated headers match none and are skipped).
            beside = (pathlib.PurePosixPath(name).parent / included).as_posix()
            if beside in files:
                edges.append((name, beside))
                continue
            matches = [f for f in files if f.endswith("/" + included)]
            own = [f for f in matches if files[f] == target]
            if len(own) == 1:
                matches = own
            if len(matches) > 1:
                problems.append(f'{name}: "{included}" could be any of {", ".join(matches)}')
            elif matches:
                edges.append((name, matches[0]))
    return files, edges, problems


def folder_loops(folder_edges):
    """The groups of more than one folder that all reach each other."""
    graph = {}
    for a, b in folder_edges:
        graph.setdefault(a, set()).add(b)

    def reachable(start):
        seen, todo = set(), [start]
        while todo:
            for nxt in graph.get(todo.pop(), ()):
                if nxt not in seen:
                    seen.add(nxt)
                    todo.append(nxt)
        return seen

    reach = {node: reachable(node) for node in graph}
    loops = {tuple(sorted(other for other in reach[node] if node in reach.get(other, ())))
             for node in graph if node in reach[node]}
    return sorted(list(loop) for loop in loops)


def check(root):
    files, edges, problems = read_graph(root)
    folder_edges = set()
    for includer, included in edges:
        source, target = files[includer], files[included]
        if source and target and target != source and target not in USES[source]:
            problems.append(f"{includer}: includes {included} of {target}, "
                            f"which {source} is not built on")
        a = pathlib.PurePosixPath(includer).parent.as_posix()
        b = pathlib.PurePosixPath(included).parent.as_posix()
        if a != b:
            folder_edges.add((a, b))
    for loop in folder_loops(folder_edges):
        problems.append("folders include each other in a loop: " + ", ".join(loop))
    return files, folder_edges, problems


def write_dot(path, files, folder_edges):
    clusters = {}
    for name, target in files.items():
        clusters.setdefault(target, set()).add(pathlib.PurePosixPath(name).parent.as_posix())
    lines = ["digraph layering {", "  rankdir=BT;", "  node [shape=box];"]
    for number, (target, folders) in enumerate(sorted(clusters.items(), key=str)):
        lines.append(f'  subgraph cluster_{number} {{ label="{target}";')
        lines += [f'    "{folder}";' for folder in sorted(folders)]
        lines.append("  }")
    lines += [f'  "{a}" -> "{b}";' for a, b in sorted(folder_edges)]
    lines.append("}")
    pathlib.Path(path).write_text("\n".join(lines) + "\n", encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=pathlib.Path(__file__).resolve().parents[1],
                        type=pathlib.Path)
    parser.add_argument("--dot")
    args = parser.parse_args()
    files, folder_edges, problems = check(args.root)
    if args.dot:
        write_dot(args.dot, files, folder_edges)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""tools/layering.py on small trees with a known fault each, then on this tree."""
import pathlib
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import layering  # noqa: E402

# (what is wrong, files and their includes, a piece of the one complaint expected or None)
CASES = [
    ("nothing", {"updater/core/a/x.h": [], "updater/windows/b/y.cpp": ["a/x.h"]}, None),
    ("core includes its Windows part",
     {"updater/core/a/x.cpp": ["b/y.h"], "updater/windows/b/y.h": []},
     "includes updater/windows/b/y.h of updater_windows"),
    ("one product includes the other",
     {"launcher/core/a/x.cpp": ["b/y.h"], "updater/core/b/y.h": []}, "not built on"),
    ("two folders in a loop",
     {"updater/core/a/x.h": ["b/y.h"], "updater/core/b/y.h": ["a/z.h"], "updater/core/a/z.h": []},
     "loop: updater/core/a, updater/core/b"),
    ("a file in no target's folder", {"updater/stray/x.cpp": []}, "in no target's folder"),
    ("an include two files could answer",
     {"updater/windows/c/x.cpp": ["a/y.h"], "updater/core/a/y.h": [], "platform/a/y.h": []},
     "could be any of"),
]


def run_case(files):
    with tempfile.TemporaryDirectory() as folder:
        root = pathlib.Path(folder)
        for name, includes in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text("".join(f'#include "{i}"\n' for i in includes))
        return layering.check(root)[2]


def main():
    failures = []
    for what, files, expected in CASES:
        problems = run_case(files)
        if expected is None and problems or expected is not None and (
                len(problems) != 1 or expected not in problems[0]):
            failures.append(f"{what}: {problems}")
    tree_problems = layering.check(ROOT)[2]
    failures += [f"this tree: {problem}" for problem in tree_problems]
    print("\n".join(failures) or "ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

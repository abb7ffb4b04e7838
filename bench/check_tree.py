#!/usr/bin/env python3
"""Checks a tool's output tree against a plain reference of the same replace.

  check_tree.py ORIGINAL OUTPUT --mask MASK --find F --text T [--no-subfolders]

The reference is the simplest correct thing: for every file whose name passes
the mask, every occurrence of F, left to right and without overlap, becomes T
(Python's bytes.replace); every other file stays as it was. OUTPUT must hold
exactly the same names as ORIGINAL (no temporary file left behind) and each
file the reference's bytes. Prints the number of files changed; exits 1 on the
first difference.

  check_tree.py --list ORIGINAL --mask MASK --find F
prints the sorted full paths of the files the reference finds (for Just Find).
"""

import argparse
import os
import sys


def mask_matches(name: bytes, mask: bytes) -> bool:
    # The mask is one text, not a list: the name's extension (from its last dot, or the
    # whole name when it has none) followed by a comma must occur in the mask plus a comma.
    if mask == b"*.*":
        return True
    dot = name.rfind(b".")
    ext = name if dot < 0 else name[dot:]
    return (ext + b",") in (mask + b",")


def walk(root: bytes, subfolders: bool):
    for folder, dirs, files in os.walk(root):
        if not subfolders:
            dirs[:] = []
        for name in files:
            yield folder, name
        # Symbolic links to folders are not descended by the tools either.
        dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(folder, d))]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("original")
    p.add_argument("output", nargs="?")
    p.add_argument("--mask", default="*.htm,*.html,*.asp,*.txt")
    p.add_argument("--find", required=True)
    p.add_argument("--text", default="")
    p.add_argument("--no-subfolders", action="store_true")
    p.add_argument("--list", action="store_true")
    a = p.parse_args()
    mask = os.fsencode(a.mask)
    find = os.fsencode(a.find)
    text = os.fsencode(a.text)
    orig = os.fsencode(a.original)

    if a.list:
        found = []
        for folder, name in walk(orig, not a.no_subfolders):
            if mask_matches(name, mask):
                with open(os.path.join(folder, name), "rb") as f:
                    if find in f.read():
                        found.append(os.path.join(folder, name))
        for path in sorted(found):
            sys.stdout.buffer.write(path + b"\n")
        return 0

    out = os.fsencode(a.output)
    changed = 0
    seen = set()
    for folder, name in walk(orig, not a.no_subfolders):
        rel = os.path.relpath(os.path.join(folder, name), orig)
        seen.add(rel)
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if mask_matches(name, mask) and find in data:
            data = data.replace(find, text)
            changed += 1
        try:
            with open(os.path.join(out, rel), "rb") as f:
                got = f.read()
        except OSError as e:
            print(f"MISSING {os.fsdecode(rel)}: {e}", file=sys.stderr)
            return 1
        if got != data:
            print(f"DIFFERS {os.fsdecode(rel)}", file=sys.stderr)
            return 1
    for folder, name in walk(out, not a.no_subfolders):
        rel = os.path.relpath(os.path.join(folder, name), out)
        if rel not in seen:
            print(f"EXTRA {os.fsdecode(rel)}", file=sys.stderr)
            return 1
    print(changed)
    return 0


if __name__ == "__main__":
    sys.exit(main())

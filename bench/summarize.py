#!/usr/bin/env python3
"""Prints a Markdown table from a hyperfine JSON export, with ratios to a baseline.

  summarize.py RESULT.json --baseline NAME [--files N] [--target NAME=RATIO ...]

The figure compared is the median wall time. --files adds a files-per-second column.
A target says: NAME's median must be at most RATIO times the baseline's.
"""

import argparse
import json
import statistics
import sys


def main():
    p = argparse.ArgumentParser()
    p.add_argument("json")
    p.add_argument("--baseline", required=True)
    p.add_argument("--files", type=int)
    p.add_argument("--target", action="append", default=[])
    a = p.parse_args()

    with open(a.json, encoding="utf-8") as f:
        results = json.load(f)["results"]
    medians = {r["command"]: statistics.median(r["times"]) for r in results}
    base = medians.get(a.baseline)

    head = "| command | median s | min s | max s | runs | ratio to " + a.baseline + " |"
    rule = "|---|---:|---:|---:|---:|---:|"
    if a.files:
        head += " files/s |"
        rule += "---:|"
    print(head)
    print(rule)
    for r in results:
        name = r["command"]
        med = medians[name]
        ratio = f"{med / base:.2f}" if base else "-"
        cell = name.replace("|", "\\|")  # a pipe would end the Markdown cell
        line = (f"| {cell} | {med:.3f} | {min(r['times']):.3f} | {max(r['times']):.3f} "
                f"| {len(r['times'])} | {ratio} |")
        if a.files:
            line += f" {a.files / med:,.0f} |"
        print(line)

    for t in a.target:
        name, limit = t.rsplit("=", 1)
        if name not in medians or not base:
            print(f"target {name} <= {limit} x {a.baseline}: not measured")
            continue
        ratio = medians[name] / base
        verdict = "MET" if ratio <= float(limit) else "NOT MET"
        print(f"target {name} <= {limit} x {a.baseline}: {ratio:.2f} -> {verdict}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Times commands turn about on fresh copies of a tree: run 1 of each, then run 2 of each...

hyperfine times all runs of one command before the next command, so a slow patch of the
machine (other programs, the disk catching up) lands on one command only; turn about, it
lands on all. Each run gets a fresh copy of the source tree, made and synced before the
clock starts.

    interleave.py --source DIR --work DIR --runs N --baseline NAME NAME=COMMAND...

COMMAND is run by /bin/sh with $W set to the fresh copy. Prints a Markdown table of
medians, minimums, maximums and the ratio of each median to the baseline's.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("commands", nargs="+", metavar="NAME=COMMAND")
    args = parser.parse_args()

    commands = []
    for item in args.commands:
        name, sep, command = item.partition("=")
        if not sep:
            parser.error(f"not NAME=COMMAND: {item}")
        commands.append((name, command))
    if args.baseline not in dict(commands):
        parser.error(f"no command named {args.baseline}")

    copy = os.path.join(args.work, "site")
    env = dict(os.environ, W=copy)
    times = {name: [] for name, _ in commands}
    for _ in range(args.runs):
        for name, command in commands:
            subprocess.run(["rm", "-rf", args.work], check=True)
            os.makedirs(args.work)
            subprocess.run(["cp", "-a", args.source, copy], check=True)
            subprocess.run(["sync"], check=True)
            start = time.perf_counter()
            done = subprocess.run(["/bin/sh", "-c", command], env=env,
                                  stdout=subprocess.DEVNULL)
            elapsed = time.perf_counter() - start
            if done.returncode not in (0, 1):  # 1: nothing matched, for some tools
                sys.exit(f"{name} failed with status {done.returncode}")
            times[name].append(elapsed)

    base = statistics.median(times[args.baseline])
    print(f"| command | median s | min s | max s | runs | ratio to {args.baseline} |")
    print("|---|---:|---:|---:|---:|---:|")
    for name, _ in commands:
        t = times[name]
        median = statistics.median(t)
        label = name.replace("|", "\\|")
        print(f"| {label} | {median:.3f} | {min(t):.3f} | {max(t):.3f} | {len(t)} "
              f"| {median / base:.2f} |")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Deterministic benchmark corpora, written outside the repository.

  make_corpus.py tree  DIR [--files N] [--megabytes M] [--seed S]
      A web-site-like tree: nested folders, mixed extensions (.htm .html .asp
      .txt and others the default mask leaves alone, binary ones among them),
      about a fifth of the files holding the find text, near misses elsewhere.
  make_corpus.py big   DIR [--megabytes M]
      One large text file (DIR/site/big.txt) with a handful of matches.
  make_corpus.py small DIR [--files N]
      Many small files under DIR/site, laid out so that DIR/site/h1/q1 holds a
      quarter, DIR/site/h1 half and DIR/site the whole (to check that the cost
      grows linearly).

The same arguments always give the same bytes. A stamp file records the
arguments; a folder whose stamp matches is kept as it is.
"""

import argparse
import os
import random
import shutil
import sys

FIND = b"Copyright 2019 Old Company Ltd"
REPL = b"Copyright 2026 New Company GmbH"
# Prefixes of the find text, so a search has to look past false starts.
NEAR_MISSES = [b"Copyright 2019 Old Company", b"Copyright 2019", b"Copyright", b"Old Company Ltd"]

WORDS = (
    "the site page menu footer header about contact product price order news "
    "archive update service support home index table form input button link "
    "image style script content section article aside nav main list item "
    "caf\u00e9 na\u00efve \u00fcber stra\u00dfe \u6f22\u5b57 \u0434\u0430\u043d\u043d\u044b\u0435 "
    "Copy copy right Right 2019 2018 Old old Company company Ltd Ltd. GmbH"
).split()

TAGS = ["p", "div", "span", "li", "td", "h2", "h3", "em", "strong", "a"]


def make_pool(rng, size):
    """A block of HTML-ish lines that file bodies are cut from."""
    out = []
    total = 0
    while total < size:
        tag = rng.choice(TAGS)
        words = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 18)))
        line = f"<{tag} class=\"c{rng.randint(0, 99)}\">{words}</{tag}>\n".encode()
        out.append(line)
        total += len(line)
    pool = b"".join(out)
    assert FIND not in pool
    return pool


def body(rng, pool, size):
    start = rng.randrange(len(pool))
    chunk = pool[start:start + size]
    while len(chunk) < size:
        chunk += pool[: size - len(chunk)]
    return chunk


def insert_at(rng, data, piece):
    at = rng.randrange(len(data) + 1)
    return data[:at] + piece + data[at:]


def stamp_ok(folder, stamp):
    try:
        with open(os.path.join(folder, ".corpus-stamp"), encoding="utf-8") as f:
            return f.read() == stamp
    except OSError:
        return False


def start_folder(folder):
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)


def finish_folder(folder, stamp):
    # The stamp lives beside the tree, not in it, so no tool ever visits it.
    with open(os.path.join(folder, ".corpus-stamp"), "w", encoding="utf-8") as f:
        f.write(stamp)


# Extension, share of files, whether it is text. The default mask takes the first four.
EXTENSIONS = [
    (".htm", 24, True),
    (".html", 24, True),
    (".asp", 10, True),
    (".txt", 14, True),
    (".css", 8, True),
    (".js", 8, True),
    (".png", 5, False),
    (".HTM", 2, True),    # case counts: not in the mask
    (".html.bak", 2, True),
    ("", 1, True),        # no extension at all
    (".xml", 2, True),
]


def make_tree(root, files, megabytes, seed):
    rng = random.Random(seed)
    pool = make_pool(rng, 4 << 20)
    data_root = os.path.join(root, "site")

    # Folders: a random tree, at most five levels deep, about one folder per 30 files.
    folders = [""]
    frontier = [("", 0)]
    want = max(1, files // 30)
    while len(folders) < want and frontier:
        parent, depth = frontier.pop(rng.randrange(len(frontier)))
        for _ in range(rng.randint(1, 5)):
            if len(folders) >= want:
                break
            name = rng.choice(["docs", "news", "img", "shop", "en", "de", "archive", "old",
                               "2019", "help", "pages", "inc", "my folder", "caf\u00e9"])
            path = os.path.join(parent, f"{name}{len(folders)}")
            folders.append(path)
            if depth < 4:
                frontier.append((path, depth + 1))
    for folder in folders:
        os.makedirs(os.path.join(data_root, folder), exist_ok=True)

    weights = [w for _, w, _ in EXTENSIONS]
    mean = megabytes * 1_000_000 / files
    for index in range(files):
        ext, _, is_text = rng.choices(EXTENSIONS, weights)[0]
        folder = rng.choice(folders)
        if ext == "":
            name = rng.choice(["README", "Makefile", "LICENSE"]) + str(index)
        else:
            name = f"{rng.choice(['index', 'page', 'item', 'p', 'doc'])}{index}{ext}"
        # Log-normal sizes around the mean, a few large files among many small ones.
        size = int(min(max(rng.lognormvariate(0, 1.0) * mean / 1.6487, 64), 40 * mean))
        if is_text:
            data = body(rng, pool, size)
            if rng.random() < 0.1:
                data = data.replace(b"\n", b"\r\n")
            for _ in range(rng.randint(0, 3)):
                data = insert_at(rng, data, rng.choice(NEAR_MISSES))
        else:
            data = b"\x89PNG\r\n\x1a\n" + rng.randbytes(size)
        if rng.random() < 0.2:
            for _ in range(rng.choice([1, 1, 1, 2, 3, 8])):
                data = insert_at(rng, data, FIND)
            # Back to back occurrences: the replace must not overlap or rescan.
            if rng.random() < 0.05:
                data = insert_at(rng, data, FIND + FIND)
        if rng.random() < 0.005:
            data = b""
        with open(os.path.join(data_root, folder, name), "wb") as f:
            f.write(data)


def make_big(root, megabytes, seed):
    rng = random.Random(seed)
    pool = make_pool(rng, 8 << 20)
    total = megabytes * 1_000_000
    os.makedirs(os.path.join(root, "site"))
    path = os.path.join(root, "site", "big.txt")
    matches = 12
    positions = sorted(rng.randrange(total) for _ in range(matches))
    written = 0
    with open(path, "wb") as f:
        for pos in positions + [total]:
            while written < pos:
                n = min(pos - written, len(pool))
                f.write(pool[:n])
                written += n
            if pos < total:
                f.write(FIND)
                written += len(FIND)


def make_small(root, files, seed):
    rng = random.Random(seed)
    pool = make_pool(rng, 1 << 20)
    per_folder = 500
    # Quarters: h1/q1, h1/q2, h2/q3, h2/q4; each quarter in folders of per_folder files.
    quarter = files // 4
    for q in range(4):
        half = "h1" if q < 2 else "h2"
        base = os.path.join(root, "site", half, f"q{q + 1}")
        for index in range(quarter):
            if index % per_folder == 0:
                folder = os.path.join(base, f"f{index // per_folder:04d}")
                os.makedirs(folder)
            data = body(rng, pool, rng.randint(100, 700))
            if rng.random() < 0.2:
                data = insert_at(rng, data, FIND)
            ext = ".htm" if index % 3 else ".txt"
            with open(os.path.join(folder, f"s{index}{ext}"), "wb") as f:
                f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kind", choices=["tree", "big", "small"])
    parser.add_argument("dir")
    parser.add_argument("--files", type=int)
    parser.add_argument("--megabytes", type=int)
    parser.add_argument("--seed", type=int, default=20261211)
    args = parser.parse_args()

    files = args.files or {"tree": 10_000, "small": 200_000}.get(args.kind, 1)
    megabytes = args.megabytes or {"tree": 100, "big": 500}.get(args.kind, 0)
    stamp = f"v1 {args.kind} files={files} mb={megabytes} seed={args.seed}\n"
    if stamp_ok(args.dir, stamp):
        print(f"{args.dir}: up to date")
        return
    start_folder(args.dir)
    if args.kind == "tree":
        make_tree(args.dir, files, megabytes, args.seed)
    elif args.kind == "big":
        make_big(args.dir, megabytes, args.seed)
    else:
        make_small(args.dir, files, args.seed)
    finish_folder(args.dir, stamp)
    print(f"{args.dir}: made")


if __name__ == "__main__":
    sys.exit(main())

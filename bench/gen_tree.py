#!/usr/bin/env python3
"""Makes a seeded tree of files and folders for the benchmarks.

  gen_tree.py KIND DEST [--seed N]

KIND: wide   100,000 entries in 500 folders, 1 in 500 malformed
      flat   10,000 malformed entries in one folder
      flat20k 20,000 malformed entries in one folder
      deep   30 levels of folders, a few entries on each
      huge   1,000,000 entries in 2,000 folders, 1 in 500 malformed
      rows5k 5,000 malformed entries beside 5,000 others in 100 folders
      rows100k 100,000 malformed entries: 500 folders of 200 nul.NNN
"""
import argparse
import os
import random

MALFORMED = ["nul", "con.txt", "aux.log", "trail ", "report.", "com1.tmp", "lpt0", "x."]


def malformed_name(rng, i):
    stem = rng.choice(MALFORMED)
    if stem.endswith((".", " ")):
        return f"m{i}{stem}"
    return f"{stem.split('.')[0]}.{i}"


def make(path):
    with open(path, "wb"):
        pass


def tree(dest, folders, per_folder, ratio, rng):
    n = 0
    for f in range(folders):
        d = os.path.join(dest, f"d{f // 50:03d}", f"folder {f:04d}")
        os.makedirs(d, exist_ok=True)
        for i in range(per_folder):
            name = malformed_name(rng, n) if rng.randrange(ratio) == 0 else f"file{n:07d}.dat"
            make(os.path.join(d, name))
            n += 1


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kind", choices=["wide", "flat", "flat20k", "deep", "huge", "rows5k", "rows100k"])
    ap.add_argument("dest")
    ap.add_argument("--seed", type=int, default=7041)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    os.makedirs(a.dest, exist_ok=True)
    if a.kind == "wide":
        tree(a.dest, 500, 200, 500, rng)
    elif a.kind == "huge":
        tree(a.dest, 2000, 500, 500, rng)
    elif a.kind == "rows5k":
        for f in range(100):
            d = os.path.join(a.dest, f"folder {f:03d}")
            os.makedirs(d, exist_ok=True)
            for i in range(100):
                n = f * 100 + i
                make(os.path.join(d, malformed_name(rng, n) if i % 2 == 0 else f"file{n:05d}.dat"))
    elif a.kind == "rows100k":
        for f in range(500):
            d = os.path.join(a.dest, f"d{f // 50:02d}", f"folder {f:03d}")
            os.makedirs(d, exist_ok=True)
            for i in range(200):
                make(os.path.join(d, f"nul.{i:03d}"))
    elif a.kind in ("flat", "flat20k"):
        for i in range(10000 if a.kind == "flat" else 20000):
            make(os.path.join(a.dest, malformed_name(rng, i)))
    else:
        d = a.dest
        for level in range(30):
            d = os.path.join(d, f"level{level:02d}")
            os.makedirs(d, exist_ok=True)
            for i in range(20):
                make(os.path.join(d, malformed_name(rng, i) if i % 10 == 0 else f"f{i}.txt"))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Changes PERCENT of a tree's files in five even parts: some deleted, moved to
another directory, grown, made read-only, and as many new files added.

usage: change_tree.py DIR PERCENT
"""
import os
import random
import sys

root, percent = sys.argv[1], float(sys.argv[2])
files = sorted(os.path.join(d, f) for d, _, fs in os.walk(root) for f in fs)
rng = random.Random(7)
chosen = rng.sample(files, min(len(files), max(5, int(len(files) * percent / 100))))
part = len(chosen) // 5
deleted, moved, grown, chmodded = (chosen[i * part:(i + 1) * part] for i in range(4))
for path in deleted:
    os.remove(path)
target = os.path.join(root, "moved-here")
os.makedirs(target, exist_ok=True)
for path in moved:
    os.rename(path, os.path.join(target, os.path.basename(path)))
for path in grown:
    with open(path, "ab") as f:
        f.write(b"grown")
for path in chmodded:
    os.chmod(path, 0o444)
for i in range(part):
    with open(os.path.join(root, "new%05d.dat" % i), "wb") as f:
        f.write(rng.randbytes(2048))
print("changed %d files of %d" % (5 * part, len(files)))

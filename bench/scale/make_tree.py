#!/usr/bin/env python3
"""Writes a synthetic tree: COUNT files of 1-8 KiB, about 100 per directory.

usage: make_tree.py DIR COUNT          small files
       make_tree.py DIR --large TOTAL_MIB FILES   a few large files
"""
import os
import random
import sys


def small(root, count):
    rng = random.Random(20261208)
    for i in range(count):
        d = os.path.join(root, "d%03d" % (i // 1000), "s%02d" % (i // 100 % 10))
        if i % 100 == 0:
            os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, "f%06d.dat" % i), "wb") as f:
            f.write(rng.randbytes(rng.randint(1024, 8192)))


def large(root, total_mib, files):
    os.makedirs(root, exist_ok=True)
    block = os.urandom(1 << 20)
    for i in range(files):
        with open(os.path.join(root, "big%02d.bin" % i), "wb") as f:
            for j in range(total_mib // files):
                # Vary each MiB a little so no two blocks are alike.
                f.write(j.to_bytes(8, "little") + block[8:])


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[2] == "--large":
        large(sys.argv[1], int(sys.argv[3]), int(sys.argv[4]))
    else:
        small(sys.argv[1], int(sys.argv[2]))

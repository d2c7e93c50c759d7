#!/usr/bin/env python3
"""Makes a tree of many small files quickly, for the memory figures of list.

usage: make_wide_tree.py DIR FILES [--per-folder N]

FILES files of 1 to 64 bytes in folders of N files each (default 40), the
folders three levels deep. The same arguments give the same tree.
"""
import argparse
import os


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("files", type=int)
    ap.add_argument("--per-folder", type=int, default=40)
    args = ap.parse_args()
    folders = max(1, args.files // args.per_folder)
    for f in range(folders):
        folder = os.path.join(args.dir, "d%02d" % (f % 50), "e%03d" % (f // 50 % 500), "f%06d" % f)
        os.makedirs(folder, exist_ok=True)
        for k in range(args.files // folders + (1 if f < args.files % folders else 0)):
            name = os.path.join(folder, "file-%06d-%02d.dat" % (f, k))
            fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            os.write(fd, b"x" * (1 + (f * 31 + k) % 64))
            os.close(fd)


if __name__ == "__main__":
    main()

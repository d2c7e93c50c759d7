#!/usr/bin/env python3
"""Writes two listing files of N file lines for the comparison benchmark.

usage: make_listings.py OLD NEW [--files N] [--seed S] [--moved F] [--digests]

OLD is a listing of N files; NEW is the same tree later: 1% of the files
modified (size and time), 0.5% deleted and 0.5% added, and with --moved the
fraction F of the files moved unchanged to another folder. With --digests
every file line carries a digest, which a file keeps when it moves. Both have
the folder section and the summary line, with CR LF line ends.
"""
import argparse
import hashlib
import random


def file_line(rng, path, digests=False):
    day, month, year = rng.randint(1, 28), rng.randint(1, 12), rng.randint(2015, 2025)
    hh, nn, ss = rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59)
    size = int(rng.lognormvariate(8, 2))
    attrs = "____N______" if rng.random() < 0.97 else "_____A____R"
    digest = hashlib.md5(("%s %d %d" % (path, size, ss)).encode()).hexdigest() + " " if digests else ""
    return "%02d.%02d.%04d %02d:%02d:%02d %010d Bytes %s %s%s" % (day, month, year, hh, nn, ss, size, attrs, digest,
                                                                 path)


def moved(line, folders, rng):
    """The same line with the file, by the same name, in another folder."""
    head, path = line.rsplit("/data/", 1)
    folder, name = ("/data/" + path).rsplit("/", 1)
    target = folder + "/"
    while target == folder + "/":
        target = rng.choice(folders)
    return head + target + name


def write(name, lines, folders):
    total = 0
    with open(name, "wb") as out:
        for line in lines:
            total += int(line.split(" ")[2])
            out.write(line.encode() + b"\r\n")
        out.write(b">>> All directories found >>>\r\n")
        for folder in folders:
            out.write(folder.encode() + b"\r\n")
        out.write(b"<<< All directories found <<<\r\n")
        out.write(("Number of Files = %d  Number of Folders = %d  Total Size = %s Bytes\r\n"
                   % (len(lines), len(folders), format(total, ","))).encode())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("--files", type=int, default=1_000_000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--moved", type=float, default=0.0)
    ap.add_argument("--digests", action="store_true")
    args = ap.parse_args()
    rng = random.Random(args.seed)
    moves = random.Random(args.seed + 1)
    folders = ["/data/share/d%04d/sub%02d/" % (i // 20, i % 20) for i in range(max(1, args.files // 100))]
    paths = ["%sfile_%07d_report final.txt" % (rng.choice(folders), i) for i in range(args.files)]
    old = [file_line(rng, p, args.digests) for p in paths]
    new = []
    for line in old:
        r = rng.random()
        if r < 0.005:
            continue  # deleted
        if r < 0.015:
            path = line.split(" ", 6 if args.digests else 5)[-1]
            line = file_line(rng, path, args.digests)  # modified
        elif moves.random() < args.moved:
            line = moved(line, folders, moves)
        new.append(line)
    for i in range(args.files // 200):
        new.append(file_line(rng, "%sadded_%07d.dat" % (rng.choice(folders), i), args.digests))
    write(args.old, old, folders)
    write(args.new, new, folders)


if __name__ == "__main__":
    main()

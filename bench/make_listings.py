#!/usr/bin/env python3
"""Writes two listing files of N file lines for the comparison benchmark.

usage: make_listings.py OLD NEW [--files N] [--seed S]

OLD is a listing of N files; NEW is the same tree later: 1% of the files
modified (size and time), 0.5% deleted and 0.5% added. Both have the folder
section and the summary line, with CR LF line ends.
"""
import argparse
import random


def file_line(rng, path):
    day, month, year = rng.randint(1, 28), rng.randint(1, 12), rng.randint(2015, 2025)
    hh, nn, ss = rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59)
    size = int(rng.lognormvariate(8, 2))
    attrs = "____N______" if rng.random() < 0.97 else "_____A____R"
    return "%02d.%02d.%04d %02d:%02d:%02d %010d Bytes %s %s" % (day, month, year, hh, nn, ss, size, attrs, path)


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
    args = ap.parse_args()
    rng = random.Random(args.seed)
    folders = ["/data/share/d%04d/sub%02d/" % (i // 20, i % 20) for i in range(max(1, args.files // 100))]
    paths = ["%sfile_%07d_report final.txt" % (rng.choice(folders), i) for i in range(args.files)]
    old = [file_line(rng, p) for p in paths]
    new = []
    for line in old:
        r = rng.random()
        if r < 0.005:
            continue  # deleted
        if r < 0.015:
            path = line.split(" ", 5)[5]
            line = file_line(rng, path)  # modified
        new.append(line)
    for i in range(args.files // 200):
        new.append(file_line(rng, "%sadded_%07d.dat" % (rng.choice(folders), i)))
    write(args.old, old, folders)
    write(args.new, new, folders)


if __name__ == "__main__":
    main()

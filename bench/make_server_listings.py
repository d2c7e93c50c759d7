#!/usr/bin/env python3
"""Writes two listings of a file server for the scale benchmark.

usage: make_server_listings.py OLD NEW [--files N] [--seed S] [--changed F]

OLD lists N files of a departmental file server: /srv/share/<dept>/<project>/
<folder>/<name>, lines of about 130 bytes. NEW is the same server later: the
fraction F (default 0.03) of the files changed, split between modified (size
and time), deleted, added and moved to another folder. Both end with the
folder section and the summary line, with CR LF line ends. Lines are written
in the breadth-first order a listing has: files folder by folder.
"""
import argparse
import random

WORDS = ("report budget invoice minutes draft final review contract scan photo backup export summary "
         "presentation schedule inventory proposal analysis letter notes").split()
EXTS = (".docx", ".xlsx", ".pdf", ".pptx", ".jpg", ".txt", ".csv", ".zip", ".msg", ".png")


def folder_paths(rng, count):
    folders = []
    for d in range(count):
        dept = "dept-%02d-%s" % (d % 37, WORDS[d % len(WORDS)])
        folders.append("/srv/share/%s/project-%04d/%s-%03d/" % (dept, d // 37 % 4000, rng.choice(WORDS), d % 997))
    return folders


def file_line(rng, folder, serial):
    size = int(rng.lognormvariate(10, 2.2)) % 10**10
    name = "%s_%s_%07d%s" % (rng.choice(WORDS), rng.choice(WORDS), serial, rng.choice(EXTS))
    return "%02d.%02d.%04d %02d:%02d:%02d %010d Bytes ____N______ %s%s" % (
        rng.randint(1, 28), rng.randint(1, 12), rng.randint(2012, 2025), rng.randint(0, 23), rng.randint(0, 59),
        rng.randint(0, 59), size, folder, name)


def write(name, files, folders):
    total = 0
    with open(name, "w", encoding="utf-8", newline="") as out:
        buffer = []
        for line in files:
            total += int(line[20:30])
            buffer.append(line)
            if len(buffer) >= 100000:
                out.write("\r\n".join(buffer) + "\r\n")
                buffer.clear()
        if buffer:
            out.write("\r\n".join(buffer) + "\r\n")
        out.write(">>> All directories found >>>\r\n")
        out.write("\r\n".join(folders) + "\r\n")
        out.write("<<< All directories found <<<\r\n")
        out.write("Number of Files = %d  Number of Folders = %d  Total Size = %s Bytes\r\n"
                  % (len(files), len(folders), format(total, ",")))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("--files", type=int, default=10_000_000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--changed", type=float, default=0.03)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    folders = folder_paths(rng, max(1, args.files // 40))
    per_folder = args.files // len(folders)
    old = []
    for k in range(args.files):
        old.append(file_line(rng, folders[min(k // per_folder, len(folders) - 1)], k))
    write(args.old, old, folders)

    new = []
    quarter = args.changed / 4
    serial = args.files
    for line in old:
        r = rng.random()
        if r < quarter:  # modified: another size and time
            new.append(line[:11] + "%02d:%02d:%02d %010d" % (rng.randint(0, 23), rng.randint(0, 59),
                                                              rng.randint(0, 59), rng.randint(0, 10**9)) + line[30:])
        elif r < 2 * quarter:  # deleted
            continue
        elif r < 3 * quarter:  # added beside it
            new.append(line)
            new.append(file_line(rng, line[line.index("/srv/"):line.rindex("/") + 1], serial))
            serial += 1
        elif r < 4 * quarter:  # moved unchanged to another folder
            head, name = line.rsplit("/", 1)
            new.append(line[:line.index("/srv/")] + rng.choice(folders) + name)
        else:
            new.append(line)
    del old
    write(args.new, new, folders)


if __name__ == "__main__":
    main()

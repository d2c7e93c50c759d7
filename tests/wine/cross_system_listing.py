#!/usr/bin/env python3
"""Lists one tree with the Linux and the Windows build and compares the lines.

usage: cross_system_listing.py LINUX_CLI WINE_RUN... WINDOWS_CLI

The listings may differ only in the path form (Z:\\ and backslashes under wine)
and in what each system records: the attribute letters, and a link to a folder,
which Linux lists as an entry of its own and Windows as a folder that is never
walked. Then a listing made on Windows is compared on Linux against another
Windows listing, and by the Windows build itself against the folder.
"""
import os
import subprocess
import sys
import tempfile

linux_cli, wine_run, windows_cli = sys.argv[1], sys.argv[2:-1], sys.argv[-1]
TIME = 1700000000
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(args):
    # Now and then wine itself hangs as a program starts, while other tests
    # start wine in other prefixes (seen once in a few hundred starts: the
    # process waits on its server before any of the program has run). Such a
    # start is tried once more, and told; a second hang fails the test.
    for attempt in range(2):
        try:
            result = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    timeout=45)
            return result.returncode, result.stdout, result.stderr
        except subprocess.TimeoutExpired:
            print("no answer in 45 s, attempt %d: %s" % (attempt + 1, " ".join(args)), file=sys.stderr)
    print("FAILED: no answer in 45 s, twice: " + " ".join(args))
    sys.exit(1)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def lines_of(data):
    check(b"\r\r" not in data, "a line ends in CR CR LF")
    check(data.endswith(b"\r\n"), "the output does not end with CR LF")
    return data.decode("utf-8").split("\r\n")[:-1]


def sections(lines):
    opening = lines.index(">>> All directories found >>>")
    closing = lines.index("<<< All directories found <<<")
    return lines[:opening], lines[opening + 1:closing], lines[closing + 1:]


with tempfile.TemporaryDirectory(prefix="quillon-cross-") as root:
    def make(relative, content):
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(content)
        os.utime(path, (TIME, TIME))

    tree = os.path.join(root, "tree")
    make("tree/plain.txt", b"hello\n")
    make("tree/with space.bin", bytes(range(256)) * 40)
    make("tree/caf\u00e9 \u20ac.txt", b"non-ASCII name")
    make("tree/sub/deeper/last", b"")
    make("tree/sub/readonly", b"keep")
    os.chmod(os.path.join(tree, "sub/readonly"), 0o444)
    os.symlink("..", os.path.join(tree, "sub/up"))  # a loop if it were walked
    os.lstat(os.path.join(tree, "sub/up"))

    code, linux_out, _ = run([linux_cli, "list", "--md5", tree])
    check(code == 0, "the Linux listing failed")
    code, windows_out, err = run(wine_run + [windows_cli, "list", "--md5", windows_path(tree)])
    check(code == 0, "the Windows listing failed: " + err.decode("utf-8", "replace"))
    linux_files, linux_folders, linux_summary = sections(lines_of(linux_out))
    windows_files, windows_folders, windows_summary = sections(lines_of(windows_out))

    # What each system records: Linux writes "N" for a plain file, Windows its
    # archive bit; read-only is "R" on both.
    expected_attributes = {"____N______": "_____A_____", "__________R": "_____A____R"}
    link = tree + "/sub/up"
    expected = []
    for line in linux_files:
        path = line[82:]
        if path == link:
            continue
        attributes = line[37:48]
        check(attributes in expected_attributes, "unexpected Linux attributes: " + line)
        expected.append(line[:37] + expected_attributes.get(attributes, attributes) + line[48:82] + windows_path(path))
    check(sorted(expected) == sorted(windows_files),
          "file lines differ:\n  Linux as Windows: %s\n  Windows:          %s" % (sorted(expected), sorted(windows_files)))
    check(len(windows_files) == 5, "Windows listed %d files, not 5" % len(windows_files))
    check(sorted([windows_path(f) for f in linux_folders] + [windows_path(link) + "\\"]) == sorted(windows_folders),
          "folder lines differ: %s / %s" % (linux_folders, windows_folders))
    check(not any("\\up\\" in line for line in windows_files) and
          [line for line in windows_folders if "\\up\\" in line] == [windows_path(link) + "\\"],
          "the linked folder was walked")
    check(windows_summary == ["Number of Files = 5  Number of Folders = 3  Total Size = 10,264 Bytes"],
          "Windows summary: %s" % windows_summary)
    check(linux_summary == ["Number of Files = 6  Number of Folders = 2  Total Size = 10,266 Bytes"],
          "Linux summary: %s" % linux_summary)

    # Two Windows listings, compared on Linux and on Windows.
    old = os.path.join(root, "old.qln")
    with open(old, "wb") as out:
        out.write(windows_out)
    make("tree/plain.txt", b"HELLO\n")
    code, new_out, _ = run(wine_run + [windows_cli, "list", "--md5", windows_path(tree)])
    new = os.path.join(root, "new.qln")
    with open(new, "wb") as out:
        out.write(new_out)
    modified = [line for line in lines_of(new_out) if line.endswith("\\plain.txt")]
    code, results, _ = run([linux_cli, "compare", new, old])
    check(code == 1, "the Linux compare of two Windows listings gave exit code %d" % code)
    check(lines_of(results) == ["Modified: " + modified[0]], "the Linux compare gave %s" % results)
    code, results, _ = run(wine_run + [windows_cli, "compare", "--folder", windows_path(tree), "--md5",
                                       windows_path(old)])
    check(code == 1, "the Windows compare --folder gave exit code %d" % code)
    check(lines_of(results) == ["Modified: " + modified[0]], "the Windows compare gave %s" % results)

for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)

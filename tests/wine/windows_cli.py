#!/usr/bin/env python3
"""What quillon-cli.exe itself tells the user, run under wine.

usage: windows_cli.py WINE_RUN... WINDOWS_CLI

A folder typed in another letter case is written as the file system stores
it; the help speaks only of what this build does; every error begins with
the program's name and keeps the system's reason on a line of its own.
"""
import os
import subprocess
import sys
import tempfile

wine_run, cli = sys.argv[1:-1], sys.argv[-1]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*args):
    result = subprocess.run(wine_run + [cli, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8")


with tempfile.TemporaryDirectory(prefix="quillon-case-") as root:
    tree = os.path.join(root, "Stored", "MixedCase")
    os.makedirs(os.path.join(tree, "Sub"))
    for name in ("File.txt", "Sub/Inner.bin"):
        with open(os.path.join(tree, name), "wb") as out:
            out.write(name.encode())
    as_stored = "Z:" + tree.replace("/", "\\")
    _, stored_lines, _ = run("list", "--md5", as_stored)
    check("\\Stored\\MixedCase\\Sub\\Inner.bin\r\n" in stored_lines, "the listing lacks the stored names: " + stored_lines)
    for typed in (as_stored.lower(), as_stored.upper() + "\\"):
        code, lines, err = run("list", "--md5", typed)
        check(code == 0 and lines == stored_lines, "%s gave other lines (%d, %s):\n%s" % (typed, code, err, lines))
    baseline = os.path.join(root, "baseline.qln")
    with open(baseline, "w", newline="") as out:
        out.write(stored_lines)
    code, lines, err = run("compare", "--folder", as_stored.lower(), "--md5", "Z:" + baseline.replace("/", "\\"))
    check(code == 0 and err == "0 modified, 0 deleted, 0 added\n", "compare --folder in lower case: %d %s" % (code, err))
    # Comparison itself stays case-sensitive: a listing with other letters differs.
    with open(baseline, "w", newline="") as out:
        out.write(stored_lines.replace("\\Sub\\Inner.bin", "\\sub\\inner.bin"))
    code, lines, err = run("compare", "--folder", as_stored, "--md5", "Z:" + baseline.replace("/", "\\"))
    check(code == 1 and err == "0 modified, 1 deleted, 1 added\n", "a renamed case went unseen: %d %s" % (code, err))

    code, help_text, _ = run("--help")
    check(code == 0 and "--md5" in help_text, "no help")
    for absent in ("XDG_CACHE_HOME", "--reuse-digests", "--digest-cache", "/tmp", "/dev/stdout", "man page",
                   "Windows build"):
        check(absent not in help_text, "the Windows help speaks of " + absent)
    check("keeps no digest cache" in help_text, "the Windows help does not say that it keeps no digest cache")

    missing = "Z:" + os.path.join(root, "missing.qln").replace("/", "\\")
    for args in (["compare", missing, missing + "2"], ["list", missing], ["list", "--format", "xml", as_stored],
                 ["compare", as_stored, missing, "-o", missing]):
        code, _, err = run(*args)
        check(code == 2 and err.startswith("quillon-cli: "), "%s: %d %r" % (args, code, err))
    _, _, err = run("compare", missing, missing + "2")
    check(len(err.splitlines()) == 2, "the system's reason is not on a second line: %r" % err)

for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)

#!/usr/bin/env python3
"""The Windows zip made from the cross build: its files, a README.txt with
CR LF line ends, and a quillon-cli.exe that runs from it under wine.

usage: windows_zip.py BUILD_DIR WITH_WINDOW(0|1) WINE_RUN...
"""
import os
import subprocess
import sys
import tempfile
import zipfile

build, with_window, wine_run = sys.argv[1], sys.argv[2] == "1", sys.argv[3:]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


with tempfile.TemporaryDirectory(prefix="quillon-zip-") as work:
    made = subprocess.run(["cpack", "-G", "ZIP", "-B", work], cwd=build, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)
    if made.returncode != 0:
        print(made.stdout)
        sys.exit(1)
    with zipfile.ZipFile(work + "/quillon-windows-x64.zip") as archive:
        names = sorted(archive.namelist())
        wanted = ["quillon-cli.exe", "README.txt", "quillon-help.html"] + (["quillon.exe"] if with_window else [])
        check(names == sorted("quillon-windows-x64/" + name for name in wanted), "the zip holds %s" % names)
        readme = archive.read("quillon-windows-x64/README.txt")
        check(readme.count(b"\n") > 20 and readme.count(b"\r\n") == readme.count(b"\n"),
              "README.txt has line ends other than CR LF")
        check(b"@" not in readme, "README.txt has a name left unfilled")
        archive.extractall(work)
    version = subprocess.run(wine_run + [work + "/quillon-windows-x64/quillon-cli.exe", "--version"],
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True).stdout
    check(version.startswith("Quillon ") and readme.startswith(version.split(" (")[0].encode()),
          "the unpacked quillon-cli.exe says %r" % version)

for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)

#!/usr/bin/env python3
"""Signed listings across the two builds, run under wine.

usage: cross_system_signing.py LINUX_CLI WINE_RUN... WINDOWS_CLI

A key made on each system signs a listing on the other, and each listing
verifies with the other build and with openssl; a tampered listing is
refused with exit status 2 by both builds. Wine shows a file's DACL from its
Unix mode, so a private key the owner's group and others may read is
refused by the Windows build with the icacls command that mends it.
"""
import os
import subprocess
import sys
import tempfile

linux_cli, wine_run, windows_cli = sys.argv[1], sys.argv[2:-1], sys.argv[-1]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(args):
    result = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=90)
    return result.returncode, result.stderr.decode("utf-8", "replace")


def windows(*args):
    return run(wine_run + [windows_cli] + ["Z:" + a.replace("/", "\\") if a.startswith("/") else a for a in args])


def linux(*args):
    return run([linux_cli, *args])


def openssl_accepts(pub, listing):
    return run(["openssl", "pkeyutl", "-verify", "-rawin", "-pubin", "-inkey", pub, "-sigfile", listing + ".sig",
                "-in", listing])[0] == 0


with tempfile.TemporaryDirectory(prefix="quillon-signing-") as root:
    tree = os.path.join(root, "tree")
    os.makedirs(tree)
    with open(os.path.join(tree, "a.txt"), "w") as out:
        out.write("alpha")
    p = lambda name: os.path.join(root, name)
    for cli, key in ((windows, "win"), (linux, "lin")):
        code, err = cli("keygen", "-o", p(key))
        check(code == 0, "%s keygen: %d %s" % (key, code, err))
    # Each system's key file is the very PEM the other one and openssl read.
    code, derived = run(["openssl", "pkey", "-in", p("win"), "-pubout", "-out", p("win.derived")])
    check(code == 0 and open(p("win.derived")).read() == open(p("win.pub")).read(),
          "openssl derives another public key from the Windows private key: " + derived)

    # The Windows key's DACL lets its owner alone in; wine shows that as a
    # mode with no rights for others, but gives the group the owner's read.
    check(os.stat(p("win")).st_mode & 0o007 == 0, "wine shows the new private key to others")
    os.chmod(p("win"), 0o600)
    # The key of one system signs on the other: both ways, both checks.
    for signer, checker, key, name in ((windows, linux, "lin", "w.qln"), (linux, windows, "win", "l.qln")):
        code, err = signer("list", "--sha256", tree, "-o", p(name), "--sign", p(key))
        check(code == 0, "signing %s with %s: %d %s" % (name, key, code, err))
        check(openssl_accepts(p(key + ".pub"), p(name)), "openssl refuses " + name)
        code, err = checker("compare", "--verify-with", p(key + ".pub"), p(name), p(name))
        check(code == 0, "%s does not verify on the other system: %d %s" % (name, code, err))

    # One byte changed: both builds refuse, and compare nothing.
    for name in ("w.qln", "l.qln"):
        data = open(p(name), "rb").read()
        with open(p(name), "wb") as out:
            out.write(data.replace(b"a.txt", b"b.txt"))
        for cli, key in ((windows, "lin"), (linux, "lin"), (windows, "win"), (linux, "win")):
            code, err = cli("compare", "--verify-with", p(key + ".pub"), p(name), p(name))
            check(code == 2 and "does not match" in err, "a tampered %s was taken: %d %s" % (name, code, err))

    # A private key others may read signs nothing on Windows either.
    os.chmod(p("lin"), 0o644)
    code, err = windows("list", tree, "-o", p("x.qln"), "--sign", p("lin"))
    check(code == 2 and "icacls" in err and not os.path.exists(p("x.qln")),
          "a private key others may read was taken: %d %s" % (code, err))

for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)

#!/usr/bin/env python3
"""Every option of quillon-cli's table, as --help names it, is in the man
page and is offered by Tab, through the helper that the bash, zsh and fish
completions call, so that they cannot drift apart. A failure names the
option and the file or command that lacks it.

usage: options_documented.py QUILLON_CLI SOURCE_DIR
"""
import re
import subprocess
import sys

cli, source = sys.argv[1], sys.argv[2]


def run(*args):
    return subprocess.run([cli, *args], check=True, stdout=subprocess.PIPE, text=True).stdout


help_text = run("--help")
options = sorted(set(re.findall(r"(?<![\w$-])(--?[a-zA-Z][\w-]*)", help_text)) - {"--help", "--version"})
commands = ["list", "compare", "keygen"]
failures = []
if len(options) < 10 or "--md5" not in options:
    failures.append("the help did not read as expected: %s" % options)


def read(relative):
    with open(source + "/" + relative, encoding="utf-8") as file:
        return file.read()


# roff writes a hyphen as \- and switches fonts with \fB, \fI, \fR, \fP.
man = re.sub(r"\\f[BIRP]", "", read("share/man/quillon-cli.1")).replace("\\-", "-")
man_tokens = set(re.findall(r"(?<![\w-])(--?[a-zA-Z][\w-]*)(?![\w-])", man))
for option in options:
    if option not in man_tokens:
        failures.append("quillon-cli --help names %s, but the man page does not" % option)


def offered(*words):
    lines = run("__complete", *words).splitlines()
    return lines[0], [line.split("\t")[0] for line in lines[1:]]


offered_anywhere = set()
for command in commands:
    kind, words = offered(command, "-")
    offered_anywhere.update(words)
for option in options:
    if option not in offered_anywhere:
        failures.append("quillon-cli --help names %s, but Tab never offers it" % option)
if offered("")[1][:3] != commands:
    failures.append("Tab does not offer the commands first: %s" % offered(""))
if offered("list", "--format", "") != ("words", ["text", "csv", "json"]):
    failures.append("Tab does not offer the values of --format")
for name in ("share/completion/quillon-cli.bash", "share/completion/_quillon-cli", "share/completion/quillon-cli.fish"):
    if "__complete" not in read(name):
        failures.append("%s does not ask quillon-cli what Tab offers" % name)

for failure in failures:
    print("FAILED: " + failure)
if not failures:
    print("%d options are in the man page and offered by Tab" % len(options))
sys.exit(1 if failures else 0)

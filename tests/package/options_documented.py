#!/usr/bin/env python3
"""Every option that quillon-cli --help names is in the man page and in the
bash, zsh and fish completions, so that they cannot drift apart. A failure
names the option and the file that lacks it.

usage: options_documented.py QUILLON_CLI SOURCE_DIR
"""
import re
import subprocess
import sys

cli, source = sys.argv[1], sys.argv[2]
help_text = subprocess.run([cli, "--help"], check=True, stdout=subprocess.PIPE, text=True).stdout
options = sorted(set(re.findall(r"(?<![\w$-])(--?[a-zA-Z][\w-]*)", help_text)))
commands = sorted(set(re.findall(r"quillon-cli ([a-z]+)", help_text)))
formats = re.search(r"--format text\b.*?; csv .*? json", help_text, re.S)
failures = []
if len(options) < 10 or "--md5" not in options or not formats:
    failures.append("the help did not read as expected: %s" % options)


def read(relative):
    with open(source + "/" + relative, encoding="utf-8") as file:
        return file.read()


def tokens(text):
    return set(re.findall(r"(?<![\w-])(--?[a-zA-Z][\w-]*)(?![\w-])", text))


# roff writes a hyphen as \- and switches fonts with \fB, \fI, \fR, \fP.
man = re.sub(r"\\f[BIRP]", "", read("share/man/quillon-cli.1")).replace("\\-", "-")
fish = read("share/completion/quillon-cli.fish")
fish_options = {"--" + name for name in re.findall(r" -l ([\w-]+)", fish)} | \
               {"-" + name for name in re.findall(r" -s (\w)\b", fish)}
documents = {
    "share/man/quillon-cli.1": tokens(man),
    "share/completion/quillon-cli.bash": tokens(read("share/completion/quillon-cli.bash")),
    "share/completion/_quillon-cli": tokens(read("share/completion/_quillon-cli")),
    "share/completion/quillon-cli.fish": fish_options,
}
for name, found in documents.items():
    for option in options:
        if option not in found:
            failures.append("quillon-cli --help names %s, but %s does not" % (option, name))
for name in documents:
    text = read(name)
    for command in commands:
        if not re.search(r"\b%s\b" % command, text):
            failures.append("quillon-cli --help names the command %s, but %s does not" % (command, name))
    if name.startswith("share/completion/") and not re.search(r"text\W+csv\W+json", text):
        failures.append("%s does not complete the values of --format" % name)

for failure in failures:
    print("FAILED: " + failure)
if not failures:
    print("%d options and the commands %s are in the man page and the completions" % (len(options), commands))
sys.exit(1 if failures else 0)

#!/usr/bin/env python3
"""The nightly audit: its systemd units, and the command the service runs,
run as systemd would run it against a temporary tree and baseline.

usage: scheduled_audit.py QUILLON_CLI SOURCE_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

cli, source = os.path.abspath(sys.argv[1]), sys.argv[2]
units = source + "/share/audit/"
script = units + "quillon-audit"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def unit_lines(name):
    """The unit as (section, key, value) triples; a line of no known form fails."""
    section, lines = None, []
    with open(units + name) as file:
        for number, line in enumerate(file, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if re.fullmatch(r"\[\w+\]", line):
                section = line[1:-1]
            elif re.fullmatch(r"[A-Z]\w*=.*", line) and section:
                key, value = line.split("=", 1)
                lines.append((section, key, value))
            else:
                check(False, "%s:%d is not a unit line: %s" % (name, number, line))
    return lines


service = unit_lines("quillon-audit@.service")
timer = unit_lines("quillon-audit@.timer")
exec_start = [v for s, k, v in service if (s, k) == ("Service", "ExecStart")]
check(exec_start and exec_start[0].split()[1:] == ["%i"], "ExecStart does not run the audit of the instance")
check(("Service", "Type", "oneshot") in service, "the service is not oneshot")
check(("Install", "WantedBy", "timers.target") in timer, "the timer is not wanted by timers.target")
check(("Timer", "Persistent", "true") in timer, "a night missed while off is not caught up")
check(any(k == "OnCalendar" and re.fullmatch(r"(\*-\*-\* )?\d\d:\d\d(:\d\d)?|daily", v) for s, k, v in timer),
      "the timer does not run once a night")

with tempfile.TemporaryDirectory(prefix="quillon-audit-") as work:
    # systemd's own check, with the script where the service would find it.
    if shutil.which("systemd-analyze"):
        with open(units + "quillon-audit@.service") as file:
            text = file.read().replace("ExecStart=quillon-audit", "ExecStart=" + os.path.abspath(script))
        with open(work + "/quillon-audit@.service", "w") as file:
            file.write(text)
        shutil.copy(units + "quillon-audit@.timer", work)
        verify = subprocess.run(["systemd-analyze", "verify", "--man=no", "quillon-audit@.service",
                                 "quillon-audit@.timer"], cwd=work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True)
        check(verify.returncode == 0 and not verify.stdout.strip(), "systemd-analyze verify: " + verify.stdout)
        os.remove(work + "/quillon-audit@.service")
        os.remove(work + "/quillon-audit@.timer")

    # As root the audit runs as nobody, so that a folder can be unreadable.
    as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
    os.chmod(work, 0o755)
    tree, results = work + "/tree", work + "/results"
    os.makedirs(tree + "/sub")
    os.makedirs(results)
    os.makedirs(work + "/state")
    os.chmod(results, 0o777)
    os.chmod(work + "/state", 0o777)
    for name, content in (("a.txt", "one\n"), ("sub/b.txt", "two\n")):
        with open(tree + "/" + name, "w") as file:
            file.write(content)
    config = work + "/share.conf"
    with open(config, "w") as file:
        file.write("# a test audit\nFOLDER=%s\nBASELINE=%s/state/baseline.qln\nRESULTS = %s\n"
                   'OPTIONS="--md5 --exclude *.tmp"\nCOMPARE=--moves\n' % (tree, work, results))
    os.chmod(config, 0o644)

    def audit():
        # ExecStart as systemd runs it: the instance for %i, the script found on the path.
        command = [script if word == "quillon-audit" else word.replace("%i", config)
                   for word in exec_start[0].split()]
        done = subprocess.run(as_user + command, env=dict(os.environ, QUILLON_CLI=cli), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)
        check(done.stdout == "" and done.stderr.count("\n") == 1,
              "the audit did not write one line to standard error: %r" % done.stderr)
        return done.returncode, done.stderr.rstrip("\n")

    code, said = audit()
    check(code == 0 and said.endswith("baseline made, %s/state/baseline.qln" % work), "first run: %d %s" % (code, said))
    with open(tree + "/a.txt", "a") as file:
        file.write("changed\n")
    for name in ("new.txt", "skipped.tmp"):
        open(tree + "/" + name, "w").close()
    code, said = audit()
    check(code == 1, "a changed tree gave exit status %d" % code)
    summary = re.fullmatch(r"quillon-audit: share: %s: 1 modified, 0 deleted, 1 added, 0 moved; (.*)" % tree, said)
    check(summary, "the summary reads: " + said)
    if summary:
        with open(summary.group(1), encoding="utf-8", newline="") as file:
            changes = file.read().split("\r\n")
        check(len(changes) == 3 and changes[0].startswith("Modified: ") and changes[0].endswith("/a.txt") and
              changes[1].startswith("Added: ") and changes[1].endswith("/new.txt"), "the changes file: %s" % changes)
    os.makedirs(tree + "/locked")
    os.chmod(tree + "/locked", 0o700 if as_user else 0)
    code, said = audit()
    check(code == 3 and re.search(r": 1 modified, 0 deleted, 1 added, 0 moved; 1 folder could not be read; .*-changes.txt$",
                                  said), "a folder it could not read: %d %s" % (code, said))
    os.chmod(tree + "/locked", 0o755)
    shutil.rmtree(tree)
    code, said = audit()
    check(code == 2 and said.startswith("quillon-audit: share: %s could not be listed: cannot list" % tree),
          "a missing folder: %d %s" % (code, said))

    # Each run's files, named by their date and time.
    names = os.listdir(results)
    stamp = r"\d{4}-\d\d-\d\d_\d{6}(_\d+)?"
    check(all(re.fullmatch(stamp + r"(\.qln|\.log|-changes\.txt)", name) for name in names), "results: %s" % names)
    check(sum(name.endswith("-changes.txt") for name in names) == 2, "results: %s" % names)

for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)

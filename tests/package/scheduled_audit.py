#!/usr/bin/env python3
"""The nightly audit: its systemd units (checked and rated by systemd-analyze),
and the command the service runs, run as systemd would run it against
temporary trees and baselines: with the README's example settings, links
planted where it writes, runs side by side, signed baselines, and private
results.

usage: scheduled_audit.py QUILLON_CLI SOURCE_DIR
"""
import fcntl
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

cli, source = os.path.abspath(sys.argv[1]), sys.argv[2]
units = source + "/share/audit/"
script = units + "quillon-audit"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def waits_for_lock(pid):
    """Whether the process or a child of it waits for a lock, as /proc/locks tells."""
    with open("/proc/locks") as file:
        waiters = [line.split()[line.split().index("->") + 4] for line in file if "->" in line.split()]
    for waiter in waiters:
        try:
            with open("/proc/%s/stat" % waiter) as file:
                parent = file.read().rsplit(")", 1)[1].split()[1]
        except OSError:
            continue
        if pid in (int(waiter), int(parent)):
            return True
    return False


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
# It writes only below /var/lib/quillon and /var/cache/quillon, for root alone.
for line in (("ProtectSystem", "strict"), ("StateDirectory", "quillon"), ("UMask", "0077")):
    check(("Service",) + line in service, "the service lacks %s=%s" % line)
check(not any(k in ("ReadWritePaths", "ReadWriteDirectories") for s, k, v in service),
      "the service may write beyond its state and cache folders")

os.umask(0o022)  # as cron leaves it: the audit keeps its results private itself
with tempfile.TemporaryDirectory(prefix="quillon-audit-") as work:
    # systemd's own check and rating, with the script where the service would find it.
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
        security = subprocess.run(["systemd-analyze", "security", "--offline=true", "quillon-audit@.service"],
                                  cwd=work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        exposure = re.search(r"Overall exposure level for \S+: (\d+\.\d+)", security.stdout)
        check(exposure and float(exposure.group(1)) <= 4.0, "systemd-analyze security: " + security.stdout[-3000:])
        os.remove(work + "/quillon-audit@.service")
        os.remove(work + "/quillon-audit@.timer")
    else:
        # Where it may be missing; on CI (which sets CI) it must be there.
        check(not os.environ.get("CI"), "systemd-analyze is missing (apt install systemd)")
        print("SKIPPED: systemd-analyze is missing (apt install systemd): the units were neither verified nor rated")

    # As root the audit runs as nobody, so that a folder can be unreadable;
    # it may write only in home, which is its own.
    as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
    runner = 65534 if as_user else os.geteuid()
    os.chmod(work, 0o755)

    def folder(path, mode=0o755, owner=None):
        os.makedirs(path)
        if as_user:
            owner = runner if owner is None else owner
            os.chown(path, owner, owner)
        os.chmod(path, mode)
        return path

    def tree_of(path, files):
        for name, content in files:
            os.makedirs(os.path.dirname(path + "/" + name), exist_ok=True)
            with open(path + "/" + name, "w") as file:
                file.write(content)
        return path

    home = folder(work + "/home")
    tree = tree_of(work + "/tree", (("a.txt", "one\n"), ("sub/b.txt", "two\n")))
    results = home + "/share"

    def settings(name, text):
        with open(work + "/" + name + ".conf", "w") as file:
            file.write(text)
        return work + "/" + name + ".conf"

    def audit(config, *options, quillon_cli=cli, start_only=False):
        # ExecStart as systemd runs it: the instance for %i, the script found on the path.
        command = [script if word == "quillon-audit" else word for word in exec_start[0].split()]
        command[1:] = list(options) + [word.replace("%i", config) for word in command[1:]]
        started = subprocess.Popen(as_user + command, env=dict(os.environ, QUILLON_CLI=quillon_cli),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if start_only:
            return started
        return said_by(started)

    def said_by(started):
        out, err = started.communicate()
        check(out == "" and err.count("\n") == 1, "the audit did not write one line to standard error: %r" % err)
        return started.returncode, err.rstrip("\n")

    def mode(path):
        return stat.S_IMODE(os.lstat(path).st_mode) if os.path.lexists(path) else None

    # The README's example settings, comments and all, on this tree.
    with open(source + "/README.md", encoding="utf-8") as file:
        section = file.read().split("\n## Scheduled audits\n")[1].split("\n## ")[0]
    example = re.search(r"```sh\n(FOLDER=.*?)```", section, re.S)
    check(example and "'*.tmp'" in example.group(1) and "#" in example.group(1),
          "the README shows no example settings with comments and a quoted pattern")
    config = settings("share", example.group(1).replace("/var/lib/quillon/share", results).replace("/srv/share", tree)
                      if example else "")
    code, said = audit(config)
    check(code == 0 and said.endswith("baseline made, %s/baseline.qln" % results), "first run: %d %s" % (code, said))
    with open(tree + "/a.txt", "a") as file:
        file.write("changed\n")
    for name in ("new.txt", "skipped.tmp"):
        open(tree + "/" + name, "w").close()
    code, said = audit(config)
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
    code, said = audit(config)
    check(code == 3 and re.search(r": 1 modified, 0 deleted, 1 added, 0 moved; 1 folder could not be read; .*/changes.txt$",
                                  said), "a folder it could not read: %d %s" % (code, said))
    os.chmod(tree + "/locked", 0o755)

    # Each run's files in a folder of its own, named by the audit, the date
    # and time and a random part; all of it for the owner alone.
    runs = sorted(name for name in os.listdir(results) if not name.startswith(".")) if os.path.isdir(results) else []
    files = sorted(sorted(os.listdir(results + "/" + run)) for run in runs[1:] if os.path.isdir(results + "/" + run))
    check(runs[:1] == ["baseline.qln"] and len(runs) == 4 and
          all(re.fullmatch(r"share-\d{4}-\d\d-\d\d_\d{6}-\w{6}", name) for name in runs[1:]) and
          files == [["changes.txt", "listing.qln", "quillon-cli.log"]] * 2 + [["listing.qln", "quillon-cli.log"]],
          "results: %s %s" % (runs, files))
    private = [(path, mode(path)) for path in [results] + [os.path.join(top, name) for top, folders, files in
                                                           os.walk(results) for name in folders + files]]
    check(all(value == (0o700 if os.path.isdir(path) else 0o600) for path, value in private),
          "results not private: %s" % ["%s %s" % (path, oct(value or 0)) for path, value in private])

    # Links planted under the names a run could take, to a file of the user
    # the audit runs as and to a file not there yet, as if by another user.
    victim, made = home + "/victim.txt", home + "/made-through-a-link"
    with open(victim, "w") as file:
        file.write("precious\n")
    if as_user:
        os.chown(victim, runner, runner)

    def plant(where):
        now = time.time()
        for second in range(4):
            stamp = time.strftime("%Y-%m-%d_%H%M%S", time.localtime(now + second))
            for suffix in ("", "_2"):
                for end, target in ((".qln", made), (".log", made), ("-changes.txt", victim)):
                    os.symlink(target, where + "/" + stamp + suffix + end)
                    if as_user:
                        os.lchown(where + "/" + stamp + suffix + end, 12345, 12345)

    def untouched():
        with open(victim) as file:
            return file.read() == "precious\n" and not os.path.lexists(made)

    # A results folder others may write is refused before anything is written.
    opened = folder(work + "/open", 0o777)
    plant(opened)
    code, said = audit(settings("open", "FOLDER=%s\nBASELINE=%s/base.qln\nRESULTS=%s\n" % (tree, home, opened)))
    check(code == 2 and "others may write " + opened in said and untouched() and not os.path.exists(home + "/base.qln"),
          "a results folder others may write: %d %s" % (code, said))
    code, said = audit(settings("under", "FOLDER=%s\nBASELINE=%s/b.qln\nRESULTS=%s/r\n" % (tree, opened, opened)))
    check(code == 2 and "others may write " + opened in said and not os.path.exists(opened + "/r"),
          "a folder above RESULTS that others may write: %d %s" % (code, said))
    code, said = audit(settings("held", "FOLDER=%s\nBASELINE=%s/b.qln\nRESULTS=%s/held\n" % (tree, opened, home)))
    check(code == 2 and "the baseline %s/b.qln: others may write %s" % (opened, opened) in said and
          not os.path.exists(home + "/held"), "a baseline's folder that others may write: %d %s" % (code, said))
    # A sticky one as /tmp is: what others planted there is left alone.
    sticky = folder(work + "/sticky", 0o1777, owner=0)
    plant(sticky)
    code, said = audit(settings("sticky", "FOLDER=%s\nBASELINE=%s/sticky.qln\nRESULTS=%s\n" % (tree, home, sticky)))
    check(code == 0 and untouched(), "a sticky results folder with planted links: %d %s" % (code, said))
    if as_user:
        # A link of another user's in a sticky folder is not followed, as by quillon-cli -o.
        os.symlink(home, sticky + "/elsewhere")
        os.lchown(sticky + "/elsewhere", 12345, 12345)
        code, said = audit(settings("through", "FOLDER=%s\nBASELINE=%s/t.qln\nRESULTS=%s/elsewhere/t\n"
                                    % (tree, home, sticky)))
        check(code == 2 and "belongs to another user" in said and not os.path.exists(home + "/t"),
              "a link planted on the way to RESULTS: %d %s" % (code, said))

    # Two audits that share RESULTS, started at once, each compare their own
    # listing with their own baseline.
    pair = []
    for name in ("left", "right"):
        tree_of(work + "/" + name, (("%s%d.txt" % (name, n), name) for n in range(3)))
        pair.append(settings(name, "FOLDER=%s/%s\nBASELINE=%s/%s.qln\nRESULTS=%s/both\n" % (work, name, home, name, home)))
        audit(pair[-1])
    for attempt in range(3):
        for done in [said_by(started) for started in [audit(config, start_only=True) for config in pair]]:
            check(done[0] == 0 and ": 0 modified, 0 deleted, 0 added;" in done[1], "side by side: %d %s" % done)
    check(len(os.listdir(home + "/both")) == 2 + 2 + 6, "side by side: %s" % os.listdir(home + "/both"))
    # A second run of one audit waits while another holds its lock.
    lock = home + "/both/.left.lock"
    held = os.open(lock, os.O_RDONLY) if os.path.isdir(lock) else None
    check(held is not None, "no lock folder %s" % lock)
    if held is not None:
        fcntl.flock(held, fcntl.LOCK_EX)
        waiting = audit(pair[0], start_only=True)
        deadline = time.time() + 60
        while waiting.poll() is None and not waits_for_lock(waiting.pid) and time.time() < deadline:
            time.sleep(0.01)
        check(waiting.poll() is None, "a run did not wait for the run that holds the lock")
        os.close(held)
        done = said_by(waiting)
        check(done[0] == 0, "a run that waited for the lock: %d %s" % done)

    # Where COMPARE asks for a signed baseline, only --new-baseline makes one.
    subprocess.run([cli, "keygen", "-o", work + "/key"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    signed = folder(home + "/signed") + "/baseline.qln"
    subprocess.run([cli, "list", "--sha256", "-o", signed, "--sign", work + "/key", "--", work + "/left"],
                   stderr=subprocess.DEVNULL, check=True)
    config = settings("signed", "FOLDER='%s/left'  # quoted\nBASELINE=%s\nRESULTS=%s/signed\nOPTIONS=--sha256\n"
                      "COMPARE=--verify-with %s/key.pub\n" % (work, signed, home, work))
    code, said = audit(config)
    check(code == 0 and ": 0 modified, 0 deleted, 0 added;" in said, "a signed baseline: %d %s" % (code, said))
    os.remove(signed + ".sig")
    code, said = audit(config)
    check(code == 2 and "no signature" in said, "a signed baseline without its signature: %d %s" % (code, said))
    os.remove(signed)
    code, said = audit(config)
    check(code == 2 and "--new-baseline" in said and not os.path.exists(signed),
          "a signed baseline deleted: %d %s" % (code, said))
    code, said = audit(config, "--new-baseline")
    check(code == 0 and said.endswith("baseline made, %s; sign it as %s.sig" % (signed, signed)) and
          mode(signed) == 0o600, "--new-baseline: %d %s" % (code, said))
    code, said = audit(config)
    check(code == 2 and "no signature" in said, "a new baseline not signed yet: %d %s" % (code, said))

    # The words of OPTIONS, as a shell splits them, reach quillon-cli as they are.
    spy = work + "/spy-cli"
    with open(spy, "w") as file:
        file.write("#!/bin/sh\nprintf '%%s\\n' \"$@\" >%s/words\nexit 2\n" % home)
    os.chmod(spy, 0o755)
    for options, words in ((r"""--exclude 'a b' --exclude "c \"d\" \$e" f\ g '#h' i#j   # a comment""",
                            ["--exclude", "a b", "--exclude", 'c "d" $e', "f g", "#h", "i#j"]),
                           ('"--md5 --exclude *.tmp"', ["--md5", "--exclude", "*.tmp"])):
        config = settings("words", "FOLDER=%s\nBASELINE=%s/w.qln\nRESULTS=%s/w\nOPTIONS=%s\n" % (tree, home, home, options))
        code, said = audit(config, quillon_cli=spy)
        with open(home + "/words") as file:
            got = file.read().split("\n")
        check(code == 2 and got[:len(words) + 1] == ["list"] + words, "OPTIONS=%s reached quillon-cli as %s" % (options, got))
    # Settings it cannot use: a clear line, and nothing made.
    for text, message in (("OPTIONS=--exclude $HOME", r"OPTIONS: \$ is not expanded here; put the word in single quotes"),
                          ("OPTIONS=--exclude 'a", "OPTIONS: a ' is not closed"),
                          ("OPTIONS=--bogus", r"could not be listed: unknown option '--bogus' \(see [^ ]*/quillon-cli.log\)$")):
        config = settings("bad", "FOLDER=%s\nBASELINE=%s/bad/b.qln\nRESULTS=%s/bad\n%s\n" % (tree, home, home, text))
        code, said = audit(config)
        check(code == 2 and re.search(message, said) and (text == "OPTIONS=--bogus") == os.path.exists(home + "/bad"),
              "%s: %d %s" % (text, code, said))
    code, said = audit(work)
    check(code == 2 and said.endswith("cannot read the settings %s: it is a folder, not a file" % work),
          "a folder as the settings: %d %s" % (code, said))

    # The example that the package ships, on a tree that is gone.
    shutil.rmtree(tree)
    with open(units + "audit.conf") as file:
        code, said = audit(settings("share", file.read().replace("/var/lib/quillon/share", results)
                                    .replace("/srv/share", tree)))
    check(code == 2 and said.startswith("quillon-audit: share: %s could not be listed: cannot list" % tree),
          "a missing folder: %d %s" % (code, said))

for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)

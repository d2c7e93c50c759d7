#!/usr/bin/env python3
"""Lists generated trees with random --exclude-from files and checks that
quillon-cli lists exactly what `git check-ignore` does not ignore. A pattern
that quillon-cli refuses must be refused with a message that names it.
Exits 77 (skipped) where git is missing.

usage: against_git.py QUILLON_CLI
"""
import os, random, re, shutil, subprocess, sys, tempfile

CLI = sys.argv[1]
if shutil.which("git") is None:
    print("git is not installed: skipped")
    sys.exit(77)

CHARS = "abz-!#. []*?\\"
FILE_LINE = re.compile(rb"^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d \d{10,} Bytes [A-Z_]{11} (.*)$", re.S)


def make_tree(rng, root):
    """Folders three deep with names from CHARS, some ending in spaces."""
    paths = []
    def fill(folder, depth):
        names = set()
        for _ in range(rng.randint(3, 9)):
            name = "".join(rng.choice(CHARS) for _ in range(rng.randint(1, 3))) + rng.choice(["", "", " "])
            if name in (".", "..") or name in names:
                continue
            names.add(name)
            path = os.path.join(folder, name)
            paths.append(os.path.relpath(path, root))
            if depth < 3 and rng.random() < 0.4:
                os.mkdir(path)
                fill(path, depth + 1)
            else:
                open(path, "w").close()
    fill(root, 1)
    return paths


def bracket(rng):
    items = []
    for _ in range(rng.randint(1, 3)):
        kind = rng.random()
        if kind < 0.4:
            items.append(rng.choice("abz-!#. *?"))
        elif kind < 0.8:
            items.append(rng.choice("abz-.") + "-" + rng.choice("abz-."))  # backwards too
        else:
            items.append(rng.choice(["[:alpha:]", "[:space:]", "[:punct:]"]))
    return "[" + rng.choice(["", "", "!", "^"]) + "".join(items) + "]"


def component(rng):
    if rng.random() < 0.1:
        return "**"
    parts = []
    for _ in range(rng.randint(1, 3)):
        kind = rng.random()
        if kind < 0.45:
            c = rng.choice(CHARS)
            parts.append("\\" + c if c in "[]*?\\" else c)
        elif kind < 0.65:
            parts.append("*" if not parts or parts[-1] != "*" else "?")  # "**" goes alone
        elif kind < 0.75:
            parts.append("?")
        else:
            parts.append(bracket(rng))
    text = "".join(parts)
    return text if text.strip(".") else "a" + text


def pattern_line(rng):
    r = rng.random()
    if r < 0.05:
        return "#" + component(rng)
    if r < 0.08:
        return ""
    text = "/".join(component(rng) for _ in range(rng.choice([1, 1, 1, 2, 3])))
    if rng.random() < 0.15:
        text = "/" + text
    if rng.random() < 0.2:
        text += "/"
    if rng.random() < 0.1:
        text = rng.choice(["\\!", "\\#"]) + text
    elif rng.random() < 0.35:
        text = "!" + text
    end = rng.random()
    if end < 0.15:
        text += rng.choice([" ", "  "])
    elif end < 0.25:
        text += "\\ " + rng.choice(["", " "])
    return text


def listed(root, pattern_file):
    done = subprocess.run([CLI, "list", "--exclude-from", pattern_file, root], capture_output=True)
    if done.returncode != 0:
        return None, done
    # File lines, then folder lines, which are the bare path.
    paths = {(m.group(1) if m else line)[len(root) + 1:].rstrip(b"/").decode()
             for line in done.stdout.split(b"\r\n") for m in [FILE_LINE.match(line)]
             if m or line.startswith(root.encode() + b"/")}
    return paths - {""}, done


def not_ignored(root, git_dir, pattern_file, paths, home):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, GIT_CONFIG_NOSYSTEM="1",
               GIT_CONFIG_GLOBAL=os.path.join(home, "gitconfig"))
    done = subprocess.run(["git", "--git-dir=" + git_dir, "--work-tree=.", "-c", "core.excludesFile=" + pattern_file,
                           "-c", "core.ignorecase=false", "check-ignore", "--no-index", "--stdin", "-z"],
                          cwd=root, input="\0".join(paths).encode() + b"\0", capture_output=True, env=env)
    assert done.returncode in (0, 1), done.stderr
    ignored = set(done.stdout.decode().split("\0")) - {""}
    # What lies inside an ignored folder is never listed.
    return {p for p in paths if not any("/".join(p.split("/")[:k]) in ignored for k in range(1, p.count("/") + 2))}


with tempfile.TemporaryDirectory() as tmp:
    git_dir = os.path.join(tmp, "git")
    subprocess.run(["git", "init", "-q", "--bare", git_dir], check=True)
    open(os.path.join(tmp, "gitconfig"), "w").close()
    pattern_file = os.path.join(tmp, "patterns")
    compared = refused = 0
    for seed in range(5):
        rng = random.Random(seed)
        root = os.path.join(tmp, "tree%d" % seed)
        os.mkdir(root)
        paths = make_tree(rng, root)
        for _ in range(40):
            lines = [pattern_line(rng) for _ in range(rng.randint(1, 4))]
            with open(pattern_file, "w") as out:
                out.write("\n".join(lines) + rng.choice(["", "\n"]))
            got, done = listed(root, pattern_file)
            if got is None:
                message = done.stderr.decode()
                assert done.returncode == 2 and "Malformed exclude pattern" in message, (lines, message)
                refused += 1
                continue
            want = not_ignored(root, git_dir, pattern_file, paths, tmp)
            assert got == want, (lines, sorted(got - want), sorted(want - got))
            compared += 1
    assert compared >= 170, (compared, refused)
    print("ok: %d pattern files listed as git ignores them, %d refused" % (compared, refused))

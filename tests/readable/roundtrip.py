#!/usr/bin/env python3
"""Reads quillon-cli's CSV and JSON output back with Python's csv and json
modules and checks every record against the text output it stands for.

usage: roundtrip.py QUILLON_CLI
"""
import base64, csv, io, json, os, re, subprocess, sys, tempfile

CLI = sys.argv[1]
FILE_LINE = re.compile(rb"^(\d\d)\.(\d\d)\.(\d{4}) (\d\d)\D*(\d\d)\D*(\d\d) (\d{10,}) Bytes ([A-Z_]{11}) "
                       rb"(?:([0-9a-fA-F]{32}) )?(.+)$", re.S)


def run(*args, code=0):
    done = subprocess.run([CLI, *args], capture_output=True)
    assert done.returncode == code, (args, done.returncode, done.stderr)
    return done.stdout, done.stderr.decode()


def fields(line):
    """The record a text line stands for: its fields, or its raw text."""
    m = FILE_LINE.match(line)
    if not m:
        return {"line": line}
    d, mo, y, h, mi, s, size, attrs, digest, path = m.groups()
    return {"path": path, "size": int(size), "datetime": "%s-%s-%sT%s:%s:%sZ" % tuple(
        x.decode() for x in (y, mo, d, h, mi, s)), "attributes": attrs.decode(),
        "digest": digest.decode() if digest else None}


def from_csv(row):
    """A CSV row as a record: bytes for texts, numbers for sizes, None for empty."""
    record = {}
    for key, value in row.items():
        if key in ("change", "datetime", "attributes", "digest", "old_datetime", "old_attributes", "old_digest"):
            record[key] = value or None
        elif key.endswith("size"):
            record[key] = int(value) if value else None
        else:
            record[key] = value.encode("utf-8", "surrogateescape") if value else None
    return record


def from_json(obj):
    record = {}
    for key, value in obj.items():
        if key.endswith("_base64"):
            continue
        if key in ("path", "old_path", "line", "old_line") and value is not None:
            value = base64.b64decode(obj[key + "_base64"]) if key + "_base64" in obj else value.encode()
        record[key] = value
    return record


def read_csv(data):
    assert data.endswith(b"\r\n")
    text = data.decode("utf-8", "surrogateescape")
    return [from_csv(row) for row in csv.DictReader(io.StringIO(text, newline=""))]


def read_json(data):
    return [from_json(json.loads(line)) for line in data.decode("utf-8").split("\r\n")[:-1]]


def expected_changes(text):
    words = {b"Modified": "modified", b"Deleted": "deleted", b"Added": "added", b"Moved": "moved"}
    changes = []
    for line in text.split(b"\r\n")[:-1]:
        word, rest = line.split(b": ", 1)
        old_path = None
        if word == b"Moved":
            rest, old_path = rest.rsplit(b" <= ", 1)
        record = fields(rest)
        if word == b"Deleted":
            record = {"old_" + k: v for k, v in record.items()}
        changes.append((words[word], record, old_path))
    return changes


def same_change(record, change):
    word, expected, old_path = change
    assert record["change"] == word, (record, change)
    for key, value in expected.items():
        assert record[key] == value, (key, record, change)
    if old_path is not None:
        assert record["old_path"] == old_path, (record, old_path)


with tempfile.TemporaryDirectory() as tmp:
    tree = os.path.join(tmp, "d").encode()
    os.makedirs(tree + b"/sub")
    names = {b'com,ma "q" x.txt': b"A", b"bad\xff\xfe caf\xc3\xa9.bin": b"BB", b"plain": b"CCC", b"empty": b"",
             b"cr\rlf\n": b"DDDD", b"sub/twin1": b"E", b"sub/twin2": b"E"}
    for name, content in names.items():
        with open(tree + b"/" + name, "wb") as out:
            out.write(content)
        os.utime(tree + b"/" + name, (1700000000, 1700000000))
    old = os.path.join(tmp, "old.qln")
    run("list", "--md5", tree, "-o", old)

    # A listing: every text line is one record, in order, nothing dropped.
    with open(old, "rb") as listing:
        lines = listing.read().split(b"\r\n")[:-1]
    expected = [fields(line) for line in lines]
    as_csv = read_csv(run("list", "--md5", "--format", "csv", tree)[0])
    as_json = read_json(run("list", "--md5", "--format", "json", tree)[0])
    assert len(as_csv) == len(as_json) == len(lines) == 7 + 4
    for want, got_csv, got_json in zip(expected, as_csv, as_json):
        assert {k: v for k, v in got_csv.items() if v is not None} == {k: v for k, v in want.items() if v is not None}
        assert got_json == want, (got_json, want)

    # Moved, edited, one twin deleted (so the other twin's move is ambiguous).
    os.makedirs(tree + b"/new")
    for name in (b'com,ma "q" x.txt', b"bad\xff\xfe caf\xc3\xa9.bin", b"empty", b"sub/twin1"):
        os.rename(tree + b"/" + name, tree + b"/new/" + name.split(b"/")[-1])
    os.remove(tree + b"/sub/twin2")
    with open(tree + b"/plain", "wb") as out:
        out.write(b"edited")
    args = ["compare", "--moves", "--md5", "--folder", tree, old]
    text, counts = run(*args, code=1)
    assert counts == "1 modified, 3 deleted, 2 added, 2 moved, 3 ambiguous move candidates\n", counts
    assert run(*args, "--format", "text", code=1) == (text, counts)
    run(*args, "--format", "xml", code=2)
    changes = expected_changes(text)
    assert [c[0] for c in changes].count("moved") == 2
    csv_out, csv_counts = run(*args, "--format", "csv", code=1)
    json_out, json_counts = run(*args, "--format", "json", code=1)
    assert csv_counts == json_counts == counts
    got_csv, got_json = read_csv(csv_out), read_json(json_out)
    assert len(got_csv) == len(changes) == len(got_json) - 1
    for record_csv, record_json, change in zip(got_csv, got_json, changes):
        same_change(record_csv, change)
        same_change(record_json, change)
    assert got_json[-1] == {"modified": 1, "deleted": 3, "added": 2, "moved": 2, "ambiguous_move_candidates": 3}
print("ok")

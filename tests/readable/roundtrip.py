#!/usr/bin/env python3
"""Reads quillon-cli's CSV and JSON output back with Python's csv and json
modules and checks every record against the text output it stands for.

usage: roundtrip.py QUILLON_CLI
"""
import base64, csv, datetime, hashlib, io, json, os, random, re, subprocess, sys, tempfile

CLI = sys.argv[1]
FILE_LINE = re.compile(rb"^(\d\d)\.(\d\d)\.(\d{4}) (\d\d)\D*(\d\d)\D*(\d\d) (\d{10,}) Bytes ([A-Z_]{11}) "
                       rb"(?:([0-9a-fA-F]{64}|[0-9a-fA-F]{32}) )?(.+)$", re.S)
TEXTS = ("path", "old_path", "line", "old_line")


def run(*args, code=0):
    done = subprocess.run([CLI, *args], capture_output=True)
    assert done.returncode == code, (args, done.returncode, done.stderr)
    return done.stdout, done.stderr.decode()


def fields(line, prefix=""):
    """The record a text line stands for: its fields, or its raw text."""
    m = FILE_LINE.match(line)
    if not m:
        return {prefix + "line": line}
    d, mo, y, h, mi, s, size, attrs, digest, path = m.groups()
    when = b"%s-%s-%sT%s:%s:%sZ" % (y, mo, d, h, mi, s)
    return {prefix + k: v for k, v in (("path", path), ("size", int(size)), ("datetime", when.decode()),
                                       ("attributes", attrs.decode()), ("digest", digest and digest.decode()),
                                       ("digest_algorithm", digest and ("sha256" if len(digest) == 64 else "md5")))}


def read_csv(data):
    """Rows with bytes for texts, numbers for sizes and None for empty fields."""
    assert data.endswith(b"\r\n")
    rows = csv.DictReader(io.StringIO(data.decode("utf-8", "surrogateescape"), newline=""))
    return [{k: None if v == "" else int(v) if k.endswith("size") else
             v.encode("utf-8", "surrogateescape") if k in TEXTS else v for k, v in row.items()} for row in rows]


def read_json(data):
    """Objects with the texts' exact bytes taken from their Base64 twins."""
    records = [json.loads(line) for line in data.decode("utf-8").split("\r\n")[:-1]]
    for r in records:
        for k in TEXTS:
            if r.get(k) is not None:
                r[k] = base64.b64decode(r.pop(k + "_base64")) if k + "_base64" in r else r[k].encode()
    return records


def expected_changes(text):
    """The text results as records: the change word, its fields and the old path of a move."""
    changes = []
    for line in text.split(b"\r\n")[:-1]:
        word, rest = line.split(b": ", 1)
        if word == b"Moved":
            rest, old_path = rest.rsplit(b" <= ", 1)
            changes.append(dict(fields(rest), change="moved", old_path=old_path))
        else:
            changes.append(dict(fields(rest, "old_" if word == b"Deleted" else ""), change=word.decode().lower()))
    return changes


def rebuilt(record, prefix=""):
    """The text line a record side stands for: its raw line, or the line its
    fields give, whose date-time must be a real one."""
    if record.get(prefix + "line") is not None:
        return record[prefix + "line"]
    when = datetime.datetime.strptime(record[prefix + "datetime"], "%Y-%m-%dT%H:%M:%SZ")
    digest = record[prefix + "digest"]
    return (when.strftime("%d.%m.") + "%04d" % when.year + when.strftime(" %H:%M:%S") +
            " %010d Bytes %s " % (record[prefix + "size"], record[prefix + "attributes"]) +
            (digest + " " if digest else "")).encode() + record[prefix + "path"]


def damaged_lines(rng, folder, count):
    """File lines with impossible or odd dates, times, separators and sizes."""
    fixed = ["31.02.2024 25:61:99", "00.00.0000 00:00:00", "29.02.2023 10:00:00", "29.02.2024 10:00:00",
             "29.02.1900 10:00:00", "29.02.2000 10:00:00", "31.04.2024 10:00:00", "01.13.2024 10:00:00",
             "01.01.0001 00:00:00", "31.12.9999 23:59:59", "01.01.2024 24:00:00", "01.01.2024 23:60:00",
             "01.01.2024 23:59:60", "01.01.2024 10.00.00", "01.01.2024 100000", "01.01.2024 10::00:00",
             "01.01.2024 10\u223600\u223600"]
    lines = []
    for i in range(count):
        if i < len(fixed):
            when = fixed[i]
        else:
            sep = rng.choice([":", ":", ".", "", "h", ": "])
            when = "%02d.%02d.%04d %02d%s%02d%s%02d" % (rng.randint(0, 39), rng.randint(0, 19),
                                                        rng.choice([0, 1, 1900, 2000, 2023, 2024, 9999]),
                                                        rng.randint(0, 29), sep, rng.randint(0, 99),
                                                        rng.choice([sep, ":"]), rng.randint(0, 99))
        size = rng.choice(["0000000005", "00000000000005", "12345678901", "99999999999999999999", "0000000000"])
        digest = rng.choice(["", "0123456789ABCDEF0123456789abcdef "])
        lines.append(("%s %s Bytes ____N______ %s" % (when, size, digest)).encode() + b"%s/f%d" % (folder, i))
    return lines


def check(records, expected):
    assert len(records) == len(expected), (len(records), len(expected))
    for record, want in zip(records, expected):
        assert all(record[k] == v for k, v in want.items()), (record, want)


with tempfile.TemporaryDirectory() as tmp:
    tree = os.path.join(tmp, "d").encode()
    os.makedirs(tree + b"/sub")
    for name, content in {b'com,ma "q" x.txt': b"A", b"bad\xff\xfe caf\xc3\xa9.bin": b"BB", b"plain": b"CCC",
                          b"empty": b"", b"cr\rlf\n": b"DDDD", b"sub/twin1": b"E", b"sub/twin2": b"E"}.items():
        with open(tree + b"/" + name, "wb") as out:
            out.write(content)
        os.utime(tree + b"/" + name, (1700000000, 1700000000))
    old = os.path.join(tmp, "old.qln")
    run("list", "--md5", tree, "-o", old)

    # A listing: every text line is one record, in order, nothing dropped.
    with open(old, "rb") as listing:
        expected = [fields(line) for line in listing.read().split(b"\r\n")[:-1]]
    assert len(expected) == 7 + 4
    check(read_csv(run("list", "--md5", "--format", "csv", tree)[0]), expected)
    check(read_json(run("list", "--md5", "--format", "json", tree)[0]), expected)

    # SHA-256: what hashlib makes, in the digest's place, and named in the records.
    sha = [fields(line) for line in run("list", "--sha256", tree)[0].split(b"\r\n")[:-1]]
    for record in sha[:7]:
        if b"\xe2\x90" in record["path"]:
            continue  # a control byte's picture, not the name
        with open(record["path"], "rb") as content:
            assert record["digest"] == hashlib.sha256(content.read()).hexdigest(), record
    check(read_csv(run("list", "--sha256", "--format", "csv", tree)[0]), sha)
    check(read_json(run("list", "--sha256", "--format", "json", tree)[0]), sha)

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
    run("list", "--moves", tree, code=2)
    changes = expected_changes(text)
    assert [c["change"] for c in changes].count("moved") == 2
    check(read_csv(run(*args, "--format", "csv", code=1)[0]), changes)
    as_json = read_json(run(*args, "--format", "json", code=1)[0])
    check(as_json[:-1], changes)
    assert as_json[-1] == {"modified": 1, "deleted": 3, "added": 2, "moved": 2, "ambiguous_move_candidates": 3}
    # Against an MD5 baseline every file of SHA-256 is modified, and no kinds
    # pair as moves; compare --folder refuses to list it so.
    run("compare", "--moves", "--sha256", "--folder", tree, old, code=2)
    sha = os.path.join(tmp, "sha.qln")
    run("list", "--sha256", tree, "-o", sha)
    counts = run("compare", "--moves", sha, old, code=1)[1]
    assert counts == "2 modified, 5 deleted, 4 added, 0 moved\n", counts

    # Damaged lines on both sides: every record gives its text line back.
    rng = random.Random(1)
    for name, folder, count in (("current.qln", b"/d\xff", 200), ("loaded.qln", b"/e,", 150)):
        with open(os.path.join(tmp, name), "wb") as out:
            out.write(b"\r\n".join(damaged_lines(rng, folder, count)) +
                      b"\r\nNumber of Files = %d  Number of Folders = 0  Total Size = 0 Bytes\r\n" % count)
    args = ["compare", os.path.join(tmp, "current.qln"), os.path.join(tmp, "loaded.qln")]
    text = run(*args, code=1)[0].split(b"\r\n")[:-1]
    assert len(text) == 350, len(text)
    for records in (read_csv(run(*args, "--format", "csv", code=1)[0]),
                    read_json(run(*args, "--format", "json", code=1)[0])[:-1]):
        assert len(records) == len(text)
        for record, line in zip(records, text):
            word, rest = line.split(b": ", 1)
            assert rest == rebuilt(record, "old_" if word == b"Deleted" else ""), (record, line)
print("ok")

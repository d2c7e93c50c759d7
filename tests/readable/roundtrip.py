#!/usr/bin/env python3
"""Reads quillon-cli's CSV and JSON output back with Python's csv and json
modules and checks every record against the text output it stands for.

usage: roundtrip.py QUILLON_CLI
"""
import base64, csv, datetime, hashlib, io, json, os, random, re, subprocess, sys, tempfile

CLI = sys.argv[1]
FILE_LINE = re.compile(rb"^(\d\d)\.(\d\d)\.(\d{4}) (\d\d)\D*(\d\d)\D*(\d\d) (\d{10,}) Bytes ([A-Z_]{11}) "
                       rb"(?:([0-9a-fA-F]{64}|[0-9a-fA-F]{32}) )?(.+)$", re.S)
META = re.compile(rb"^mode=([-dlpscb?][-rwxsStT]{9}) uid=(\d+) gid=(\d+) links=(\d+) xattrs=(-|[0-9a-f]{64}) ")
TARGET = re.compile(rb"^target=([^ ]*) ")
TEXTS = ("path", "old_path", "line", "old_line", "target", "old_target")
NUMBERS = ("uid", "gid", "links")


def meta_fields(rest, prefix=""):
    """The metadata group at the start of rest, as record fields, and the
    rest after it; no fields where there is none."""
    m = META.match(rest)
    if not m:
        return {}, rest
    mode, uid, gid, links, xattrs = m.groups()
    target, rest = None, rest[m.end():]
    if mode.startswith(b"l"):
        t = TARGET.match(rest)
        target, rest = t.group(1), rest[t.end():]
    return {prefix + k: v for k, v in (("mode", mode.decode()), ("uid", int(uid)), ("gid", int(gid)),
                                       ("links", int(links)), ("xattrs", xattrs.decode()), ("target", target))}, rest


def run(*args, code=0):
    done = subprocess.run([CLI, *args], capture_output=True)
    assert done.returncode == code, (args, done.returncode, done.stderr)
    return done.stdout, done.stderr.decode()


def fields(line, prefix=""):
    """The record a text line stands for: its fields, or its raw text."""
    m = FILE_LINE.match(line)
    if not m:
        meta, path = meta_fields(line, prefix)
        if meta and path.endswith(b"/"):
            return dict(meta, **{prefix + "path": path, prefix + "size": None, prefix + "digest": None})
        return {prefix + "line": line}
    d, mo, y, h, mi, s, size, attrs, digest, path = m.groups()
    meta, rest = meta_fields(path, prefix)
    if rest:
        path = rest
    else:
        meta = {}
    when = b"%s-%s-%sT%s:%s:%sZ" % (y, mo, d, h, mi, s)
    return dict(meta, **{prefix + k: v for k, v in (("path", path), ("size", int(size)), ("datetime", when.decode()),
                                                    ("attributes", attrs.decode()), ("digest", digest and digest.decode()),
                                                    ("digest_algorithm",
                                                     digest and ("sha256" if len(digest) == 64 else "md5")))})


def read_csv(data):
    """Rows with bytes for texts, numbers for sizes and None for empty fields."""
    assert data.endswith(b"\r\n")
    rows = csv.DictReader(io.StringIO(data.decode("utf-8", "surrogateescape"), newline=""))
    return [{k: None if v == "" else int(v) if k.endswith("size") or k.split("old_")[-1] in NUMBERS else
             v.split(" ") if k == "changed" else
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
        if word == b"Changed":
            changes[-1]["changed"] = rest.decode().split(", ")
            continue
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
    meta = b""
    if record.get(prefix + "mode") is not None:
        meta = ("mode=%s uid=%d gid=%d links=%d xattrs=%s " % tuple(
            record[prefix + k] for k in ("mode", "uid", "gid", "links", "xattrs"))).encode()
        if record[prefix + "target"] is not None:
            meta += b"target=" + record[prefix + "target"] + b" "
    if record.get(prefix + "datetime") is None:
        return meta + record[prefix + "path"]
    when = datetime.datetime.strptime(record[prefix + "datetime"], "%Y-%m-%dT%H:%M:%SZ")
    digest = record[prefix + "digest"]
    return (when.strftime("%d.%m.") + "%04d" % when.year + when.strftime(" %H:%M:%S") +
            " %010d Bytes %s " % (record[prefix + "size"], record[prefix + "attributes"]) +
            (digest + " " if digest else "")).encode() + meta + record[prefix + "path"]


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
    # Metadata: each field read back from CSV and JSON, the line rebuilt from
    # them, and the digest of the attributes made here again from the rule.
    meta_tree = os.path.join(tmp, "m").encode()
    os.makedirs(meta_tree + b"/sub")
    for name in (b"plain", b"tagged", b"sub/inner"):
        with open(meta_tree + b"/" + name, "wb") as out:
            out.write(name)
    os.setxattr(meta_tree + b"/tagged", b"user.b", b"2")
    os.setxattr(meta_tree + b"/tagged", b"user.a", b"one\0")
    os.symlink(b"a target, with blanks", meta_tree + b"/link")
    os.chmod(meta_tree + b"/plain", 0o4755)
    text = run("list", "--md5", "--meta", meta_tree)[0]
    lines = [fields(line) for line in text.split(b"\r\n")[:-1]]
    assert sum("mode" in r for r in lines) == 5, lines
    for record in lines:
        if record.get("datetime") is not None or "mode" in record:
            assert rebuilt(record) in text.split(b"\r\n"), record
    by_path = {os.path.basename(r["path"].rstrip(b"/")): r for r in lines if "path" in r}
    assert by_path[b"plain"]["mode"] == "-rwsr-xr-x" and by_path[b"plain"]["xattrs"] == "-"
    assert by_path[b"link"]["target"] == "a\u2420target,\u2420with\u2420blanks".encode()
    assert by_path[b"sub"]["mode"].startswith("d")
    digest = hashlib.sha256()
    for name in sorted(n.encode() for n in os.listxattr(meta_tree + b"/tagged", follow_symlinks=False)):
        value = os.getxattr(meta_tree + b"/tagged", name, follow_symlinks=False)
        digest.update(name + b"\0" + len(value).to_bytes(8, "big") + value)
    assert by_path[b"tagged"]["xattrs"] == digest.hexdigest(), by_path[b"tagged"]
    check(read_csv(run("list", "--md5", "--meta", "--format", "csv", meta_tree)[0]), lines)
    check(read_json(run("list", "--md5", "--meta", "--format", "json", meta_tree)[0]), lines)

    meta_base = os.path.join(tmp, "meta.qln")
    run("list", "--md5", "--meta", meta_tree, "-o", meta_base)
    os.chmod(meta_tree + b"/plain", 0o755)
    os.setxattr(meta_tree + b"/tagged", b"user.c", b"3")
    os.chmod(meta_tree + b"/sub", 0o777)
    os.rename(meta_tree + b"/sub/inner", meta_tree + b"/inner")
    os.chmod(meta_tree + b"/inner", 0o600)
    args = ["compare", "--moves", "--folder", meta_tree, meta_base]
    text, counts = run(*args, code=1)
    changes = expected_changes(text)
    assert sorted(tuple(c.get("changed", [])) for c in changes) == sorted(
        [("mode",), ("xattrs",), ("mode",), ("mode", "path")]), changes
    check(read_csv(run(*args, "--format", "csv", code=1)[0]), changes)
    check(read_json(run(*args, "--format", "json", code=1)[0])[:-1], changes)
print("ok")

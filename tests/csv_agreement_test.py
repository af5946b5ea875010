#!/usr/bin/env python3
"""Reads generated CSV inventories with Python's strict CSV reader and with
portslot-audit --csv, and fails unless the two agree on whether each file is
well formed and, for a well-formed file, on every record's fields.

    csv_agreement_test.py PORTSLOT_AUDIT

Quoted fields hold delimiters, doubled quotes and line ends of every kind;
some files have a quote that never closes, or text after a closing quote.
"""
import csv
import io
import json
import os
import random
import subprocess
import sys
import tempfile

FILES = 400
PIECES = ["a", "b c", ",", ";", '"', '""', "\n", "\r", "\r\n", " ", "\t", "#", "x\"y", "é"]


def field_text(rng):
    """A field as written: quoted when it must be, or at random; a value
    holding a quote is written unquoted only when the quote is not its first
    byte."""
    value = "".join(rng.choice(PIECES) for _ in range(rng.randrange(0, 4)))
    needs_quotes = any(c in value for c in ",\n\r") or value.startswith('"')
    if needs_quotes or rng.random() < 0.3:
        return '"' + value.replace('"', '""') + '"'
    return value


def fault(rng, written, last):
    """The record's text made malformed: a quote that never closes (the last
    record only), or text after a closing quote."""
    if last and rng.random() < 0.5:
        return written + ',"never closed'
    return written + ',"closed" then text'


def generate(rng, serial):
    columns = rng.randrange(1, 5)
    mac_column = rng.randrange(columns)
    names = ["mac" if i == mac_column else "c%d" % i for i in range(columns)]
    lines = [",".join(names)]
    count = rng.randrange(1, 8)
    broken = rng.randrange(count) if rng.random() < 0.3 else -1
    for r in range(count):
        texts = []
        for i in range(columns):
            if i == mac_column:
                serial += 1
                mac = "00:00:%02x:%02x:%02x:%02x" % tuple(serial.to_bytes(4, "big"))
                text = mac if rng.random() < 0.7 else '"%s"' % mac
            else:
                text = field_text(rng)
            texts.append(text)
        written = ",".join(texts)
        if r == broken:
            written = fault(rng, written, r == count - 1)
        lines.append(written)
    ending = rng.choice(["\n", "\r\n", "\r"])
    text = ending.join(lines) + (ending if rng.random() < 0.7 else "")
    return text, serial


def strict_records(text):
    """The records after the header, or None when the file is malformed."""
    try:
        rows = list(csv.reader(io.StringIO(text, newline=""), strict=True))
    except csv.Error:
        return None
    return [row for row in rows[1:] if row]


def audit_records(audit, path):
    run = subprocess.run([audit, "--csv", "--all", "--json", "--port-min", "0",
                          "--port-max", "2000000", path], capture_output=True)
    rows = [json.loads(line) for line in run.stdout.decode().splitlines()]
    devices = sorted((row for row in rows if row["type"] == "device"), key=lambda r: r["line"])
    malformed = b"malformed CSV record" in run.stderr
    return [list(d["fields"].values()) for d in devices], malformed, run


def main():
    audit = sys.argv[1]
    rng = random.Random(21)
    serial = 0
    failures = malformed_files = records = 0
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "inventory.csv")
        for n in range(FILES):
            text, serial = generate(rng, serial)
            with open(path, "w", newline="", encoding="utf-8") as f:
                f.write(text)
            expected = strict_records(text)
            got, malformed, run = audit_records(audit, path)
            if expected is None:
                malformed_files += 1
                ok = malformed and run.returncode == 2
            else:
                records += len(expected)
                ok = not malformed and got == expected and run.returncode == 0
            if not ok:
                failures += 1
                print("file %d disagrees: %r" % (n, text))
                print("  strict reader: %r" % (expected,))
                print("  audit: %r, status %d, %r" % (got, run.returncode, run.stderr))
                if failures > 5:
                    break
    print("%d files (%d malformed, %d records in the others), %d disagreements"
          % (FILES, malformed_files, records, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

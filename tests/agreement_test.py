#!/usr/bin/env python3
"""Runs two builds of portslot on a few thousand generated argument vectors,
element 0 included, and fails unless both give the same bytes on standard
output and the same exit status for every one: a 32-bit long, a big-endian
machine or another C library must never change an answer.

    agreement_test.py REFERENCE PORTSLOT [EMULATOR ARG...]

REFERENCE is a build for this machine; PORTSLOT the build under test, started
through EMULATOR (qemu-user, which sets element 0 with -0) when given.
"""
import random
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

VECTORS = 3000
OPTIONS = [b"--port-min", b"--port-max", b"--port-count", b"--port-num"]
NOT_OPTIONS = [b"--port-min=100", b"--PORT-NUM", b"-", b"--", b"--port", b"--port-nums", b""]
JUNK_NUMBERS = [
    b"0", b"-0", b"+1", b" +1junk", b"\t\n 7", b"x", b"", b"40000abc", b"0x10", b"1e3", b"--5",
    b"2147483647", b"2147483648", b"-2147483648", b"-2147483649", b"4294967296", b"4294967298",
    b"99999999999", b"11000000000", b"-99999999999", b"000000000000000000040000",
    b"18446744073709551617", b"9223372036854775808", b"\xff12",
]
ODD_MACS = [
    b"aa:bb:cc:dd:ee:ff", b"AA:BB:CC:DD:EE:FF", b"aabbccddeeff", b"::aabbccddeeff",
    b"zz:zz:zz:dd:ee:ff", b"aa:bb:cc:zz:zz:zz", b"aabbcc0xffff", b"aabbcc0Xfffg", b"aabbcc-00001",
    b"aabbcc+00001", b"aabbcc 12345", b"aabbcc\t-0x1f", b"aa-bb-cc-dd-ee-ff", b"a:a:b:b:c:c:d:d:e:e:f:f",
    b"aabbccddeef", b"aabbccddeefff", b"::::::::::::", b"aabbcc-fffff", b"aabbcc\xff\xfe\xfd\xfc\xfb\xfa",
    b"00:1a:2b:3c:4d:5e", b"ff:ff:ff:ff:ff:ff", b"00:00:00:00:00:00",
]
HEX = b"0123456789abcdefABCDEF"


def number(rng):
    kind = rng.random()
    if kind < 0.25:
        return rng.choice(JUNK_NUMBERS)
    if kind < 0.5:
        return str(rng.randint(-70000, 70000)).encode()
    if kind < 0.75:
        return str(rng.randint(0, 12)).encode()
    digits = rng.randint(1, 13)
    text = str(rng.randrange(10 ** digits)).encode()
    return rng.choice([b"", b"-", b"+", b" ", b" -"]) + text + rng.choice([b"", b"x", b" 1"])


def mac(rng):
    kind = rng.random()
    if kind < 0.3:
        return rng.choice(ODD_MACS)
    if kind < 0.8:
        octets = [bytes([rng.choice(HEX), rng.choice(HEX)]) for _ in range(6)]
        return rng.choice([b":", b""]).join(octets)
    # Any bytes but NUL, colons anywhere: only the lengths are checked.
    return bytes(rng.choice([58, rng.randint(1, 255)]) for _ in range(rng.randint(0, 20)))


def vector(rng):
    argv = [rng.choice([b"portslot", b"./portslot", mac(rng), rng.choice(OPTIONS), number(rng)])]
    for _ in range(rng.randint(0, 4)):
        kind = rng.random()
        if kind < 0.45:
            argv += [rng.choice(OPTIONS), number(rng)]
        elif kind < 0.55:
            argv.append(rng.choice(OPTIONS))  # its value is whatever follows, if anything
        elif kind < 0.65:
            argv.append(rng.choice(NOT_OPTIONS))
        else:
            argv.append(mac(rng))
    if rng.random() < 0.6:  # then a range, a count and a position that may well give a port
        low = rng.randint(-100, 70000)
        count = rng.randint(1, 6)
        argv += [b"--port-min", str(low).encode(), b"--port-max",
                 str(low + rng.randint(-10, 30000)).encode(), b"--port-count", str(count).encode(),
                 b"--port-num", str(rng.randint(0, count + 1)).encode()]
    if rng.random() < 0.8:
        argv.append(mac(rng))
    return argv


def run(program, emulator, argv):
    if emulator:
        command = dict(args=emulator + [b"-0", argv[0], program] + argv[1:])
    else:
        command = dict(args=argv, executable=program)
    done = subprocess.run(**command, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    return done.returncode, done.stdout


def main():
    reference, tool = sys.argv[1].encode(), sys.argv[2].encode()
    emulator = [word.encode() for word in sys.argv[3:]]
    rng = random.Random(20261207)
    vectors = [vector(rng) for _ in range(VECTORS)]

    def check(argv):
        return argv, run(reference, [], argv), run(tool, emulator, argv)

    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(check, vectors))
    differ = [(argv, want, got) for argv, want, got in results if want != got]
    for argv, want, got in differ[:10]:
        print(f"argv {argv!r}:\n  this machine: {want!r}\n  build under test: {got!r}")
    ports = sum(1 for _, want, _ in results if want[0] == 0)
    print(f"{len(results) - len(differ)} of {len(results)} argument vectors agree "
          f"({ports} give a port, {len(results) - ports} the report)")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())

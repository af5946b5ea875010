#!/usr/bin/env python3
"""Runs the examples of the README and the manual pages as they are written.

    examples_test.py BUILD_DIR SOURCE_DIR

Sessions shown with "$ " prompts are run in a folder of their own, and what
they print must be what the page shows; "$ cat FILE" shows a file, which is
written there first. Recipes that read what only a live system has (the
neighbour table, /sys/class/net, a server's lease files) are run on the real
files in tests/samples, with the live source put in their place, and give the
rows in tests/samples/*.expected.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# The files that examples name but no "$ cat" shows, and where they are.
FIXTURES = {
    "/tmp/dhcp.leases": ("dhcp.leases",
                         "1733580000 aa:bb:cc:dd:ee:ff 192.0.2.10 laptop *\n"
                         "1733580100 00:00:00:00:00:8b 192.0.2.11 cam *\n"),
}

# Recipes: the text as the README has it, what stands in for the live
# source, and the file of expected rows.
RECIPES = [
    ("neighbour table", """    ip neigh | awk '$1 !~ /:/ { for (i = 2; i < NF; i++) if ($i == "lladdr")
            print index("PERMANENT REACHABLE DELAY STALE PROBE", $NF), $(i + 1), $1 }' |
        sort -s -n -k 1,1 | awk '!seen[tolower($2)]++ { print $2, $3 }' | portslot-audit --all""",
     [("ip neigh |", "cat ip-neigh.txt |")], "ip-neigh.expected"),
    ("neighbour table of one interface", None,
     [("ip neigh |", "cat ip-neigh-show-dev.txt |")], "ip-neigh.expected"),
    ("neighbour table as JSON", """    ip -j neigh | jq -r '[.[] | select(.lladdr and (.dst | contains(":") | not))]
        | group_by(.lladdr | ascii_downcase)
        | map(min_by(.state[0] as $s | ["PERMANENT", "REACHABLE", "DELAY", "STALE", "PROBE"] | index($s)))
        | .[] | "\\(.lladdr) \\(.dst)"' | portslot-audit --all""",
     [("ip -j neigh |", "cat ip-neigh.json |")], "ip-neigh-json.expected"),
    ("a host's interfaces", """    for f in /sys/class/net/*/address; do
        i=${f%/address}; printf '%s %s\\n' "$(cat "$f")" "${i##*/}"
    done | awk 'NF == 2 && $1 != "00:00:00:00:00:00" {
            if (!($1 in names)) order[n++] = $1
            names[$1] = names[$1] " " $2
        }
        END { for (i = 0; i < n; i++) print order[i] names[order[i]] }' | portslot-audit --all""",
     [("/sys/class/net/", "net/")], "sysfs.expected"),
    ("an append log", "    portslot-audit --csv --keep-last /var/lib/kea/kea-leases4.csv",
     [("/var/lib/kea/", "")], "kea-leases4.expected"),
    ("a leases file", None, [], "dnsmasq.expected"),
]
# (The leases file is read as the README's leases example reads it.)
LEASES = "portslot-audit --field 2 dnsmasq.leases"

# Examples that read only fleet.txt and print no output on the page.
PLAIN = [
    "portslot-audit --all --json fleet.txt | jq -r 'select(.type == \"device\") | \"\\(.first) \\(.label)\"'",
    "portslot-audit --all --port-min 20000 --port-max 29999 fleet.txt",
]


def unroff(text):
    """The text of a manual page's example lines, as a shell reads them."""
    return text.replace("\\-", "-").replace("\\e", "\\").replace("\\(", "(")


def sessions(lines):
    """(command, shown output) pairs from lines of "$ " sessions."""
    found, command, output = [], None, []
    for line in lines + ["$ "]:
        if line.startswith("$ "):
            if command is not None:
                found.append((command, output))
            command, output = line[2:], []
        elif command is not None and command.endswith("\\"):
            command = command[:-1] + line.strip()
        elif command is not None:
            output.append(line)
    return [(c, o) for c, o in found if c]


def readme_sessions(text):
    found, block = [], []
    for line in text.splitlines() + [""]:
        if line.startswith("    "):
            block.append(line[4:])
            continue
        if block and block[0].startswith("$ "):
            found += sessions(block)
        block = []
    return found


def man_sessions(text):
    found = []
    for block in re.findall(r"^\.nf\n(.*?)^\.fi", text, re.S | re.M):
        lines = unroff(block).splitlines()
        if lines and lines[0].startswith("$ "):
            found += sessions(lines)
    return found


def run(command, folder, env):
    return subprocess.run(["sh", "-c", command], cwd=folder, env=env, capture_output=True,
                          text=True, errors="replace")


def check_sessions(name, found, folder, env):
    failures = 0
    status = 0
    for command, shown in found:
        expected = "\n".join(shown).rstrip("\n")
        if command.startswith("cat "):
            with open(os.path.join(folder, command[4:]), "w") as f:
                f.write(expected + "\n")
            continue
        if command == "echo $?":
            got = str(status)
        else:
            for live, (local, text) in FIXTURES.items():
                with open(os.path.join(folder, local), "w") as f:
                    f.write(text)
                command = command.replace(live, local)
            result = run(command, folder, env)
            status = result.returncode
            got = result.stdout.rstrip("\n")
            if result.stderr:
                got += "\n[stderr] " + result.stderr
            # (A page may show a message as a terminal would, after the output.)
            if (result.stdout + result.stderr).rstrip("\n") == expected:
                got = expected
        if got != expected:
            failures += 1
            print("%s: %r\n  shown: %r\n  got:   %r" % (name, command, expected, got))
    return failures


def device_commands(readme, env):
    """The README's device commands under BusyBox's sh as written, with
    /etc/portslot-tunnel a scratch folder, a host key line in place of the
    server that ssh-keyscan would read, and this host's first interface with
    an address in place of eth0. Returns the failures."""
    block = re.search(r"^    mkdir -p /etc/portslot-tunnel\n(?:    .*\n)+", readme, re.M)
    if block is None:
        print("README.md no longer shows the device's commands")
        return 1
    busybox = shutil.which("busybox")
    if busybox is None:
        print("no busybox here: the device's commands are not run (scripts/install-deps provides it)")
        return 0
    interfaces = sorted(os.listdir("/sys/class/net"))
    usable = [i for i in interfaces if open("/sys/class/net/%s/address" % i).read().strip()
              not in ("", "00:00:00:00:00:00")]
    if not usable:
        print("no interface with an address here: the device's commands are not run")
        return 0
    with tempfile.TemporaryDirectory() as folder:
        script = "\n".join(line[4:] for line in block.group(0).splitlines())
        script = script.replace("/etc/portslot-tunnel", folder + "/etc")
        script = re.sub(r"^ssh-keyscan [^>]*", "echo 'server.example ssh-ed25519 "
                        "AAAAC3NzaC1lZDI1NTE5AAAAIKHXxBbNbuU9Ho6NPJMGiZsSVQlWQDGkSEfDvpBIQlJs' ",
                        script, flags=re.M)
        script = script.replace("--interface eth0", "--interface " + usable[0])
        result = subprocess.run([busybox, "sh", "-e", "-c", script], env=env, capture_output=True,
                                text=True, errors="replace")
    if result.returncode != 0 or "ssh -N -T" not in result.stdout:
        print("the device's commands under busybox sh: status %d\n%s%s"
              % (result.returncode, result.stdout, result.stderr))
        return 1
    return 0


def main():
    build, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    samples = os.path.join(source, "tests", "samples")
    env = dict(os.environ, PATH=build + os.pathsep + os.environ["PATH"], LC_ALL="C")
    with open(os.path.join(source, "README.md")) as f:
        readme = f.read()
    pages = {}
    for page in ("portslot.1", "portslot-audit.1"):
        with open(os.path.join(source, "man", page)) as f:
            pages[page] = f.read()
    failures = 0
    count = 0
    for name, found in [("README.md", readme_sessions(readme))] + [
            (page, man_sessions(text)) for page, text in pages.items()]:
        with tempfile.TemporaryDirectory() as folder:
            failures += check_sessions(name, found, folder, env)
            count += len(found)
            if name != "README.md":
                continue
            # (fleet.txt, as the README's session wrote it.)
            for command in PLAIN:
                shown = [readme] + [unroff(text).replace("|\n    ", "| ") for text in pages.values()]
                if not any(command in text for text in shown):
                    failures += 1
                    print("no page shows any more: %s" % command)
                result = run(command, folder, env)
                count += 1
                if result.returncode > 1 or result.stderr:
                    failures += 1
                    print("%r: status %d, %r" % (command, result.returncode, result.stderr))
    for name, recipe, replacements, expected_file in RECIPES:
        if recipe is None:
            recipe = RECIPES[0][1] if name.startswith("neighbour") else "    " + LEASES
        elif recipe not in readme:
            failures += 1
            print("README.md no longer shows the recipe for %s" % name)
            continue
        command = recipe
        for live, local in replacements:
            command = command.replace(live, local)
        with tempfile.TemporaryDirectory() as folder:
            for sample in os.listdir(samples):
                os.symlink(os.path.join(samples, sample), os.path.join(folder, sample))
            # The interfaces' address files as a tree, and one without an address.
            with open(os.path.join(samples, "sysfs-addresses.tsv")) as f:
                for line in f:
                    path, address = line.rstrip("\n").split("\t")
                    interface = os.path.join(folder, "net", path.split("/")[-2])
                    os.makedirs(interface)
                    with open(os.path.join(interface, "address"), "w") as out:
                        out.write(address + "\n")
            os.makedirs(os.path.join(folder, "net", "wg0"))
            open(os.path.join(folder, "net", "wg0", "address"), "w").close()
            result = run(command, folder, env)
        got = result.stdout + "".join("[stderr] " + line + "\n"
                                      for line in result.stderr.splitlines())
        got += "[status] %d\n" % result.returncode
        if os.environ.get("PORTSLOT_WRITE_EXPECTED"):
            with open(os.path.join(samples, expected_file), "w") as f:
                f.write(got)
        with open(os.path.join(samples, expected_file)) as f:
            expected = f.read()
        count += 1
        if got != expected:
            failures += 1
            print("recipe for %s gives:\n%s\nnot:\n%s" % (name, got, expected))
    failures += device_commands(readme, env)
    count += 1
    # The library's example is compiled and run by the install test, as the
    # consumer's readme_example(): it must be the README's, line for line.
    with open(os.path.join(source, "tests", "consumer", "main.cpp")) as f:
        consumer = f.read()
    example = re.search(r"```cpp\n#include <portslot/port_derivation.h>\n\n(.*?)```", readme, re.S)
    count += 1
    if example is None or any(line.strip() and line not in consumer
                              for line in example.group(1).splitlines()):
        failures += 1
        print("the README's C++ example is not the one tests/consumer/main.cpp compiles")
    print("%d examples, %d failures" % (count, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

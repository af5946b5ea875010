#!/usr/bin/env bash
# Writes an inventory of N devices (default 1,000,000) to standard output:
# random MAC addresses, some upper case, a host name and a room as the label,
# and a comment line now and then. The same N always gives the same file.
#   make_inventory.sh [N]
set -euo pipefail
awk -v n="${1:-1000000}" 'BEGIN {
    srand(20261207)
    for (i = 1; i <= n; i++) {
        if (i % 1000 == 1)
            printf "# rack %d\n", i / 1000
        mac = sprintf("%02x:%02x:%02x:%02x:%02x:%02x", int(rand() * 256), int(rand() * 256),
                      int(rand() * 256), int(rand() * 256), int(rand() * 256), int(rand() * 256))
        if (i % 7 == 0)
            mac = toupper(mac)
        printf "%s\thost-%d room %d\n", mac, i, i % 97
    }
}'

#!/bin/sh
# The tunnel package's life in a scratch root, as dpkg runs its maintainer
# scripts there (dpkg --root, which sets DPKG_ROOT): installed, enabled by
# the administrator, removed (the enable link stays, the unit is not
# masked), installed again (still enabled), purged (no link left).
#   package_cycle.sh PACKAGE.deb WORK_DIR
set -eu
deb=$1
root=$2/root
rm -rf "$root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
# (Its dependencies are not in the scratch root: dpkg's word on them is set
# aside, and shown only when it fails.)
dpkg_root() {
  dpkg --root="$root" --force-script-chrootless --force-depends --force-not-root \
    --log=/dev/null "$@" >"$2.log" 2>&1 || { cat "$2.log"; exit 1; }
}
wants=$root/etc/systemd/system/multi-user.target.wants/portslot-tunnel.service
mask=$root/etc/systemd/system/portslot-tunnel.service
failed=0
expect() { # DESCRIPTION COMMAND...
  what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

dpkg_root -i "$deb"
expect "installed, not enabled" test ! -e "$wants"
systemctl --root="$root" enable portslot-tunnel.service >/dev/null 2>&1
expect "enabled by the administrator" test -L "$wants"
dpkg_root -r portslot
expect "removed: the enable link stays" test -L "$wants"
expect "removed: the unit is not masked" test ! -L "$mask"
dpkg_root -i "$deb"
# (The link names the unit as the system sees it, from its own root.)
expect "installed again: still enabled" test -e "$root$(readlink "$wants")"
dpkg_root --purge portslot
expect "purged: no link left" sh -c '! find "$1/etc/systemd" -name "portslot-tunnel*" | grep -q .' _ "$root"
rm -rf "$root"
exit "$failed"

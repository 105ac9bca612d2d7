#!/usr/bin/env bash
# Runs the test command on another Debian release without leaving this machine:
# `test-in-debian.sh trixie` makes a chroot of that release with debootstrap (or
# reuses the one made before), clones this repository's current commit into it
# (uncommitted changes are not tested) and runs ./scripts/test.sh there.
#
# The chroot lives in /var/cache/tonvelo/RELEASE (TONVELO_CHROOT_DIR moves it).
# It needs root; it binds /proc, /sys, /dev and /dev/pts into the chroot, gives
# it a /dev/shm of its own, and unmounts them when it ends, however it ends.
# The tests choose their own display numbers and server names, so they may
# share the machine with servers that run outside.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 RELEASE (e.g. trixie)" >&2; exit 2; }
release=$1
repo=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$repo" rev-parse HEAD)
dir=${TONVELO_CHROOT_DIR:-/var/cache/tonvelo}
root=$dir/$release
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

if [ "$(id -u)" -ne 0 ]; then
  exec sudo TONVELO_CHROOT_DIR="$dir" DEBIAN_MIRROR="$mirror" "$0" "$@"
fi
if ! command -v debootstrap >/dev/null; then
  echo "Installing: debootstrap"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-remove --no-install-recommends debootstrap >/dev/null
fi

mkdir -p "$dir"
# One run at a time per chroot: a second run would unbind what the first still uses.
exec 9>"$root.lock"
flock 9

# debootstrap works in a folder of its own, so that only a finished chroot is ever
# reused. --one-file-system: a run that was killed may have left something bound.
if [ ! -d "$root" ]; then
  echo "Making a $release chroot in $root (a few minutes)"
  rm -rf --one-file-system "$root.partial"
  debootstrap --variant=minbase --include=git,ca-certificates "$release" "$root.partial" "$mirror" \
    >"$dir/$release-debootstrap.log" 2>&1 || {
    tail -20 "$dir/$release-debootstrap.log" >&2
    exit 1
  }
  # No services start inside the chroot when packages are installed.
  printf '#!/bin/sh\nexit 101\n' >"$root.partial/usr/sbin/policy-rc.d"
  chmod +x "$root.partial/usr/sbin/policy-rc.d"
  mv "$root.partial" "$root"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

bound=()
unbind() {
  local i
  for ((i = ${#bound[@]} - 1; i >= 0; i--)); do
    umount "${bound[i]}" 2>/dev/null || umount --lazy "${bound[i]}"
  done
}
trap unbind EXIT
# Private mounts: nothing mounted inside reaches this machine's own tree.
for path in /proc /sys /dev /dev/pts /dev/shm; do
  mountpoint -q "$root$path" && continue
  if [ $path = /dev/shm ]; then
    # One of its own: JACK keeps its servers' registry and a database there,
    # which this machine's JACK, another version, must not share.
    mount -t tmpfs -o mode=1777,nosuid,nodev tonvelo-shm "$root$path"
  else
    mount --bind "$path" "$root$path"
  fi
  bound+=("$root$path")
  mount --make-private "$root$path"
done

rm -rf --one-file-system "$root/root/tonvelo"
git clone --quiet --no-checkout "$repo" "$root/root/tonvelo"
git -C "$root/root/tonvelo" checkout --quiet --detach "$commit"
echo "Testing $commit on Debian $release"

# A clean environment: nothing of this machine's session (display, runtime folder,
# sound servers) reaches the tests.
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin \
  LANG=C.UTF-8 TERM="${TERM:-dumb}" /bin/bash -c 'cd /root/tonvelo && ./scripts/test.sh'

#!/usr/bin/env bash
# Runs a Windows test program with drive T: mapped to a fresh 8 MiB tmpfs,
# for tests of a full disk. Needs root (mount); exits 77 (skipped) without.
#   with-small-drive.sh PROGRAM [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?with-small-drive: set WINEPREFIX}"
link="$WINEPREFIX/dosdevices/t:"
if [ -e "$link" ] || [ -L "$link" ]; then
  echo "with-small-drive: $link exists already; not touching it" >&2
  exit 77
fi
volume=$(mktemp -d)
if ! mount -t tmpfs -o size=8m tmpfs "$volume" 2>/dev/null; then
  rmdir "$volume"
  echo "with-small-drive: cannot mount a tmpfs (not root?)" >&2
  exit 77
fi
cleanup() {
  rm -f "$link"
  umount "$volume" 2>/dev/null || umount -l "$volume"
  rmdir "$volume"
}
trap cleanup EXIT
touch "$volume/kestrune-small-drive"
ln -s "$volume" "$link"
echo "with-small-drive: T: is an 8 MiB tmpfs at $volume"
"$here/../../scripts/wine-run" "$@"

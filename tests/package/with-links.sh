#!/usr/bin/env bash
# Runs a Windows test program with links planted in C:\kestrune-links, as a
# process of the same user could plant them in a destination folder. They
# are Unix symbolic links in the prefix, which Windows programs see as
# reparse points (Wine's CreateSymbolicLinkW creates nothing).
#   with-links.sh PROGRAM [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?with-links: set WINEPREFIX}"
root="$WINEPREFIX/drive_c/kestrune-links"
# rm -rf removes links without following them.
rm -rf "$root"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/outside" "$root/folder-link" "$root/parent-link"
echo victim >"$root/outside/victim.txt"
ln -s ../outside "$root/folder-link/media"
ln -s ../outside "$root/parent-link/media"
ln -s outside "$root/destination-link"
echo "with-links: links planted in $root"
"$here/../../scripts/wine-run" "$@"

#!/usr/bin/env bash
# check-release-addresses.sh SOURCE PRESET WORKDIR: a release configuration
# stops at any plain-http server address or malformed certificate pin, and
# goes through with https addresses and well-formed pins.
set -euo pipefail
source=$1
preset=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cd "$source"
https=(-DKESTRUNE_SERVER_BASE=https://updates.example.com)
configure() { # name cmake-arguments...
  local name=$1
  shift
  cmake --preset "$preset" -B "$work/$name" "$@" >"$work/$name.log" 2>&1
}
digest=$(printf 'pinned' | sha256sum | cut -d' ' -f1)
for case in "default" "probe" "finish" "pin"; do
  expected="a release build needs https:// addresses"
  case "$case" in
    default) args=() ;;
    probe) args=("${https[@]}" -DKESTRUNE_PROBE_URL=http://updates.example.com/probe) ;;
    finish) args=("${https[@]}" -DKESTRUNE_FINISH_URL=HTTP://updates.example.com/welcome.html) ;;
    pin) args=("${https[@]}" "-DKESTRUNE_CERTIFICATE_PINS=updates.example.com=$digest;updates.example.com:443=$digest")
         expected='entry "updates.example.com:443='"$digest"'" is not host=<64 hex digits>' ;;
  esac
  if configure "$case" ${args[@]+"${args[@]}"}; then
    echo "FAIL: the $case configuration went through"; exit 1
  fi
  # CMake wraps the message's lines.
  tr -s ' \n' '  ' <"$work/$case.log" | grep -qF "$expected" || { cat "$work/$case.log"; exit 1; }
done
configure https "${https[@]}" "-DKESTRUNE_CERTIFICATE_PINS=updates.example.com=$digest;cdn.example.com=${digest^^}" ||
  { cat "$work/https.log"; echo "FAIL: https addresses or well-formed pins were refused"; exit 1; }
echo "release addresses ok"

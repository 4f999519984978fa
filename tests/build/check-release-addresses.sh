#!/usr/bin/env bash
# check-release-addresses.sh SOURCE PRESET WORKDIR: a release configuration
# stops at any plain-http server address and goes through with https ones.
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
for case in "default" "probe" "finish"; do
  case "$case" in
    default) args=() ;;
    probe) args=("${https[@]}" -DKESTRUNE_PROBE_URL=http://updates.example.com/probe) ;;
    finish) args=("${https[@]}" -DKESTRUNE_FINISH_URL=HTTP://updates.example.com/welcome.html) ;;
  esac
  if configure "$case" ${args[@]+"${args[@]}"}; then
    echo "FAIL: the $case configuration with a plain-http address went through"; exit 1
  fi
  # CMake wraps the message's lines.
  tr -s ' \n' '  ' <"$work/$case.log" | grep -q "a release build needs https:// addresses" ||
    { cat "$work/$case.log"; exit 1; }
done
configure https "${https[@]}" || { cat "$work/https.log"; echo "FAIL: https addresses were refused"; exit 1; }
echo "release addresses ok"

#!/usr/bin/env bash
# A /VERYSILENT installation behind a proxy, as a package manager starts it:
# squid is the user's proxy in a throw-away prefix, an unelevated first
# instance (tests/bin/unelevated_instance.exe) finds it and hands the run to
# the real program as its elevated copy, which must route as that user does
# although the settings it would find itself ("the elevating account's") say
# direct. The installation server listens on the compiled-in 127.0.0.1:18080;
# the run must succeed with the manifest, the package and the telemetry in
# squid's log. The proxy's name (127.0.0.2) differs from the server's, as
# Wine needs.
#   silent-behind-proxy.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-silent-proxy.XXXXXX")
# squid runs as the "proxy" user, who must reach its folder inside.
chmod 755 "$work"
export WINEPREFIX="$work/prefix"
. "$root/scripts/wine-env.sh"
server=""
squid=""
cleanup() {
  local status=$?
  [ -z "$server" ] || { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
  [ -z "$squid" ] || { kill "$squid" 2>/dev/null || true; wait "$squid" 2>/dev/null || true; }
  "$KESTRUNE_WINESERVER" -k 2>/dev/null || true
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
"$root/scripts/wine-prefix" "$WINEPREFIX" >/dev/null
# The compiled-in port is the machine's: take turns with other checkouts.
exec {lock}>"${TMPDIR:-/tmp}/kestrune-port-18080.lock"
flock "$lock"
package=$(ls "$build/sample/package/"kestrune-*-x64.zip | head -n 1)
python3 "$root/tools/reference_server.py" --port 18080 --root "$work" --log "$work/requests.jsonl" \
  --contract "package_x64=$package" --contract "package_x32=$package" --contract min_size=2MB \
  --contract "last_version=$(basename "$package" .zip | sed -e 's/^kestrune-//' -e 's/-x64$//')" \
  >"$work/server.out" 2>&1 &
server=$!
proxy_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.2", 0)); print(s.getsockname()[1])')
"$root/scripts/squid-proxy" "$work/squid" "127.0.0.2:$proxy_port" >"$work/squid.out" 2>&1 &
squid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null http://127.0.0.1:18080/probe && (exec 3<>"/dev/tcp/127.0.0.2/$proxy_port") 2>/dev/null && break
  kill -0 "$squid" 2>/dev/null || { cat "$work/squid.out" "$work/squid/cache.log" >&2 || true; exit 1; }
  sleep 0.1
done
"$root/scripts/proxy-settings" "127.0.0.2:$proxy_port"
# From cmd's "start /wait", as a package manager starts it, so that the whole
# exit code comes back (Wine's own exit status keeps only 8 bits).
installer_win=$("$KESTRUNE_WINE64" winepath -w "$build/bin/KestruneSetup64.exe" 2>/dev/null | tr -d '\r')
first_win=$("$KESTRUNE_WINE64" winepath -w "$build/tests/bin/unelevated_instance.exe" 2>/dev/null | tr -d '\r')
printf '@start "" /wait "%s" /ELEVATING_ACCOUNT_DIRECT "%s" /VERYSILENT /LOG="C:\\proxy-run.log"\r\n@echo exit code %%ERRORLEVEL%%\r\n' \
  "$first_win" "$installer_win" >"$WINEPREFIX/drive_c/proxy-run.cmd"
"$root/scripts/with-display" "$KESTRUNE_WINE64" cmd /c 'C:\proxy-run.cmd' 2>"$work/run.out" | tr -d '\r' \
  >"$work/exit-code.txt" || true
cat "$WINEPREFIX/drive_c/proxy-run.log" >>"$work/run.out" 2>/dev/null || true
failed=0
expect() { # description command...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
expect "exit code 0" grep -q "exit code 0" "$work/exit-code.txt"
expect "the copy took the first instance's route" grep -q "Proxy settings: those of the instance that started this one" \
  "$work/run.out"
expect "the launcher is installed" test -f "$WINEPREFIX/drive_c/Program Files/Kestrune Software/Kestrune/KestruneLauncher.exe"
# The server records a request before answering it, squid only after its
# answer has gone out; what squid forwards carries its Via header.
through_squid() { # method path
  awk -v method="\"method\": \"$1\"" -v path="\"path\": \"$2\"" \
    'index($0, "\"Via\": ") && index($0, method) && index($0, path) { found = 1 } END { exit !found }' \
    "$work/requests.jsonl"
}
for request in "GET /kestrune/updates.xml" "GET /kestrune/packages/x64.zip" "HEAD /telemetry/log_success"; do
  expect "through squid: $request" through_squid $request
done
if [ "$failed" != 0 ]; then
  cat "$work/run.out" "$work/squid/access.log" "$work/requests.jsonl" >&2 || true
fi
exit "$failed"

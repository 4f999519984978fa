# Sourced by the Wine scripts: keeps Wine inside the build tree and away from
# the host's menus, home folder and display.
# Needs WINEPREFIX set by the caller.
export WINEDEBUG=${WINEDEBUG:--all}
# Wine takes a proxy from these when the registry names none: the programs'
# requests would then go wherever the caller's shell points.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe,winedbg.exe,winebrowser.exe=d}
if [ -n "${KESTRUNE_EXTRA_DLLOVERRIDES:-}" ]; then
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$KESTRUNE_EXTRA_DLLOVERRIDES"
fi
wine_home="$(dirname "$WINEPREFIX")/home"
mkdir -p "$wine_home"
export HOME="$wine_home"
export XDG_CONFIG_HOME="$wine_home/.config" XDG_DATA_HOME="$wine_home/.local/share" XDG_CACHE_HOME="$wine_home/.cache"
export XDG_RUNTIME_DIR="$wine_home/.runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
. "$(dirname "${BASH_SOURCE[0]}")/wine-loaders.sh"
export WINELOADER=$KESTRUNE_WINE64

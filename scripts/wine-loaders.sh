# Sourced by the scripts that start Windows programs or ask whether they can.
# The loaders are called directly, never through Debian's `wine` wrapper: the
# wrapper prefers the 32-bit loader whenever that file is executable, and on
# machines whose kernel refuses i386 programs every call through it fails,
# 64-bit programs included.
if [ -x /usr/lib/wine/wine64 ]; then
  KESTRUNE_WINE64=/usr/lib/wine/wine64
else
  KESTRUNE_WINE64=$(command -v wine64 || echo wine64)
fi
KESTRUNE_WINE32=/usr/lib/wine/wine
KESTRUNE_WINESERVER=/usr/lib/wine/wineserver

# True when 32-bit Windows programs can run here: the 32-bit loader is
# installed and actually starts (installing it succeeds either way).
kestrune_wine32_works() {
  [ -x "$KESTRUNE_WINE32" ] && "$KESTRUNE_WINE32" --version >/dev/null 2>&1
}

# True when FILE is a 32-bit (i386) Windows program.
kestrune_is_pe32() {
  [ -f "$1" ] || return 1
  local offset machine
  offset=$(od -An -tu4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  machine=$(od -An -tx2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ "$machine" = 014c ]
}

# Prints the loader for a Windows program: the 32-bit one for a 32-bit
# program file, where it runs; the 64-bit one for everything else (64-bit
# programs and built-ins such as reg or regedit).
kestrune_loader_for() {
  if kestrune_is_pe32 "$1"; then
    if ! kestrune_wine32_works; then
      echo "wine: $1 is a 32-bit program and this machine cannot run 32-bit programs" >&2
      return 126
    fi
    echo "$KESTRUNE_WINE32"
  else
    echo "$KESTRUNE_WINE64"
  fi
}

# Runs a Windows program with the loader of its word size.
kestrune_wine() {
  local loader
  loader=$(kestrune_loader_for "$1") || return
  WINELOADER=$loader "$loader" "$@"
}

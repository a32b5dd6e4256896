#!/usr/bin/env bash
# Runs a Windows program of the build under wine, headless, in the project's
# own wine prefix (created on first use, which takes a few seconds).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${SLIDEMILL_WINEPREFIX:-$root/build-windows/wineprefix}"
export WINEDEBUG=-all
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  "$wine" cmd /c exit >/dev/null 2>&1 || true
fi
exec "$wine" "$@"

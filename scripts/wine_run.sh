#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own quiet, headless Wine prefix
# (build-windows/wine unless WINEPREFIX is set), creating the prefix on first use.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build-windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# No display is needed by headless programs; an empty DISPLAY keeps Wine from trying one.
if [ -z "${QX_WINE_DISPLAY:-}" ]; then unset DISPLAY; else export DISPLAY="$QX_WINE_DISPLAY"; fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Tests start in parallel: one of them creates the prefix while the others wait.
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"

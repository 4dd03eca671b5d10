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
# Windows are left unmanaged: with no window manager on the private display, a managed
# window's hiding waits two seconds for a window manager's answer that never comes.
unmanaged="$WINEPREFIX/qx-unmanaged-windows"
if [ ! -f "$unmanaged" ]; then
  # Tests start in parallel: one of them creates the prefix while the others wait.
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait || true
    fi
    if [ ! -f "$unmanaged" ]; then
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wineserver --wait || true
      touch "$unmanaged"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"

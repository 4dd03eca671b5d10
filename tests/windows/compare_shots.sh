#!/usr/bin/env bash
# An editor's Windows screenshot (left by windows_editor_tests) against a fresh Linux one of
# the same plug-in's .so, taken by qxshot on the private display of this test run.
# compare_shots.sh <qxshot> <compare_shots> <plug-in.so> <windows.png> <max mean> <max far share>
#                  <work dir>
# Exit 77 (skipped) when there is no Windows screenshot: the DLL was built without its editor.
set -euo pipefail
qxshot=$1 compare=$2 so=$3 shot=$4 mean=$5 far=$6 work=$7
[ -f "$shot" ] || { echo "no Windows screenshot $shot"; exit 77; }
mkdir -p "$work"
name=$(basename "$so" .so)
if [ -n "${QX_WINE_DISPLAY:-}" ]; then export DISPLAY="$QX_WINE_DISPLAY"; fi
"$qxshot" "$so" "$work/$name.linux.png" >/dev/null
"$compare" "$work/$name.linux.png" "$shot" "$mean" "$far"

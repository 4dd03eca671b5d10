#!/usr/bin/env bash
# Builds every plug-in as a Windows DLL (MinGW-w64 cross build into build-windows/, plug-ins
# in build-windows/plugins) and runs the Windows tests under Wine: the conformance suite on
# every DLL, its exports and imports, and the same clip rendered through the .so and the
# .dll. Expects the Linux build in build/ (scripts/build.sh). Installs MinGW-w64 and Wine
# when missing (through scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64

jobs=$(nproc 2>/dev/null || echo 2)
# The Linux side of the render comparison, and the painters that make the DLLs' skins.
cmake --build build -j"$jobs" --target render_clip qx_painters
cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DQX_NATIVE_BUILD_DIR="$PWD/build" >/dev/null
# Editors need a display: a private X server for every Wine program of this run.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$display_file"' EXIT
for _ in $(seq 200); do [ -s "$display_file" ] && break; sleep 0.1; done
display_number=$(head -n1 "$display_file")
[ -n "$display_number" ] || { echo "Xvfb did not start" >&2; exit 1; }
export QX_WINE_DISPLAY=":$display_number"
# The Wine prefix is made once, before test discovery runs programs in it.
bash scripts/wine_run.sh cmd /c exit >/dev/null 2>&1 || true
cmake --build build-windows -j"$jobs"
ctest --test-dir build-windows --output-on-failure -j"$jobs" --timeout 900

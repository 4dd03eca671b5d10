#!/usr/bin/env bash
# Builds every plug-in as a Windows DLL (MinGW-w64 cross build into build-windows/, plug-ins
# in build-windows/plugins) and runs the Windows tests under Wine: the conformance suite on
# every DLL, its exports and imports, the same clip rendered through the .so and the .dll,
# and every editor driven in a host window, its screenshot left in out/screenshots/windows
# and compared with the Linux one. Expects the Linux build in build/ (scripts/build.sh).
# Installs MinGW-w64 and Wine when missing (through scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64

jobs=$(nproc 2>/dev/null || echo 2)
# The Linux side of the render and screenshot comparisons, and the painters that make the
# DLLs' skins.
cmake --build build -j"$jobs" --target render_clip qxshot compare_shots qx_painters
cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DQX_NATIVE_BUILD_DIR="$PWD/build" >/dev/null
# Editors need a display: a private X server for every Wine program of this run.
source scripts/private_display.sh
start_private_display
# This run's screenshots only: the comparison with Linux skips a missing one.
rm -rf out/screenshots/windows
mkdir -p out/screenshots/windows
# The Wine prefix is made once, before test discovery runs programs in it.
bash scripts/wine_run.sh cmd /c exit >/dev/null 2>&1 || true
cmake --build build-windows -j"$jobs"
ctest --test-dir build-windows --output-on-failure -j"$jobs" --timeout 900

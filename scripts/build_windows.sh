#!/usr/bin/env bash
# Cross-builds every plug-in as a Windows DLL with its editor into build-windows/plugins
# (MinGW-w64, which it installs when missing), its skins painted by the Linux build in build/,
# and the Windows screenshot tool build-windows/bin/qxshot.exe. The tests of that build run
# from scripts/test_windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
jobs=$(nproc 2>/dev/null || echo 2)
# The skins are painted by the native painters of the Linux build.
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs" --target qx_painters
cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DQX_NATIVE_BUILD_DIR="$PWD/build" >/dev/null
cmake --build build-windows -j"$jobs" --target qx_plugins qxshot

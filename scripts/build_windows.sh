#!/usr/bin/env bash
# Cross-builds every plug-in as a Windows DLL into build-windows/plugins (MinGW-w64, which it
# installs when missing), and the Windows screenshot tool build-windows/bin/qxshot.exe. The
# tests of that build run from scripts/test_windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DQX_NATIVE_BUILD_DIR="$PWD/build" >/dev/null
cmake --build build-windows -j"$jobs" --target qx_plugins qxshot

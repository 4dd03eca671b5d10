#!/usr/bin/env bash
# Sets everything up, builds the suite and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
jobs=$(nproc 2>/dev/null || echo 2)
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 900
bash scripts/test_windows.sh

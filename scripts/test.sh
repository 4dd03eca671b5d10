#!/usr/bin/env bash
# Sets everything up, builds the suite and runs the whole test suite; then two sanitizer jobs,
# each building only what it runs: AddressSanitizer with UndefinedBehaviorSanitizer over the
# plug-in conformance and table checks and the editor tests (build-asan/), ThreadSanitizer
# over the framework, meter-exchange and thread tests (build-tsan/). Any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
jobs=$(nproc 2>/dev/null || echo 2)
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 900

# sanitizer_job <dir> <QX_SANITIZE> <test regex> <targets...>
sanitizer_job() {
  local dir=$1 sanitizer=$2 tests=$3
  shift 3
  echo "== $sanitizer sanitizer: $*"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_SANITIZE="$sanitizer" \
        -DQX_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" -j"$jobs" --target "$@"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 900 -R "$tests" \
        --no-tests=error
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

sanitizer_job build-asan address '^(Plugins/Conformance\.|[a-z_]+\.Tables\.|gui\.)' \
  plugin_tests gui_tests gui_editor_cycles
sanitizer_job build-tsan thread \
  '^(Framework|Handoff|MeterExchange|LofiEffect|LimiterEffectThreads)\.|^gui\..*(Thread|Automation)' \
  framework_tests eraslip_tests palisor_tests gui_tests
bash scripts/test_windows.sh
echo "All tests passed: Linux, sanitizer jobs and Windows under Wine."

#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for FUZZ_SECONDS (60) each, on a
# working corpus seeded from tests/fuzz/corpus. Any finding fails the run;
# its input is kept in <build>/findings.
set -euo pipefail
build=$(realpath "${1:-build-fuzz}")
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/findings"
status=0
for target in sprite_file image device_registry config_file; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  cp -n "$source_dir/tests/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
  echo "== fuzz_$target for ${seconds} s"
  if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$target-" "$corpus" 2> "$build/fuzz_$target.log"; then
    echo "fuzz_$target found a problem: see $build/fuzz_$target.log and $build/findings/"
    tail -40 "$build/fuzz_$target.log"
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec|cov: " "$build/fuzz_$target.log" | tail -3 || true
done
exit $status

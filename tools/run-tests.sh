#!/usr/bin/env bash
# Runs the whole test suite of a build folder. Tests that need a display get
# a virtual one when none is there.
set -euo pipefail
build=${1:-build}
# For a sanitized build: every invalid access and undefined behaviour fails
# its test. Leaks are checked by tools/leak-check.sh, one scripted session
# with the full stacks that tell the system libraries' leaks from ours.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:verify_asan_link_order=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# -noreset: by default the server resets whenever its last client leaves,
# and a test connecting during that reset fails to find a display.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
fi
exec ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

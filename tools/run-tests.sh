#!/usr/bin/env bash
# Runs the whole test suite of a build folder. Tests that need a display get
# a virtual one when none is there.
set -euo pipefail
build=${1:-build}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
fi
exec ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

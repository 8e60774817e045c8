#!/usr/bin/env bash
# One scripted session of the sanitized program under a virtual display, with
# LeakSanitizer on: open the demo world, Go, thrust, open the configuration
# window, bind a key, close the window, quit. Fails on any invalid access, on
# any block leaked by the program's own code, and when the session does not
# go as a user would see it.
#   tools/leak-check.sh [sanitized build folder, build-asan]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-build-asan}")
for tool in Xvfb xdotool; do
  command -v "$tool" > /dev/null || { echo "leak-check: $tool is missing (make deps)" >&2; exit 1; }
done
[ -x "$build/stardrift" ] || { echo "leak-check: no program in $build (make leak-check builds one)" >&2; exit 1; }

work=$(mktemp -d)
xvfb=
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2> /dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null || true
  [ -n "${KEEP:-}" ] && cp "$work/session.log" "$KEEP"
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own; -displayfd tells which number it took.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb

step() { echo "leak-check: $*"; }
fail() { echo "leak-check: FAILED: $*" >&2; sed -n '1,200p' "$work/session.log" >&2; exit 1; }
# The id of the visible window whose title has $1, waiting up to 60 s (the
# sanitized program with full stacks on every allocation is slow).
find_window() {
  for _ in $(seq 600); do
    local id
    id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
keys() { xdotool key --window "$1" "${@:2}"; sleep 0.3; }
# Focuses the window whose title has $1 and prints its id. A window can be
# made and replaced while the program works, so one gone by the time it is
# focused is looked up again.
focus() {
  for _ in $(seq 5); do
    local id
    id=$(find_window "$1") || return 1
    xdotool windowfocus --sync "$id" 2> /dev/null && { echo "$id"; return 0; }
    sleep 0.3
  done
  return 1
}

# The program as installed, started in a fresh home folder: --demo keeps its
# bindings under ~/.config/stardrift, and a first start steers with the demo keys.
cmake --install "$build" --prefix "$work/usr" > /dev/null
mkdir "$work/run" "$work/home"
cd "$work/run"
export HOME=$work/home
unset XDG_CONFIG_HOME
saved="$HOME/.config/stardrift/ZV config"

# Full stacks (fast_unwind_on_malloc=0) tell whose code made each leaked
# block: the system libraries keep some blocks until exit by design (caches,
# one-time set-up). Mesa's softpipe, not llvmpipe: llvmpipe's JIT registers
# its unwind tables under the lock the slow unwinder takes, and deadlocks.
# exitcode=0: leaks are judged below, the exit status is the program's own.
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer
GALLIUM_DRIVER=softpipe \
ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:malloc_context_size=40:verify_asan_link_order=0 \
LSAN_OPTIONS=exitcode=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$work/usr/games/stardrift" --demo > "$work/session.log" 2>&1 &
program=$!

step "open the demo world"
main=$(focus "demo.sprites") || fail "the demo world's window did not appear"
step "Go, thrust for a second, Stop"
keys "$main" ctrl+g
xdotool keydown --window "$main" Up; sleep 1; xdotool keyup --window "$main" Up
keys "$main" ctrl+period
step "open the configuration window, bind W to thrust, close it"
keys "$main" ctrl+k
config=$(focus "Configure Controls") || fail "the configuration window did not open"
keys "$config" alt+t
keys "$config" w
keys "$config" Return
for _ in $(seq 50); do
  xdotool search --onlyvisible --name "Configure Controls" > /dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name "Configure Controls" > /dev/null 2>&1 && fail "the configuration window stayed open"
step "quit"
main=$(focus "demo.sprites") || fail "the demo world's window went away"
keys "$main" ctrl+q
status=
for _ in $(seq 300); do
  if ! kill -0 "$program" 2> /dev/null; then
    wait "$program" && status=0 || status=$?
    break
  fi
  sleep 0.1
done
program_pid=$program
program=
[ -n "$status" ] || { kill "$program_pid"; fail "the program did not quit"; }
grep -q "ERROR: AddressSanitizer\|runtime error:" "$work/session.log" && fail "an invalid access or undefined behaviour"
# A leaked block is the program's when the first frame that made it, past
# the allocator, the C and C++ runtimes and inlined library templates, is in
# the program's own sources.
own_leaks=$(awk -v src="$(dirname "$here")/" -v bin="$work/usr/games/" '
  /^Direct leak of/ { inleak = 1; decided = 0; head = $0; next }
  /^(Indirect leak of|SUMMARY)/ { inleak = 0; next }
  inleak && !decided && /^ *#[0-9]+ / {
    if ($0 ~ /libsanitizer|libasan|libubsan|\/libc\.so|libstdc\+\+|\/usr\/include\/|nptl\//) next
    decided = 1
    if (index($0, src) || index($0, "(" bin)) { print head; print }
  }' "$work/session.log")
[ -z "$own_leaks" ] || fail "the program leaked:
$own_leaks"
library_leaks=$(grep -c "^Direct leak of" "$work/session.log" || true)
[ "$status" -eq 0 ] || fail "the program exited with status $status"
# Thrust (action 3) holds its key code at bytes 15 to 18, big-endian: W is 25.
[ -f "$saved" ] || fail "no bindings were saved under ~/.config/stardrift"
[ -e "ZV config" ] && fail "the bindings were saved in the working folder"
[ "$(od -An -tu1 -j15 -N4 "$saved" | tr -s ' ')" = " 0 0 0 25" ] || fail "the new binding was not saved"
step "no leak of the program's own and no invalid access ($library_leaks blocks kept by system libraries); the binding was saved"

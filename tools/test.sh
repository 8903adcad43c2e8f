#!/usr/bin/env bash
# Installs what is missing, checks the licence information, builds the Debian package and
# runs the whole test suite: first a plain build (whose tests also unpack and start the
# package), then the libFuzzer targets for a bounded time, then everything again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
./tools/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
export SDL_AUDIODRIVER=dummy

run_suite() {  # build dir, extra ctest arguments (before --), extra cmake arguments...
  local dir=$1; shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 900 "${ctest_args[@]}")
}

mkdir -p build build-asan
echo "== licences (reuse lint) =="
reuse lint > build/reuse.log 2>&1 || { cat build/reuse.log; exit 1; }
echo "== Debian package =="
deb=$(./tools/make_deb.sh build-deb | tail -n 1)
# Errors and warnings alike fail; a warning that stays has an override with its reason.
lintian --fail-on error,warning "$deb"
export TARNWICK_DEB="$deb"  # the install tests unpack and start it
echo "== plain build =="
run_suite build --
if [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "== fuzzing (bounded) =="
  mkdir -p build-fuzz
  CC=clang CXX=clang++ run_suite build-fuzz -- -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF
fi
echo "== sanitized build (ASan + UBSan) =="
# LeakSanitizer's own tracer now and then crashes on a loaded machine ("Tracer caught
# signal 11") while stopping the renderer's threads: a failing test gets one more run here,
# so a fault of ours still fails (it fails twice) and a crash of the tool does not.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan --repeat until-pass:2 -- -DTARNWICK_SANITIZE=ON

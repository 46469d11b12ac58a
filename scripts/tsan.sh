#!/usr/bin/env bash
# The core, capture, registry, spooler and converter tests under
# ThreadSanitizer: the capture worker, the writer runs and the commands share
# the session across threads; the converter draws pages and strips on several;
# the registry and the spooler are written by several processes at once.
# Then the window tests on a virtual display: the worker and the writer
# threads reach the windows through the interface port.
#
#   scripts/tsan.sh [jobs]
#
# SCRIVLET_TSAN_WINDOW=0 leaves the window tests out.
#
# The image library's OpenMP threads are not instrumented (their joins look
# like races to the sanitizer), so it runs on the calling thread here.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs=${1:-$(nproc)}
programs=(app_tests capture_tests render_tests output_tests platform_tests cli_tests)

# Warnings are held to errors by the release build; instrumented builds
# give false ones in the standard library.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_TSAN=ON \
  -DENABLE_GUI=ON -DENABLE_BENCH=OFF -DENABLE_WERROR=OFF >/dev/null
window=${SCRIVLET_TSAN_WINDOW:-1}
targets=("${programs[@]}")
[[ $window == 1 ]] && targets+=(window_tests)
cmake --build build/tsan -j "$jobs" --target "${targets[@]}"

# Only the tests of the programs built above run: the others (the other
# test programs, the fuzz replays, the C interface and the scripts) are
# left out by name.
others=$(ctest --test-dir build/tsan -N -V -L core 2>/dev/null | awk -v programs=" ${programs[*]} " '
  /^[0-9]+: Test command:/ { count = split($4, parts, "/"); program = parts[count] }
  /^ *Test +#[0-9]+: / {
    name = $3
    if (index(programs, " " program " ") == 0) {
      gsub(/[.]/, "[.]", name)
      list = list (list == "" ? "" : "|") "^" name "$"
    }
    program = ""
  }
  END { print (list == "" ? "^$" : list) }')

OMP_NUM_THREADS=1 MAGICK_THREAD_LIMIT=1 \
  TSAN_OPTIONS="halt_on_error=1 abort_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build/tsan --output-on-failure --timeout 600 -j "$jobs" -L core -E "$others"

# The toolkit's own libraries (GTK, GLib, fontconfig) are not instrumented:
# their suppressions are kept apart, each explained there; the window tests
# draw pages too, so the core's hold with them (the sanitizer reads one file).
if [[ $window == 1 ]]; then
  cat tests/tsan.supp tests/tsan-window.supp > build/tsan/window-tests.supp
  OMP_NUM_THREADS=1 MAGICK_THREAD_LIMIT=1 \
    TSAN_OPTIONS="halt_on_error=1 abort_on_error=1 second_deadlock_stack=1 suppressions=$PWD/build/tsan/window-tests.supp" \
    ctest --test-dir build/tsan --output-on-failure --timeout 1500 -R '^window_tests$'
fi

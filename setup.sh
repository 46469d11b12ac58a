#!/usr/bin/env bash
# Sets up a Debian 12 machine for Scrivlet and builds it.
#
#   ./setup.sh          install the packages (once), build into build/release
#   ./setup.sh --test   the same, then every test: the release build's tests,
#                       the core tests under AddressSanitizer and
#                       UndefinedBehaviorSanitizer, and a short run of each
#                       fuzz target (clang's libFuzzer)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

run_tests=0
for arg in "$@"; do
  case "$arg" in
    --test) run_tests=1 ;;
    *) echo "usage: $0 [--test]" >&2; exit 2 ;;
  esac
done

bash scripts/install-packages.sh

werror=OFF
[[ "${CI:-}" == "true" ]] && werror=ON
jobs=$(nproc)

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_WERROR=$werror >/dev/null
cmake --build build/release -j "$jobs"
# Record the demonstration setup's installation folder (InstallPath).
build/release/bin/ScrivletSetup build/release/install || true

if ((run_tests == 0)); then
  exit 0
fi

echo "== tests (release build)"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON \
  -DENABLE_GUI=OFF -DENABLE_BENCH=OFF -DENABLE_WERROR=$werror >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  ctest --test-dir build/asan --output-on-failure -j "$jobs" -L core

echo "== fuzz targets (short run)"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-10}"

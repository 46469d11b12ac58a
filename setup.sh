#!/usr/bin/env bash
# Sets up a Debian 12 machine for Scrivlet and builds it.
#
#   ./setup.sh          install the packages (once), build into build/release
#   ./setup.sh --test   the same, then every test: the release build's tests,
#                       the core tests under AddressSanitizer and
#                       UndefinedBehaviorSanitizer, the core and capture
#                       tests under ThreadSanitizer, and a short run of each
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
# Record the demonstration setup's installation folder (InstallPath) in the
# machine's hive. Without SCRIVLET_REGISTRY that hive lives in
# /var/lib/scrivlet/registry; a user who is not root gets that folder (and a
# hive an earlier root run left there) made theirs with sudo, since the
# programs write the machine's hive as that user.
machine_registry=${SCRIVLET_REGISTRY:-/var/lib/scrivlet/registry}
if [[ -z "${SCRIVLET_REGISTRY:-}" && $(id -u) -ne 0 ]]; then
  needs_sudo=0
  [[ -d $machine_registry && -O $machine_registry ]] || needs_sudo=1
  for f in "$machine_registry/HKLM.reg" "$machine_registry/HKLM.reg.lock"; do
    [[ ! -e $f || -O $f ]] || needs_sudo=1
  done
  if ((needs_sudo)); then
    if ! command -v sudo >/dev/null; then
      echo "setup: $machine_registry must belong to $(id -un): run this once as root, or install sudo," >&2
      echo "       or set SCRIVLET_REGISTRY to a folder of your own" >&2
      exit 1
    fi
    echo "setup: making $machine_registry belong to $(id -un) (sudo)"
    sudo install -d -m 0755 -o root -g root /var/lib/scrivlet
    sudo install -d -m 0755 -o "$(id -u)" -g "$(id -g)" "$machine_registry"
    for f in "$machine_registry/HKLM.reg" "$machine_registry/HKLM.reg.lock"; do
      if sudo test -e "$f"; then sudo chown "$(id -u):$(id -g)" "$f"; fi
    done
  fi
fi
if ! build/release/bin/ScrivletSetup build/release/install; then
  echo "setup: recording the installation folder failed (see above)" >&2
  exit 1
fi

if ((run_tests == 0)); then
  exit 0
fi

echo "== tests (release build)"
ctest --test-dir build/release --output-on-failure --timeout 300 -j "$jobs"

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# Warnings are held to errors by the release build above; the sanitizers'
# instrumentation makes the compiler see uninitialised values in the
# standard library that are not there (std::regex, -Wmaybe-uninitialized).
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON \
  -DENABLE_GUI=OFF -DENABLE_BENCH=OFF -DENABLE_WERROR=OFF >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  ctest --test-dir build/asan --output-on-failure --timeout 600 -j "$jobs" -L core

echo "== core and capture tests under ThreadSanitizer"
bash scripts/tsan.sh "$jobs"

echo "== fuzz targets (short run)"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-10}"

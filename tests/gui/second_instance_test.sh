#!/usr/bin/env bash
# A second start of the main program with a window closes the first one: the
# first instance receives the close request, closes its window orderly (its
# placement is stored) and ends with status 0, and the second instance goes
# on with its own window. Run on a display (tests/gui/with_xvfb.sh).
# Usage: second_instance_test.sh <Scrivlet> <samples folder>
set -euo pipefail
program=$1
samples=$2
root=$(mktemp -d)
cleanup() {
  jobs -p | xargs -r kill 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export SCRIVLET_REGISTRY=$root/registry HOME=$root/home XDG_CONFIG_HOME=$root/config \
  XDG_DATA_HOME=$root/data XDG_CACHE_HOME=$root/cache SCRIVLET_OUTPUT=$root/out
mkdir -p "$SCRIVLET_REGISTRY" "$HOME" "$root/install/emf"
cp "$samples"/page*.emf "$root/install/emf/"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quillo\\Scrivlet]\n"InstallPath"="%s"\n' "$root/install" \
  >"$SCRIVLET_REGISTRY/HKLM.reg"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillo\\Scrivlet]\n"lvStartHelpCheck"=dword:00000001\n' \
  >"$SCRIVLET_REGISTRY/HKCU.reg"

# Waits until the process $1 shows a window titled "Quillo Scrivlet".
wait_window() {
  for _ in $(seq 1 300); do
    xdotool search --pid "$1" --name "^Quillo Scrivlet$" >/dev/null 2>&1 && return 0
    kill -0 "$1" 2>/dev/null || fail "process $1 ended before its window came up"
    sleep 0.1
  done
  fail "no window of process $1"
}

"$program" quick >"$root/first.txt" 2>&1 &
first=$!
wait_window "$first"
grep -q lvWinBottom "$SCRIVLET_REGISTRY/HKCU.reg" && fail "placement stored before any close"

"$program" quick >"$root/second.txt" 2>&1 &
second=$!
status=0
for _ in $(seq 1 300); do
  kill -0 "$first" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$first" 2>/dev/null && fail "the first instance did not close"
wait "$first" || status=$?
[[ $status -eq 0 ]] || fail "the first instance ended with status $status"
grep -q lvWinBottom "$SCRIVLET_REGISTRY/HKCU.reg" || fail "the first instance stored no placement"
wait_window "$second"

# The second one closes the same way on the close request.
kill -TERM "$second"
status=0
wait "$second" || status=$?
[[ $status -eq 0 ]] || fail "the second instance ended with status $status"
echo "PASS"

#!/usr/bin/env bash
# The installer's and the remover's windows on a virtual display, in every
# mode (debug, the quiet word, none) with Word's version supported (10.0),
# unsupported (only 11.0, which brings up the "not supported" box) and
# absent (no Office key, the same box):
#   quiet modes ("pause", "maxpause") do their work and end by themselves
#   with exit code 0; debug modes do the work and stay open; banner modes
#   change nothing and stay open until closed. No run may crash.
# Usage: gui_modes_test.sh <Dotlift> <DotsweepAll>
set -euo pipefail
dotlift=$1
dotsweep=$2

if [[ -z "${DISPLAY:-}" ]]; then
  # -noreset: the server otherwise resets when its last client leaves, and a
  # tool started in that moment cannot open the display.
  exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi
command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/packages.txt)" >&2; exit 1; }

root=$(mktemp -d)
cleanup() {
  jobs -p | xargs -r kill 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
export SCRIVLET_REGISTRY=$root/registry SCRIVLET_HOME=$root/home
install=$root/install
startup=$SCRIVLET_HOME/appdata/Microsoft/Word/Startup

fail() { echo "FAIL: $*" >&2; exit 1; }

# A fresh machine with Word's version given by the Office key present ("" for none).
fresh_machine() {
  local office=$1
  rm -rf "$SCRIVLET_REGISTRY" "$SCRIVLET_HOME" "$install"
  mkdir -p "$SCRIVLET_REGISTRY" "$install" "$SCRIVLET_HOME/appdata/Microsoft/Word"
  echo "template" >"$install/sScrivlet2.dot"
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quillo\\Scrivlet]\n"InstallPath"="%s"\n' "$install" \
    >"$SCRIVLET_REGISTRY/HKLM.reg"
  printf 'REGEDIT4\n\n' >"$SCRIVLET_REGISTRY/HKCU.reg"
  if [[ -n "$office" ]]; then
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\%s]\n' "$office" >>"$SCRIVLET_REGISTRY/HKCU.reg"
  fi
}

# Answers the "not supported" box of process $1 with OK; fails when no box
# comes up within the wait. The box is the process's visible window that is
# not its main window ("Dotlift 2.0.0"); it has no caption.
answer_box() {
  local pid=$1 box="" w
  for _ in $(seq 1 300); do
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
      [[ "$(xdotool getwindowname "$w" 2>/dev/null)" == "Dotlift 2.0.0" ]] || box=$w
    done
    [[ -n "$box" ]] && break
    kill -0 "$pid" 2>/dev/null || fail "process $pid ended before its message box (status $(wait "$pid"; echo $?))"
    sleep 0.2
  done
  [[ -n "$box" ]] || fail "no \"not supported\" message box"
  # Let the window behind it paint while the box is up.
  sleep 1
  kill -0 "$pid" 2>/dev/null || fail "process $pid ended while its message box was up (status $(wait "$pid"; echo $?))"
  xdotool windowfocus --sync "$box"
  xdotool key --clearmodifiers Return
}

# Waits for process $1 to end by itself; its status must be 0.
expect_ends() {
  local pid=$1 what=$2 status=0
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "$what did not end by itself"; }
  wait "$pid" || status=$?
  [[ $status -eq 0 ]] || fail "$what ended with status $status"
}

# Process $1 must still be running after its work; then it is closed.
# Waits (at most a minute) until the work of process $1 shows, by the test
# in $3, and checks that the process is still running a moment later.
expect_stays() {
  local pid=$1 what=$2 done=${3:-true}
  for _ in $(seq 1 120); do
    eval "$done" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  eval "$done" || fail "$what did not do its work"
  sleep 1
  kill -0 "$pid" 2>/dev/null || { wait "$pid" || true; fail "$what ended by itself (or crashed)"; }
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# Runs one tool in one mode; $3 says whether the not-supported box comes.
run_mode() {
  local program=$1 word=$2 box=$3 done=${4:-true} what
  what="$(basename "$program") ${word:-(no word)}"
  if [[ -n "$word" ]]; then "$program" "$word" & else "$program" & fi
  local pid=$!
  if [[ $box == yes ]]; then answer_box "$pid"; fi
  case "${word,,}" in
    pause | maxpause) expect_ends "$pid" "$what" ;;
    *) expect_stays "$pid" "$what" "$done" ;;
  esac
  echo "ok: $what"
}

# Checks that the template is installed and recorded.
expect_installed() {
  [[ -f "$startup/sScrivlet2.dot" ]] || fail "template not installed"
  [[ -f "$install/Dotlift.log" ]] || fail "no Dotlift.log"
  grep -q '"UserPath1"=' "$SCRIVLET_REGISTRY/HKLM.reg" || fail "UserPath1 not recorded"
}

# Checks that the template and the traces are gone, then records the
# installation folder again (the remover deletes InstallPath).
expect_removed() {
  [[ ! -f "$startup/sScrivlet2.dot" ]] || fail "template not removed"
  [[ ! -f "$install/Dotlift.log" ]] || fail "Dotlift.log not removed"
  if grep -q 'UserPath1' "$SCRIVLET_REGISTRY/HKLM.reg"; then fail "UserPath1 not removed"; fi
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quillo\\Scrivlet]\n"InstallPath"="%s"\n' "$install" \
    >"$SCRIVLET_REGISTRY/HKLM.reg"
}

# A banner run: stays open and changes nothing.
expect_banner_changes_nothing() {
  local program=$1 before after
  before=$(cat "$SCRIVLET_REGISTRY"/*.reg; ls -R "$root")
  run_mode "$program" "" no
  after=$(cat "$SCRIVLET_REGISTRY"/*.reg; ls -R "$root")
  [[ "$before" == "$after" ]] || fail "$(basename "$program") (banner) changed files or settings"
}

for office in 10.0 11.0 ""; do
  box=no
  [[ "$office" == 10.0 ]] || box=yes
  echo "== Office key '${office:-none}'"
  fresh_machine "$office"
  expect_banner_changes_nothing "$dotlift"
  run_mode "$dotlift" debug "$box" '[[ -f $install/Dotlift.log ]]'
  expect_installed
  run_mode "$dotsweep" debug no '[[ ! -f $install/Dotlift.log ]]'
  expect_removed
  run_mode "$dotlift" pause "$box"
  expect_installed
  expect_banner_changes_nothing "$dotsweep"
  run_mode "$dotsweep" MAXPAUSE no
  expect_removed
done
echo "PASS"

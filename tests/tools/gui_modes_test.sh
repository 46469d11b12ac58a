#!/usr/bin/env bash
# The installer's and the remover's windows on a virtual display:
#   quiet modes ("pause", "maxpause") do their work and end by themselves
#   with exit code 0 within a few seconds; banner modes change nothing and
#   stay open until closed.
# Usage: gui_modes_test.sh <Dotlift> <DotsweepAll>
set -euo pipefail
dotlift=$1
dotsweep=$2

if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export SCRIVLET_REGISTRY=$root/registry SCRIVLET_HOME=$root/home
install=$root/install
mkdir -p "$SCRIVLET_REGISTRY" "$install" "$SCRIVLET_HOME/appdata/Microsoft/Word"
echo "template" >"$install/sScrivlet2.dot"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quillo\\Scrivlet]\n"InstallPath"="%s"\n' "$install" \
  >"$SCRIVLET_REGISTRY/HKLM.reg"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\10.0]\n' >"$SCRIVLET_REGISTRY/HKCU.reg"
startup=$SCRIVLET_HOME/appdata/Microsoft/Word/Startup

fail() { echo "FAIL: $*" >&2; exit 1; }

# A banner run must still be open after a while and leave everything as it was.
banner_changes_nothing() {
  local program=$1
  local before after
  before=$(cat "$SCRIVLET_REGISTRY"/*.reg; ls -R "$root")
  "$program" &
  local pid=$!
  sleep 2
  kill -0 "$pid" 2>/dev/null || fail "$program (banner) ended by itself"
  kill "$pid"; wait "$pid" 2>/dev/null || true
  after=$(cat "$SCRIVLET_REGISTRY"/*.reg; ls -R "$root")
  [[ "$before" == "$after" ]] || fail "$program (banner) changed files or settings"
}

# A quiet run must end by itself with code 0.
quiet_run() {
  local started=$SECONDS
  timeout 20 "$@" || fail "$* exited with $?"
  echo "$* ended after $((SECONDS - started)) s"
}

banner_changes_nothing "$dotlift"
quiet_run "$dotlift" pause
[[ -f "$startup/sScrivlet2.dot" ]] || fail "template not installed"
[[ -f "$install/Dotlift.log" ]] || fail "no Dotlift.log"
grep -q '"UserPath1"=' "$SCRIVLET_REGISTRY/HKLM.reg" || fail "UserPath1 not recorded"

banner_changes_nothing "$dotsweep"
quiet_run "$dotsweep" MAXPAUSE
[[ ! -f "$startup/sScrivlet2.dot" ]] || fail "template not removed"
[[ ! -f "$install/Dotlift.log" ]] || fail "Dotlift.log not removed"
grep -q 'UserPath1' "$SCRIVLET_REGISTRY/HKLM.reg" && fail "UserPath1 not removed"
echo "PASS"

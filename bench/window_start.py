#!/usr/bin/env python3
"""From exec to the first page on screen: starts `Scrivlet quick` RUNS times
on the display in $DISPLAY (run it on a virtual one:
tests/gui/with_xvfb.sh bench/window_start.py ...) and prints the median time
from the exec to the first paint of the demonstration's page 1. The program
prints that moment when SCRIVLET_TRACE_FIRST_PAINT is set. A fresh
registry records the sample pages as the installation's and
lvStartHelpCheck = 1 (no Tip of the Day); one run before the timed ones
warms the file cache.

Usage: bench/window_start.py [SCRIVLET] [SAMPLES] [RUNS]"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
program = sys.argv[1] if len(sys.argv) > 1 else "build/release/bin/Scrivlet"
samples = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "samples", "emf")
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
if "DISPLAY" not in os.environ:
    sys.exit("no display: run it as tests/gui/with_xvfb.sh " + " ".join(sys.argv))

painted = re.compile(r"first page painted at (\d+)\.(\d{9})")


def start_once(root):
    env = dict(os.environ, SCRIVLET_TRACE_FIRST_PAINT="1", SCRIVLET_REGISTRY=os.path.join(root, "registry"),
               HOME=os.path.join(root, "home"), XDG_CONFIG_HOME=os.path.join(root, "config"),
               XDG_DATA_HOME=os.path.join(root, "data"), XDG_CACHE_HOME=os.path.join(root, "cache"),
               SCRIVLET_OUTPUT=os.path.join(root, "out"))
    start = time.monotonic_ns()
    child = subprocess.Popen([program, "quick"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                             text=True)
    try:
        for line in child.stderr:
            found = painted.search(line)
            if found:
                return (int(found.group(1)) * 1_000_000_000 + int(found.group(2)) - start) / 1e6
        raise SystemExit(f"{program} ended (status {child.wait()}) before it painted a page")
    finally:
        child.terminate()
        try:
            child.wait(timeout=10)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()


with tempfile.TemporaryDirectory() as root:
    for folder in ("registry", "home", os.path.join("install", "emf")):
        os.makedirs(os.path.join(root, folder))
    for name in sorted(os.listdir(samples)):
        if name.startswith("page") and name.endswith(".emf"):
            shutil.copy(os.path.join(samples, name), os.path.join(root, "install", "emf"))
    install = os.path.join(root, "install").replace("\\", "\\\\")
    with open(os.path.join(root, "registry", "HKLM.reg"), "w") as hive:
        hive.write(f'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quillo\\Scrivlet]\n"InstallPath"="{install}"\n')
    with open(os.path.join(root, "registry", "HKCU.reg"), "w") as hive:
        hive.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillo\\Scrivlet]\n"lvStartHelpCheck"=dword:00000001\n')
    start_once(root)
    times = [start_once(root) for _ in range(runs)]

print("exec to first page painted, ms: " + " ".join(f"{t:.1f}" for t in times))
print(f"median of {runs}: {statistics.median(times):.1f} ms (target <= 500 ms)")

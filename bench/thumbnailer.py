#!/usr/bin/env python3
"""Median time per file of scrivlet-thumbnailer -s 256 (the whole process,
start to exit) over the corpus pages, each file run REPEAT times (the best kept), and the median processor time;
on a busy machine the wall time includes waiting for a processor.

Usage: bench/thumbnailer.py [THUMBNAILER] [CORPUS] [REPEAT]"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

thumbnailer = sys.argv[1] if len(sys.argv) > 1 else "build/release/bin/scrivlet-thumbnailer"
corpus = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", "..", "shared", "corpus")
repeat = int(sys.argv[3]) if len(sys.argv) > 3 else 3

pages = []
for folder in ("emf", "emf-noref", "spool/pages"):
    for root, _, names in os.walk(os.path.join(corpus, folder)):
        pages += [os.path.join(root, n) for n in sorted(names) if n.lower().endswith(".emf")]
if not pages:
    sys.exit(f"no pages under {corpus}")

per_file = []
cpu_per_file = []
with tempfile.TemporaryDirectory() as folder:
    out = os.path.join(folder, "thumb.png")
    for page in pages:
        times, cpu = [], []
        for _ in range(repeat):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            subprocess.run([thumbnailer, "-s", "256", page, out], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            times.append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
        per_file.append((min(times), page))
        cpu_per_file.append(min(cpu))
per_file.sort()
median = statistics.median(t for t, _ in per_file)
print(f"{len(per_file)} files, median {median * 1000:.1f} ms per file (best of {repeat}), "
      f"slowest {per_file[-1][0] * 1000:.1f} ms ({os.path.basename(per_file[-1][1])}); "
      f"processor time (user + system) median {statistics.median(cpu_per_file) * 1000:.1f} ms")

#!/usr/bin/env python3
"""Median and 90th percentile of the per-page playback times.

    build/release/bin/bench_playback --benchmark_format=json > playback.json
    bench/playback_summary.py playback.json
"""
import json
import sys


def main():
    data = json.load(open(sys.argv[1]))
    times = sorted(b["real_time"] for b in data["benchmarks"] if "error_occurred" not in b)
    if not times:
        print("no results")
        return
    def pct(p):
        return times[min(len(times) - 1, int(round(p / 100.0 * (len(times) - 1))))]
    print(f"pages={len(times)} median_ms={pct(50):.2f} p90_ms={pct(90):.2f} max_ms={times[-1]:.2f}")
    slow = sorted(data["benchmarks"], key=lambda b: -b.get("real_time", 0))[:5]
    for b in slow:
        print(f"  {b['name']}: {b.get('real_time', 0):.1f} ms")


if __name__ == "__main__":
    main()

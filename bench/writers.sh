#!/bin/sh
# The writers' benchmark, one benchmark a process so that each peak memory
# figure is its own. Usage: bench/writers.sh [build folder] (build/release).
set -e
build=${1:-build/release}
program="$build/bin/bench_writers"
[ -x "$program" ] || program="$build/bench/bench_writers"
for name in RenderOnly SaveJpgFiles PdfWithJpgInside HtmlGalleryJpg MultipageTif AnimatedGif; do
    "$program" --benchmark_filter="^BM_${name}(/|\$)" 2>/dev/null | grep "^BM_"
done

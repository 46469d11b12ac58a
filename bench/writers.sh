#!/bin/sh
# The writers' benchmark, one benchmark a process so that each peak memory
# figure is its own. Usage: bench/writers.sh [build folder] (build/release).
# Prints each benchmark's CPU time per page (user + system, all threads: a
# loaded machine slows the wall time, not this), wall time per page, peak
# memory, and what writing adds to rendering alone in CPU time. The gallery
# renders every page twice (the page and its thumbnail). The pages are drawn
# without antialiasing; SCRIVLET_BENCH_ANTIALIAS=3 draws them as the program
# does by default.
set -e
build=${1:-build/release}
program="$build/bin/bench_writers"
[ -x "$program" ] || program="$build/bench/bench_writers"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors," \
    "antialiasing ${SCRIVLET_BENCH_ANTIALIAS:-0}"
for name in RenderOnly SaveJpgFiles SaveJpgBaseline PdfWithJpgInside HtmlGalleryJpg \
    SaveFiles/2 SaveFiles/3 SaveFiles/4 SaveFiles/5 MultipageTif AnimatedGif; do
    "$program" --benchmark_filter="^BM_${name}(/|\$)" --benchmark_format=csv 2>/dev/null
done | awk -F, '
    /^name,/ { for (i = 1; i <= NF; ++i) { key = $i; gsub(/"/, "", key); column[key] = i }; next }
    /^"BM_/ {
        name = $1; gsub(/"|BM_|\/iterations:[0-9]+/, "", name)
        sub(/^SaveFiles\/2$/, "SaveGifFiles", name); sub(/^SaveFiles\/3$/, "SavePngFiles", name)
        sub(/^SaveFiles\/4$/, "SaveBmpFiles", name); sub(/^SaveFiles\/5$/, "SaveTifFiles", name)
        cpu = $column["cpu_ms_per_page"]; wall = $column["ms_per_page"]; rss = $column["peak_rss_mb"]
        if (name == "RenderOnly") render = cpu
        added = render > 0 && name != "RenderOnly" ? sprintf("%+5.0f %%", 100 * (cpu - render) / render) : ""
        printf "%-18s cpu %7.1f ms/page  wall %7.1f ms/page  peak %6.1f MB  %s\n", name, cpu, wall, rss, added
    }'

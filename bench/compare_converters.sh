#!/usr/bin/env bash
# The converter beside an open EMF converter, one process per file, on the
# same folder and in the same minutes: for each page, our converter at
# 96 dpi to PNG, then the pair `emf2svg-conv` (EMF to SVG) and
# `rsvg-convert` (SVG to PNG at 96 dpi, on white). Prints milliseconds per
# page (median and mean) and how many times faster we are; pages either side
# fails are counted apart. With perf installed, each side's CPU time (all
# threads, user and system) is measured too: unlike the wall time, it is not
# inflated by other work on the machine. The pair comes from Debian's
# emf2svg and librsvg2-bin packages and is used only to compare speed.
#   bench/compare_converters.sh [scrivlet-convert] [folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
convert=${1:-build/release/bin/scrivlet-convert}
folder=${2:-$here/../../shared/corpus/emf/libemf2svg}
[[ -x "$convert" ]] || { echo "no $convert (build first)" >&2; exit 1; }
for tool in emf2svg-conv rsvg-convert; do
    command -v "$tool" >/dev/null || { echo "no $tool (apt-get install emf2svg librsvg2-bin)" >&2; exit 1; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mapfile -t pages < <(find "$folder" -maxdepth 1 -iname '*.emf' | sort)
((${#pages[@]} > 0)) || { echo "no pages in $folder" >&2; exit 1; }

ours=() theirs=() ourCpu=() theirCpu=()
ourFailures=0 theirFailures=0
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) * 1000 }'; }
# Runs a command, under perf when it is there; its CPU milliseconds are
# added to $cpu.
cpu=0
counted() {
    if command -v perf >/dev/null; then
        local status=0
        perf stat -x, -e task-clock -o "$out/.stat" -- "$@" >/dev/null 2>&1 || status=$?
        cpu=$(awk -F, -v c="$cpu" '/task-clock/ { c += $1 } END { printf "%.3f", c }' "$out/.stat")
        return "$status"
    fi
    "$@" >/dev/null 2>&1
}
for page in "${pages[@]}"; do
    name=$(basename "${page%.*}")
    cpu=0
    start=$EPOCHREALTIME
    counted "$convert" --dpi 96 -o "$out/ours" "$page" || ourFailures=$((ourFailures + 1))
    end=$EPOCHREALTIME
    ours+=("$(ms "$start" "$end")") ourCpu+=("$cpu")
    cpu=0
    start=$EPOCHREALTIME
    if ! { counted emf2svg-conv -i "$page" -o "$out/$name.svg" &&
        counted rsvg-convert -b white -o "$out/$name.png" "$out/$name.svg"; }; then
        theirFailures=$((theirFailures + 1))
    fi
    end=$EPOCHREALTIME
    theirs+=("$(ms "$start" "$end")") theirCpu+=("$cpu")
    rm -f "$out/$name.svg" "$out/$name.png"
done

# "MEDIAN MEAN" of the numbers on standard input.
stats() {
    sort -n | awk '{ v[NR] = $1; s += $1 } END {
        printf "%.1f %.1f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, s / NR }'
}
read -r ourMedian ourMean <<<"$(printf '%s\n' "${ours[@]}" | stats)"
read -r theirMedian theirMean <<<"$(printf '%s\n' "${theirs[@]}" | stats)"
echo "${#pages[@]} pages of $folder, one process (pair) per file; load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s median %7.1f ms/page  mean %7.1f ms/page  (%d failed)\n' \
    "scrivlet-convert --dpi 96" "$ourMedian" "$ourMean" "$ourFailures"
printf '%-44s median %7.1f ms/page  mean %7.1f ms/page  (%d failed)\n' \
    "emf2svg-conv + rsvg-convert" "$theirMedian" "$theirMean" "$theirFailures"
awk -v a="$theirMedian" -v b="$ourMedian" -v c="$theirMean" -v d="$ourMean" 'BEGIN {
    printf "we are %.1fx faster by the median, %.1fx by the mean   target >= 10x\n", a / b, c / d }'
if command -v perf >/dev/null; then
    read -r ourMedian ourMean <<<"$(printf '%s\n' "${ourCpu[@]}" | stats)"
    read -r theirMedian theirMean <<<"$(printf '%s\n' "${theirCpu[@]}" | stats)"
    printf '%-44s median %7.1f ms/page  mean %7.1f ms/page\n' "CPU time, scrivlet-convert" "$ourMedian" "$ourMean"
    printf '%-44s median %7.1f ms/page  mean %7.1f ms/page\n' "CPU time, emf2svg-conv + rsvg-convert" \
        "$theirMedian" "$theirMean"
    awk -v a="$theirMedian" -v b="$ourMedian" -v c="$theirMean" -v d="$ourMean" 'BEGIN {
        printf "in CPU time we are %.1fx ahead by the median, %.1fx by the mean\n", a / b, c / d }'
fi

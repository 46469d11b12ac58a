#!/usr/bin/env bash
# The converter over a folder of pages at 96 dpi, as batch users run it:
#   - every page in one process (wall time, peak memory);
#   - each of the folder's two largest pages in a process of its own (wall
#     time and that page's own peak memory), once per format;
#   - one process a file, the median wall time over every page, beside the
#     start of the same program that converts nothing (--help).
# Targets are printed beside each figure. The load average is printed with
# the figures: other work on the machine slows every wall time.
#   bench/convert_batch.sh [scrivlet-convert] [folder] [extra options...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
convert=${1:-build/release/bin/scrivlet-convert}
folder=${2:-$here/../../shared/corpus/emf/libemf2svg}
shift 2 || shift $# || true
[[ -x "$convert" ]] || { echo "no $convert (build first)" >&2; exit 1; }
[[ -d "$folder" ]] || { echo "no folder $folder" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mapfile -t pages < <(find "$folder" -maxdepth 1 -iname '*.emf' | sort)
((${#pages[@]} > 0)) || { echo "no pages in $folder" >&2; exit 1; }

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "$(nproc) processors; options: --dpi 96 $*"

# Wall seconds, peak resident KiB and CPU seconds (user + system, all
# threads: what other work on the machine does not inflate) of one run, as
# "SECONDS KIB CPU"; the run's standard output is kept in $out/.out and its
# errors in $out/.err.
timed() {
    local status=0
    /usr/bin/time -f '%e %M %U %S' -o "$out/.time" "$@" >"$out/.out" 2>"$out/.err" || status=$?
    tail -n 1 "$out/.time" | awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }'
    return "$status"
}

result=$(timed "$convert" --dpi 96 -o "$out/all" "$@" "${pages[@]}") ||
    echo "some pages failed: $(grep -c . "$out/.err") line(s) on standard error" >&2
read -r seconds kib cpu <<<"$result"
printf '%-40s %6.2f s (cpu %5.2f s)  peak %5d MB   target <= 1.5 s           (load %s)\n' \
    "all ${#pages[@]} pages, one process" "$seconds" "$cpu" $((kib / 1024)) "$(load)"
# The two pages of the most pixels, from the run's "PAGE -> FILE (WxH)" lines.
mapfile -t largest < <(sed -n 's/^\(.*\) -> .* (\([0-9]*\)x\([0-9]*\))$/\2 \3 \1/p' "$out/.out" |
    awk '{ area = $1 * $2; $1 = $2 = ""; sub(/^  /, ""); print area, $0 }' | sort -rn | head -n 2 | cut -d' ' -f2-)

for format in png jpg tif bmp gif; do
    for page in "${largest[@]}"; do
        name=$(basename "$page")
        if result=$(timed "$convert" --dpi 96 --format "$format" -o "$out/large" "$@" "$page"); then
            read -r seconds kib cpu <<<"$result"
            printf '%-40s %6.2f s (cpu %5.2f s)  peak %5d MB   target <= 0.5 s, <= 200 MB (load %s)\n' \
                "$name as $format" "$seconds" "$cpu" $((kib / 1024)) "$(load)"
        else
            printf '%-40s failed: %s\n' "$name as $format" "$(tail -n 1 "$out/.err")"
        fi
        rm -rf "$out/large"
    done
done

# Milliseconds of each run, measured by the shell itself (no process between).
median_ms() {
    local -a times=()
    local start end
    for page in "${pages[@]}"; do
        start=$EPOCHREALTIME
        "$@" "$page" >/dev/null 2>&1 || true
        end=$EPOCHREALTIME
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) * 1000 }')")
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END {
        printf "%.1f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
printf '%-40s %6s ms                          target <= 8 ms            (load %s)\n' \
    "one process a file, median of ${#pages[@]}" \
    "$(median_ms "$convert" --dpi 96 -o "$out/each" "$@")" "$(load)"
printf '%-40s %6s ms                          (process start alone)     (load %s)\n' \
    "the same program with --help, median" "$(median_ms "$convert" --help)" "$(load)"

# The page of the median file size, many runs under hyperfine (no shell
# between), when it is installed: a steadier figure than one run a page.
# Each run writes a new file, as the runs above do.
if command -v hyperfine >/dev/null; then
    middle=$(ls -S "${pages[@]}" | sed -n "$(((${#pages[@]} + 1) / 2))p")
    hyperfine -N --warmup 5 --runs 60 --prepare "rm -rf $out/each" --export-json "$out/.json" \
        "$convert --dpi 96 -o $out/each $* $middle" >/dev/null 2>&1 &&
        printf '%-40s %6s ms                          target <= 8 ms            (load %s)\n' \
            "$(basename "$middle"), hyperfine median" \
            "$(python3 -c 'import json,sys; print("%.1f" % (json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))' "$out/.json")" \
            "$(load)"
fi

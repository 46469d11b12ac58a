#!/usr/bin/env bash
# Converts the two largest corpus pages (12,048 x 15,591 pixels at 96 dpi) and
# reports the time and the peak resident memory of each run: the page is
# written strip by strip, so the peak stays far below the whole page's
# 16-bit image (12,048 x 15,591 x 8 bytes = 1.5 GB).
#   bench/convert_large_page.sh [build/release/bin/scrivlet-convert] [extra options...]
set -euo pipefail
convert=${1:-build/release/bin/scrivlet-convert}
shift || true
corpus=$(dirname "$0")/../../shared/corpus/emf/libemf2svg
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for page in test-156 test-158; do
  [[ -f "$corpus/$page.emf" ]] || { echo "no $corpus/$page.emf" >&2; exit 1; }
  /usr/bin/time -f "$page: %e s, peak RSS %M KiB" "$convert" -o "$out" "$@" "$corpus/$page.emf" >/dev/null
done
ls -l "$out"

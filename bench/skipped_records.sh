#!/usr/bin/env bash
# Lists the record types that playback still skips over the shared corpus,
# with the number of files that use each.
#   bench/skipped_records.sh [build/release/bin/scrivlet-convert]
set -euo pipefail
convert=${1:-build/release/bin/scrivlet-convert}
corpus=$(dirname "$0")/../../shared/corpus
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for f in "$corpus"/emf/*/*.emf; do
  "$convert" --report -o "$out" "$f" 2>/dev/null | grep -oE 'skipped [A-Z_0-9]+' | sort -u || true
done | sort | uniq -c | sort -rn

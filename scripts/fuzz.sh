#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds (default 60), starting from its saved inputs. A crash leaves its
# input in tests/fuzz/crashers/<target>/; copy it into the target's corpus
# folder so that every build replays it as a regression test.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-60}

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DENABLE_FUZZ=ON -DENABLE_GUI=OFF -DENABLE_BENCH=OFF >/dev/null
targets=(reg_parser macro_ini metafile spool)
cmake --build build/fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Real pages seed the metafile target when the shared corpus is there.
extra_metafile=()
[[ -d ../shared/corpus/emf ]] && extra_metafile=(../shared/corpus/emf/libemf2svg ../shared/corpus/emf-corrupted)

status=0
for target in "${targets[@]}"; do
  extra=()
  max_len=8192
  if [[ $target == metafile ]]; then
    # Room for the saved hostile pages (regions, pens, pictures) to be mutated whole.
    extra=("${extra_metafile[@]}")
    max_len=262144
  fi
  work=$(mktemp -d)
  crashers=tests/fuzz/crashers/$target
  mkdir -p "$crashers"
  echo "fuzz_$target: ${seconds}s"
  if ! LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp build/fuzz/bin/fuzz_$target -max_total_time="$seconds" -max_len=$max_len -timeout=10 -rss_limit_mb=4096 \
       -artifact_prefix="$crashers/" "$work" "tests/fuzz/corpus/$target" "${extra[@]}" >"$work.log" 2>&1; then
    tail -30 "$work.log"
    status=1
  else
    grep -E '^Done|stat::number_of_executed_units' "$work.log" | tail -1 || true
  fi
  rmdir "$crashers" 2>/dev/null || true
  rm -rf "$work" "$work.log"
done
exit $status

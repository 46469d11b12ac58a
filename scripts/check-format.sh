#!/usr/bin/env bash
# Fails when a tracked C++ file differs from .clang-format; lists the files.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if ((${#bad[@]} > 0)); then
  echo "format: ${#bad[@]} file(s) differ from .clang-format (run clang-format -i):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files match .clang-format"

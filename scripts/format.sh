#!/usr/bin/env bash
# clang-format over every C++ file git tracks: rewrites them, or with --check only names those
# that differ and fails.
#   scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/tzsndmsg-format.log; then
    grep -o '^[^:]*\.\(cpp\|h\)' /tmp/tzsndmsg-format.log | sort -u | sed 's/^/not formatted: /'
    echo "run scripts/format.sh to format them" >&2
    exit 1
  fi
  echo "clang-format: ${#files[@]} files formatted"
else
  clang-format -i "${files[@]}"
fi

#!/usr/bin/env bash
# clang-tidy over the library and the program, with the checks of .clang-tidy; fails on any
# warning.
#   scripts/lint.sh [BUILD_DIR]   (default build/test, as test.sh leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/test}"
[ -f "$build/compile_commands.json" ] || { echo "build first: ./test.sh" >&2; exit 2; }
mapfile -t files < <(git ls-files 'src/*.cpp' 'app/*.cpp')
log=$(mktemp /tmp/tzsndmsg-tidy.XXXXXX)
trap 'rm -f "$log"' EXIT
status=0
run-clang-tidy -quiet -p "$build" "${files[@]}" >"$log" 2>&1 || status=1
if grep -E "warning:|error:" "$log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u | grep .; then
  status=1
fi
[ "$status" -eq 0 ] && echo "clang-tidy: ${#files[@]} files, no warnings"
exit $status

#!/usr/bin/env bash
# clang-tidy over the library and the program, and clang-format's view of changed files.
#   scripts/lint.sh [BUILD_DIR]   (default build/test, as test.sh leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/test}"
[ -f "$build/compile_commands.json" ] || { echo "build first: ./test.sh" >&2; exit 2; }
files=$(git ls-files 'src/*.cpp' 'app/*.cpp')
status=0
run-clang-tidy -quiet -p "$build" $files >/tmp/tzsndmsg-tidy.log 2>&1 || status=1
grep -E "warning:|error:" /tmp/tzsndmsg-tidy.log | sort -u || true
changed=$(git diff --name-only HEAD -- '*.cpp' '*.h' || true)
if [ -n "$changed" ]; then
  clang-format --dry-run $changed 2>&1 | grep -c "warning:" | xargs echo "clang-format: lines to reformat in changed files:"
fi
exit $status

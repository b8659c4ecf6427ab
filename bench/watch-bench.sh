#!/usr/bin/env bash
# The live office under load: 1, 10 and 50 workstations running `tzsndmsg watch` on one
# PostgreSQL server and on one SQLite file, one more workstation sending; prints the latencies,
# the statements per hour idle and per message, the memory of an idle watcher, and the ratios;
# then 500 watchers as threads of one program on PostgreSQL, messages to a few of them: the
# latency and the statements of the watchers not addressed.
#   bench/watch-bench.sh [--counts 1,10,50] [--messages N] [--idle S] [--only postgresql,sqlite,sqlite-poll]
#                        [--threads N (default 500; 0: none)] [--json FILE]
set -euo pipefail
cd "$(dirname "$0")/.."

build="${TZSNDMSG_BENCH_BUILD:-build/bench}" # its own Release build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTZSNDMSG_BUILD_BENCH=ON \
      -DTZSNDMSG_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target tzsndmsg_watchbench tzsndmsg_app

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
work=$(mktemp -d /tmp/tzsndmsg-watchbench.XXXXXX)
pgbin=/usr/lib/postgresql/15/bin
pgdir=$(mktemp -d /tmp/tzsndmsg-watchpg.XXXXXX)
chmod 755 "$pgdir"
chown postgres:postgres "$pgdir" 2>/dev/null || true
port=$(( 57000 + RANDOM % 1000 ))
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
cleanup() {
  as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -m fast stop >/dev/null 2>&1 || true
  rm -rf "$pgdir" "$work"
}
trap cleanup EXIT
as_pg "$pgbin/initdb" -D "$pgdir/data" -A trust -U postgres --no-sync >/dev/null
# Each watcher holds one connection (its statements and its notices).
as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/log" -w \
  -o "-p $port -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=1200" start >/dev/null

threads=500
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --threads) threads="$2"; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
[ "$threads" = 0 ] || args+=(--threads "$threads")
"$build/bench/tzsndmsg_watchbench" --program "$build/app/tzsndmsg" \
  --pg "postgresql://postgres@127.0.0.1:$port/postgres" --work "$work" "${args[@]}"

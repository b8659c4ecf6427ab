#!/usr/bin/env bash
# Generates a deterministic office store and times the product's work against the bare
# database work, printing a table and writing JSON.
#   ./bench.sh [--scale S] [--background F] [--db URL | --pg] [--repetitions N] [--as-written] [--only NAMES]
#   --scale S      shrink the store's messages and events (default 1: 100,000 messages)
#   --background F  add F times the messages among the others, none to or from the typical
#                  employee (to show that the inbox open does not grow with the store)
#   --json FILE    where the results go (default: bench-<date>.json in the store cache folder)
#   --db URL       an empty or earlier generated database (sqlite:///abs/file.db, postgresql://...)
#   --pg           a throwaway PostgreSQL server, started and stopped here
#   --as-written   run the views' statements as written, not in the form the window runs
#   --signed-in    (PostgreSQL) sign the office in and time the inbox open, a whole-office send,
#                  the arrival statement and the search as the typical person's own role against
#                  the plain connection (target within 1.2x); the office is opened again after
# SQLite stores are cached by scale under ${TMPDIR:-/tmp}/tzsndmsg-bench.
#   ./bench.sh --concurrency [--pg] [--processes 5,10,20,40] [--addressees 100,1000,5000]
#              [--busy-timeout MS]
#                  workstations (processes of the host program) sending to M people at once on
#                  one office database: failures and times per processes x addressees
#   ./bench.sh --staff [--pg | --db postgresql://...]
#                  a staff list of 2,000 people imported into a fresh office (each run its own
#                  SQLite file, or its own schema on the PostgreSQL server), and exported
#   ./bench.sh --group [--offices 20] [--per-office 50] [--messages N]
#                  a group of offices on one PostgreSQL server of its own, one schema each, every
#                  workstation watching (threads of one program): the server's connections and
#                  memory, the arrival latency, the statements of the watchers not addressed
set -euo pipefail
here="$PWD"
cd "$(dirname "$0")"

scale=1; background=0; url=""; pg=0; json=""; args=(); concurrency=0; cargs=(); staff=0
group=0; offices=20; perOffice=50; gargs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --concurrency) concurrency=1; shift ;;
    --staff) staff=1; shift ;;
    --group) group=1; shift ;;
    --offices) offices="$2"; shift 2 ;;
    --per-office) perOffice="$2"; shift 2 ;;
    --messages) gargs+=("$1" "$2"); shift 2 ;;
    --processes|--addressees|--busy-timeout) cargs+=("$1" "$2"); shift 2 ;;
    --scale) scale="$2"; shift 2 ;;
    --background) background="$2"; shift 2 ;;
    --json) json="$2"; [[ "$json" = /* ]] || json="$here/$json"; shift 2 ;;
    --db) url="$2"; shift 2 ;;
    --pg) pg=1; shift ;;
    --repetitions|--only) args+=("$1" "$2"); shift 2 ;;
    --as-written|--signed-in) args+=("$1"); shift ;;
    *) echo "usage: $0 [--scale S] [--background F] [--db URL | --pg] [--repetitions N] [--json FILE] [--only NAMES]" >&2; exit 2 ;;
  esac
done

build="${TZSNDMSG_BENCH_BUILD:-build/bench}" # its own Release build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTZSNDMSG_BUILD_BENCH=ON \
      -DTZSNDMSG_BUILD_TESTS=OFF >/dev/null
if [ "$group" = 1 ]; then
  cmake --build "$build" -j 2 --target tzsndmsg_watchbench tzsndmsg_app
elif [ "$concurrency" = 1 ]; then
  cmake --build "$build" -j 2 --target tzsndmsg_concurrency tzsndmsg_app
elif [ "$staff" = 1 ]; then
  cmake --build "$build" -j 2 --target tzsndmsg_staffbench
else
  cmake --build "$build" -j 2 --target tzsndmsg_bench tzsndmsg_storegen
fi

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
cache="${TMPDIR:-/tmp}/tzsndmsg-bench/scale-$scale"
[ "$background" = 0 ] || cache="$cache-background-$background"
mkdir -p "$cache"

if [ "$group" = 1 ]; then
  # A server of its own: the bench measures the server's memory, so nothing else may share it.
  # A workstation holds one connection; each office's sender one more.
  pgbin=/usr/lib/postgresql/15/bin
  pgdir=$(mktemp -d /tmp/tzsndmsg-grouppg.XXXXXX)
  chmod 755 "$pgdir"
  chown postgres:postgres "$pgdir" 2>/dev/null || true
  port=$(( 58000 + RANDOM % 1000 ))
  as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
  work=$(mktemp -d /tmp/tzsndmsg-group.XXXXXX)
  stop_group() { as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -m fast stop >/dev/null 2>&1 || true; rm -rf "$pgdir" "$work"; }
  trap stop_group EXIT
  as_pg "$pgbin/initdb" -D "$pgdir/data" -A trust -U postgres --no-sync >/dev/null
  maxconn=$(( offices * perOffice + offices + 100 ))
  as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/log" -w \
    -o "-p $port -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=$maxconn" start >/dev/null
  [ -n "$json" ] || json="${TMPDIR:-/tmp}/tzsndmsg-bench/group-$(date +%Y%m%d-%H%M%S).json"
  mkdir -p "$(dirname "$json")"
  "$build/bench/tzsndmsg_watchbench" --program "$build/app/tzsndmsg" \
    --pg "postgresql://postgres@127.0.0.1:$port/postgres" --work "$work" \
    --group "$offices,$perOffice" --json "$json" "${gargs[@]}"
  echo "JSON written to $json"
  exit 0
fi

if [ "$pg" = 1 ] && [ -z "$url" ]; then
  pgbin=/usr/lib/postgresql/15/bin
  pgdir=$(mktemp -d /tmp/tzsndmsg-benchpg.XXXXXX)
  chmod 755 "$pgdir"
  chown postgres:postgres "$pgdir" 2>/dev/null || true
  port=$(( 56000 + RANDOM % 1000 ))
  as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
  stop_pg() { as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -m fast stop >/dev/null 2>&1 || true; rm -rf "$pgdir"; }
  trap stop_pg EXIT
  as_pg "$pgbin/initdb" -D "$pgdir/data" -A trust -U postgres --no-sync >/dev/null
  # Default settings but fsync: the store is thrown away after the run.
  as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/log" -w \
    -o "-p $port -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
  url="postgresql://postgres@127.0.0.1:$port/postgres"
  data="$pgdir/datafolder"
elif [ "$concurrency" = 1 ] || [ "$staff" = 1 ]; then
  :
elif [ -z "$url" ]; then
  url="sqlite://$cache/office.db"
  data="$cache/data"
else
  data="$cache/data-$(echo "$url" | md5sum | cut -c1-8)"
fi

if [ "$concurrency" = 1 ]; then
  [ -n "$json" ] || json="${TMPDIR:-/tmp}/tzsndmsg-bench/concurrency-$(date +%Y%m%d-%H%M%S).json"
  mkdir -p "$(dirname "$json")"
  "$build/bench/tzsndmsg_concurrency" ${url:+--pg "$url"} --json "$json" "${cargs[@]}"
  echo "JSON written to $json"
  exit 0
fi

if [ "$staff" = 1 ]; then
  [ -n "$json" ] || json="${TMPDIR:-/tmp}/tzsndmsg-bench/staff-$(date +%Y%m%d-%H%M%S).json"
  mkdir -p "$(dirname "$json")"
  dbargs=()
  [[ "$url" != postgresql://* ]] || dbargs=(--db "$url")
  "$build/bench/tzsndmsg_staffbench" "${dbargs[@]}" --benchmark_out="$json" --benchmark_out_format=json
  echo "JSON written to $json"
  exit 0
fi

if ! "$build/bench/tzsndmsg_bench" --db "$url" --data "$data" --only none >/dev/null 2>&1; then
  echo "== Generating the office (scale $scale, background $background) into $url"
  "$build/bench/tzsndmsg_storegen" --db "$url" --data "$data" --scale "$scale" --background "$background"
fi

[ -n "$json" ] || json="$cache/bench-$(date +%Y%m%d-%H%M%S).json"
"$build/bench/tzsndmsg_bench" --db "$url" --data "$data" --json "$json" "${args[@]}"
echo "JSON written to $json"

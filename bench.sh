#!/usr/bin/env bash
# Generates a deterministic office store and times the product's work against the bare
# database work, printing a table and writing JSON.
#   ./bench.sh [--scale S] [--db URL | --pg] [--repetitions N] [--proposed] [--only NAMES]
#   --scale S      shrink the store's messages and events (default 1: 100,000 messages)
#   --db URL       an empty or earlier generated database (sqlite:///abs/file.db, postgresql://...)
#   --pg           a throwaway PostgreSQL server, started and stopped here
#   --proposed     measure with the proposed SQL adapter rewrite and indexes
# SQLite stores are cached by scale under ${TMPDIR:-/tmp}/tzsndmsg-bench.
set -euo pipefail
cd "$(dirname "$0")"

scale=1; url=""; pg=0; args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --scale) scale="$2"; shift 2 ;;
    --db) url="$2"; shift 2 ;;
    --pg) pg=1; shift ;;
    --repetitions|--only) args+=("$1" "$2"); shift 2 ;;
    --proposed) args+=("$1"); shift ;;
    *) echo "usage: $0 [--scale S] [--db URL | --pg] [--repetitions N] [--proposed] [--only NAMES]" >&2; exit 2 ;;
  esac
done

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTZSNDMSG_BUILD_BENCH=ON \
      -DTZSNDMSG_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target tzsndmsg_bench tzsndmsg_storegen

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
cache="${TMPDIR:-/tmp}/tzsndmsg-bench/scale-$scale"
mkdir -p "$cache"

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
elif [ -z "$url" ]; then
  url="sqlite://$cache/office.db"
  data="$cache/data"
else
  data="$cache/data-$(echo "$url" | md5sum | cut -c1-8)"
fi

if ! "$build/bench/tzsndmsg_bench" --db "$url" --data "$data" --only none >/dev/null 2>&1; then
  echo "== Generating the office (scale $scale) into $url"
  "$build/bench/tzsndmsg_storegen" --db "$url" --data "$data" --scale "$scale"
fi

json="bench-$(date +%Y%m%d-%H%M%S).json"
"$build/bench/tzsndmsg_bench" --db "$url" --data "$data" --json "$json" "${args[@]}"
echo "JSON written to $json"

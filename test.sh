#!/usr/bin/env bash
# Builds and runs the whole suite on SQLite, then again on a throwaway PostgreSQL server (the
# reliability suite, CTest label "reliability", is part of both runs), then the fuzz driver
# built with the sanitizers for a fixed number of iterations.
#   ./test.sh              the suite on both databases
#   ./test.sh --sanitize   the same, built with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"

sanitize=OFF
build=build/test
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=ON; build=build/sanitize ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
  esac
done

scripts/deps.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTZSNDMSG_SANITIZE="$sanitize" \
      -DTZSNDMSG_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
if [ "$sanitize" = ON ]; then
  export ASAN_OPTIONS=detect_leaks=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

status=0
echo "== Suite on SQLite"
(cd "$build" && ctest --output-on-failure -j 2 --timeout 300) || status=1

echo "== Suite on PostgreSQL"
pgbin=/usr/lib/postgresql/15/bin
pgdir=$(mktemp -d /tmp/tzsndmsg-pg.XXXXXX)
chmod 755 "$pgdir"
chown postgres:postgres "$pgdir" 2>/dev/null || true
port=$(( 55000 + RANDOM % 1000 ))
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
stop_pg() {
  as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -m fast stop >/dev/null 2>&1 || true
  rm -rf "$pgdir"
}
trap stop_pg EXIT
as_pg "$pgbin/initdb" -D "$pgdir/data" -A trust -U postgres --no-sync >/dev/null
as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/log" -w \
  -o "-p $port -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c max_connections=200" \
  start >/dev/null
export TZSNDMSG_TEST_PG="postgresql://postgres@127.0.0.1:$port/postgres"
(cd "$build" && ctest --output-on-failure -j 2 --timeout 300) || status=1

echo "== Fuzz driver built with the sanitizers (SQL adapter, quoting, date and number readers)"
fuzz=build/fuzz
[ "$sanitize" = ON ] && fuzz="$build"
if cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTZSNDMSG_SANITIZE=ON >/dev/null &&
   cmake --build "$fuzz" -j "$(nproc)" --target tzsndmsg_fuzz >/dev/null &&
   ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$fuzz/tests/fuzz/tzsndmsg_fuzz" --iterations 50000 --seed 1; then
  :
else
  echo "fuzz driver: FAILED"; status=1
fi

echo "== Installed package and the example hosts that link it"
prefix=$(mktemp -d /tmp/tzsndmsg-install.XXXXXX)
if cmake --install "$build" --prefix "$prefix" >/dev/null; then
  # The program runs from the prefix by itself, and from wherever the prefix is moved.
  moved="$prefix/moved"
  mkdir "$moved" && cp -a "$prefix/bin" "$prefix/lib" "$moved/"
  for root in "$prefix" "$moved"; do
    if env -u LD_LIBRARY_PATH "$root/bin/tzsndmsg" --version >"$prefix/run.log" 2>&1; then
      echo "installed program: runs from $root: ok"
    else
      cat "$prefix/run.log"; echo "installed program: does not run from $root: FAILED"; status=1
    fi
  done
  rm -rf "$moved"
  # Hosts include <tzsndmsg/...>: with the package's flags (pkg-config's and the CMake package's)
  # a header name of its own, such as <Version.h>, is not one of ours.
  generic="$prefix/generic"
  mkdir -p "$generic"
  printf '#include <tzsndmsg/Version.h>\n#include <Version.h>\n' > "$generic/generic.cpp"
  cat > "$generic/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(generic_names LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(tzsndmsg REQUIRED)
add_library(generic OBJECT generic.cpp)
target_link_libraries(generic PRIVATE tzsndmsg::tzsndmsg)
CMAKE
  # shellcheck disable=SC2046
  g++ -std=c++20 -fPIC -fsyntax-only $(PKG_CONFIG_PATH="$(dirname "$(find "$prefix" -name tzsndmsg.pc | head -n 1)")" \
      pkg-config --cflags tzsndmsg) "$generic/generic.cpp" >"$generic/pc.log" 2>&1 || true
  cmake -S "$generic" -B "$generic/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1 &&
    cmake --build "$generic/build" >"$generic/cmake.log" 2>&1 || true
  if grep -q "error: Version.h: No such file" "$generic/pc.log" && grep -q "error: Version.h: No such file" "$generic/cmake.log"; then
    echo "installed headers: <Version.h> is not ours with pkg-config's or the CMake package's flags: ok"
  else
    cat "$generic/pc.log" "$generic/cmake.log" 2>/dev/null
    echo "installed headers: a generic name such as <Version.h> finds ours: FAILED"; status=1
  fi
  for host in examples/*/; do
    name=$(basename "$host")
    # Each example says in its own CMakeLists.txt how it runs offscreen (its ctest).
    if cmake -S "$host" -B "$prefix/build-$name" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null &&
       cmake --build "$prefix/build-$name" >/dev/null &&
       ctest --test-dir "$prefix/build-$name" --output-on-failure --timeout 120 >"$prefix/$name.log" 2>&1; then
      echo "example $name: built with find_package(tzsndmsg) and ran offscreen: ok"
    else
      cat "$prefix/$name.log" 2>/dev/null || true
      echo "example $name: FAILED"; status=1
    fi
  done
else
  echo "cmake --install: FAILED"; status=1
fi
rm -rf "$prefix"

echo "== The Debian package"
scripts/package-check.sh || status=1

if [ $status -ne 0 ]; then
  echo "FAILED"
else
  echo "All tests passed on SQLite and PostgreSQL."
fi
exit $status

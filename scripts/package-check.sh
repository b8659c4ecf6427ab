#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a throwaway root and uses it from there as a
# workstation and a host's build would: the program's version, a new demo office and its inbox,
# the example hosts built against the package's CMake files, a pkg-config build; then lintian.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(./package.sh | tail -n 1)
echo "built $(basename "$deb") ($(du -h "$deb" | cut -f1))"
root=$(mktemp -d /tmp/tzsndmsg-deb.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
libdir=$(dirname "$(find "$root/usr/lib" -name 'libtzsndmsg.so.1' | head -n 1)")
export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$root}"
export XDG_CONFIG_HOME="$root/config"
export XDG_STATE_HOME="$root/state"
export TZSNDMSG_SYSTEM_CONFIG="$root/etc-tzsndmsg.conf"
export TZSNDMSG_HOME="$root/office"
program="$root/usr/bin/tzsndmsg"

fail() { echo "package check: $*" >&2; exit 1; }
check() { echo "  $*"; }

"$program" --version | grep -qx "tzsndmsg $(sed -n 's/^project(tzsndmsg VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ||
  fail "tzsndmsg --version does not print the project's version"
check "tzsndmsg --version: $("$program" --version)"
"$program" init --demo >/dev/null || fail "tzsndmsg init --demo failed"
check "tzsndmsg init --demo: ok"
# Read whole before it is searched: grep -q leaving early would end the program with SIGPIPE.
inbox=$("$program" inbox --login ANNA) || fail "tzsndmsg inbox failed"
grep -q "Inbox" <<<"$inbox" || fail "tzsndmsg inbox printed no inbox"
check "tzsndmsg inbox: $(head -n 1 <<<"$inbox")"
for f in usr/share/man/man1/tzsndmsg.1.gz usr/share/applications/tzsndmsg-messages.desktop \
         usr/share/applications/tzsndmsg-events.desktop usr/share/applications/tzsndmsg-holidays.desktop \
         usr/share/tzsndmsg/help/index.html usr/share/icons/hicolor/scalable/apps/tzsndmsg.svg \
         usr/include/tzsndmsg/tzSndMsgCls.h usr/include/tzsndmsg/Version.h \
         usr/include/tzsndmsg/OfficeWatcher.h etc/xdg/autostart/tzsndmsg-tray.desktop; do
  [ -f "$root/$f" ] || fail "the package lacks /$f"
done
find "$root/usr/lib" -name tzsndmsg.pc | grep -q . || fail "the package lacks tzsndmsg.pc"
check "files: manual, desktop entries, help, icon, headers, pkg-config: ok"
dpkg-deb -e "$deb" "$root/control"
grep -qx /etc/xdg/autostart/tzsndmsg-tray.desktop "$root/control/conffiles" ||
  fail "the tray's autostart entry is not a conffile"
grep -qx "Exec=tzsndmsg tray --autostart" "$root/etc/xdg/autostart/tzsndmsg-tray.desktop" ||
  fail "the autostart entry does not start the tray"
# A session without the program (removed, not yet installed) skips the entry quietly.
grep -qx "TryExec=tzsndmsg" "$root/etc/xdg/autostart/tzsndmsg-tray.desktop" ||
  fail "the autostart entry has no TryExec"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/etc/xdg/autostart/tzsndmsg-tray.desktop" || fail "the autostart entry is not valid"
fi
check "tray autostart: /etc/xdg/autostart/tzsndmsg-tray.desktop, a conffile"
# An install under another prefix writes nothing outside it.
before=$(ls -l /etc/xdg/autostart/tzsndmsg-tray.desktop 2>/dev/null || true)
cmake --install build/package --prefix "$root/prefix" >/dev/null
[ -f "$root/prefix/etc/xdg/autostart/tzsndmsg-tray.desktop" ] ||
  fail "cmake --install --prefix DIR did not put the autostart entry under DIR"
[ "$(ls -l /etc/xdg/autostart/tzsndmsg-tray.desktop 2>/dev/null || true)" = "$before" ] ||
  fail "cmake --install --prefix DIR wrote /etc/xdg/autostart"
check "cmake --install --prefix DIR: the autostart entry stays under DIR"
"$program" watch --once --login ANNA >/dev/null || fail "tzsndmsg watch --once failed"
check "tzsndmsg watch --once: ok"

for host in examples/*/; do
  name=$(basename "$host")
  cmake -S "$host" -B "$root/build-$name" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null &&
    cmake --build "$root/build-$name" >/dev/null || fail "example $name does not build against the package"
  # Each example says in its own CMakeLists.txt how it runs offscreen (its ctest).
  ctest --test-dir "$root/build-$name" --output-on-failure --timeout 120 >"$root/$name.log" 2>&1 ||
    { cat "$root/$name.log" >&2; fail "example $name does not run from the package"; }
  check "example $name: built with find_package(tzsndmsg) from the package and ran offscreen"
done
pcdir=$(dirname "$(find "$root/usr/lib" -name tzsndmsg.pc | head -n 1)")
# shellcheck disable=SC2046
set -- $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags tzsndmsg)
headers=0
while IFS= read -r header; do
  printf '#include <%s>\n' "$header" > "$root/alone.cpp"
  g++ -std=c++20 -fPIC -fsyntax-only "$@" "$root/alone.cpp" 2>"$root/alone.log" ||
    { cat "$root/alone.log" >&2; fail "<$header> does not compile on its own"; }
  headers=$((headers + 1))
done < <(cd "$root/usr/include" && find tzsndmsg -name '*.h' | sort)
[ "$headers" -gt 0 ] || fail "the package holds no headers"
check "each of the $headers installed headers compiles on its own with pkg-config's flags"
cat > "$root/version.cpp" <<'CPP'
#include <tzsndmsg/Version.h>
#include <cstdio>
int main() { std::printf("%s\n", qPrintable(tzsndmsg::libraryVersion())); }
CPP
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC "$root/version.cpp" -o "$root/version" \
    $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs tzsndmsg) || fail "pkg-config build failed"
"$root/version" >/dev/null || fail "the pkg-config build does not run"
check "pkg-config --cflags --libs tzsndmsg: built and ran"

if command -v lintian >/dev/null; then
  if lintian --fail-on error "$deb" > "$root/lintian.txt" 2>&1; then
    check "lintian: no errors ($(grep -c '^W:' "$root/lintian.txt" || true) warnings)"
  else
    cat "$root/lintian.txt" >&2; fail "lintian reports errors"
  fi
fi
echo "Package checks passed."

#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo office on first run and starts the program.
#   ./run.sh                 the message window of the demo office's front desk
#   ./run.sh events          any tzsndmsg command and its flags (see ./run.sh --help)
#   ./run.sh setup           the office's people, logins and computers, as its office manager
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DTZSNDMSG_BUILD_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)" --target tzsndmsg_app
app=build/run/app/tzsndmsg

home="${TZSNDMSG_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/tzsndmsg}"
export TZSNDMSG_HOME="$home"
if [ ! -f "$home/office.db" ]; then
  echo "Creating the demo office in $home"
  "$app" init --demo
fi

if [ $# -eq 0 ]; then
  set -- messages --history
fi
# The setup window is the office manager's: the demo office's is MARIA.
if [ "$1" = setup ] && [[ " $* " != *" --login "* ]]; then
  set -- "$@" --login MARIA
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  case "$1" in
    messages|events|holidays|send)
      if [[ " $* " != *" --screenshot "* && " $* " != *" --list "* && " $* " != *" --export-ics "* ]]; then
        echo "No display here, so no window: this is the demo office's inbox as text instead."
        exec "$app" inbox
      fi ;;
    setup)
      if [[ " $* " != *" --screenshot "* ]]; then
        echo "No display here, so no window: these are the demo office's people as text instead."
        exec "$app" staff
      fi ;;
  esac
fi
exec "$app" "$@"

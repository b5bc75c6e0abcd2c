#!/usr/bin/env bash
# Runs a command against a real tray on a private X display and D-Bus session.
#   tray-session.sh xembed COMMAND...        the command starts and stops trayer itself
#   tray-session.sh sni WATCHER COMMAND...   WATCHER takes the StatusNotifierWatcher name first; its
#                                            output follows the command's, prefixed "watcher: "
set -uo pipefail
[ -n "${TRAY_SESSION_INNER:-}" ] || TRAY_SESSION_INNER=1 exec dbus-run-session -- "$0" "$@"
mode=$1 watcher=
shift
if [ "$mode" = sni ]; then watcher=$1; shift; fi

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
# Xvfb picks a free display and writes its number to the descriptor: no fixed number can clash.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
read -r display <"$work/display" || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb VANTOREL_TRAY_HOST="$mode"

if [ -n "$watcher" ]; then
  "$watcher" >"$work/watcher.log" 2>&1 &
  watcher_pid=$!
  gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher || exit 1
fi
"$@"
status=$?
if [ -n "$watcher" ]; then
  # After a passing run the watcher has quit already; after a failing one it may still wait.
  [ $status -eq 0 ] || kill "$watcher_pid" 2>/dev/null
  wait "$watcher_pid" 2>/dev/null
  sed 's/^/watcher: /' "$work/watcher.log"
fi
exit $status

#!/usr/bin/env bash
# Runs a command against a real tray on a private X display and D-Bus session.
#   tray-session.sh xembed COMMAND...        the command starts and stops trayer itself
#   tray-session.sh sni WATCHER COMMAND...   WATCHER takes the StatusNotifierWatcher name first; its
#                                            output follows the command's, prefixed "watcher: "
# When anything fails, the X server's output follows too, prefixed "xvfb: ", on standard error.
set -uo pipefail
[ -n "${TRAY_SESSION_INNER:-}" ] || TRAY_SESSION_INNER=1 exec dbus-run-session -- "$0" "$@"
mode=$1 watcher=
shift
if [ "$mode" = sni ]; then watcher=$1; shift; fi

work=$(mktemp -d)
# However the session ends, the helpers' output is shown before it is thrown away: a helper that
# quit early may have said why (a sanitizer report, a bus error).
finish() {
  local status=$?
  kill $(jobs -p) 2>/dev/null
  wait 2>/dev/null
  [ -z "$watcher" ] || sed 's/^/watcher: /' "$work/watcher.log" 2>/dev/null
  [ $status -eq 0 ] || sed 's/^/xvfb: /' "$work/xvfb.log" >&2
  rm -rf "$work"
  exit $status
}
trap finish EXIT
# Xvfb picks a free display and writes its number to the descriptor: no fixed number can clash.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
read -r display <"$work/display" || exit 1
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb VANTOREL_TRAY_HOST="$mode"

if [ -n "$watcher" ]; then
  "$watcher" >"$work/watcher.log" 2>&1 &
  watcher_pid=$!
  gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher || exit 1
fi
"$@"
status=$?
# After a passing run the watcher quits by itself once its last answer arrives, and a failure of
# its own (a sanitizer report) fails the session; after a failing run it may still wait, and is
# stopped with the rest.
if [ $status -eq 0 ] && [ -n "$watcher" ]; then wait "$watcher_pid" || status=$?; fi
exit $status

#!/usr/bin/env bash
# Daily-use figures of the tray application, measured from outside and held against a bare Qt
# tray (scripts/bare-tray.cpp) in alternating rounds under the same conditions: Xvfb with trayer
# as the XEmbed tray host, private session and system buses with the stand-in desktop services
# (logind among them), a stand-in `codex app-server` on PATH that answers every run with another
# percentage, and a scratch home whose settings hold 2,500 usage samples. Per round it prints:
#   start->embedded  ms from exec to the icon window's reparenting into the tray
#   paint            ms from the Codex answer (the stand-in's write) to the first X Damage of the
#                    icon window, per reading; readings are asked for as the desktop does, by
#                    turning the login session inactive and active again
#   writes           renames onto the settings file per reading
#   gui              ms the application's GUI thread ran per reading (from its schedstat), the
#                    trigger, the refresh and what follows it until the next reading included
#   VmRSS / RssAnon  from /proc after the launch window was closed, after the readings, after one
#                    tray click (popover opened and closed), and after a tour of the pages
# and at the end every figure as median (min-max, n) for the application and the bare tray.
# Needs Xvfb, trayer, xdotool, xwininfo, dbus-daemon, gdbus, g++ and Qt's development files.
# The machine is shared: pin it, e.g. `taskset -c 6,7 scripts/measure-daily.sh ...`.
#
# usage: scripts/measure-daily.sh <vantorel binary> <fake_desktop_services binary> [rounds] [readings] [settle s]
#   e.g. scripts/measure-daily.sh build/release/src/vantorel build/test/tests/fake_desktop_services 3 10 10
# MEASURE_DAILY_SAMPLES sets the history's size (2,500), MEASURE_DAILY_GAP the seconds between
# readings (3).
set -euo pipefail
app=$(realpath "${1:?vantorel binary}")
services=$(realpath "${2:?fake_desktop_services binary}")
rounds=${3:-3}
readings=${4:-10}
settle=${5:-10}
gap=${MEASURE_DAILY_GAP:-3}
here=$(cd "$(dirname "$0")" && pwd)
wait_seconds=20

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [[ -n ${session_bus_pid:-} ]] && kill "$session_bus_pid" 2>/dev/null
  [[ -n ${system_bus_pid:-} ]] && kill "$system_bus_pid" 2>/dev/null
  if [[ -n ${MEASURE_DAILY_KEEP:-} ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# shellcheck disable=SC2046
g++ -O2 -fPIC -std=c++17 "$here/bare-tray.cpp" $(pkg-config --cflags --libs Qt6Widgets) -o "$work/bare-tray"

mkdir -p "$work/home/.cache" "$work/config/Vantorel" "$work/data" "$work/state" "$work/cache" "$work/runtime" \
  "$work/bin" "$work/figures"
chmod 700 "$work/runtime"
source "$here/private-bus.sh"
session_bus_pid=$(start_bus session)
system_bus_pid=$(start_bus system)
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/session.sock DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system.sock
export PATH=$work/bin:$PATH TZ=${TZ:-Asia/Tokyo} LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY VANTOREL_TRAY_HOST
log=$XDG_STATE_HOME/Vantorel/Vantorel.log
settings=$XDG_CONFIG_HOME/Vantorel/defaults.json

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.out" 2>&1 &
pids+=($!)
read -r display <"$work/display"
export DISPLAY=:$display

# Waits, bounded, until the command succeeds.
wait_until() {
  local what=$1 deadline=$((SECONDS + wait_seconds))
  shift
  until "$@"; do
    if [[ $SECONDS -ge $deadline ]]; then
      echo "  timed out waiting for $what" >&2
      return 1
    fi
    sleep 0.1
  done
}
trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.out" 2>&1 &
pids+=($!)
tray_ready() { xwininfo -root -children 2>/dev/null | grep -q '("panel" "trayer")'; }
wait_until "trayer's panel" tray_ready

mkfifo "$work/commands"
exec 7<>"$work/commands"
"$services" serve "$work/notifications" <"$work/commands" >"$work/services.out" 2>&1 &
pids+=($!)
wait_until "the stand-in desktop services" grep -qs '^ready' "$work/services.out"

# The stand-in Codex CLI: each run answers with the next percentage, and appends the wall-clock
# nanoseconds of its answer to $MEASURE_DAILY_ANSWERS just before writing it.
cat >"$work/fake-codex.py" <<'PY'
import json, os, sys, time
counter = os.path.join(os.path.dirname(os.path.abspath(__file__)), "codex.count")
try:
    run = int(open(counter).read()) + 1
except (OSError, ValueError):
    run = 1
open(counter, "w").write(str(run))
used = 5 + run * 37 % 90
now = int(time.time())
for line in sys.stdin:
    request = json.loads(line)
    if request.get("method") == "initialize":
        answer = {"id": request["id"], "result": {"userAgent": "measure/1"}}
    elif request.get("method") == "account/rateLimits/read":
        answer = {"id": request["id"], "result": {"rateLimits": {
            "primary": {"usedPercent": used, "windowDurationMins": 300, "resetsAt": now + 3 * 3600},
            "secondary": {"usedPercent": 40, "windowDurationMins": 10080, "resetsAt": now + 5 * 86400},
            "credits": None, "planType": "plus", "limitId": "codex"}, "rateLimitsByLimitId": None}}
    else:
        continue
    text = (json.dumps(answer) + "\n").encode()
    if "rateLimits" in answer["result"]:
        with open(os.environ["MEASURE_DAILY_ANSWERS"], "a") as answers:
            answers.write("%d\n" % time.time_ns())
    os.write(1, text)
PY
printf '#!/bin/sh\nexec python3 "%s" "$@"\n' "$work/fake-codex.py" >"$work/bin/codex"
chmod +x "$work/bin/codex"

# The usage history, 15 minutes apart ending now, in the stored form; copied back before each start.
python3 "$here/history-settings.py" "$work/defaults.json" "${MEASURE_DAILY_SAMPLES:-2500}"
mkdir -p "$XDG_CONFIG_HOME/autostart"
printf '[Desktop Entry]\nType=Application\nName=Vantorel\nExec=%s\nTerminal=false\nX-GNOME-Autostart-enabled=true\n' \
  "$app" >"$XDG_CONFIG_HOME/autostart/vantorel.desktop"

# Appends a value to a figure's list: record <who> <figure> <value>.
record() { [[ -n $3 && $3 != none ]] && echo "$3" >>"$work/figures/$1.$2"; return 0; }

memory() { # <who> <moment> <pid>
  local status=/proc/$3/status rss anon
  if [[ ! -r $status ]]; then
    echo "  $2: the program ended"
    return
  fi
  rss=$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "$status")
  anon=$(awk '/^RssAnon:/ { printf "%.1f", $2 / 1024 }' "$status")
  echo "  $2: VmRSS $rss MB, RssAnon $anon MB"
  record "$1" "rss-$2" "$rss"
  record "$1" "anon-$2" "$anon"
}

# Asks a window to close with WM_DELETE_WINDOW, as a window manager's close button does.
close_window() { python3 "$(dirname "$0")/close-window.py" "$1"; } # <window id>

# The program's main window, waiting up to 10 s for it to be mapped. The tray icon's window is the
# program's too, with the same title: the main window is the one wider than 200 pixels.
app_window() {
  local deadline=$((SECONDS + 10)) id width
  while [[ $SECONDS -lt $deadline ]]; do
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
      width=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | awk -F= '/^WIDTH=/ { print $2 }')
      if [[ ${width:-0} -gt 200 ]]; then
        echo "$id"
        return
      fi
    done
    sleep 0.2
  done
}

# Nanoseconds the program's main (GUI) thread has run so far.
gui_ns() { awk '{ print $1 }' "/proc/$1/task/$1/schedstat"; }
count_log() { grep -cF -- "pid=$1 $2" "$log" 2>/dev/null || true; }
more_than() { [[ $("${@:2}") -gt $1 ]]; }

# Clicks the middle of the tray icon.
click_icon() {
  local geometry window
  # Asked here: the coprocess's descriptors are closed in a pipeline's processes.
  window=$(ask icon)
  geometry=$(xwininfo -id "$window" 2>/dev/null | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x + int(w / 2), y + int(h / 2) }')
  # shellcheck disable=SC2086
  [[ -n $geometry ]] && xdotool mousemove $geometry click 1 || true
}

# Sidebar entries in window coordinates: input, history, settings, then the overview.
sidebar_x=47
sidebar_pages=(70 110 530 30)
tour_pages() { # <pid>
  gdbus call --session --dest vantorel.monitor --object-path /vantorel/monitor \
    --method org.freedesktop.Application.Activate '{}' >/dev/null
  local window left top
  window=$(app_window "$1")
  [[ -n $window ]] || { echo "  the window did not reopen"; return 1; }
  sleep 2
  read -r left top < <(xdotool getwindowgeometry --shell "$window" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
  for y in "${sidebar_pages[@]}"; do
    xdotool mousemove $((left + sidebar_x)) $((top + y)) click 1
    sleep 2
  done
  close_window "$window"
}

# Starts a program under the observer; sets pid and icon, records start->embedded.
observe() { # <who> <program> [args...]
  local who=$1 line
  shift
  coproc OBSERVER { exec python3 "$here/tray-observer.py" "$@"; }
  pid= icon=
  while read -r -t "$wait_seconds" line <&"${OBSERVER[0]}"; do
    case $line in
      pid\ *) pid=${line#pid } ;;
      embedded\ *) echo "  start->embedded: ${line#embedded } ms"; record "$who" start-embedded "${line#embedded }" ;;
      icon\ *) icon=${line#icon }; break ;;
    esac
    [[ $line == "embedded none" ]] && break
  done
}
ask() { # <command>: one answer line from the observer
  local answer
  echo "$1" >&"${OBSERVER[1]}"
  read -r -t 30 answer <&"${OBSERVER[0]}" || answer="none"
  echo "${answer#* }"
}
end_observed() {
  kill "$pid" 2>/dev/null || true
  exec {OBSERVER[1]}>&-
  wait "$OBSERVER_PID" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# One reading through the program; prints and records its paint time. Answers given before the
# first reading (the application reads at start) are counted in <n>.
reading() { # <who> <answers file> <n> <trigger command>
  local paint
  "${@:4}"
  paint=$(ask "paint $2 $3")
  record "$1" paint "$paint"
  echo -n " $paint"
}

app_round() {
  local answers=$work/answers.app.$1 ends ran writes=() gui=()
  cp "$work/defaults.json" "$settings"
  : >"$answers"
  echo "application, round $1"
  MEASURE_DAILY_ANSWERS=$answers observe app "$app"
  [[ -n $icon ]] || { echo "  the icon was never embedded"; end_observed; return; }
  local window
  window=$(app_window "$pid")
  [[ -n $window ]] && close_window "$window"
  sleep "$settle"
  memory app closed "$pid"
  ask writes >/dev/null
  local before
  before=$(wc -l <"$answers")
  echo -n "  paint ms:"
  for n in $(seq "$readings"); do
    ends=$(count_log "$pid" refreshScheduledItems.end)
    ran=$(gui_ns "$pid")
    reading app "$answers" $((before + n)) eval 'echo session-reactivate >&7'
    wait_until "refresh $n to end" more_than "$ends" count_log "$pid" refreshScheduledItems.end || true
    sleep "$gap"
    writes+=("$(ask writes)")
    record app writes "${writes[-1]}"
    gui+=("$(awk -v a="$ran" -v b="$(gui_ns "$pid")" 'BEGIN { printf "%.2f", (b - a) / 1e6 }')")
    record app gui "${gui[-1]}"
  done
  echo
  echo "  writes per reading: ${writes[*]}"
  echo "  GUI thread ms per reading: ${gui[*]}"
  sleep "$settle"
  memory app readings "$pid"
  local opened
  opened=$(count_log "$pid" popover.open)
  click_icon
  wait_until "the popover" more_than "$opened" count_log "$pid" popover.open || true
  sleep 1
  click_icon
  sleep "$settle"
  echo "  popover: $(count_log "$pid" popover.open) opened, $(count_log "$pid" popover.close) closed by the icon"
  memory app click "$pid"
  if tour_pages "$pid"; then
    sleep "$settle"
    memory app tour "$pid"
  fi
  end_observed
}

bare_round() {
  local answers=$work/answers.bare.$1
  : >"$answers"
  rm -f "$work/bare.commands"
  mkfifo "$work/bare.commands"
  exec 8<>"$work/bare.commands"
  echo "bare tray, round $1"
  MEASURE_DAILY_ANSWERS=$answers observe bare "$work/bare-tray" "$work/bare.commands"
  [[ -n $icon ]] || { echo "  the icon was never embedded"; end_observed; return; }
  sleep "$settle"
  memory bare closed "$pid"
  echo -n "  paint ms:"
  for n in $(seq "$readings"); do
    reading bare "$answers" "$n" eval 'echo read >&8'
    sleep "$gap"
  done
  echo
  sleep "$settle"
  memory bare readings "$pid"
  end_observed
  exec 8>&-
}

for round in $(seq "$rounds"); do
  app_round "$round"
  bare_round "$round"
done

echo
echo "figure: median (min-max, n)"
python3 - "$work/figures" <<'PY'
import os, statistics, sys
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    values = sorted(float(v) for v in open(os.path.join(folder, name)).read().split())
    print("  %-22s %s (%s-%s, %d)" % (name, "%g" % round(statistics.median(values), 2),
                                      "%g" % values[0], "%g" % values[-1], len(values)))
PY

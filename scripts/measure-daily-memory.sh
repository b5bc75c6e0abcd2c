#!/usr/bin/env bash
# Memory of the tray application in a day's use, read from /proc of the running process: VmRSS,
# RssAnon and RssFile at four moments of one run, each after the process has settled:
#   closed   - the launch window closed (as a window manager closes it);
#   click    - 45 s after the tray item was clicked twice (the popover opened and closed);
#   click 2  - after a second opening and closing of the popover, whose pages were kept;
#   tour     - after the window was reopened through the bus, every sidebar page visited and the
#              window closed again;
#   readings - after N refreshes, each bringing a Codex reading of new values.
# Around it: a scratch home with 2,500 stored samples, Xvfb, private session and system buses with
# a stand-in tray host (StatusNotifierItem), logind and notification server, and a stand-in `codex`
# on PATH. A refresh is asked for as the desktop does, by the session turning active again.
# Needs Xvfb, xdotool, dbus-daemon and gdbus.
#
# usage: scripts/measure-daily-memory.sh <vantorel> <fake_status_notifier_watcher> <fake_desktop_services> [readings]
#   e.g. taskset -c 6-7 scripts/measure-daily-memory.sh build/release/src/vantorel \
#          build/test/tests/fake_status_notifier_watcher build/test/tests/fake_desktop_services 100
# MEASURE_SETTLE (s, default 20) is the wait before each reading; MEASURE_READING_GAP (s, default 3)
# the wait between the end of one refresh and the next request; MEASURE_FONTS=1 lists the font
# files mapped at each moment; MEASURE_DUMP=<folder> keeps a copy of /proc/PID/smaps of each moment.
set -euo pipefail
app=$(realpath "$1")
watcher=$(realpath "$2")
services=$(realpath "$3")
readings=${4:-100}
settle=${MEASURE_SETTLE:-20}
gap=${MEASURE_READING_GAP:-3}
here=$(cd "$(dirname "$0")" && pwd)
fake_codex=$here/../tests/support/fake_codex_app_server.py

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/config/Vantorel" "$work/config/autostart" "$work/state" "$work/data" \
  "$work/cache" "$work/bin"
install -d -m 0700 "$work/runtime"

source "$here/private-bus.sh"
pids+=("$(start_bus session)" "$(start_bus system)")
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/session.sock DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system.sock
export PATH=$work/bin:$PATH LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY VANTOREL_TRAY_HOST

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
read -r display <"$work/display"
export DISPLAY=":$display"

# 2,500 usage samples 15 minutes apart ending now, in the stored form; a returning user's
# autostart entry.
python3 - "$XDG_CONFIG_HOME/Vantorel/defaults.json" 2500 <<'PY'
import base64, json, sys, time, uuid
count = int(sys.argv[2])
reference = time.time() - 978307200.0
samples = ['{"id":"%s","provider":"%s","recordedAt":%r,"fiveHourRemainingPercent":%r,'
           '"weeklyRemainingPercent":%r,"codexPeriodValidationVersion":1}'
           % (str(uuid.uuid4()).upper(), "codex" if n % 2 else "claude",
              reference - (count - 1 - n) * 900.0, 40.0 + n % 50 + 0.5, 80.25 - n % 30) for n in range(count)]
data = ("[" + ",".join(samples) + "]").encode()
json.dump({"Vantorel.defaultsApplied.startupUI.1": {"type": "bool", "value": True},
           "Vantorel.usageHistory": {"type": "data", "value": base64.b64encode(data).decode()}},
          open(sys.argv[1], "w"))
PY
printf '[Desktop Entry]\nType=Application\nName=Vantorel\nExec=%s\nTerminal=false\nX-GNOME-Autostart-enabled=true\n' \
  "$app" >"$XDG_CONFIG_HOME/autostart/vantorel.desktop"

# The Codex CLI answers each run with the reading of the scenario file as it is then.
codex_log=$work/codex.log
: >"$codex_log"
serve_reading() { # <n>: a reading whose two percentages no earlier one had
  local now
  now=$(date +%s)
  cat >"$work/codex.scenario" <<EOF
expect
send {"id":{id},"result":{"userAgent":"measure/1"}}
expect
expect
send {"id":{id},"result":{"rateLimits":{"primary":{"usedPercent":$(($1 % 97 + 1)),"windowDurationMins":300,"resetsAt":$((now + 3 * 3600))},"secondary":{"usedPercent":$(($1 / 97 + 2)),"windowDurationMins":10080,"resetsAt":$((now + 5 * 86400))},"credits":null,"planType":"plus","limitId":"codex"},"rateLimitsByLimitId":null}}
drain
EOF
}
serve_reading 0
printf '#!/bin/sh\nexec python3 "%s" "%s" "%s" "$@"\n' "$fake_codex" "$work/codex.scenario" "$codex_log" >"$work/bin/codex"
chmod +x "$work/bin/codex"
codex_runs() { grep -c '^args' "$codex_log" || true; }
codex_ran_more_than() { [[ $(codex_runs) -gt $1 ]]; }

mkfifo "$work/commands"
exec 7<>"$work/commands"
"$services" serve "$work/notifications" <"$work/commands" >"$work/services.out" 2>&1 &
pids+=($!)
"$watcher" --stay >"$work/watcher.out" 2>&1 &
pids+=($!)
gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher
gdbus wait --session --timeout 10 org.freedesktop.Notifications

wait_for() { # <seconds> <command...>
  local bound=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [[ $(date +%s) -lt $bound ]] || return 1
    sleep 0.2
  done
}

figures() { # <label>
  local status=/proc/$app_pid/status
  [[ -r $status ]] || { echo "  $1: the application ended"; exit 1; }
  awk -v label="$1" '
    /^VmRSS:|^RssAnon:|^RssFile:/ { v[$1] = sprintf("%.1f", $2 / 1024) }
    END { printf "  %-9s VmRSS %s MB, RssAnon %s MB, RssFile %s MB\n", label ":", v["VmRSS:"], v["RssAnon:"], v["RssFile:"] }' "$status"
  if [[ -n ${MEASURE_DUMP:-} ]]; then
    mkdir -p "$MEASURE_DUMP"
    cp "/proc/$app_pid/smaps" "$MEASURE_DUMP/${1// /-}.smaps"
  fi
  if [[ ${MEASURE_FONTS:-0} == 1 ]]; then
    { grep -o '/usr/share/fonts/.*' "/proc/$app_pid/maps" || true; } | sort -u | sed 's/^/             font /'
  fi
}

app_window() { timeout 10 xdotool search --sync --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1; }
close_window() { python3 "$here/close-window.py" "$1"; } # <window id>

# The connection of the application that serves the item (Qt registers it by path).
item_service() {
  local name
  for name in $(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -o "':1\.[0-9]*'" | tr -d "'"); do
    [[ $(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null) == "(uint32 $app_pid,)" ]] || continue
    gdbus introspect --session --dest "$name" --object-path /StatusNotifierItem 2>/dev/null \
      | grep -q org.kde.StatusNotifierItem && { echo "$name"; return; }
  done
}
click_item() {
  gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
    --method org.kde.StatusNotifierItem.Activate 1200 12 >/dev/null
}
popover_shown() { [[ -n $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null) ]]; }
popover_hidden() { ! popover_shown; }

"$app" >"$work/app.out" 2>&1 &
app_pid=$!
pids+=("$app_pid")
wait_for 10 grep -q '^IconPixmap' "$work/watcher.out" || { echo "no tray picture"; exit 1; }
window=$(app_window)
[[ -n $window ]] || { echo "the launch window did not appear"; exit 1; }
wait_for 30 codex_ran_more_than 0 || true
close_window "$window"
sleep "$settle"
figures closed

item=$(item_service)
[[ -n $item ]] || { echo "no status notifier item on the bus"; exit 1; }
open_and_close_popover() {
  click_item
  wait_for 10 popover_shown || { echo "the popover did not open"; exit 1; }
  sleep 2
  click_item
  wait_for 10 popover_hidden || { echo "the popover did not close"; exit 1; }
}
open_and_close_popover
sleep 45
figures click
open_and_close_popover
sleep "$settle"
figures "click 2"

gdbus call --session --dest vantorel.monitor --object-path /vantorel/monitor \
  --method org.freedesktop.Application.Activate '{}' >/dev/null
window=$(app_window)
[[ -n $window ]] || { echo "the window did not reopen"; exit 1; }
sleep 2
read -r left top < <(xdotool getwindowgeometry --shell "$window" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
# Sidebar entries in window coordinates: input, history, settings, then the overview.
for y in 70 110 530 30; do
  xdotool mousemove $((left + 47)) $((top + y)) click 1
  sleep 2
done
close_window "$window"
sleep "$settle"
figures tour

for n in $(seq "$readings"); do
  done_before=$(codex_runs)
  serve_reading "$n"
  echo session-reactivate >&7
  wait_for 30 codex_ran_more_than "$done_before" || { echo "reading $n never came"; exit 1; }
  sleep "$gap"
done
sleep "$settle"
figures "readings $readings"

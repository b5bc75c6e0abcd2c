#!/usr/bin/env bash
# Idle footprint of the tray application with full histories, in a private session bus and a
# scratch home: milliseconds from exec to the tray item's first picture being read by the tray
# host, then VmRSS, RssAnon, RssFile and Threads from /proc at three moments:
#   launch  - the launch window left open, once the process has settled;
#   closed  - after the launch window was closed (as a window manager closes it) and it settled;
#   pages   - after the window was reopened through the bus, every sidebar page was visited and
#             the window was closed again (skipped with MEASURE_IDLE_PAGES=0).
# Needs Xvfb, xdotool and dbus-run-session.
#
# usage: scripts/measure-idle.sh <vantorel binary> <fake_status_notifier_watcher binary> [settle s] [runs]
#   e.g. scripts/measure-idle.sh build/release/src/vantorel build/test/tests/fake_status_notifier_watcher 20 5
# The tray host is the test helper that reads the first item's IconPixmap and stays, so that the
# item stays in the tray.
# MEASURE_IDLE_FONTS=1 also lists the font files mapped at each moment; MEASURE_IDLE_ANON=1 breaks
# the anonymous memory down by kind of mapping (scripts/anon-breakdown.py); MEASURE_IDLE_FILES=1
# lists the resident memory of each mapped file, largest first (scripts/file-rss.py).
set -euo pipefail
app=$(realpath "$1")
watcher=$(realpath "$2")
settle=${3:-20}
runs=${4:-3}

# A scratch home before the private bus starts, so that the services it starts use it too.
if [[ -z "${MEASURE_IDLE_SCRATCH:-}" ]]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  MEASURE_IDLE_SCRATCH=$scratch HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state \
    XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache dbus-run-session -- "$0" "$@"
  exit
fi
scratch=$MEASURE_IDLE_SCRATCH
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null' EXIT

# A private X display: Xvfb picks a free one and writes its number to the descriptor.
mkfifo "$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
read -r display <"$scratch/display"
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME/Vantorel"

# 2,500 usage samples 15 minutes apart ending now (the retained maximum), in the stored form;
# MEASURE_IDLE_SAMPLES=0 gives the figures without a history.
python3 - "$XDG_CONFIG_HOME/Vantorel/defaults.json" "${MEASURE_IDLE_SAMPLES:-2500}" <<'PY'
import base64, json, sys, time, uuid
count = int(sys.argv[2])
reference = time.time() - 978307200.0
samples = []
for n in range(count):
    samples.append('{"id":"%s","provider":"%s","recordedAt":%r,"fiveHourRemainingPercent":%r,'
                   '"weeklyRemainingPercent":%r,"codexPeriodValidationVersion":1}'
                   % (str(uuid.uuid4()).upper(), "codex" if n % 2 else "claude",
                      reference - (count - 1 - n) * 900.0, 40.0 + n % 50 + 0.5, 80.25 - n % 30))
data = ("[" + ",".join(samples) + "]").encode()
document = {
    "Vantorel.defaultsApplied.startupUI.1": {"type": "bool", "value": True},
    "Vantorel.usageHistory": {"type": "data", "value": base64.b64encode(data).decode()},
}
with open(sys.argv[1], "w") as out:
    json.dump(document, out)
PY
cp "$XDG_CONFIG_HOME/Vantorel/defaults.json" "$scratch/defaults.json"
# A returning user's autostart entry: only the first start ever writes (and syncs) it.
mkdir -p "$XDG_CONFIG_HOME/autostart"
printf '[Desktop Entry]\nType=Application\nName=Vantorel\nExec=%s\nTerminal=false\nX-GNOME-Autostart-enabled=true\n' \
  "$app" >"$XDG_CONFIG_HOME/autostart/vantorel.desktop"

now_ms() { date +%s%3N; }

figures() { # <label> <pid>
  local status=/proc/$2/status
  if [[ ! -r $status ]]; then
    echo "  $1: the application ended"
    return
  fi
  awk -v label="$1" '
    /^VmRSS:|^RssAnon:|^RssFile:/ { v[$1] = sprintf("%.1f", $2 / 1024) }
    /^Threads:/ { t = $2 }
    END { printf "  %-7s VmRSS %s MB, RssAnon %s MB, RssFile %s MB, threads %s\n",
                 label ":", v["VmRSS:"], v["RssAnon:"], v["RssFile:"], t }' "$status"
  if [[ ${MEASURE_IDLE_FONTS:-0} == 1 ]]; then
    { grep -o '/usr/share/fonts/.*' "/proc/$2/maps" || true; } | sort -u | sed 's/^/           font /'
  fi
  if [[ ${MEASURE_IDLE_FILES:-0} == 1 ]]; then
    python3 "$(dirname "$0")/file-rss.py" "$2"
  fi
  if [[ ${MEASURE_IDLE_ANON:-0} == 1 ]]; then
    python3 "$(dirname "$0")/anon-breakdown.py" "$2"
  fi
}

# The application's one visible top-level window, waiting up to 10 s for it to be mapped.
app_window() { # <pid>
  timeout 10 xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n 1
}

# Asks the window to close with WM_DELETE_WINDOW, as a window manager's close button does.
close_window() { python3 "$(dirname "$0")/close-window.py" "$1"; } # <window id>

# Sidebar entries in window coordinates: input, history, settings, then the overview.
sidebar_x=47
sidebar_pages=(70 110 530 30)
page_pause=${MEASURE_IDLE_PAGE_PAUSE:-2}

visit_pages() { # <pid>
  gdbus call --session --dest vantorel.monitor --object-path /vantorel/monitor \
    --method org.freedesktop.Application.Activate '{}' >/dev/null
  local window
  window=$(app_window "$1")
  [[ -n $window ]] || { echo "  pages:  the window did not reopen"; return 1; }
  sleep "$page_pause"
  local origin
  origin=$(xdotool getwindowgeometry --shell "$window" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
  read -r left top <<<"$origin"
  for y in "${sidebar_pages[@]}"; do
    xdotool mousemove $((left + sidebar_x)) $((top + y)) click 1
    sleep "$page_pause"
  done
  close_window "$window"
}

for run in $(seq "$runs"); do
  cp "$scratch/defaults.json" "$XDG_CONFIG_HOME/Vantorel/defaults.json"
  fifo=$scratch/watcher.$run
  mkfifo "$fifo"
  "$watcher" --stay >"$fifo" 2>/dev/null &
  watcher_pid=$!
  exec 3<"$fifo"
  # The watcher owns its bus name before it prints anything; give it that moment.
  gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher
  start=$(now_ms)
  "$app" >/dev/null 2>&1 &
  app_pid=$!
  embedded=""
  if read -r -t 10 _ <&3; then
    embedded=$(( $(now_ms) - start ))
  fi
  exec 3<&-
  echo "run $run: start->tray ${embedded:-none} ms"
  window=$(app_window "$app_pid")
  sleep "$settle"
  figures launch "$app_pid"
  if [[ -n $window ]]; then
    close_window "$window"
    sleep "$settle"
    figures closed "$app_pid"
    if [[ ${MEASURE_IDLE_PAGES:-1} == 1 ]] && visit_pages "$app_pid"; then
      sleep "$settle"
      figures pages "$app_pid"
    fi
  else
    echo "  the launch window did not appear"
  fi
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  kill "$watcher_pid" 2>/dev/null || true
  wait "$watcher_pid" 2>/dev/null || true
  rm -f "$fifo"
done

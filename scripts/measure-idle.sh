#!/usr/bin/env bash
# Idle footprint of the tray application with full histories, in a private session bus and a
# scratch home: milliseconds from exec to the tray item's first picture being read by the tray
# host, then VmRSS, RssAnon, RssFile and Threads from /proc once the process has settled.
# Needs Xvfb and dbus-run-session.
#
# usage: scripts/measure-idle.sh <vantorel binary> <fake_status_notifier_watcher binary> [settle s] [runs]
#   e.g. scripts/measure-idle.sh build/release/src/vantorel build/test/tests/fake_status_notifier_watcher 20 5
# The tray host is the test helper that reads the first item's IconPixmap and exits.
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

now_ms() { date +%s%3N; }

for run in $(seq "$runs"); do
  cp "$scratch/defaults.json" "$XDG_CONFIG_HOME/Vantorel/defaults.json"
  fifo=$scratch/watcher.$run
  mkfifo "$fifo"
  "$watcher" >"$fifo" 2>/dev/null &
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
  sleep "$settle"
  status=/proc/$app_pid/status
  if [[ -r $status ]]; then
    awk -v run="$run" -v ms="${embedded:-none}" '
      /^VmRSS:|^RssAnon:|^RssFile:/ { v[$1] = sprintf("%.1f", $2 / 1024) }
      /^Threads:/ { t = $2 }
      END { printf "run %s: start->tray %s ms, VmRSS %s MB, RssAnon %s MB, RssFile %s MB, threads %s\n",
                   run, ms, v["VmRSS:"], v["RssAnon:"], v["RssFile:"], t }' "$status"
  else
    echo "run $run: the application ended before it settled"
  fi
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  kill "$watcher_pid" 2>/dev/null || true
  wait "$watcher_pid" 2>/dev/null || true
  rm -f "$fifo"
done

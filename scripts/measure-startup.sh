#!/usr/bin/env bash
# Start -> tray icon embedded, measured from outside: milliseconds from exec until the tray host
# has read the item's first picture, for the application and for a bare Qt tray started in
# alternating rounds under the same private session bus and X display, so that both see the same
# machine. Prints every run, then median (min-max, n) per program.
# Needs Xvfb and dbus-run-session.
#
# usage: scripts/measure-startup.sh <vantorel> <fake_status_notifier_watcher> <bare tray>... [-- runs samples]
#   e.g. taskset -c 4,5 scripts/measure-startup.sh build/release/src/vantorel \
#          build/test/tests/fake_status_notifier_watcher build/bench/bench/bare_tray -- 15 40000
# The settings file holds `samples` usage samples 15 minutes apart ending now (2,500 by default:
# the retained maximum; more make a file that another program wrote, which retention cuts down).
set -euo pipefail

source "$(dirname "$0")/measure-session.sh" "$@"

programs=()
while [[ $# -gt 0 && $1 != -- ]]; do
  programs+=("$(realpath "$1")")
  shift
done
[[ $# -gt 0 ]] && shift
runs=${1:-10}
samples=${2:-2500}
app=${programs[0]}
watcher=${programs[1]}
measured=("$app" "${programs[@]:2}")
mkdir -p "$XDG_CONFIG_HOME/Vantorel" "$XDG_CONFIG_HOME/autostart"

python3 "$(dirname "$0")/history-settings.py" "$scratch/defaults.json" "$samples"
# A returning user's autostart entry: only the first start ever writes it.
printf '[Desktop Entry]\nType=Application\nName=Vantorel\nExec=%s\nTerminal=false\nX-GNOME-Autostart-enabled=true\n' \
  "$app" >"$XDG_CONFIG_HOME/autostart/vantorel.desktop"

# A program by its folder and name, so that two builds of one program tell apart.
label() { echo "$(basename "$(dirname "$1")")/$(basename "$1")"; }

now_us() { echo "${EPOCHREALTIME/./}"; }

# Prints the milliseconds (one decimal) until the host read the first picture, or "none".
measure_once() { # <program>
  cp "$scratch/defaults.json" "$XDG_CONFIG_HOME/Vantorel/defaults.json"
  local fifo=$scratch/watcher.fifo
  rm -f "$fifo"
  mkfifo "$fifo"
  "$watcher" >"$fifo" 2>/dev/null &
  local watcher_pid=$!
  exec 4<"$fifo"
  gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher
  local start result=none
  start=$(now_us)
  "$1" >/dev/null 2>&1 &
  local pid=$!
  if read -r -t 10 _ <&4; then
    local elapsed=$(( $(now_us) - start ))
    result=$(( elapsed / 1000 )).$(( elapsed / 100 % 10 ))
  fi
  exec 4<&-
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  kill "$watcher_pid" 2>/dev/null || true
  wait "$watcher_pid" 2>/dev/null || true
  echo "$result"
}

declare -A results
for run in $(seq "$runs"); do
  # Alternate which program goes first, so neither always starts on a warmer machine.
  order=("${measured[@]}")
  if (( run % 2 == 0 )); then
    order=()
    for (( i=${#measured[@]}-1; i>=0; i-- )); do order+=("${measured[i]}"); done
  fi
  for program in "${order[@]}"; do
    ms=$(measure_once "$program")
    echo "run $run $(label "$program"): ${ms} ms"
    results[$program]+="$ms "
  done
done

echo "start -> tray embedded, $samples stored samples:"
for program in "${measured[@]}"; do
  # shellcheck disable=SC2086
  printf '%s\n' ${results[$program]} | grep -v none | sort -n | awk -v name="$(label "$program")" '
    { v[NR] = $1 }
    END {
      if (NR == 0) { printf "  %-28s no run embedded\n", name; exit }
      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "  %-28s %.1f ms (%.1f-%.1f, n=%d)\n", name, m, v[1], v[NR], NR
    }'
done

#!/usr/bin/env bash
# Ends the application at swept moments of its start-up and checks that nothing is lost: each run
# starts a copy with folders of its own, waits DELAY milliseconds, ends it, and checks that it
# exited 0 within 30 s with "app.willTerminate" logged and no sanitizer report, and that its
# settings file still holds the first-run defaults or, when it started with a usage history, every
# sample that retention keeps. Two ways to end it: SIGTERM, and the quit that losing the bus name to
# a newer copy starts (the same quit as the 終了 button). Runs in the integration tests' setting:
# a private session bus with an unlocked keychain, the offscreen platform, sanitizer options of
# scripts/test.sh. A SIGTERM that comes before main has caught it (the loader, the sanitizers'
# set-up) ends the copy by its default action, with nothing changed yet: such runs show as
# "ok before-main". Prints one line per run and the failures; exits 1 when any run failed.
#
# usage: scripts/sigterm-sweep.sh <vantorel> <bus_name_holder> [workers samples delays...]
#   e.g. scripts/sigterm-sweep.sh build/test/src/vantorel build/test/tests/bus_name_holder \
#          3 40000 0 20 40 60 100 200 400 800 1600
# Without delays it sweeps 0-600 ms in steps of 10 ms, then to 4 s in steps of 100 ms.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [[ -z "${SIGTERM_SWEEP_WORKER:-}" ]]; then
  app=$(realpath "$1")
  holder=$(realpath "$2")
  shift 2
  workers=${1:-3}
  samples=${2:-40000}
  shift 2 || shift $#
  delays=("$@")
  if [[ ${#delays[@]} -eq 0 ]]; then
    for d in $(seq 0 10 590) $(seq 600 100 4000); do delays+=("$d"); done
  fi
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  python3 "$here/history-settings.py" "$scratch/history.json" "$samples"
  # Every worker takes every workers-th delay, under a session bus of its own: copies on one bus
  # would replace each other.
  pids=()
  for (( w=0; w<workers; w++ )); do
    mine=()
    for (( i=w; i<${#delays[@]}; i+=workers )); do mine+=("${delays[i]}"); done
    mkdir -p "$scratch/w$w/home/.cache" "$scratch/w$w/runtime"
    chmod 700 "$scratch/w$w/runtime"
    SIGTERM_SWEEP_WORKER="$scratch/w$w" HOME="$scratch/w$w/home" XDG_RUNTIME_DIR="$scratch/w$w/runtime" \
      XDG_CACHE_HOME="$scratch/w$w/cache" QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo LANG=C.UTF-8 LC_ALL=C.UTF-8 \
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      LSAN_OPTIONS=suppressions="$here/lsan.supp" \
      env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
      dbus-run-session -- "$0" "$app" "$holder" "$scratch/history.json" "${mine[@]}" >"$scratch/w$w.out" 2>&1 &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || true; done
  sort -n -k2 "$scratch"/w*.out | grep '^run ' || true
  failures=$(grep -h '^run .* FAIL' "$scratch"/w*.out | sort -n -k2 || true)
  runs=$(cat "$scratch"/w*.out | grep -c '^run ' || true)
  if [[ -n $failures ]]; then
    echo "--- failures"
    echo "$failures"
    for f in "$scratch"/w*/failed-*; do [[ -e $f ]] && { echo "--- $f"; cat "$f"; }; done
  fi
  echo "runs: $runs, failed: $( [[ -n $failures ]] && echo "$failures" | wc -l || echo 0)"
  [[ -z $failures ]]
  exit
fi

# A worker, inside its private session bus: one failed step must not end the sweep.
set +e
app=$1 holder=$2 history=$3
shift 3
work=$SIGTERM_SWEEP_WORKER
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null' EXIT
if command -v gnome-keyring-daemon >/dev/null 2>&1; then
  eval "$(printf %s "vantorel-test" | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)" || true
  gdbus wait --session --timeout 10 org.freedesktop.secrets >/dev/null 2>&1 || true
fi

# The pid of the name's owner, or nothing.
owner_pid() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID vantorel.monitor 2>/dev/null \
    | sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
}

# Ends the copy after the delay, one way or the other; sets `rc` to its exit code, or "hang".
end_after() { # <pid> <delay ms> <way> <log>
  local pid=$1 delay=$2 way=$3 log=$4 holder_pid=
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  before_main=
  if [[ $way == term ]]; then
    # Until main catches it, SIGTERM has its default action: nothing has been changed by then.
    local caught
    caught=$(sed -n 's/^SigCgt:\t//p' "/proc/$pid/status" 2>/dev/null)
    [[ -n $caught ]] && (( (16#$caught >> 14 & 1) == 0 )) && before_main=1
    kill -TERM "$pid" 2>/dev/null || true
  else
    "$holder" vantorel.monitor >/dev/null 2>&1 &
    holder_pid=$!
    # Taken before the copy asked for it, the name goes back to the copy, which ends the holder
    # later: take it again once the copy holds it.
    local tries=0
    while kill -0 "$pid" 2>/dev/null && (( tries < 100 )); do
      if [[ $(owner_pid) == "$pid" ]] && grep -q "singleInstance.terminateOther" "$log" 2>/dev/null; then
        kill -KILL "$holder_pid" 2>/dev/null; wait "$holder_pid" 2>/dev/null || true
        "$holder" vantorel.monitor >/dev/null 2>&1 &
        holder_pid=$!
        break
      fi
      sleep 0.05
      tries=$((tries + 1))
    done
  fi
  local waited=0
  while kill -0 "$pid" 2>/dev/null && (( waited < 300 )); do sleep 0.1; waited=$((waited + 1)); done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rc=hang
  else
    rc=0
    wait "$pid" || rc=$?
  fi
  if [[ -n $holder_pid ]]; then
    kill "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
  fi
}

# A Codex CLI that never answers, so that the first refresh lasts until the end; it notes its pid.
printf '#!/bin/sh\necho $$ >>"$(dirname "$0")/codex.pids"\nexec sleep 600\n' >"$work/codex"
chmod +x "$work/codex"
python3 - "$history" "$work/codex" "$work/refresh.json" <<'EOF'
import base64, json, sys
document = json.load(open(sys.argv[1]))
settings = {"codexEnabled": True, "codexCLIAutoRefreshEnabled": True, "codexCLIExecutablePath": sys.argv[2]}
document["Vantorel.settings"] = {"type": "data", "value": base64.b64encode(json.dumps(settings).encode()).decode()}
json.dump(document, open(sys.argv[3], "w"))
EOF

for delay in "$@"; do
  for scenario in fresh history refresh; do
    for way in term quit; do
      dir=$work/run
      rm -rf "$dir"
      mkdir -p "$dir/config/Vantorel" "$dir/data" "$dir/state"
      rm -f "$work/codex.pids"
      [[ $scenario == history ]] && cp "$history" "$dir/config/Vantorel/defaults.json"
      [[ $scenario == refresh ]] && cp "$work/refresh.json" "$dir/config/Vantorel/defaults.json"
      XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_STATE_HOME=$dir/state \
        "$app" >"$dir/stdout" 2>"$dir/stderr" &
      end_after $! "$delay" "$way" "$dir/state/Vantorel/Vantorel.log"
      left=
      for child in $(cat "$work/codex.pids" 2>/dev/null); do
        kill -0 "$child" 2>/dev/null && { left=$child; kill -KILL "$child"; }
      done
      verdict=$(python3 - "$dir" "$scenario" "$history" "$rc" "$work/refresh.json" "$left" "$before_main" <<'EOF'
import base64, json, sys
folder, scenario, history, rc, refresh, left, before_main = sys.argv[1:8]
if before_main and rc == "143":
    print("ok before-main")
    sys.exit()
problems = []
if rc != "0":
    problems.append("exit=" + rc)
if left:
    problems.append("codex-left-running")
try:
    log = open(folder + "/state/Vantorel/Vantorel.log", encoding="utf-8", errors="replace").read()
except OSError:
    log = ""
if "app.willTerminate" not in log:
    problems.append("no-willTerminate")
stderr = open(folder + "/stderr", encoding="utf-8", errors="replace").read()
if "Sanitizer" in stderr or "runtime error" in stderr:
    problems.append("sanitizer")
try:
    stored = json.load(open(folder + "/config/Vantorel/defaults.json"))
except (OSError, ValueError) as error:
    stored = None
    problems.append("settings-unreadable")
def samples(document):
    entry = (document or {}).get("Vantorel.usageHistory")
    return json.loads(base64.b64decode(entry["value"])) if entry else []
if stored is not None:
    if not stored.get("Vantorel.defaultsApplied.startupUI.1", {}).get("value"):
        problems.append("defaults-lost")
    if scenario == "refresh":
        path = lambda document: json.loads(base64.b64decode(
            document.get("Vantorel.settings", {}).get("value", "e30="))).get("codexCLIExecutablePath")
        if path(stored) != path(json.load(open(refresh))):
            problems.append("settings-lost")
    if scenario != "fresh":
        kept = {s["id"] for s in samples(json.load(open(history)))[-2500:]}
        missing = kept - {s["id"] for s in samples(stored)}
        if missing:
            problems.append("history-missing=%d" % len(missing))
# How far the start-up got: the last of these the log shows.
reached = "start"
for marker in ("viewModel.init", "statusItem.created", "refreshScheduledItems.start", "app.didFinishLaunching",
               "mainWindow.open", "refreshScheduledItems.end"):
    if marker in log:
        reached = marker
print(("FAIL " + " ".join(problems) if problems else "ok") + " reached=" + reached)
EOF
)
      echo "run $delay $scenario $way $verdict"
      if [[ $verdict == FAIL* ]]; then
        { echo "delay=$delay $scenario $way: $verdict"; tail -n 40 "$dir/stderr"; echo "log:"; cat "$dir/state/Vantorel/Vantorel.log" 2>/dev/null; } \
          >"$work/failed-$delay-$scenario-$way"
      fi
    done
  done
done

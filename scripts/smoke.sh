#!/usr/bin/env bash
# Starts the real application the way a desktop does and checks what a user would see, from
# its log, the buses and the X server:
#   smoke.sh VANTOREL_BINARY FAKE_DESKTOP_SERVICES_BINARY
# Around it: a throw-away home and XDG folders, Xvfb with trayer as the tray, a private session
# bus with a stand-in notification server, a private system bus with a stand-in logind, and a
# stand-in `codex` on PATH. Exits 77 (skipped) when Xvfb or trayer is missing. Pictures of the
# tray, the window at each start, every page of the window, the popover and the history's delete
# sheet, in light and dark colours, a walk with Tab, a storage failure and a screen smaller than
# the window go to $VANTOREL_TEST_ARTEFACTS/smoke; the pages are reached with the pointer and the
# keyboard.
set -uo pipefail
app=$(readlink -f "${1:?vantorel binary}")
services=$(readlink -f "${2:?fake_desktop_services binary}")
here=$(cd "$(dirname "$0")" && pwd)
fake_codex=$here/../tests/support/fake_codex_app_server.py

# What the checks expect, in one place: the Codex reading served, and the texts it must produce.
five_hour_used=92
weekly_used=40
expected_reading="usage.refresh provider=Codex fiveHourRemaining=8.0 weeklyRemaining=60.0"
expected_notification=$'Codex 使用量が少なくなっています\t5時間枠の残りが 8% です。'
# Bounds for each wait: generous for a sanitizer build on two cores, far below the test's time-out.
wait_seconds=20
# Screens of the first-run guide and steps of the setup wizard; the wizard's last step applies.
guide_screens=9
wizard_steps=7
# At most this many screens of a scrolling page are taken.
scroll_screens=6
# Tab presses of the keyboard walk.
tab_steps=8

for tool in Xvfb trayer; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "smoke: skipped: $tool is not installed (scripts/deps.txt lists it)"
    exit 77
  fi
done
for tool in dbus-daemon gdbus xwininfo xdotool python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "smoke: $tool is missing (scripts/deps.txt lists it)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  [ -n "${session_bus_pid:-}" ] && kill "$session_bus_pid" 2>/dev/null
  [ -n "${system_bus_pid:-}" ] && kill "$system_bus_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
artefacts=${VANTOREL_TEST_ARTEFACTS:-$work/artefacts}/smoke
mkdir -p "$artefacts" "$work/home/.cache" "$work/config" "$work/data" "$work/state" "$work/cache" \
  "$work/runtime" "$work/bin"
chmod 700 "$work/runtime"
log=$work/state/Vantorel/Vantorel.log
settings=$work/config/Vantorel/defaults.json
notifications=$work/notifications
codex_log=$work/codex.log
: >"$notifications"
: >"$codex_log"

fail() {
  echo "smoke: FAILED: $*" >&2
  echo "--- application log" >&2
  cat "$log" >&2 2>/dev/null
  echo "--- notifications" >&2
  cat "$notifications" >&2
  echo "--- fake codex" >&2
  cat "$codex_log" >&2
  for output in "$work"/*.out; do
    [ -s "$output" ] || continue
    echo "--- $(basename "$output")" >&2
    tail -n 40 "$output" >&2
  done
  exit 1
}

# Waits, bounded, until the command succeeds. A poll of files the processes write: the only
# signal a shell gets from them.
wait_until() {
  local what=$1 deadline=$((SECONDS + wait_seconds))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "timed out waiting for $what"
    sleep 0.1
  done
}
log_has() { grep -qF -- "pid=$1 $2" "$log" 2>/dev/null; }
wait_for_log() { wait_until "\"$2\" from pid $1" log_has "$1" "$2"; }
count_log() { grep -cF -- "pid=$1 $2" "$log" 2>/dev/null; }
codex_runs() { grep -c '^args ' "$codex_log"; }
at_least() { [ "$("${@:2}")" -ge "$1" ]; }
# Until the last check SIGTERM comes between refreshes: those checks are about what a finished
# refresh left behind.
wait_for_refreshes() { wait_until "refresh $2 of pid $1 to end" at_least "$2" count_log "$1" "refreshScheduledItems.end"; }
# The messages of one process, in order, must contain these in this order.
in_order() {
  local pid=$1 previous=0 message line
  shift
  for message in "$@"; do
    line=$(grep -nF -- "pid=$pid $message" "$log" | head -n 1 | cut -d: -f1)
    [ -n "$line" ] || fail "pid $pid never logged \"$message\""
    [ "$line" -gt "$previous" ] || fail "pid $pid logged \"$message\" out of order"
    previous=$line
  done
}

# Private buses with policies of our own: nothing reaches the machine's buses.
source "$here/private-bus.sh"
session_bus_pid=$(start_bus session) || fail "no session bus"
system_bus_pid=$(start_bus system) || fail "no system bus"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/session.sock DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system.sock
export PATH=$work/bin:$PATH TZ=${TZ:-Asia/Tokyo} LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp}
unset WAYLAND_DISPLAY VANTOREL_TRAY_HOST

# Xvfb picks a free display and writes its number to the descriptor: no fixed number can clash.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.out" 2>&1 &
pids+=($!)
read -r display <"$work/display" || fail "Xvfb did not start"
export DISPLAY=:$display

trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.out" 2>&1 &
pids+=($!)
tray_panel() { xwininfo -root -children 2>/dev/null | awk '/\("panel" "trayer"\)/ { print $1; exit }'; }
tray_ready() { [ -n "$(tray_panel)" ]; }
wait_until "trayer's panel" tray_ready
panel=$(tray_panel)

mkfifo "$work/commands"
exec 7<>"$work/commands"
"$services" serve "$notifications" <"$work/commands" >"$work/services.out" 2>&1 &
pids+=($!)
wait_until "the stand-in desktop services" grep -q '^ready' "$work/services.out"

# The Codex CLI: each run answers one rate-limit read.
now=$(date +%s)
cat >"$work/codex.scenario" <<EOF
expect
send {"id":{id},"result":{"userAgent":"smoke/1"}}
expect
expect
send {"id":{id},"result":{"rateLimits":{"primary":{"usedPercent":$five_hour_used,"windowDurationMins":300,"resetsAt":$((now + 3 * 3600))},"secondary":{"usedPercent":$weekly_used,"windowDurationMins":10080,"resetsAt":$((now + 5 * 86400))},"credits":null,"planType":"plus","limitId":"codex"},"rateLimitsByLimitId":null}}
drain
EOF
printf '#!/bin/sh\nexec python3 "%s" "%s" "%s" "$@"\n' "$fake_codex" "$work/codex.scenario" "$codex_log" >"$work/bin/codex"
chmod +x "$work/bin/codex"

start_copy() {
  "$app" >"$work/app-$1.out" 2>&1 &
  pids+=($!)
  eval "$1=$!"
}
# Top-level windows titled "Vantorel" that are on screen.
visible_windows() {
  local id
  for id in $(xwininfo -root -children 2>/dev/null | awk '$2 == "\"Vantorel\":" { print $1 }'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
  done
}
one_window() { [ "$(visible_windows | wc -l)" -eq 1 ]; }
not_one_window() { ! one_window; }
# A window's place and size on screen, as "X Y W H" in pixels.
window_extent() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ +Width:/ { w = $NF } /^ +Height:/ { h = $NF } END { print x, y, w, h }'
}
inside_screen() {
  local x y w h
  read -r x y w h <<<"$(window_extent "$1")"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 800 ]
}
# Where a window's top left corner is on screen, as "X Y".
window_place() { xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }'; }
# Top-level windows on screen besides the main window and the tray: a sheet or the popover.
other_windows() {
  local id
  for id in $(xwininfo -root -children 2>/dev/null | awk '$1 ~ /^0x/ { print $1 }'); do
    [ "$id" = "${window:-}" ] || [ "$id" = "${panel:-}" ] && continue
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
  done
}
one_other_window() { [ "$(other_windows | wc -l)" -eq 1 ]; }
no_other_window() { [ -z "$(other_windows)" ]; }
# The Codex reading in the settings file, as "<five-hour> <weekly>" percent left.
stored_reading() {
  python3 -c 'import base64, json, sys
usage = json.loads(base64.b64decode(json.load(open(sys.argv[1]))["Vantorel.usage"]["value"]))
print(usage["fiveHourRemainingPercent"], usage["weeklyRemainingPercent"])' "$settings" 2>/dev/null
}
# Windows the tray holds besides its own: our icon once it is embedded.
tray_icons() { xwininfo -tree -id "$panel" 2>/dev/null | grep -cE '^ {8,}0x[0-9a-f]+ .*[0-9]+x[0-9]+\+' ; }
tray_icon() { xwininfo -tree -id "$panel" 2>/dev/null | grep -E '^ {8,}0x[0-9a-f]+ .*[0-9]+x[0-9]+\+' | tail -n 1 | awk '{ print $1 }'; }
click_tray_icon() { xdotool mousemove --window "$(tray_icon)" 8 8 click 1 mousemove 0 0; }
# Clicks the tray icon of pid $1 and sets $popover to the window it opens.
open_popover() {
  click_tray_icon
  wait_for_log "$1" "popover.open"
  wait_until "the popover" one_other_window
  popover=$(other_windows)
}
# One long-lived picture taker: starting a Qt program for each picture would cost most of the minute.
coproc SHOTS { exec "$services" shots 2>"$work/shots.out"; }
pids+=("$SHOTS_PID")
# Saves a picture of window $1 as $2.png; further words go to the picture taker as they stand
# (before=PNG, region=X,Y,W,H, wait=MS). Prints its answer: changed, unchanged or failed.
picture() {
  local window=$1 name=$2 answer
  shift 2
  echo "$window $artefacts/$name.png $*" >&"${SHOTS[1]}"
  read -r -t "$wait_seconds" answer <&"${SHOTS[0]}" || answer=failed
  echo "$answer"
}
screenshot() { [ "$(picture "$1" "$2")" = changed ] || echo "smoke: no picture of $2" >&2; }

# The tour of the window's pages. Each picture must differ from the one before it (the picker
# waits for that), so a click or a key that reached nothing fails the run.
last_page=
page() {
  local name=page-$1$suffix answer
  shift
  answer=$(picture "$window" "$name" ${last_page:+"before=$last_page"} "$@")
  [ "$answer" = changed ] || fail "the page \"$name\" did not appear ($answer)"
  last_page=$artefacts/$name.png
}
# Clicks at window pixels, then takes the pointer off the window so no hover stays in the picture.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1 mousemove 0 0; }
# The centres of the sidebar's navigation entries; only the sidebar tells whether one was reached.
sidebar_x=47
declare -A sidebar_y=([main]=30 [manual]=70 [history]=110 [settings]=530)
sidebar_region=region=0,0,95,560
visit() { click "$sidebar_x" "${sidebar_y[$1]}"; page "$1" "$sidebar_region"; }
# The title of the guide's and the wizard's frame ("はじめに", "初回設定").
frame_title_region=region=110,8,120,30
# The button that opens the guide again, on top of the settings page, and the notification tab
# of the history page.
guide_button=(172 210)
history_notifications_tab=(376 86)
# The history page's delete button; the settings page's iCloud switch on its first screen and
# its cloud data delete button a wheel's screen further down.
history_clear=(453 38)
cloud_switch=(442 511)
cloud_delete=(193 147)
# The wheel over a scrolling page, a screen at a time, until it reaches the end.
scroll() {
  local page=$1 screen answer name
  for ((screen = 2; screen <= scroll_screens; screen++)); do
    name=page-$page-$screen$suffix
    xdotool mousemove --window "$window" 290 300 click --repeat 8 --delay 10 5 mousemove 0 0
    answer=$(picture "$window" "$name" "before=$last_page" wait=1500)
    if [ "$answer" != changed ]; then
      rm -f "$artefacts/$name.png"
      break
    fi
    last_page=$artefacts/$name.png
  done
  [ "$screen" -gt 2 ] || fail "the $page page does not scroll"
}
notification_count() { grep -cxF -- "$expected_notification" "$notifications"; }
terminate() {
  local pid=$1 status=0
  kill -TERM "$pid"
  wait "$pid" || status=$?
  [ $status -eq 0 ] || fail "pid $pid exited $status on SIGTERM"
  log_has "$pid" "app.willTerminate" || fail "pid $pid quit without \"app.willTerminate\""
}

# First start: start-up order, launch order, the tray icon, the first refresh and its notification.
start_copy first
wait_for_log "$first" "mainWindow.open reason=launch"
# Services and the view model, then the status item, all before launching finishes; the window after.
in_order "$first" "app.start version=" "viewModel.init" "statusItem.created" "app.didFinishLaunching" \
  "mainWindow.created" "mainWindow.open reason=launch"
grep -F "pid=$first app.start version=" "$log" | grep -qF " bundle=$app" || fail "the start line names another binary"
wait_until "the tray icon embedded in trayer" at_least 1 tray_icons
wait_until "one window on screen" one_window
wait_for_log "$first" "$expected_reading"
wait_until "the low-balance notification" at_least 1 notification_count
screenshot "$panel" tray
screenshot "$(visible_windows | head -n 1)" window-first-launch

# Every page as a user reaches it: the first-run guide is on screen, Return goes on through it
# into the setup wizard (short of the wizard's last step, which would apply it), the sidebar
# opens the other pages and the wheel scrolls the long ones. Then the desktop turns dark, the
# pages are seen again, and it turns light.
window=$(visible_windows | head -n 1)
xdotool windowfocus "$window"
suffix=
for ((screen = 1; screen <= guide_screens; screen++)); do
  page "setup-$screen"
  xdotool key Return
done
for ((step = 1; step <= wizard_steps; step++)); do
  page "initialSetup-$step"
  [ "$step" -lt "$wizard_steps" ] && xdotool key Return
done
visit main
scroll main
visit manual
visit history
click "${history_notifications_tab[@]}"
page history-notifications
visit settings
scroll settings
suffix=-dark
echo "color-scheme dark" >&7
page settings-end
for name in main manual history settings; do visit "$name"; done
click "${guide_button[@]}"
page setup
# Through the guide without a stop: its last screen leads on to the wizard where it was left.
# Only the frame's title tells the wizard from the guide's screens on the way.
for ((screen = 1; screen <= guide_screens; screen++)); do xdotool key Return; done
page initialSetup "$frame_title_region"
visit main
suffix=
echo "color-scheme light" >&7
page main

# Beyond the pages, each kept as pictures: a walk with Tab through the dashboard, the history's
# delete sheet, a storage failure, the popover, and the window closed and opened again. This
# session has no Secret Service, so the settings tour above shows the secret fields as they are
# without a keyring.
xdotool windowfocus "$window"
moved=0
before=$last_page
for ((step = 1; step <= tab_steps; step++)); do
  xdotool key Tab
  [ "$(picture "$window" "tab-$step" "before=$before" wait=300)" = changed ] && moved=$((moved + 1))
  before=$artefacts/tab-$step.png
done
echo "smoke: $moved of $tab_steps Tab presses changed what the dashboard shows"

visit history
click "${history_clear[@]}"
wait_until "the delete sheet" one_other_window
sheet=$(other_windows)
screenshot "$sheet" sheet-history-delete
xdotool windowfocus "$sheet" key Escape
wait_until "the delete sheet to close" no_other_window
xdotool windowfocus "$window"

# The cloud data's delete sheet: iCloud sync turned on (into this session's own folder), then
# the delete button a screen further down.
visit settings
click "${cloud_switch[@]}"
xdotool mousemove --window "$window" 290 300 click --repeat 8 --delay 10 5 mousemove 0 0
[ "$(picture "$window" cloud-on "before=$artefacts/page-settings-2.png" region=112,118,165,28 wait=5000)" = changed ] ||
  fail "the cloud data could not be deleted after turning iCloud sync on"
click "${cloud_delete[@]}"
wait_until "the cloud delete sheet" one_other_window
sheet=$(other_windows)
screenshot "$sheet" sheet-cloud-delete
xdotool windowfocus "$sheet" key Escape
wait_until "the cloud delete sheet to close" no_other_window
xdotool windowfocus "$window"
visit main
visit settings
click "${cloud_switch[@]}"
last_page=$artefacts/cloud-on.png
visit history

# A settings write that fails: the folder made unwritable (as root, a file in its place).
if [ "$(id -u)" -eq 0 ]; then
  mv "$work/config/Vantorel" "$work/config/Vantorel.kept" && : >"$work/config/Vantorel"
else
  chmod 500 "$work/config/Vantorel"
fi
runs=$(codex_runs)
echo session-reactivate >&7
wait_until "the refresh that stores its reading" at_least $((runs + 1)) codex_runs
wait_for_log "$first" "settings.write.failed"
for suffix in "" -dark; do
  [ -n "$suffix" ] && echo "color-scheme dark" >&7
  page storage-failure "region=96,0,386,120"
done
echo "color-scheme light" >&7
if [ "$(id -u)" -eq 0 ]; then
  rm "$work/config/Vantorel" && mv "$work/config/Vantorel.kept" "$work/config/Vantorel"
else
  chmod 700 "$work/config/Vantorel"
fi
suffix=
# The next write works again and the warning goes.
runs=$(codex_runs)
echo session-reactivate >&7
wait_until "the refresh after the folder came back" at_least $((runs + 1)) codex_runs
page history-written "region=96,0,386,120"
visit main

# The popover: the tray icon opens it, in light and dark, and a second click closes it.
open_popover "$first"
screenshot "$popover" popover
echo "color-scheme dark" >&7
[ "$(picture "$popover" popover-dark "before=$artefacts/popover.png")" = changed ] || fail "the popover did not turn dark"
echo "color-scheme light" >&7
click_tray_icon
wait_until "the popover to close" no_other_window

# Reopening shows the same window again, and no second one.
gdbus call --session --dest vantorel.monitor --object-path /vantorel/monitor \
  --method org.freedesktop.Application.Activate '@a{sv} {}' >/dev/null || fail "Activate was refused"
wait_for_log "$first" "mainWindow.open reason=reopen"
in_order "$first" "app.reopen hasVisibleWindows=true" "mainWindow.open reason=reopen"
[ "$(count_log "$first" "mainWindow.created")" -eq 1 ] || fail "reopening created a second window"
one_window || fail "reopening put a second window on screen"

# Closing the window keeps it and its page: reopening shows the page left, with no new window.
visit history
left_at=$(window_place "$window")
python3 "$here/close-window.py" "$window"
wait_until "the window to close" not_one_window
gdbus call --session --dest vantorel.monitor --object-path /vantorel/monitor \
  --method org.freedesktop.Application.Activate '@a{sv} {}' >/dev/null || fail "Activate was refused"
wait_until "the window again" one_window
[ "$(count_log "$first" "mainWindow.created")" -eq 1 ] || fail "reopening after a close built a second window"
window=$(visible_windows | head -n 1)
[ "$(window_place "$window")" = "$left_at" ] || fail "the reopened window moved from $left_at to $(window_place "$window")"
[ "$(picture "$window" page-history-reopened "before=$artefacts/page-main.png" "$sidebar_region")" = changed ] ||
  fail "the reopened window did not come back"
[ "$(picture "$window" page-history-reopened "before=$artefacts/page-history.png" "$sidebar_region" wait=0)" = unchanged ] ||
  fail "the reopened window did not show the page left"
xdotool windowfocus "$window"
visit main

# The login session turning active again refreshes.
runs=$(codex_runs)
echo session-reactivate >&7
wait_for_log "$first" "refresh.requested reason=session-active"
in_order "$first" "app.sessionDidBecomeActive" "refresh.requested reason=session-active"
wait_until "the refresh for the active session" at_least $((runs + 1)) codex_runs
wait_for_refreshes "$first" 2

# SIGTERM keeps the reading; the next start shows it and does not notify again at the same level.
terminate "$first"
[ "$(stored_reading)" = "$((100 - five_hour_used)) $((100 - weekly_used))" ] || fail "the reading is not in the settings file"
start_copy second
wait_for_log "$second" "mainWindow.open reason=launch"
wait_for_refreshes "$second" 1
[ "$(notification_count)" -eq 1 ] || fail "the same level was notified again"
screenshot "$(visible_windows | head -n 1)" window-second-launch

# A copy started while another runs replaces it.
start_copy third
wait_for_log "$third" "mainWindow.open reason=launch"
in_order "$third" "app.start version=" "singleInstance.terminateOther pid=$second name=vantorel bundle=$app" \
  "viewModel.init" "statusItem.created" "app.didFinishLaunching"
wait "$second"; status=$?
[ $status -eq 0 ] || fail "the replaced copy exited $status"
log_has "$second" "app.willTerminate" || fail "the replaced copy quit without \"app.willTerminate\""
# The running copy accepts the ordinary request: forcing it is only for a copy that refuses.
! log_has "$third" "singleInstance.forceTerminateOther" || fail "the running copy was forced to quit"
wait_for_refreshes "$third" 1
terminate "$third"
[ "$(wc -l <"$notifications")" -eq 1 ] || fail "unexpected notifications"

# A small screen: at a scale factor of 2 the 1280 x 800 screen is 640 x 400, shorter than the
# window. The window and the popover fit inside it, and the sidebar's last entry can be reached.
QT_SCALE_FACTOR=2 start_copy small
wait_for_log "$small" "mainWindow.open reason=launch"
wait_until "the window on the small screen" one_window
window=$(visible_windows | head -n 1)
inside_screen "$window" || fail "the window leaves the small screen: $(window_extent "$window")"
last_page=
suffix=-small
page launch
# Pointer and pictures count device pixels, twice the window's own.
height=$(window_extent "$window" | cut -d' ' -f4)
sidebar_x=94
sidebar_y[settings]=$((height - 60))
sidebar_region=region=0,0,190,$height
xdotool windowfocus "$window"
visit settings
open_popover "$small"
inside_screen "$popover" || fail "the popover leaves the small screen: $(window_extent "$popover")"
screenshot "$popover" popover-small
suffix=
wait_for_refreshes "$small" 1
terminate "$small"

# SIGTERM while a refresh waits on a CLI that never answers: the child is killed and every task
# unwinds before the process ends (a sanitizer build exits non-zero on what stays behind).
printf 'pid hung\nexpect\nhang\n' >"$work/codex.scenario"
start_copy fourth
wait_until "the silent Codex CLI" test -s "$work/hung"
terminate "$fourth"
[ ! -e "/proc/$(cat "$work/hung")" ] || fail "the silent Codex CLI outlived the application"
echo "smoke: passed"

# Sourced at the top of a measuring script, with the script's arguments: runs the script again in
# a scratch home under a private session bus (made after the home, so that the services the bus
# starts use it too), then starts a private X display there. Leaves `scratch` set to the home and
# DISPLAY exported; everything started in the background ends with the script.
#   source "$(dirname "$0")/measure-session.sh" "$@"
if [[ -z "${MEASURE_SESSION_SCRATCH:-}" ]]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  MEASURE_SESSION_SCRATCH=$scratch HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state \
    XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache dbus-run-session -- "$0" "$@"
  exit
fi
scratch=$MEASURE_SESSION_SCRATCH
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null' EXIT

# Xvfb picks a free display and writes its number to the descriptor.
mkfifo "$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
read -r display <"$scratch/display"
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb

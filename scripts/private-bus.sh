# Sourced by the scripts that run the application against buses of their own.
# start_bus <session|system>: starts a bus listening at $work/<type>.sock, with a policy that lets
# everything through, so nothing reaches the machine's buses; prints the daemon's pid.
start_bus() {
  local type=$1
  cat >"$work/$type.conf" <<EOF_CONF
<busconfig><type>$type</type><listen>unix:path=$work/$type.sock</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>
EOF_CONF
  dbus-daemon --config-file="$work/$type.conf" --fork --print-pid
}

#!/usr/bin/env bash
# Runs every test through CTest in a sealed environment: a private D-Bus session, an offscreen
# display, a fixed zone and locale, and a throw-away home so no test touches the real one.
set -euo pipefail
build_dir=${1:?build directory}
shift || true
build_dir=$(cd "$build_dir" && pwd)

sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/home/.cache" "$sandbox/config" "$sandbox/data" "$sandbox/state" "$sandbox/cache" "$sandbox/runtime"
chmod 700 "$sandbox/runtime"

export HOME="$sandbox/home"
export XDG_CONFIG_HOME="$sandbox/config"
export XDG_DATA_HOME="$sandbox/data"
export XDG_STATE_HOME="$sandbox/state"
export XDG_CACHE_HOME="$sandbox/cache"
export XDG_RUNTIME_DIR="$sandbox/runtime"
export QT_QPA_PLATFORM=offscreen
export TZ=Asia/Tokyo
export LANG=C.UTF-8
export LC_ALL=C.UTF-8
export VANTOREL_TEST_ARTEFACTS="$build_dir/artefacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=suppressions="$(cd "$(dirname "$0")" && pwd)/lsan.supp"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

jobs=$(nproc 2>/dev/null || echo 2)
# Not exec: the EXIT trap must still remove the sandbox.
status=0
dbus-run-session -- "$(cd "$(dirname "$0")" && pwd)/test-session.sh" "$build_dir" -j"$jobs" "$@" || status=$?
exit $status

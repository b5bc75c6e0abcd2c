#!/usr/bin/env bash
# Inside the private D-Bus session: start an unlocked keychain daemon when one is installed
# (integration tests of the secret store skip themselves without it), then run CTest.
set -uo pipefail
build_dir=$1
shift
if command -v gnome-keyring-daemon >/dev/null 2>&1; then
  eval "$(printf %s "vantorel-test" | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)" || true
  if gdbus wait --session --timeout 10 org.freedesktop.secrets >/dev/null 2>&1; then
    export VANTOREL_TEST_SECRET_SERVICE=1
  fi
fi
cd "$build_dir"
ctest --output-on-failure --no-tests=error "$@"

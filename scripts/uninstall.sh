#!/usr/bin/env bash
# Removes exactly the files that `make install` put in place, as CMake listed them in
#   uninstall.sh BUILD_DIR/install_manifest.txt
# Folders are left alone: other programs may share them.
set -euo pipefail
manifest=${1:?install_manifest.txt}
if [ ! -f "$manifest" ]; then
  echo "uninstall: $manifest not found: nothing was installed from this build" >&2
  exit 1
fi
while IFS= read -r file || [ -n "$file" ]; do
  [ -n "$file" ] || continue
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f -- "$file"
    echo "removed $file"
  fi
done <"$manifest"
rm -f -- "$manifest"

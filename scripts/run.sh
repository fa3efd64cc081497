#!/usr/bin/env bash
# Installs what is missing, builds Corvane and starts it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${CORVANE_BUILD_ROOT:-$here/build}
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$out/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Real cards need the right to open disks: run as root or as a member of the
# disk group. Without a display there is nothing to show a window on.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: start it from a desktop session (or try: xvfb-run $out/release/corvane)." >&2
  exit 1
fi
exec "$out/release/corvane" "$@"

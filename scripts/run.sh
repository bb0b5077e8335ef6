#!/usr/bin/env bash
# Sets up, builds, and opens the program on the sample catalogue.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup-debian.sh"
"$top/scripts/build.sh"
build=${BUILD_DIR:-$top/build}
catalogue="$build/catalogue"
mkdir -p "$catalogue"
if "$build/tools/velanta-tool" help 2>/dev/null | grep -q make-catalogue; then
  "$build/tools/velanta-tool" make-catalogue "$top/sample" "$catalogue"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display here; to try it anyway: xvfb-run -a $0" >&2
  exit 1
fi
cd "$catalogue"
exec "$build/app/velanta"

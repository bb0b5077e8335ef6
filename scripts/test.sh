#!/usr/bin/env bash
# Sets up, builds, and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup-debian.sh"
export BUILD_DIR=${BUILD_DIR:-$top/build}
"$top/scripts/build.sh"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@"

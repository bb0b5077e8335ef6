#!/usr/bin/env bash
# Configures and builds into a build folder (default: build). Extra arguments go to CMake.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${BUILD_DIR:-$top/build}
if [ ! -f "$dir/build.ninja" ] || [ "$#" -gt 0 ]; then
  cmake -S "$top" -B "$dir" -G Ninja "$@"
fi
cmake --build "$dir" -j "$(nproc)"

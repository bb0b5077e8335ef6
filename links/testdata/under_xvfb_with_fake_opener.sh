#!/bin/sh
# Runs a test binary on a private X server, with a fake xdg-open first on PATH that writes
# each argument it gets on a line of $VELANTA_OPENED_LOG. Exits 77 (skipped) without Xvfb.
set -eu
binary=$1
command -v Xvfb >/dev/null 2>&1 || exit 77
work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
i=0
while [ ! -s "$work/display" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
[ -s "$work/display" ] || exit 77
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<FAKE
#!/bin/sh
for argument in "\$@"; do printf '%s\n' "\$argument" >>"$work/opened"; done
FAKE
chmod +x "$work/bin/xdg-open"
DISPLAY=:$(head -n1 "$work/display")
PATH="$work/bin:$PATH"
QT_QPA_PLATFORM=xcb
VELANTA_OPENED_LOG="$work/opened"
export DISPLAY PATH QT_QPA_PLATFORM VELANTA_OPENED_LOG
"$binary"

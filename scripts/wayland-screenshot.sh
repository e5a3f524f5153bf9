#!/bin/sh
# The program on Wayland: weston's headless back end (pixman renderer, no display needed) with
# the program on Qt's wayland platform plug-in, playing two clips, and a screenshot taken with
# weston-screenshooter (allowed by weston's --debug).
#
#   scripts/wayland-screenshot.sh [BUILD-DIR] [OUT-FILE]     default: build, wayland.png
#
# Needs weston and qt6-wayland (scripts/install-deps.sh) and the generated clips (ninja -C
# BUILD cinevo_test_media). The program runs with a fresh data folder.
set -eu
BUILD=$(cd "${1:-build}" && pwd)
OUT=${2:-wayland.png}
case "$OUT" in /*) ;; *) OUT="$(pwd)/$OUT" ;; esac
for f in clip.avi clip.mov; do
  [ -f "$BUILD/test-media/$f" ] || { echo "no $BUILD/test-media/$f: ninja -C $BUILD cinevo_test_media" >&2; exit 2; }
done
command -v weston >/dev/null || { echo "weston is not installed (scripts/install-deps.sh)" >&2; exit 2; }

WORK=$(mktemp -d)
chmod 700 "$WORK"
export XDG_RUNTIME_DIR="$WORK"
SOCKET=cinevo-wayland
weston --backend=headless-backend.so --use-pixman --width=1280 --height=800 \
  --socket=$SOCKET --debug --no-config --log="$WORK/weston.log" >/dev/null 2>&1 &
weston_pid=$!
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  kill "$weston_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
i=0
while [ ! -S "$WORK/$SOCKET" ]; do
  i=$((i + 1)); [ $i -le 50 ] || { echo "weston did not start:" >&2; cat "$WORK/weston.log" >&2; exit 1; }
  sleep 0.1
done

export WAYLAND_DISPLAY=$SOCKET
QT_QPA_PLATFORM=wayland "$BUILD/app/cinevo" --data-dir "$WORK/data" \
  "$BUILD/test-media/clip.avi" "$BUILD/test-media/clip.mov" >"$WORK/cinevo.log" 2>&1 &
program_pid=$!
sleep "${WAIT_SECONDS:-4}"
kill -0 "$program_pid" 2>/dev/null || { echo "the program ended:" >&2; cat "$WORK/cinevo.log" >&2; exit 1; }
(cd "$WORK" && weston-screenshooter) || { echo "no screenshot:" >&2; tail "$WORK/weston.log" >&2; exit 1; }
mv "$WORK"/wayland-screenshot-*.png "$OUT"
echo "wayland-screenshot: $OUT"
grep -i "qt.qpa\|wayland" "$WORK/cinevo.log" || true

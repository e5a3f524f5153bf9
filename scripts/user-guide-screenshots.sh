#!/bin/sh
# The screenshots of the user guide (docs/user-guide.md), taken on a virtual display by
# scripts/player-screenshots.sh and scripts/favourites-screenshot.sh, and on weston's headless Wayland back end by
# scripts/wayland-screenshot.sh when weston is installed.
#
#   scripts/user-guide-screenshots.sh [BUILD-DIR]        writes docs/user-guide/*.png
#
# Needs what those two need, and imagemagick's mogrify.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT="$ROOT/docs/user-guide"
mkdir -p "$OUT"
"$ROOT/scripts/player-screenshots.sh" "$BUILD" "$OUT"
# The virtual display has no window manager: the windows sit on black, which is cut away.
for f in "$OUT"/[1-5]-*.png; do mogrify -trim +repage "$f"; done
WORK=$(mktemp -d)
"$ROOT/scripts/favourites-screenshot.sh" "$BUILD" "$WORK"
mogrify -trim +repage "$WORK/favourites-2-expanded.png"
mv "$WORK/favourites-2-expanded.png" "$OUT/7-favourites.png"
rm -rf "$WORK"
if command -v weston >/dev/null; then
  "$ROOT/scripts/wayland-screenshot.sh" "$BUILD" "$OUT/6-wayland.png"
fi

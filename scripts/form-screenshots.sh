#!/bin/sh
# Screenshots of the update forms on a virtual display, over a small sample catalogue:
#   1. the group form of "Holidays 2026" with its movies;
#   2. the movie form of the first movie (the group form's Change button);
#   3. the group form made larger, its list grown with it.
#
#   scripts/form-screenshots.sh [BUILD-DIR] [OUT-DIR]
#
# Needs xvfb-run, xdotool and imagemagick's import, and the update_forms example (ninja -C
# BUILD-DIR update_forms). The screenshots are OUT-DIR/1-group-form.png ... 3-group-form-larger.png.
set -eu
BUILD=$(cd "${1:-build}" && pwd)
OUT=$(mkdir -p "${2:-shots}" && cd "${2:-shots}" && pwd)
[ -x "$BUILD/examples/update_forms" ] || { echo "no $BUILD/examples/update_forms: ninja -C $BUILD update_forms" >&2; exit 2; }
for tool in xvfb-run xdotool import; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 2; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

cat > "$WORK/session.sh" <<'SESSION'
#!/bin/sh
set -u
"$PROGRAM" "$WORK/catalogue" &
pid=$!
shot() { sleep "$2"; import -window root "$OUT/$1.png"; }
win() { xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
group=$(win '^Change group$')
shot 1-group-form 1.5
xdotool windowfocus --sync "$group"
xdotool key --delay 150 alt+c
movie=$(win '^Change movie$')
# Without a window manager every window opens at the top left: the movie form goes beside the
# group form.
xdotool windowmove --sync "$movie" 460 0
shot 2-movie-form 1.5
# Its Cancel button, 125 pixels left of its right edge and 40 above its bottom.
eval "$(xdotool getwindowgeometry --shell "$movie")"
xdotool mousemove --sync $((X + WIDTH - 125)) $((Y + HEIGHT - 40)) click 1
sleep 1
xdotool windowsize --sync "$group" 640 480 2>/dev/null
shot 3-group-form-larger 1.5
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit 0
SESSION
chmod +x "$WORK/session.sh"

PROGRAM="$BUILD/examples/update_forms" WORK="$WORK" OUT="$OUT" \
  xvfb-run -a -s '-screen 0 1280x800x24' "$WORK/session.sh"
for f in "$OUT"/[123]-*.png; do convert "$f" -trim +repage "$f" 2>/dev/null || true; done
ls -1 "$OUT"

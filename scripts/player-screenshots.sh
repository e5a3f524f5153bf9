#!/bin/sh
# Screenshots of the player as a new user meets it, on a virtual display:
#   1. the program started with four clips on the command line;
#   2. after Play list > Alignment I;
#   3. the play-list window (Play list > Edit);
#   4. the player window of the first movie (a double click on its row);
#   5. its details window (the Details button).
#
#   scripts/player-screenshots.sh [BUILD-DIR] [OUT-DIR]
#
# Needs xvfb-run, xdotool and imagemagick's import. The program runs with a fresh home folder
# (a new user: an empty catalogue) and the generated test clips (build the cinevo_test_media
# target first). The screenshots are OUT-DIR/1-started.png ... 5-details.png.
set -eu
BUILD=$(cd "${1:-build}" && pwd)
OUT=$(mkdir -p "${2:-shots}" && cd "${2:-shots}" && pwd)
MEDIA="$BUILD/test-media"
for f in clip.avi clip30.avi clip.mpg clip.mov; do
  [ -f "$MEDIA/$f" ] || { echo "no $MEDIA/$f: ninja -C $BUILD cinevo_test_media" >&2; exit 2; }
done
for tool in xvfb-run xdotool import; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 2; }
done

HOME_DIR=$(mktemp -d)
trap 'rm -rf "$HOME_DIR"' EXIT
mkdir -p "$HOME_DIR/Videos"
cp "$MEDIA/clip.avi" "$HOME_DIR/Videos/Beach.avi"
cp "$MEDIA/clip30.avi" "$HOME_DIR/Videos/Garden party.avi"
cp "$MEDIA/clip.mpg" "$HOME_DIR/Videos/City.mpg"
cp "$MEDIA/clip.mov" "$HOME_DIR/Videos/Mountains, 2026.mov"

cat > "$HOME_DIR/session.sh" <<'SESSION'
#!/bin/sh
set -u
cd "$HOME/Videos"
"$CINEVO" Beach.avi "Garden party.avi" City.mpg "Mountains, 2026.mov" &
pid=$!
shot() { sleep "$2"; import -window root "$OUT/$1.png"; }
# The window of `name`, waiting for it to appear.
win() { xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
main=$(win '^Cinevo \+$')
shot 1-started 2
xdotool windowfocus --sync "$main"
xdotool key --delay 150 alt+p Down Down Down Return
shot 2-alignment-i 2
xdotool windowfocus --sync "$main"
xdotool key --delay 150 alt+p Return
list=$(win '^Play list$')
shot 3-play-list 1
eval "$(xdotool getwindowgeometry --shell "$list")"
xdotool mousemove --sync $((X + 40)) $((Y + 12)) click --repeat 2 --delay 80 1
shot 4-player 1.5
# The player window opens under the pointer; its fifth button is Details.
eval "$(xdotool getmouselocation --shell)"
xdotool windowfocus --sync "$WINDOW"
xdotool key --delay 150 Tab Tab Tab Tab space
shot 5-details 1.5
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit 0
SESSION
chmod +x "$HOME_DIR/session.sh"

HOME="$HOME_DIR" XDG_DATA_HOME= CINEVO_DATA_DIR= CINEVO="$BUILD/app/cinevo" OUT="$OUT" \
  xvfb-run -a -s '-screen 0 1280x800x24' "$HOME_DIR/session.sh"
ls -1 "$OUT"

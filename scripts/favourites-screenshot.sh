#!/bin/sh
# Screenshots of the favourites window on a virtual display, over a catalogue of a few groups:
#   1. the window as it opens (Favorites > Edit): the groups contracted;
#   2. after Expand All from its popup menu (a right click, then "x");
#   3. after Contract All, with the second group opened by Ctrl+Right.
#
#   scripts/favourites-screenshot.sh [BUILD-DIR] [OUT-DIR]
#
# Needs xvfb-run, xdotool and imagemagick's import, and the cinevo and tvx programs of BUILD-DIR.
# The catalogue is made in a fresh data folder: the program creates the files on its first start,
# then `tvx import` adds the groups and movies. The screenshots are OUT-DIR/favourites-*.png.
set -eu
BUILD=$(cd "${1:-build}" && pwd)
OUT=$(mkdir -p "${2:-shots}" && cd "${2:-shots}" && pwd)
for tool in xvfb-run xdotool import; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 2; }
done
for program in "$BUILD/app/cinevo" "$BUILD/tools/tvx/tvx"; do
  [ -x "$program" ] || { echo "no $program: build it first" >&2; exit 2; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/home" "$WORK/data"
cat > "$WORK/groups.csv" <<'CSV'
SIFRA
Holidays 2026
Garden party
Mountains
Without movies
CSV
cat > "$WORK/movies.csv" <<'CSV'
SIFRA,NASLOV,NASLOV2
Holidays 2026,/home/ana/videos/beach.avi,/home/ana/
Holidays 2026,/home/ana/clips/harbour.mpg,/home/ana/
Holidays 2026,/media/cam/Sunset.MOV,/media/cam
Garden party,/home/ana/videos/garden.avi,/home/ana/
Garden party,/home/ana/videos/toast.mov,/home/ana/
Mountains,/srv/films/ridge walk.mpg,/srv/films
Mountains,/srv/films/summit.AVI,/srv/films
CSV

cat > "$WORK/session.sh" <<'SESSION'
#!/bin/sh
set -u
shot() { sleep "$2"; import -window root "$OUT/$1.png"; }
win() { xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
# First start: the program creates the empty catalogue.
"$CINEVO" --data-dir "$DATA" &
pid=$!
win '^Cinevo \+$' >/dev/null
kill "$pid"; wait "$pid" 2>/dev/null
"$TVX" import "$DATA/GRUPA.TVX" --csv "$WORK/groups.csv" >/dev/null
"$TVX" import "$DATA/PODGRU.TVX" --csv "$WORK/movies.csv" >/dev/null
"$CINEVO" --data-dir "$DATA" &
pid=$!
main=$(win '^Cinevo \+$')
xdotool windowfocus --sync "$main"
xdotool key --delay 150 alt+a Return
tree=$(win '^Favorites$')
xdotool windowmove --sync "$tree" 40 40
xdotool windowsize --sync "$tree" 560 320
shot favourites-1-opened 1
eval "$(xdotool getwindowgeometry --shell "$tree")"
xdotool mousemove --sync $((X + 200)) $((Y + 200)) click 3
sleep 0.5
xdotool key x
shot favourites-2-expanded 1
xdotool mousemove --sync $((X + 200)) $((Y + 200)) click 3
sleep 0.5
xdotool key n
sleep 0.5
xdotool windowfocus --sync "$tree"
xdotool key --delay 150 ctrl+Home Down Down ctrl+Right
shot favourites-3-one-open 1
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit 0
SESSION
chmod +x "$WORK/session.sh"

HOME="$WORK/home" XDG_DATA_HOME= CINEVO_DATA_DIR= CINEVO="$BUILD/app/cinevo" TVX="$BUILD/tools/tvx/tvx" \
  DATA="$WORK/data" WORK="$WORK" OUT="$OUT" \
  xvfb-run -a -s '-screen 0 1280x800x24' "$WORK/session.sh"
ls -1 "$OUT"/favourites-*.png

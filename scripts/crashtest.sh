#!/bin/sh
# One command for the crash test: builds the crash test and tvx, kills a worker that runs
# transactions over two data files at least 200 times at random moments, injects 200 I/O
# faults, cuts the power 200 times, checks every file after each interruption, and finally runs
# `tvx check` on the files.
#
#   scripts/crashtest.sh [KILLS] [FAULTS] [POWER_CUTS]        (defaults 200, 200 and 200)
# Environment: BUILD (build directory, default build), SEED (random seed, default the pid).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
KILLS=${1:-200}
FAULTS=${2:-200}
POWER_CUTS=${3:-200}
SEED=${SEED:-$$}
if [ ! -f "$BUILD/build.ninja" ] && [ ! -f "$BUILD/Makefile" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j 2 --target crashtest tvx >/dev/null
DIR=$(mktemp -d "${TMPDIR:-/tmp}/crashtest.XXXXXX")
status=0
"$BUILD/tools/crashtest/crashtest" --dir "$DIR" --kills "$KILLS" --faults "$FAULTS" --power-cuts "$POWER_CUTS" --seed "$SEED" || status=1
for f in "$DIR/GROUPS.TVX" "$DIR/MOVIES.TVX" "$DIR/faults/GROUPS.TVX" "$DIR/faults/MOVIES.TVX" \
         "$DIR/power/GROUPS.TVX" "$DIR/power/MOVIES.TVX"; do
  if "$BUILD/tools/tvx/tvx" check "$f" >/dev/null; then
    echo "tvx check $f: clean"
  else
    echo "tvx check $f: NOT CLEAN"
    status=1
  fi
done
[ $status -eq 0 ] && rm -rf "$DIR" || echo "files kept in $DIR"
exit $status

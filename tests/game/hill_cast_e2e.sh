#!/bin/sh
# A whole headless play run: "-play -seed 7 -cast 10:hill,100,120 -export-world-at 120"
# must leave the land at (100, 120) higher than the same run without the cast. Exits 77
# (skipped) while the program has no -cast switch.
# Usage: hill_cast_e2e.sh path/to/zarnith path/to/height_at
exe="$1"
height_at="$2"
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME="$tmp"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"

if ! "$exe" -help 2>/dev/null | grep -q -- "^  -cast"; then
  echo "hill_cast_e2e: the program has no -cast switch yet: skipped"
  exit 77
fi

# run NAME [switches]: a play run of 121 updates that writes the world after update 120.
run() {
  name=$1
  shift
  if ! "$exe" -360 -lockstep -play -seed 7 "$@" -export-world-at 120 "$tmp/$name" -updates 121 >"$tmp/$name.log" 2>&1
  then
    cat "$tmp/$name.log"
    echo "hill_cast_e2e: the $name run failed"
    exit 1
  fi
}
run plain
run cast -cast 10:hill,100,120

h_plain=$("$height_at" "$tmp/plain" 100 120) || exit 1
h_cast=$("$height_at" "$tmp/cast" 100 120) || exit 1
echo "height at (100, 120): $h_plain without the cast, $h_cast with it"
if ! awk -v a="$h_plain" -v b="$h_cast" 'BEGIN { exit !(b > a + 0.5) }'; then
  echo "hill_cast_e2e: the hill did not raise the land"
  exit 1
fi

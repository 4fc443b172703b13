#!/bin/sh
# Records 400 updates of -autoplay (flight with mouse look, a cast with a mouse button,
# Ctrl keys), replays the file without the generator and expects the same world hash.
# The recording must hold what the generator did: its keys, buttons and mouse moves and
# the pointer over the window (a headless run has no system pointer).
# Usage: autoplay_replay_e2e.sh path/to/zarnith
exe="$1"
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME="$tmp"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
rec="$tmp/autoplay.rec"

fail() {
  echo "autoplay_replay_e2e: $*"
  exit 1
}
hash_of() { sed -n 's/^world hash: \([0-9a-f]\{16\}\)$/\1/p' "$1"; }

"$exe" -size 128x72 -lockstep -seed 11 -autoplay 3 -record "$rec" -updates 400 >"$tmp/record.log" 2>&1 ||
  { cat "$tmp/record.log"; fail "the recording failed"; }
recorded=$(hash_of "$tmp/record.log")
[ -n "$recorded" ] || fail "the recording logged no world hash"
grep -q "^autoplay done: 400 updates" "$tmp/record.log" || fail "autoplay did not run to the end"
grep -q "^switch -play$" "$rec" || fail "-autoplay's play mode is not recorded"
grep -q "^over 1$" "$rec" || fail "the generated pointer is not recorded over the window"
for kind in 1 2 3 4 5; do # key down and up, button down and up, mouse move
  grep -q "^ev $kind " "$rec" || fail "no event of kind $kind recorded"
done

"$exe" -lockstep -replay "$rec" >"$tmp/replay.log" 2>&1
rc=$?
[ "$rc" -eq 0 ] || { cat "$tmp/replay.log"; fail "the replay ended with code $rc"; }
grep -q "^autoplay" "$tmp/replay.log" && fail "the replay ran the generator"
replayed=$(hash_of "$tmp/replay.log")
echo "recorded $recorded, replayed $replayed"
[ "$replayed" = "$recorded" ] || fail "the replay's world differs"
echo "autoplay_replay_e2e: ok"

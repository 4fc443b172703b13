#!/bin/sh
# Records 600 updates of scripted play (spells cast by -cast and with the mouse, flight,
# mouse look, the first wave of monsters, a new world by Ctrl-G), replays the file and
# expects the same world hash; then replays two tampered copies (a cast moved, a key
# never held, another build) and expects "replay diverged at update 60" with exit code 3.
# Usage: replay_e2e.sh path/to/zarnith
exe="$1"
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME="$tmp"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
rec="$tmp/session.rec"

fail() {
  echo "replay_e2e: $*"
  exit 1
}
hash_of() { sed -n 's/^world hash: \([0-9a-f]\{16\}\)$/\1/p' "$1"; }

"$exe" -size 128x72 -lockstep -play -seed 11 -record "$rec" \
  -cast 20:fireball,128,110 -cast 40:meteor,120,120 -cast 60:hill,100,120 -cast 80:lightning,128,128 \
  -cast 100:watersource,110,100 -cast 150:thunderstorm,130,120 -cast 320:fireball,128,128 \
  -hold 30:90:W -hover 95:90,30 -click 110:64,36 -rclick 115:64,36 -press 420:ctrl+G \
  -cast 480:pit,120,110 -cast 500:house,140,100 -updates 600 >"$tmp/record.log" 2>&1
rc=$?
[ "$rc" -eq 0 ] || { cat "$tmp/record.log"; fail "the recording ended with code $rc"; }
grep -q "^wave 1: " "$tmp/record.log" || { cat "$tmp/record.log"; fail "no wave of monsters came"; }
worlds=$(grep -c "^generated world in" "$tmp/record.log")
[ "$worlds" -ge 3 ] || fail "Ctrl-G made no new world ($worlds worlds in the log)"
recorded=$(hash_of "$tmp/record.log")
[ -n "$recorded" ] || fail "the recording logged no world hash"
grep -q "^end 600 $recorded\$" "$rec" || fail "the file does not end with 600 updates and the hash"
[ "$(grep -c '^check ' "$rec")" -eq 10 ] || fail "not one check every 60 updates"

# tampered NAME SED-SCRIPT: a copy of the file changed by the script must diverge at the
# first check. The copies play beside the full replay (they stop at update 60).
tampered() {
  sed "$2" "$rec" >"$tmp/$1.rec"
  cmp -s "$rec" "$tmp/$1.rec" && { echo "the $1 edit changed nothing" >"$tmp/$1.log"; return 1; }
  "$exe" -lockstep -replay "$tmp/$1.rec" >"$tmp/$1.log" 2>&1
  echo "exit code $?" >>"$tmp/$1.log"
}
check_tampered() {
  grep -q "^exit code 3\$" "$tmp/$1.log" || { cat "$tmp/$1.log"; fail "the $1 replay did not end with code 3"; }
  grep -q "^replay diverged at update 60\$" "$tmp/$1.log" || { cat "$tmp/$1.log"; fail "the $1 replay did not say where it diverged"; }
}
tampered moved_cast 's/^switch -cast 20:fireball,128,110$/switch -cast 20:fireball,100,90/' &
moved=$!
tampered no_forward 's/^held 87 1$/held 87 0/; s/^build .*/build 0000000000000001/' &
forward=$!

"$exe" -lockstep -replay "$rec" >"$tmp/replay.log" 2>&1
rc=$?
wait $moved $forward
replayed=$(hash_of "$tmp/replay.log")
echo "recorded $recorded, replayed $replayed"
[ "$rc" -eq 0 ] || { cat "$tmp/replay.log"; fail "the replay ended with code $rc"; }
[ "$replayed" = "$recorded" ] || fail "the replay's world differs"
grep -q "^generated world in" "$tmp/replay.log" || fail "the replay made no world"
check_tampered moved_cast
check_tampered no_forward
grep -q "recorded by build 0000000000000001, this is build" "$tmp/no_forward.log" || fail "no warning about the build"

# A file that is no record file is refused before anything starts.
printf 'zarnith replay 99\n' >"$tmp/future.rec"
"$exe" -replay "$tmp/future.rec" >"$tmp/future.log" 2>&1 && fail "a file of another format version was played"
grep -q "format version 99" "$tmp/future.log" || fail "no reason for refusing the file"
echo "replay_e2e: ok"

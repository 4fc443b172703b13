#!/bin/sh
# Soak test: the game headless under -autoplay for MINUTES minutes, in a scratch copy of
# the program directory and the module's sources (tracked files are never touched).
# Every SOAK_EDIT_EVERY minutes (default 3, 1 for runs up to 6 minutes) it saves an edit, in turn of the module
# (a rebuild and hot swap) and of the world script (a reload and a new world). Once a
# minute it samples the resident memory (VmRSS) and the C heap in use (autoplay's latest
# "autoplay heap" line, logged every 1200 updates) into soak.csv.
#
# It fails on: a crash or a non-zero exit, a failed assertion or fatal error, anything
# on the error strip (it causes no error on purpose), an edit that was not picked up,
# and memory growth above 1 % after minute 5 (runs longer than 6 minutes; the mean of
# up to five samples from minute 5 against as many at the end).
#
#   sh tools/soak.sh MINUTES [SEED]
# Environment: SOAK_OUT (folder for soak.csv and soak.log, default a temporary folder,
# kept on failure), SOAK_EDIT_EVERY, SOAK_ARGS (more switches, e.g. -gfx-low).
set -u
minutes=${1:?usage: soak.sh MINUTES [SEED]}
seed=${2:-1}
# Short runs edit every minute, so that even the CI run swaps the module once.
if [ "$minutes" -gt 6 ]; then every=${SOAK_EDIT_EVERY:-3}; else every=${SOAK_EDIT_EVERY:-1}; fi
root=$(cd "$(dirname "$0")/.." && pwd)
[ -x "$root/bin/zarnith" ] && [ -f "$root/bin/gameobj.dll" ] || { echo "soak: build the program first"; exit 1; }

. "$root/tools/game_scratch.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/zarnith-soak.XXXXXX") || exit 1
out=${SOAK_OUT:-$work/out}
mkdir -p "$out" || exit 1
scratch_copy "$root/bin" "$root" "$work" || exit 1
log="$out/soak.log"
csv="$out/soak.csv"

pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  [ -z "${SOAK_OUT:-}" ] && [ "${failed:-1}" = 0 ] && rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

failed=1
fail() {
  echo "soak: FAILED: $*"
  echo "soak: log and samples in $out"
  exit 1
}

# shellcheck disable=SC2086
(cd "$work/bin" && exec ./zarnith -360 -autoplay "$seed" -log-strip ${SOAK_ARGS:-}) >"$log" 2>&1 &
pid=$!
echo "minute,rss_kb,heap_in_use_kb,edit_after" >"$csv"

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null; }
heap_in_use() { sed -n 's/^autoplay heap: \([0-9]*\) kB in use.*/\1/p' "$log" | tail -1; }

module_edits=0
script_edits=0
m=0
while [ "$m" -lt "$minutes" ]; do
  sleep 60
  m=$((m + 1))
  r=$(rss) # none once the process has ended (a zombie has no memory)
  [ -n "$r" ] || fail "the game ended before minute $m"
  echo "soak: minute $m: $r kB"
  edit=
  if [ $((m % every)) -eq 0 ] && [ "$m" -lt "$minutes" ]; then
    if [ $(((m / every) % 2)) -eq 1 ]; then
      module_edits=$((module_edits + 1))
      printf '\n// soak edit %d\n' "$module_edits" >>"$work/compiler/gui/link.ls"
      edit=module
    else
      script_edits=$((script_edits + 1))
      printf '\n// soak edit %d\n' "$script_edits" >>"$work/bin/gen/main.nut"
      edit=world
    fi
    echo "soak: $edit edit"
  fi
  echo "$m,$r,$(heap_in_use),$edit" >>"$csv"
done

# The last edit gets its time (a module rebuild takes a while on a loaded machine).
if [ "$module_edits" -gt 0 ]; then
  for _ in $(seq 1 120); do
    [ "$(count '^gameobj reload ok')" -ge "$module_edits" ] && break
    sleep 1
  done
fi
stop_game
grep -n -e "^ERROR MESSAGE SET: " -e "^ERROR MESSAGE ADDED: " "$log" && fail "errors on the strip"
swaps=$(count '^gameobj reload ok')
[ "$swaps" -ge "$module_edits" ] || fail "$module_edits module edits, $swaps swaps"
# One new world at start-up, then one per world script edit (and any the autoplay made).
worlds=$(count '^generated world in')
[ "$worlds" -ge $((script_edits + 1)) ] || fail "$script_edits world script edits, $worlds worlds"

echo "soak: $minutes minutes, $module_edits module swaps, $script_edits world script edits, $worlds worlds"
grep "^autoplay done" "$log"
grep -c "^game event spell_cast" "$log" | sed 's/^/soak: spells cast: /'
grep "^picked up the" "$log" | sed 's/^/soak: /'
echo "soak: resident memory (kB) by minute: $(tail -n +2 "$csv" | cut -d, -f2 | tr '\n' ' ')"
echo "soak: heap in use (kB) by minute: $(tail -n +2 "$csv" | cut -d, -f3 | tr '\n' ' ')"
# The resident memory swings by a few MB with the world generations and the swaps, so
# single samples are compared poorly: the mean of the first samples after minute 5 is
# compared with the mean of as many samples at the end (at most 5 each).
if [ "$minutes" -gt 6 ]; then
  growth=$(tail -n +2 "$csv" | awk -F, -v end="$minutes" '
    { rss[$1] = $2 }
    END {
      w = int((end - 5) / 2); if (w > 5) w = 5
      for (i = 0; i < w; i++) { a += rss[5 + i]; b += rss[end - i] }
      a /= w; b /= w
      printf "%.0f %.0f %.2f %d", a, b, (b - a) * 100 / a, w
    }')
  set -- $growth
  echo "soak: memory, mean of $4 samples from minute 5 and at the end: $1 -> $2 kB ($3 %)"
  awk -v g="$3" 'BEGIN { exit !(g > 1) }' && fail "memory grew by $3 % after the first five minutes"
fi
failed=0
echo "soak: ok"

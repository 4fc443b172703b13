#!/bin/sh
# Hot reloads under play, in a scratch copy of the program directory and the module's
# sources: 21 module builds (20 swaps, one compile error among them and its fix after
# it) while the world script, the sky script, the effects script and a shader are each
# saved 50 times, broken and fixed in turn. The game runs under -autoplay throughout.
#
# Checked: the program never dies and ends cleanly; every swap keeps every object
# (the "gameobj swap" line's counts); while a build is broken the old module keeps
# running (its marker goes on in the log); every broken save puts its error on the
# strip (-log-strip logs every strip line) and loads nothing; every fixed save loads.
#
#   hot_reload_torture.sh path/to/zarnith source-root
# TORTURE_SAVES (default 50, per file) and TORTURE_SWAPS (default 20) make shorter runs.
exe="$1"
src="$2"
saves=${TORTURE_SAVES:-50}
swaps=${TORTURE_SWAPS:-20}
broken_at=$((swaps / 3 + 1)) # the build that fails; the next one is its fix
tmp=$(mktemp -d) || exit 1
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
. "$src/tools/game_scratch.sh"
# The swaps test the host, not the optimiser: -O0, with the sanitizers of a sanitizer run.
case "${GAMEOBJ_CXXFLAGS:-}" in
  *-fsanitize*) export GAMEOBJ_CXXFLAGS="-O0 -fsanitize=address,undefined -fno-omit-frame-pointer" ;;
  *) export GAMEOBJ_CXXFLAGS="-O0" ;;
esac
log="$tmp/log"
fail() {
  echo "torture: FAILED: $*"
  [ -f "$log" ] && grep -v "^loaded shader\|^  " "$log" | tail -60
  exit 1
}

scratch_copy "$(dirname "$exe")" "$src" "$tmp" || fail "no scratch copy"
bin="$tmp/bin"
for f in gen/main.nut sky.nut test/fx.nut sky.sh; do
  cp "$bin/$f" "$tmp/$(basename "$f").orig" || fail "no $f"
done

# The module's marker: once every 40 updates of play, the version of the running code.
ui="$tmp/compiler/gui/spells_ui.ls"
grep -q '^void update_spells_ui(float dt)$' "$ui" || fail "update_spells_ui not found in $ui"
module_version() {
  awk -v v="$1" -v broken="$2" '
    /^\/\/ torture marker/ { skip = 2 }
    skip > 0 { skip--; next }
    { print }
    /^void update_spells_ui\(float dt\)$/ { pending = 1; next }
    pending && /^\{$/ {
      print "// torture marker"
      if (broken) print "  torture_undeclared_name = 1;"
      else printf "  { static int n; if (n++ %% 40 == 0) debug(\"torture module version %d running\"); }\n", v
      pending = 0
    }' "$ui" >"$ui.new" && mv "$ui.new" "$ui"
}

# wait_for PATTERN N SECONDS: until the log holds N lines matching PATTERN.
wait_for() {
  t=0
  while [ "$(count "$1")" -lt "$2" ]; do
    alive || fail "the game died waiting for '$1' ($2)"
    [ "$t" -ge "$3" ] && fail "timed out waiting for '$1' ($2 times, $(count "$1") seen)"
    sleep 1
    t=$((t + 1))
  done
}

# The scratch copy's executable: the program directory is the executable's own.
(cd "$bin" && exec ./zarnith -360 -gfx-low -autoplay 3 -log-strip) >"$log" 2>&1 &
pid=$!
wait_for "^autoplay: seed 3" 1 300

# ---- module builds: one edit at a time, checked while the script saves go on ----
build=0     # edits made
swapped=0   # swaps seen
failed_builds=0
module_state=idle # idle, building, broken
next_module_edit() {
  [ "$swapped" -ge "$swaps" ] && [ "$module_state" = idle ] && return
  build=$((build + 1))
  if [ "$build" -eq "$broken_at" ]; then
    module_version 0 1
    module_state=broken
    broken_swaps=$swapped
  else
    module_version "$build" 0
    module_state=building
  fi
}
# Non-blocking: notices the end of the current build and starts the next edit.
poll_module() {
  case $module_state in
    building)
      if [ "$(count "torture module version $build running")" -ge 1 ]; then
        swapped=$((swapped + 1))
        module_state=idle
        next_module_edit
      fi ;;
    broken)
      if [ "$(count '^!!! failed to rebuild gameobj DLL')" -ge 1 ]; then
        failed_builds=1
        # The old code runs on: its marker comes again after the failure.
        last_ok=$((build - 1))
        after=$(awk -v v="torture module version $last_ok running" '/^!!! failed to rebuild/ { f = 1 } f && index($0, v) { n++ } END { print n + 0 }' "$log")
        if [ "$after" -ge 1 ]; then
          [ "$(count '^gameobj swap:')" -eq "$broken_swaps" ] || fail "a broken build was swapped in"
          module_state=idle
          next_module_edit
        fi
      fi ;;
    idle) next_module_edit ;;
  esac
}

# ---- script and shader saves: all four broken, then all four fixed ----
save() { # file orig version broken
  {
    cat "$2"
    if [ "$4" = 1 ]; then
      printf '\nthis is ( not valid\n'
    elif [ "$1" = "$bin/sky.sh" ]; then
      printf '\n// torture version %d\n' "$3"
    else
      printf '\nprint("torture %s version %d\\n");\n' "$(basename "$1")" "$3"
    fi
  } >"$1.tmp" && mv "$1.tmp" "$1"
}

poll_module
rounds=$((saves / 2))
r=0
while [ "$r" -lt "$rounds" ]; do
  r=$((r + 1))
  for f in gen/main.nut sky.nut test/fx.nut sky.sh; do save "$bin/$f" "$tmp/$(basename "$f").orig" "$r" 1; done
  wait_for "^ERROR MESSAGE SET: Error in world gen script:" "$r" 300
  wait_for "^ERROR MESSAGE SET: Error in sky script:" "$r" 300
  wait_for "^ERROR MESSAGE SET: Error in fx script:" "$r" 300
  wait_for "^ERROR MESSAGE ADDED: FAILED to reload shader 'sky.sh'" "$r" 300
  poll_module
  for f in gen/main.nut sky.nut test/fx.nut sky.sh; do save "$bin/$f" "$tmp/$(basename "$f").orig" "$r" 0; done
  wait_for "^torture main.nut version $r$" 1 300
  wait_for "^torture sky.nut version $r$" 1 300
  wait_for "^torture fx.nut version $r$" 1 300
  wait_for "^reloaded shader 'sky.sh'" "$r" 300
  poll_module
done
echo "torture: $((rounds * 8)) script and shader saves"

t=0
while [ "$swapped" -lt "$swaps" ] || [ "$module_state" != idle ]; do
  alive || fail "the game died during the module builds"
  [ "$t" -ge 1200 ] && fail "module builds stalled at edit $build ($module_state)"
  sleep 1
  t=$((t + 1))
  poll_module
done
echo "torture: $build module builds, $swapped swaps, $failed_builds failed"

stop_game
[ "$failed_builds" -eq 1 ] || fail "the broken build was not reported"
# The compile error, with its file and line, and the verdict, on the strip.
grep -q "^ERROR MESSAGE ADDED: .*spells_ui.ls:[0-9]*:[0-9]*: error: .*torture_undeclared_name" "$log" ||
  fail "the compile error is not on the strip"
grep -q "^ERROR MESSAGE ADDED: gameobj rebuild failed!!!" "$log" || fail "the failed build is not on the strip"
# Every swap kept every object.
[ "$(count '^gameobj swap:')" -eq "$swaps" ] || fail "$(count '^gameobj swap:') swaps logged, $swaps expected"
grep "^gameobj swap:" "$log" | awk '{ if ($3 != $6) { print "torture: lost objects: " $0; bad = 1 } } END { exit bad }' ||
  fail "objects lost in a swap"
# A broken save loads nothing: no marker of a version that was never saved whole.
for name in main.nut sky.nut fx.nut; do
  [ "$(count "^torture $name version")" -eq "$rounds" ] || fail "$name: $(count "^torture $name version") loads, $rounds expected"
done
grep "^gameobj swap:" "$log" | head -3
echo "torture: ok"

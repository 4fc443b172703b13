# Shell helpers of the long headless runs (tools/soak.sh, tests/app/hot_reload_torture.sh):
# the game in a scratch copy of the program directory and the module's sources, its log
# and the end of the run. Sourced with ". tools/game_scratch.sh"; the caller defines
# fail MESSAGE (it must exit) and sets pid (the game's process) and log (its output).

# scratch_copy BIN SOURCE-ROOT DIR: copies the program directory to DIR/bin and the
# module's sources to DIR/compiler, and points the game's settings, caches and module
# rebuilds there. -L: links are copied as files (a sanitizer build's program directory
# is one of links), so that no edit ever reaches a tracked file.
scratch_copy() {
  cp -rL "$1" "$3/bin" && cp -rL "$2/compiler" "$3/compiler" || return 1
  rm -f "$3/bin/gameobj_new.dll"
  mkdir -p "$3/config" "$3/cache" || return 1
  export XDG_CONFIG_HOME="$3/config" XDG_CACHE_HOME="$3/cache"
  export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
  export ZARNITH_SOURCE_ROOT="$2" # the module's rebuilds find the program's headers here
}

# count PATTERN: the lines of the log matching PATTERN; 0 before the log exists (the
# game's shell opens it a moment after the caller goes on).
count() {
  n=$(grep -c -e "$1" "$log" 2>/dev/null)
  echo "${n:-0}"
}

# Whether the game still runs (a zombie has ended).
alive() { [ -f "/proc/$pid/status" ] && ! grep -q "^State:[[:space:]]*Z" "/proc/$pid/status"; }

# stop_game: asks the game to quit (SIGTERM) and fails unless it ends cleanly: exit code
# 0, the shutdown logged, no failed assertion and no fatal error.
stop_game() {
  kill -TERM "$pid"
  wait "$pid"
  stop_rc=$?
  pid=
  [ "$stop_rc" -eq 0 ] || fail "exit code $stop_rc"
  grep -q "^closed all systems" "$log" || fail "no clean shutdown"
  grep -n -e "failed ASSERT" -e "^ERROR: " "$log" && fail "an assertion or a fatal error"
  return 0
}

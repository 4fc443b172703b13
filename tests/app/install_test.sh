#!/bin/sh
# Installs the build into a fresh prefix, makes it read-only and runs the installed game
# headless from it: it must start, draw, keep its shader cache and screenshot in the
# user's folders and write nothing into the prefix. Usage: install_test.sh BUILD_DIR
build="$1"
tmp=$(mktemp -d) || exit 1
trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; echo "install: cmake --install failed"; exit 1; }
for f in bin/zarnith share/applications/zarnith.desktop share/icons/hicolor/64x64/apps/zarnith.png \
         share/zarnith/bin/zarnith share/zarnith/bin/gameobj.dll share/zarnith/bin/sky.nut \
         share/zarnith/compiler/main.ls share/zarnith/compiler/rebuild_dll.bat share/zarnith/gameobj/gameobj.h; do
  [ -e "$prefix/$f" ] || { echo "install: $f missing"; exit 1; }
done
[ -d "$prefix/share/zarnith/bin/cache" ] && [ -z "$(ls -A "$prefix/share/zarnith/bin/cache")" ] || { echo "install: cache/ not empty"; exit 1; }

home="$tmp/home"
mkdir -p "$home"
chmod -R a-w "$prefix"
touch "$tmp/before"
run="env"
if [ "$(id -u)" -eq 0 ]; then
  # Root writes anywhere: run as nobody, for whom the prefix is read-only.
  chown 65534:65534 "$home"
  run="setpriv --reuid=65534 --regid=65534 --clear-groups env"
fi
$run HOME="$home" XDG_CACHE_HOME="$home/.cache" XDG_CONFIG_HOME="$home/.config" \
  SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" "$prefix/bin/zarnith" -360 -frames 6 -screenshot-at 3 >"$tmp/log" 2>&1
rc=$?
cat "$tmp/log"
[ "$rc" -eq 0 ] || { echo "install: the installed game exited with $rc"; exit 1; }
ls "$home/.cache/zarnith/"*.cache >/dev/null 2>&1 || { echo "install: no shader cache in \$XDG_CACHE_HOME/zarnith"; exit 1; }
ls "$home/Pictures/zarnith/"shot*.png >/dev/null 2>&1 || { echo "install: no screenshot in ~/Pictures/zarnith"; exit 1; }
grep -q "can't write shader cache" "$tmp/log" && { echo "install: the cache was not written"; exit 1; }
written=$(find "$prefix" -newer "$tmp/before" | head -5)
[ -z "$written" ] || { echo "install: wrote into the prefix: $written"; exit 1; }
# A module source edited while the game runs: the rebuild says why it cannot run, the
# game goes on, and SIGTERM ends it normally.
wait_for() { # PATTERN FILE SECONDS
  i=0
  while ! grep -q "$1" "$2" 2>/dev/null; do
    i=$((i + 1))
    [ "$i" -gt $(($3 * 10)) ] && return 1
    sleep 0.1
  done
}
$run HOME="$home" XDG_CACHE_HOME="$home/.cache" XDG_CONFIG_HOME="$home/.config" \
  SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" "$prefix/bin/zarnith" -360 >"$tmp/log2" 2>&1 &
pid=$!
wait_for "total start-up time" "$tmp/log2" 120 && touch "$prefix/share/zarnith/compiler/main.ls" &&
  wait_for "gameobj rebuild needs a writable copy of the game" "$tmp/log2" 60
found=$?
kill -TERM "$pid"
wait "$pid"
rc=$?
[ "$found" -eq 0 ] || { cat "$tmp/log2"; echo "install: no word on the rebuild"; exit 1; }
[ "$rc" -eq 0 ] || { cat "$tmp/log2"; echo "install: the second run exited with $rc after SIGTERM"; exit 1; }
echo "install: ok"

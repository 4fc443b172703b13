#!/bin/sh
# Runs the program headless for 20 frames (each a whole scene in the software
# rasteriser) and checks the exit code and that the
# start-up and shutdown lines come in order. Usage: smoke.sh path/to/zarnith
exe="$1"
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME="$tmp"   # never the developer's own settings
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"

"$exe" -360 -frames 20 -press 3:F9 -press 4:F1 -press 5:H >"$tmp/log" 2>&1
rc=$?
cat "$tmp/log"
if [ "$rc" -ne 0 ]; then
  echo "smoke: exit code $rc, expected 0"
  exit 1
fi

# Line numbers of the four markers must exist and increase.
prev=0
for pattern in "^app path: '.*'\$" "^total start-up time: [0-9]* ms\$" "^closing\.\.\.\$" "^closed all systems\$"; do
  line=$(grep -n -m1 -e "$pattern" "$tmp/log" | cut -d: -f1)
  if [ -z "$line" ] || [ "$line" -le "$prev" ]; then
    echo "smoke: '$pattern' missing or out of order"
    exit 1
  fi
  prev=$line
done

if ! grep -q "^frames: 20, updates: [0-9]*, wall time: [0-9]* ms, frame time: mean [0-9]* us, p95 [0-9]* us\$" "$tmp/log"; then
  echo "smoke: no frame report"
  exit 1
fi

"$exe" -help >"$tmp/help" 2>&1 || { echo "smoke: -help failed"; exit 1; }
for s in -720 -360 -1024 -aa -noaa -vs -novs -fullscr -win -gfx-high -gfx-low -seed -frames -screenshot-at -press -dev -sun -cam -autoplay -log-strip -help; do
  grep -q -e "^  $s " "$tmp/help" || { echo "smoke: -help lacks $s"; exit 1; }
done
echo "smoke: ok"

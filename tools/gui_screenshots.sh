#!/bin/sh
# Screenshots of every screen of the interface, for looking at them:
#   tools/gui_screenshots.sh [OUT_DIR] [SIZE_SWITCH ...]     (default /tmp/gui_shots, -360 -1024)
# Runs the program headless once per picture (whole frames, not cut to SDL's fake
# display) and names the pictures after the screen, the state and the size. Element
# positions come from -gui-dump listings, so the clicks follow the layout.
out=${1:-/tmp/gui_shots}
[ $# -gt 0 ] && shift
sizes=${*:--360 -1024}
root=$(cd "$(dirname "$0")/.." && pwd)
exe="$root/bin/zarnith"
mkdir -p "$out"
export SDL_VIDEODRIVER=offscreen
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

# run NAME UPDATE SWITCH...: a screenshot at update UPDATE, saved as OUT/NAME.png.
run() {
  name=$1 at=$2
  shift 2
  rm -f "$root"/bin/shots/shot*.png
  "$exe" -seed 7 "$@" -press "$at:PrintScreen" -updates $((at + 1)) >"$out/$name.log" 2>&1
  shot=$(ls -t "$root"/bin/shots/shot*.png 2>/dev/null | head -1)
  if [ -n "$shot" ]; then mv "$shot" "$out/$name.png"; echo "$out/$name.png"; else echo "$name: no screenshot"; fi
}
# The listing after update $2 of log $1, and the centre of the element with text $2 in it.
listing() { awk -v want="gui dump after update $2:" 'index($0, want) == 1 { on = 1; next } on && /^gui dump|^frames:|^closing/ { exit } on' "$1"; }
centre() { # listing, text [, which occurrence]
  printf '%s\n' "$1" | awk -v t="'$2'" -v nth="${3:-1}" 'index($0, t) && ++seen == nth {
    for (i = 1; i <= NF; i++) if ($i ~ /^-?[0-9]+,-?[0-9]+,-?[0-9]+,-?[0-9]+$/) {
      split($i, r, ","); print int((r[1] + r[3]) / 2) "," int((r[2] + r[4]) / 2); exit } }'
}

for size in $sizes; do
  s=${size#-}
  "$exe" -seed 7 "$size" -gui-dump 3 -click 4:1,1 -updates 5 >"$out/layout_$s.log" 2>&1
  main=$(listing "$out/layout_$s.log" 3)
  new=$(centre "$main" "New game")
  opt=$(centre "$main" "Options")
  "$exe" -seed 7 "$size" -click "4:$opt" -gui-dump 8 -updates 9 >"$out/layout_options_$s.log" 2>&1
  options=$(listing "$out/layout_options_$s.log" 8)
  low=$(centre "$options" "low")
  shadows=$(centre "$options" "Land shadows")

  run "main_menu_$s" 30 "$size" -hover 2:1,1
  run "main_menu_hover_$s" 30 "$size" -hover "20:$opt"
  run "main_menu_pressed_$s" 30 "$size" -hover "20:$new" -hold 22:40:LMB
  run "options_$s" 30 "$size" -click "4:$opt" -hover "8:$low"
  run "options_tooltip_$s" 40 "$size" -click "4:$opt" -hover "10:$shadows"
  # Play: New game, then the interface over the island; Escape for the game menu,
  # Ctrl-F12 for the cheats, Ctrl held for the spell grid.
  run "play_$s" 60 "$size" -click "4:$new"
  run "game_menu_$s" 70 "$size" -click "4:$new" -press 55:Escape
  run "cheat_menu_$s" 70 "$size" -click "4:$new" -press 55:ctrl+F12
  "$exe" -seed 7 "$size" -click "4:$new" -hold 40:80:Control -gui-dump 50 -updates 51 >"$out/layout_spells_$s.log" 2>&1
  spells=$(listing "$out/layout_spells_$s.log" 50)
  fire=$(centre "$spells" "Fireball" 2) # the grid's, after the bar's
  # The cheats' "Add all spells" by keyboard, then back in play the new spell flies in.
  run "pick_up_$s" 75 "$size" -click "4:$new" -press 55:ctrl+F12 -press 58:Down -press 59:Down -press 60:Down \
    -press 61:Return -press 64:Escape
  run "spell_grid_$s" 75 "$size" -click "4:$new" -hold 40:80:Control -hover "50:$fire"
  # Over bright snow and over dark water: play from fixed cameras, with the grid open
  # and then the game menu.
  run "snow_$s" 40 "$size" -dev -cam 128,75,96,0,-20 -press 5:F9 -hold 20:60:Control -hover "30:$fire"
  run "snow_menu_$s" 40 "$size" -dev -cam 128,75,96,0,-20 -press 5:F9 -press 20:Escape
  run "sea_$s" 40 "$size" -dev -cam 20,8,20,200,-35 -press 5:F9 -hold 20:60:Control
done

#!/bin/sh
# The menus through the whole program, headless: the main menu lists its three
# buttons; the keyboard opens the options and Escape goes back; clicks on "Options",
# "low" and "Apply" store "gfx_quality"="low" in the settings file and keep the lines
# the program does not own. Usage: gui_e2e.sh path/to/zarnith
exe="$1"
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME="$tmp"   # never the developer's own settings
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
fail() { echo "gui_e2e: $*"; exit 1; }

# The listing of -gui-dump after update $2 in log $1.
listing() { awk -v want="gui dump after update $2:" 'index($0, want) == 1 { on = 1; next } on && /^gui dump|^frames:|^closing/ { exit } on' "$1"; }
# The centre "x,y" of the first element of listing $1 whose text is $2.
centre() {
  printf '%s\n' "$1" | awk -v t="'$2'" 'index($0, t) {
    for (i = 1; i <= NF; i++) if ($i ~ /^-?[0-9]+,-?[0-9]+,-?[0-9]+,-?[0-9]+$/) {
      split($i, r, ","); print int((r[1] + r[3]) / 2) "," int((r[2] + r[4]) / 2); exit } }'
}

# 1. Start-up and the keyboard: Down twice reaches "Options", Return opens it, Escape
#    returns to the main menu.
"$exe" -360 -seed 7 -gui-dump 4 -press 5:Down -press 6:Down -press 7:Return -gui-dump 10 \
  -press 12:Escape -gui-dump 14 -updates 15 >"$tmp/keys.log" 2>&1 || { cat "$tmp/keys.log"; fail "exit code $?"; }
main=$(listing "$tmp/keys.log" 4)
printf '%s\n' "$main"
printf '%s\n' "$main" | head -1 | grep -q "^GuiWidget '' 0,0,640,360$" || fail "the main menu's root does not cover the window"
buttons=$(printf '%s\n' "$main" | grep "^    GuiButton " | sed "s/^    GuiButton '\([^']*\)'.*/\1/" | tr '\n' '|')
[ "$buttons" = "New game|Options|Quit|" ] || fail "main menu buttons are '$buttons'"
options=$(listing "$tmp/keys.log" 10)
printf '%s\n' "$options" | grep -q "GuiRadioButton 'low'" || { printf '%s\n' "$options"; fail "Return on Options did not open the options"; }
listing "$tmp/keys.log" 14 | grep -q "GuiButton 'New game'" || fail "Escape did not go back to the main menu"
grep -q "^gui dump after update 10: GameOptionsScreen$" "$tmp/keys.log" || fail "no options screen after Return"

# 2. Clicks, with a line the program does not own in the settings file.
dir="$tmp/Oblenko Games/Zarnith"
mkdir -p "$dir"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Oblenko Games\\Zarnith]\n"other"=dword:00000007\n' >"$dir/settings.reg"
opt=$(centre "$main" "Options")
low=$(centre "$options" "low")
apply=$(centre "$options" "Apply")
[ -n "$opt" ] && [ -n "$low" ] && [ -n "$apply" ] || fail "no rectangles for Options, low or Apply"
"$exe" -360 -seed 7 -click "4:$opt" -click "8:$low" -click "12:$apply" -gui-dump 14 -updates 15 >"$tmp/clicks.log" 2>&1 ||
  { cat "$tmp/clicks.log"; fail "exit code $?"; }
after=$(listing "$tmp/clicks.log" 14)
printf '%s\n' "$after"
printf '%s\n' "$after" | grep -q "GuiRadioButton 'low' .* checked" || fail "'low' is not checked after its click"
printf '%s\n' "$after" | grep -q "GuiLabel 'Saved\." || fail "no confirmation after Apply"
cat "$dir/settings.reg"
grep -q '^"gfx_quality"="low"' "$dir/settings.reg" || fail "gfx_quality not stored as low"
grep -q '^"other"=dword:00000007' "$dir/settings.reg" || fail "the unknown line was lost"
grep -q '^"flags"=dword:' "$dir/settings.reg" || fail "flags not stored"

# 4. Play: with Ctrl held the spell grid opens; a right click on "Pit" puts it on the
#    right mouse button. Escape opens the game menu, Escape again resumes, Ctrl-F12
#    opens the cheats.
new=$(centre "$main" "New game")
"$exe" -360 -seed 7 -click "4:$new" -hold 30:45:Control -gui-dump 36 -updates 37 >"$tmp/grid.log" 2>&1 ||
  { cat "$tmp/grid.log"; fail "exit code $?"; }
grid=$(listing "$tmp/grid.log" 36)
pit=$(centre "$grid" "Pit")
[ -n "$pit" ] || { printf '%s\n' "$grid"; fail "no spell grid while Ctrl is held"; }
"$exe" -360 -seed 7 -click "4:$new" -hold 30:45:Control -rclick "36:$pit" -gui-dump 38 -press 48:Escape -gui-dump 50 \
  -press 52:Escape -press 56:ctrl+F12 -gui-dump 58 -updates 59 >"$tmp/play.log" 2>&1 || { cat "$tmp/play.log"; fail "exit code $?"; }
bar=$(listing "$tmp/play.log" 38 | grep -A6 "GuiSpellBar" | grep "GuiSpellSlot" | sed "s/^ *GuiSpellSlot '\([^']*\)'.*/\1/" | tr '\n' '|')
[ "$bar" = "Fireball|Pit|" ] || { listing "$tmp/play.log" 38; fail "spell bar holds '$bar' after the right click on Pit"; }
grep -q "^gui dump after update 50: GameMenuScreen$" "$tmp/play.log" || fail "Escape in play did not open the game menu"
grep -q "^gui dump after update 58: CheatMenuScreen$" "$tmp/play.log" || fail "Ctrl-F12 did not open the cheat menu"

# 5. The switches are listed.
"$exe" -help >"$tmp/help" 2>&1 || fail "-help failed"
for s in -click -rclick -gui-dump -hover -hold -updates; do
  grep -q -e "^  $s " "$tmp/help" || fail "-help lacks $s"
done
echo "gui_e2e: ok"

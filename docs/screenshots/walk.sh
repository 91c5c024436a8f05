#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
#
# walk.sh [BIN_DIR] drives the real program as a user would, on a virtual X
# display under a window manager, with keys and clicks sent by xdotool:
#   - "tindrel FILE" opens the file and the keys work at once;
#   - Space plays (the window changes while it plays, and not before);
#   - "[" and "]" mark the start and end (a split of the marks is as long as
#     the keys made it);
#   - closing with unsaved tag edits asks, and Escape keeps the window;
#   - closing during a split asks, and Yes stops it and closes the window.
# Exits 77 (skipped) when Xvfb, openbox, xdotool or ImageMagick is missing.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "${1:-$src/build/bin}" && pwd)
for tool in Xvfb openbox xdotool import compare; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }
step() { echo "-- $*"; }

# Xvfb writes its display number once it accepts connections.
exec 3<> <(:)
# Autorepeat off in effect: on a busy machine a key held a little long
# would type twice.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ardelay 60000 -arinterval 60000 >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 30 display <&3 || fail "Xvfb did not start"
export DISPLAY=":$display"
openbox --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 300); do [ -e "$work/wm-ready" ] && break; sleep 0.1; done
[ -e "$work/wm-ready" ] || fail "openbox did not start"

export HOME="$work" XDG_CONFIG_HOME="$work/config"
# No sound card here: the player plays into ALSA's null device.
echo 'pcm.!default { type null }' >"$work/.asoundrc"
cp "$src/tests/data/app/ten-seconds.mp3" "$work/song.mp3"

# The window's picture, to tell whether anything in it moves.
shot() { import -window "$win" "$1" 2>/dev/null; }
differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != 0 ]; }
# A window of the program, found by its caption once it is mapped (a search
# that meets a window while it is being made may fail, and is made again).
box() {
  for _ in $(seq 200); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 0.1
  done
  fail "no window \"$1\" came up"
}
close_window() { xdotool windowactivate --sync "$win" key --clearmodifiers alt+F4; }

step "tindrel FILE opens the file"
cd "$work" # where the file dialogs start
"$bin/tindrel" "$work/song.mp3" >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")
win=$(box 'Tindrel V3.1')
xdotool windowactivate --sync "$win"
if xdotool search --onlyvisible --name '^Error$' >/dev/null; then fail "an error box came up at start"; fi

step "nothing moves before Space; Space plays"
shot "$work/still-1.png"
sleep 1
shot "$work/still-2.png"
differs "$work/still-1.png" "$work/still-2.png" && fail "the window changed without playing"
xdotool key space
played=no
for _ in $(seq 50); do
  shot "$work/playing.png"
  differs "$work/still-2.png" "$work/playing.png" && { played=yes; break; }
  sleep 0.1
done
[ "$played" = yes ] || fail "Space did not play (the window stayed still)"
# ALSA's null device takes the sound faster than it plays: wait until the
# file has played to its end and nothing moves, so the keys below meet a
# still position.
for _ in $(seq 100); do
  shot "$work/a.png"
  sleep 0.2
  shot "$work/b.png"
  differs "$work/a.png" "$work/b.png" || break
done

step "Home and Right go to 1 s, [ marks it; Right twice and ] mark 3 s"
xdotool key Home Right bracketleft Right Right bracketright
xdotool key --clearmodifiers alt+s # Split asks for the piece's name
dialog=$(box "Save As")
xdotool windowactivate --sync "$dialog" type "piece.mp3"
xdotool key Return
info=$(box Information)
import -window root "${WALK_SHOTS:-$work}/walk-split.png" 2>/dev/null || true
xdotool windowactivate --sync "$info" key Return
length=$("$bin/tindrel-cli" info "$work/piece.mp3" | sed -n 's/^Length: *//p')
echo "   the piece lasts $length"
case "$length" in *"(00:01.9"* | *"(00:02.0"*) ;; *) fail "the marks did not make a piece of two seconds ($length)" ;; esac

step "closing with unsaved tag edits asks; Escape keeps the window"
# The Edit Tag tab, then the ID3v1 title field below the file field.
xdotool windowactivate --sync "$win" mousemove --window "$win" 229 70 click 1
xdotool mousemove --window "$win" 132 186 click 1 type "unsaved"
close_window
question=$(box Confirm)
xdotool windowactivate --sync "$question" key Escape
kill -0 "$app" || fail "the window closed although the question was declined"
xdotool search --onlyvisible --name '^Tindrel V' >/dev/null || fail "the window went away"

step "closing during a split asks; Yes stops it and closes the window"
# A whole hour, so that 99 parts take longer than the question.
# One cat for all 360 copies: a process each is slow on a busy machine.
copies=()
for _ in $(seq 360); do copies+=("$work/song.mp3"); done
cat "${copies[@]}" >"$work/hour.mp3"
mkdir "$work/parts"
kill "$app"
wait "$app" 2>/dev/null || true
"$bin/tindrel" "$work/hour.mp3" >>"$work/app.log" 2>&1 &
app=$!
pids+=("$app")
win=$(box 'Tindrel V3.1')
# "Split file into" (99 parts), then Split asks for the folder.
xdotool windowactivate --sync "$win" mousemove --window "$win" 326 147 click 1
xdotool key Tab BackSpace type 99
xdotool key --clearmodifiers alt+s
folder=$(box "Find Directory")
# Enter goes into the folder, the second Enter chooses it.
xdotool windowactivate --sync "$folder" type "parts"
xdotool key Return Return
# Close once the first part is out, so that the stop falls part way
# however busy the machine is.
for _ in $(seq 300); do [ -n "$(ls "$work/parts")" ] && break; sleep 0.1; done
close_window
question=$(box Confirm)
xdotool windowactivate --sync "$question" key y
stopped=$(box Information)
xdotool windowactivate --sync "$stopped" key Return
wait "$app" || true
parts=$(ls "$work/parts" | wc -l)
echo "   $parts of 99 parts were written before the stop"
[ "$parts" -gt 0 ] && [ "$parts" -lt 99 ] || fail "the split was not stopped part way"
echo "walk done"

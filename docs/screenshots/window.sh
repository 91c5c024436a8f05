#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Takes the pictures of the resizable window into docs/screenshots/: the
# split, join and tag pages at the window's default size
# (default-{split,join,tag}.png), and the window maximised on a 1920x1080
# screen with an hour-long file, its waveform zoomed to ten seconds and
# scrolled to the middle (maximised-{split,join,tag}.png). Runs on a virtual
# X display under openbox, which maximises the window as a desktop would.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" --target tindrel-screenshots tindrel_bass tindrel_basswma >/dev/null
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/Music"
# shellcheck source=docs/screenshots/songs.sh
. docs/screenshots/songs.sh
make_demo_songs "$work"
# An hour: a minute of phrases that swell and fade, then a short pause,
# over and over; made afresh each time, as it is too large to keep.
sox -n -r 44100 -c 2 "$work/minute.wav" synth 57 pinknoise tremolo 0.5 80 tremolo 3 30 gain -8 : \
  synth 3 sine 0 gain -99 2>/dev/null
sox "$work/minute.wav" "$work/hour.wav" repeat 59
lame --quiet -b 128 --tt "Night Shift (live)" --ta "The Tindrel Band" "$work/hour.wav" "$work/Music/night-shift.mp3"
rm "$work/hour.wav"

exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 30 display <&3 || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$display"
openbox --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 300); do [ -e "$work/wm-ready" ] && break; sleep 0.1; done
XDG_CONFIG_HOME="$work/config" "$build_dir/bin/tindrel-screenshots" --long "$work/Music/night-shift.mp3" \
  "$build_dir/bin" "$work/shot" "$work/Music/harbour-lights.mp3" "$work/Music/interlude.mp3"
for page in split join tag; do
  # Fewer colours keep the pictures small; the window uses few anyway.
  convert "$work/shot-$page.png" -colors 128 -strip "docs/screenshots/default-$page.png"
  convert "$work/shot-wide-$page.png" -colors 128 -strip "docs/screenshots/maximised-$page.png"
done
ls -l docs/screenshots/*.png

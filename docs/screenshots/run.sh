#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Takes the screenshots of the four pages, at 100 % and at 200 % scale, on a
# virtual X display, into docs/: screenshot-{split,join,tag,edit,help}.png and
# screenshot-{split,join,tag,edit,help}@2x.png.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" --target tindrel-screenshots tindrel_bass tindrel_basswma >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/Music"
# shellcheck source=docs/screenshots/songs.sh
. docs/screenshots/songs.sh
make_demo_songs "$work"
sox -n -r 48000 -c 2 "$work/c.wav" synth 70 pluck D3 gain -6 2>/dev/null
lame --quiet -b 160 "$work/c.wav" "$work/Music/encore-48k.mp3"
songs=("$work/Music/harbour-lights.mp3" "$work/Music/interlude.mp3" "$work/Music/encore-48k.mp3")
for scale in 1 2; do
  suffix=$([ "$scale" = 1 ] && echo "" || echo "@2x")
  QT_SCALE_FACTOR=$scale XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1400x1120x24" \
    "$build_dir/bin/tindrel-screenshots" "$build_dir/bin" "$work/shot" "${songs[@]}"
  for page in split join tag edit help; do
    # Fewer colours keep the pictures small; the window uses few anyway.
    convert "$work/shot-$page.png" -colors 128 -strip "docs/screenshot-$page$suffix.png"
  done
done
ls -l docs/screenshot-*.png

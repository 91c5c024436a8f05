# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# The demo songs the pictures show, made in "$1/Music" (sourced by the
# screenshot scripts, so that every picture shows the same files).
make_demo_songs() {
  local work=$1
  # A song of two and a half minutes: a quiet phrase, a pause, a louder one.
  sox -n -r 44100 -c 2 "$work/a.wav" synth 60 pinknoise tremolo 0.15 70 gain -16 : \
    synth 8 sine 0 gain -99 : synth 82 pinknoise tremolo 0.4 60 gain -6 2>/dev/null
  lame --quiet -b 192 --tt "Harbour Lights" --ta "The Tindrel Band" --tl "Night Ferries" --ty 2026 \
    --tc "demo recording" --tg Ambient --tn 3 --add-id3v2 "$work/a.wav" "$work/Music/harbour-lights.mp3"
  sox -n -r 44100 -c 2 "$work/b.wav" synth 95 pluck A2 gain -6 2>/dev/null
  lame --quiet -b 128 "$work/b.wav" "$work/Music/interlude.mp3"
}

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the samples of the split page's tests with real encoders and taggers.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Ten seconds at 128 kbit/s, with both tags, for the split and the preview.
sox -n -r 44100 -c 2 "$work/tone.wav" synth 10 sine 440 sine 660 gain -6
lame --quiet --cbr -b 128 "$work/tone.wav" "$work/ten.mp3"
cp "$work/ten.mp3" ten-seconds.mp3
id3v2 -t "Ten Seconds" -a "Tindrel Tests" -A "Samples" -y 2026 -T 4 -g 8 -c "for cutting" ten-seconds.mp3

# A VBR piece with a Xing header and no tag.
sox -n -r 44100 -c 1 "$work/short.wav" synth 4 pinknoise gain -12
lame --quiet -V 6 "$work/short.wav" vbr-untagged.mp3

# A WAV file: the player reports no bit rate for it.
sox -n -r 8000 -c 1 -b 16 tone.wav synth 1 sine 1000 gain -6

# A file whose first frame says 320 kbit/s while the rest is 32 kbit/s: the
# bit rate the player reports does not fit the file, so long cuts run out.
sox -n -r 44100 -c 1 "$work/blip.wav" synth 0.1 sine 880
sox -n -r 44100 -c 1 "$work/long.wav" synth 20 sine 220 gain -12
lame --quiet -t --cbr -b 320 "$work/blip.wav" "$work/blip.mp3"
lame --quiet -t --cbr -b 32 "$work/long.wav" "$work/long.mp3"
cat "$work/blip.mp3" "$work/long.mp3" >mixed-rates.mp3

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the engine's sample files with Debian's encoders (sox, lame, oggenc,
# ffmpeg). Tones are 1 kHz sines so that the tests can find their peak.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 1.0 s, stereo 44.1 kHz, amplitude 0.5.
sox -n -b 16 -r 44100 -c 2 "$tmp/tone.wav" synth 1.0 sine 1000 vol 0.5
lame --quiet --noreplaygain -b 96 "$tmp/tone.wav" tone1k.mp3
# 0.5 s: Ogg Vorbis stereo 44.1 kHz.
sox -n -b 16 -r 44100 -c 2 "$tmp/half.wav" synth 0.5 sine 1000 vol 0.5
oggenc -Q -q 0 "$tmp/half.wav" -o tone1k.ogg
# 0.5 s, mono 22.05 kHz WAV: also needs the mixer's resampling and mono path.
sox -n -b 16 -r 22050 -c 1 tone1k_mono22k.wav synth 0.5 sine 1000 vol 0.5
# 0.5 s WMA (ASF), only for the add-on.
ffmpeg -v error -y -i "$tmp/half.wav" -c:a wmav2 -b:a 64k tone1k.wma
# A quiet second and a half, then a loud half second, so that a seek's
# landing point shows in the output as the step between the two.
sox -n -b 16 -r 44100 -c 2 "$tmp/quiet.wav" synth 1.5 sine 1000 vol 0.1
sox -n -b 16 -r 44100 -c 2 "$tmp/loud.wav" synth 0.5 sine 1000 vol 0.8
sox "$tmp/quiet.wav" "$tmp/loud.wav" "$tmp/step.wav"
lame --quiet --noreplaygain -b 64 "$tmp/step.wav" step_at_1500ms.mp3
# The same step in the other formats, for their seeks: Ogg Vorbis, a mono
# 22.05 kHz WAV (small) and WMA.
oggenc -Q -q 2 "$tmp/step.wav" -o step_at_1500ms.ogg
sox "$tmp/step.wav" -b 16 -r 22050 -c 1 step_at_1500ms.wav
ffmpeg -v error -y -i "$tmp/step.wav" -c:a wmav2 -b:a 64k step_at_1500ms.wma

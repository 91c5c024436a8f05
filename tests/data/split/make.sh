#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the split's VBR sources: the kind of file most users cut at pauses
# or by a CUE sheet, whose bit rate swings between sound and silence.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Speech: three sentences with pauses between them, spoken by espeak-ng,
# 22.05 kHz mono, lame's VBR.
espeak-ng -s 170 -w "$tmp/speech.wav" "The first sentence is short. Here comes the second. The third ends it."
lame --quiet --nohist -V 8 "$tmp/speech.wav" speech-vbr.mp3
# Music-like: two chords and a bass line with quiet between them, 44.1 kHz
# stereo, lame's VBR.
sox -n -r 44100 -c 2 -b 16 "$tmp/a.wav" synth 1.5 pluck C3 pluck E4 pluck G4 fade 0 1.5 0.3
sox -n -r 44100 -c 2 -b 16 "$tmp/b.wav" synth 1.5 pluck A2 pluck C4 pluck E4 fade 0 1.5 0.3
sox -n -r 44100 -c 2 -b 16 "$tmp/q.wav" trim 0 0.7
sox "$tmp/a.wav" "$tmp/q.wav" "$tmp/b.wav" "$tmp/q.wav" "$tmp/a.wav" "$tmp/music.wav"
lame --quiet --nohist -V 7 "$tmp/music.wav" music-vbr.mp3

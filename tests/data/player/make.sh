#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the Ogg Vorbis, WMA and WAV samples with real encoders, each a few
# seconds long and well under 100 KB. Run it from anywhere; it writes next to
# itself. Malformed headers are built by the tests themselves.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -D -n -r 44100 -c 2 -b 16 "$work/stereo44.wav" synth 2 sine 440 sine 660 gain -6
sox -D -n -r 22050 -c 1 -b 16 "$work/mono22.wav" synth 2 sine 440 gain -6

# Ogg Vorbis with the comment fields the reader maps, including a track of
# the form n/total, an empty ARTIST with a PERFORMER, and non-ASCII text.
oggenc --quiet --serial 1 -q 0 -o comments.ogg \
  -c "TITLE=Vorbis Title" -c "ARTIST=" -c "PERFORMER=The Performer" \
  -c "ALBUM=Album ÄÖÜ" -c "TRACKNUMBER=7/12" -c "DATE=2023" -c "GENRE=Ambient" \
  -c "DESCRIPTION=described" "$work/stereo44.wav"
# Mono at 22050 Hz, no comments besides the vendor string.
oggenc --quiet --serial 1 -q 2 -o mono22.ogg "$work/mono22.wav"

ff="ffmpeg -nostdin -hide_banner -loglevel error -y -bitexact"
# WMA version 2 in ASF, with a title and an author in the content description
# and an album and track in the extended content description.
$ff -i "$work/stereo44.wav" -c:a wmav2 -b:a 64k -metadata title="WMA Title" \
  -metadata author="WMA Author" -metadata album="WMA Album" -metadata WM/Track=5 \
  -metadata WM/Year=2021 tagged.wma
$ff -i "$work/mono22.wav" -c:a wmav2 -b:a 32k mono22.wma

# WAV: 16-bit mono at 22050 Hz, and 8-bit stereo at 8000 Hz.
sox -D "$work/mono22.wav" -b 16 mono22_16.wav trim 0 1
sox -D -n -r 8000 -c 2 -b 8 stereo8k_8.wav synth 1.5 sine 300 sine 500 gain -6

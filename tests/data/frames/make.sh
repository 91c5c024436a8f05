#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the sources one step aside from the usual encoder settings, for the
# table of source kinds that the split and join run over: two seconds each,
# made by real encoders, with junk and truncation added by this script. Run
# it from anywhere; it writes next to itself.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lame="lame --quiet --nohist"

sox -D -n -r 44100 -c 2 -b 16 "$work/short.wav" synth 2 sine 300-3000 sine 660 tremolo 5 60 gain -6
# A CRC after every header (the Info frame's too), constant and variable bit rate.
$lame -p -b 128 "$work/short.wav" crc_cbr.mp3
$lame -p -V 4 "$work/short.wav" crc_vbr.mp3
# Free format: no bit-rate index, the frame length only found by the next header.
$lame --freeformat -b 200 "$work/short.wav" free_format.mp3
# Variable bit rate without the Xing/LAME frame.
$lame -V 4 -t "$work/short.wav" vbr_no_xing.mp3
# 2,000 bytes before the audio, holding two false frame headers (MPEG 1
# Layer III, 48000 Hz, mono, 128 kbit/s: 384 bytes apart) that no third
# follows, then a variable bit rate stream.
$lame -V 4 "$work/short.wav" "$work/plain.mp3"
{
  head -c 100 /dev/zero | tr '\0' 'J'
  printf '\xff\xfb\x94\xc0'
  head -c 380 /dev/zero | tr '\0' 'J'
  printf '\xff\xfb\x94\xc0'
  head -c 1512 /dev/zero | tr '\0' 'J'
  cat "$work/plain.mp3"
} >junk_false_syncs.mp3
# The last frame cut short, as a download broken off mid-frame leaves it.
size=$(stat -c %s "$work/plain.mp3")
head -c $((size - 150)) "$work/plain.mp3" >truncated_last_frame.mp3
# Cut at 60 %: the Info frame promises many more frames than the file holds.
head -c $((size * 6 / 10)) "$work/plain.mp3" >truncated_promise.mp3
# MPEG 2.5 at 8000 Hz, variable bit rate.
$lame -V 6 --resample 8 "$work/short.wav" mpeg25_8k_vbr.mp3

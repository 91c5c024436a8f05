#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the MP3 and MP2 samples with real encoders. Every file is a few
# seconds of a two-tone signal, so each stays well under 100 KB. Run it from
# anywhere; it writes next to itself. Hand-made byte layouts that no encoder
# produces are built by the tests themselves.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Dither is off (-D) so that every run makes the same bytes.
sox -D -n -r 44100 -c 2 -b 16 "$work/stereo44.wav" synth 3 sine 440 sine 660 gain -6
sox -D -n -r 44100 -c 1 -b 16 "$work/mono44.wav" synth 3 sine 440 gain -6

lame="lame --quiet --nohist"
# MPEG 1 Layer III at a constant 128 kbit/s; lame writes an "Info" frame, which
# is not a VBR header, so the duration comes from the file size.
$lame -b 128 "$work/stereo44.wav" cbr128.mp3
# The same with tags at both ends: an ID3v2 tag in front, an ID3v1 tag at the end.
$lame -b 128 --add-id3v2 --tt "Sample Title" --ta "Sample Artist" --tl "Sample Album" \
  --ty 2024 --tn 3 --tg Rock "$work/stereo44.wav" cbr128_tags.mp3
# Variable bit rate with the Xing/LAME header in the first frame.
$lame -V 4 "$work/stereo44.wav" vbr_xing.mp3
# MPEG 1 mono, variable bit rate: the Xing header sits 21 bytes into the frame.
$lame -V 5 -m m "$work/mono44.wav" mono_vbr.mp3
# MPEG 1 mono, constant bit rate.
$lame -b 64 -m m "$work/mono44.wav" mono_cbr64.mp3
# MPEG 2 (22050 Hz) and MPEG 2.5 (11025 Hz), constant bit rate.
$lame -b 64 --resample 22.05 "$work/stereo44.wav" mpeg2_22k.mp3
$lame -b 32 --resample 11.025 "$work/stereo44.wav" mpeg25_11k.mp3
# MPEG 2 at 16000 Hz, variable bit rate (Xing header 21 bytes in, stereo).
$lame -V 6 --resample 16 "$work/stereo44.wav" mpeg2_16k_vbr.mp3
# CRC-protected frames (-p): MPEG 1 stereo and MPEG 2 mono.
$lame -p -b 96 "$work/stereo44.wav" crc_stereo.mp3
$lame -p -b 32 -m m --resample 24 "$work/mono44.wav" mpeg2_mono_crc.mp3

ff="ffmpeg -nostdin -hide_banner -loglevel error -y -bitexact"
# A Layer II stream (48000 Hz, 192 kbit/s) as a bare elementary stream.
$ff -i "$work/stereo44.wav" -ar 48000 -c:a mp2 -b:a 192k -f mp2 layer2.mp2
# An MP3 written by ffmpeg's muxer (its own Xing/Info frame and ID3v2 tag).
$ff -i "$work/stereo44.wav" -ar 32000 -c:a libmp3lame -b:a 96k -metadata title="ffmpeg title" ffmpeg_32k.mp3

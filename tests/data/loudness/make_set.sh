#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes twelve short files of different rates, channels, encoders and
# levels in the folder given (default: the current one), for the loudness
# tests and the bench; they are made on the spot and never committed.
# SECONDS_EACH=N makes them N seconds long (default 3).
set -euo pipefail
out=${1:-.}
len=${SECONDS_EACH:-3}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Dither off and noise from a fixed seed, so that every run gives the same
# samples. Levels stay between -14 and -1 dBFS: above, a decoder's overshoot
# could clip; below, the reference meter's three-digit peaks would be too
# coarse. Noise is kept below 12 kHz: the true peak of noise up to the
# highest frequency depends on the oversampling filter, and meters differ
# there by up to 0.2 dB.
s="sox -R -D -n -b 16"
$s -r 44100 -c 2 "$work/a.wav" synth "$len" pinknoise gain -12
$s -r 48000 -c 2 "$work/b.wav" synth "$len" sine 100-4000 sine 300 gain -4
$s -r 32000 -c 1 "$work/c.wav" synth "$len" sine 1000 tremolo 3 60 gain -8
$s -r 22050 -c 2 "$work/d.wav" synth "$len" brownnoise gain -10
$s -r 8000 -c 1 "$work/e.wav" synth "$len" sine 200 sine 250 gain -5
$s -r 44100 -c 2 "$work/f.wav" synth "$len" square 220 sine 440 gain -9
$s -r 44100 -c 2 "$work/g.wav" synth "$len" whitenoise lowpass 12000 gain -12
$s -r 48000 -c 2 "$work/h.wav" synth "$len" sine 60 sine 8000 gain -3

lame="lame --quiet --nohist"
$lame -b 128 "$work/a.wav" "$out/01_lame_cbr_44k.mp3"
$lame -V 2 "$work/b.wav" "$out/02_lame_vbr_48k.mp3"
$lame -b 48 -m m "$work/c.wav" "$out/03_lame_mono_32k.mp3"
$lame -b 64 "$work/d.wav" "$out/04_lame_mpeg2_22k.mp3"
$lame -b 16 -m m "$work/e.wav" "$out/05_lame_mpeg25_8k.mp3"
$lame -p -b 160 "$work/f.wav" "$out/06_lame_crc_44k.mp3"
ff="ffmpeg -nostdin -hide_banner -loglevel error -y -bitexact"
$ff -i "$work/g.wav" -c:a libshine -b:a 128k "$out/07_shine_44k.mp3"
$ff -i "$work/h.wav" -c:a mp2 -b:a 192k -f mp2 "$out/08_layer2_48k.mp2"
oggenc --quiet -q 4 -o "$out/09_vorbis_44k.ogg" "$work/a.wav"
$ff -i "$work/d.wav" -ac 1 -c:a libvorbis -q:a 3 "$out/10_vorbis_mono_22k.ogg"
cp "$work/b.wav" "$out/11_pcm_48k.wav"
sox -R -D "$work/c.wav" -r 96000 "$out/12_pcm_mono_96k.wav"

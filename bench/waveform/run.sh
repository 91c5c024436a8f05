#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# The split page's waveform: time to the first picture (a sketch of the whole
# file) and to the exact picture, on a 5-minute and a 100-minute MP3 at
# 128 kbit/s, against FFmpeg drawing a waveform picture of the same file
# (showwavespic, which decodes all of it before it draws). Best of three.
# The 100-minute file is the 5-minute one twenty times over, without an
# encoder's header frame, so its frames are counted when it is opened.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" --target bench_waveform >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r 44100 -c 2 -t wav - synth 300 sine 220-880 sine 330 tremolo 0.5 60 gain -3 2>/dev/null |
  lame --quiet -t --cbr -b 128 - "$work/five.mp3"
for _ in $(seq 1 20); do cat "$work/five.mp3"; done >"$work/hundred.mp3"

printf "%-22s %16s %16s %16s\n" "file" "tindrel first ms" "tindrel exact ms" "ffmpeg ms"
for name in five hundred; do
  f="$work/$name.mp3"
  best_first=999999 best_exact=999999 best_peer=999999
  for run in 1 2 3; do
    read -r first exact < <("$build_dir/bin/bench_waveform" "$f")
    best_first=$(awk -v a="$best_first" -v b="$first" 'BEGIN{print (b<a)?b:a}')
    best_exact=$(awk -v a="$best_exact" -v b="$exact" 'BEGIN{print (b<a)?b:a}')
    start=$(date +%s.%N)
    ffmpeg -v error -y -i "$f" -filter_complex "aformat=channel_layouts=mono,showwavespic=s=1024x100" \
      -frames:v 1 "$work/peer.png"
    end=$(date +%s.%N)
    best_peer=$(awk -v a="$best_peer" -v s="$start" -v e="$end" 'BEGIN{d=(e-s)*1000; print (d<a)?d:a}')
  done
  label=$([ "$name" = five ] && echo "5 minutes, 4.8 MB" || echo "100 minutes, 96 MB")
  printf "%-22s %16.1f %16.1f %16.1f\n" "$label" "$best_first" "$best_exact" "$best_peer"
done
echo "goal: the first picture of the 5-minute file within 300 ms"

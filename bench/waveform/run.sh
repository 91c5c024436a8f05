#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# The split page's waveform: time to the first picture (the outline of the
# whole file, from its frames) and to the exact picture (decoded in two
# halves on two threads), on a 5-, a 60- and a 100-minute MP3 at 128 kbit/s,
# against FFmpeg drawing a waveform picture of the same file (showwavespic,
# which decodes all of it before it draws). Best of three; the processor
# times (all threads) beside the clock times show how much of a figure is
# waiting for a busy machine.
# The long files are the 5-minute one over and over, without an encoder's
# header frame, so their frames are counted when they are opened.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" --target bench_waveform >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r 44100 -c 2 -t wav - synth 300 sine 220-880 sine 330 tremolo 0.5 60 gain -3 2>/dev/null |
  lame --quiet -t --cbr -b 128 - "$work/five.mp3"
for _ in $(seq 1 12); do cat "$work/five.mp3"; done >"$work/sixty.mp3"
for _ in $(seq 1 20); do cat "$work/five.mp3"; done >"$work/hundred.mp3"

min() { awk -v a="$1" -v b="$2" 'BEGIN{print (b<a)?b:a}'; }
printf "%-20s %10s %10s %10s %10s %10s\n" "file" "first ms" "exact ms" "first cpu" "exact cpu" "ffmpeg ms"
for name in five sixty hundred; do
  f="$work/$name.mp3"
  best=(999999 999999 999999 999999) best_peer=999999
  for _ in 1 2 3; do
    read -r -a got < <("$build_dir/bin/bench_waveform" "$f")
    for i in 0 1 2 3; do best[i]=$(min "${best[i]}" "${got[i]}"); done
    start=$(date +%s.%N)
    ffmpeg -v error -y -i "$f" -filter_complex "aformat=channel_layouts=mono,showwavespic=s=1024x100" \
      -frames:v 1 "$work/peer.png"
    end=$(date +%s.%N)
    best_peer=$(min "$best_peer" "$(awk -v s="$start" -v e="$end" 'BEGIN{print (e-s)*1000}')")
  done
  case $name in
  five) label="5 min, 4.8 MB" ;;
  sixty) label="60 min, 58 MB" ;;
  *) label="100 min, 96 MB" ;;
  esac
  printf "%-20s %10.1f %10.1f %10.1f %10.1f %10.1f\n" "$label" "${best[@]}" "$best_peer"
  if [ "$name" = sixty ]; then
    verdict() { awk -v v="$1" -v g="$2" 'BEGIN{print (v<=g)?"met":"missed by " int(v-g) " ms"}'; }
    sixty_first=${best[0]} sixty_exact=${best[1]}
  fi
done
echo "goal, 60 minutes: the outline within 150 ms ($(verdict "$sixty_first" 150))," \
  "the exact peaks within 1500 ms ($(verdict "$sixty_exact" 1500))"

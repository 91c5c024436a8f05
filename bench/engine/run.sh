#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# The audio engine against FFmpeg's own decoder on the same 10-minute MP3:
# decode speed, time to the first sample after create + play, and CPU used
# while playing on device 0.
#   bench/engine/run.sh [cpu-seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
cpu_seconds=${1:-60}
if [ -f "$build_dir/CMakeCache.txt" ]; then cmake -S . -B "$build_dir" >/dev/null; else cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; fi
cmake --build "$build_dir" --target engine_bench -- -j2 >/dev/null
bench="$build_dir/bin/engine_bench"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Ten minutes of music-like material: a chord under pink noise, 192 kbit/s.
sox -n -b 16 -r 44100 -c 2 "$tmp/long.wav" synth 600 pinknoise vol 0.2 \
  synth 600 sine mix 440 synth 600 sine mix 554 synth 600 sine mix 659 2>/dev/null
lame --quiet -b 192 "$tmp/long.wav" "$tmp/long.mp3"
rm "$tmp/long.wav"

# Decode speeds are the best of three runs each, taken in turns, so that
# other load on the machine hurts both alike.
peer_speed=0
engine_speed=0
for _ in 1 2 3; do
  start=$(date +%s.%N)
  ffmpeg -v error -i "$tmp/long.mp3" -f null -
  end=$(date +%s.%N)
  peer_speed=$(awk -v a="$start" -v b="$end" -v best="$peer_speed" \
    'BEGIN { s = 600 / (b - a); printf "%.1f", (s > best ? s : best) }')
  engine_speed=$(awk -v s="$("$bench" decode "$tmp/long.mp3")" -v best="$engine_speed" \
    'BEGIN { printf "%.1f", (s > best ? s : best) }')
done
device_speed=$("$bench" device "$tmp/long.mp3" 2>/dev/null)
read -r latency_median latency_max < <("$bench" latency "$tmp/long.mp3" 20)
cpu=$("$bench" cpu "$tmp/long.mp3" "$cpu_seconds")

printf '%-44s %12s %12s %10s\n' "measure (10-minute MP3, 192 kbit/s)" "engine" "ffmpeg" "goal"
printf '%-44s %11.1fx %11.1fx %10s\n' "decode speed (times real time)" "$engine_speed" "$peer_speed" \
  "$(awk -v p="$peer_speed" 'BEGIN { printf ">= %.1fx", 0.8 * p }')"
printf '%-44s %11.1fx %12s %10s\n' "  the same through SDL's disk driver" "$device_speed" "-" "-"
printf '%-44s %9.1f ms %12s %10s\n' "create + play to first sample (median)" "$latency_median" "-" "<= 30 ms"
printf '%-44s %9.1f ms %12s %10s\n' "create + play to first sample (worst of 20)" "$latency_max" "-" "<= 30 ms"
printf '%-44s %10.2f %% %12s %10s\n' "CPU while playing ${cpu_seconds} s on device 0" "$cpu" "-" "< 3 %"

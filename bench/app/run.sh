#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Join benchmark: 10 inputs of about 14 MB, Tindrel's join against cat of the
# same bodies (tail/head strip the 2,000-byte head and 128-byte tail), best of
# five runs each, alternating, with the page cache warm for both.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" --target bench_join >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
inputs=()
for i in $(seq 1 10); do
  head -c $((14000000 + i * 1000)) /dev/urandom >"$work/in$i.mp3"
  inputs+=("$work/in$i.mp3")
done
largest=$(stat -c %s "${inputs[@]}" | sort -n | tail -1)

peer() {
  for f in "${inputs[@]}"; do tail -c +2001 "$f" | head -c -128; done >"$work/peer.mp3"
}
best_tindrel=999 best_peer=999 peak=0
for run in 1 2 3 4 5; do
  read -r secs rss < <("$build_dir/bin/bench_join" "$work/out.mp3" "${inputs[@]}")
  best_tindrel=$(awk -v a="$best_tindrel" -v b="$secs" 'BEGIN{print (b<a)?b:a}')
  [ "$rss" -gt "$peak" ] && peak=$rss
  start=$(date +%s.%N); peer; end=$(date +%s.%N)
  best_peer=$(awk -v a="$best_peer" -v s="$start" -v e="$end" 'BEGIN{d=e-s; print (d<a)?d:a}')
done
cmp -s "$work/out.mp3" "$work/peer.mp3" || { echo "outputs differ"; exit 1; }
awk -v t="$best_tindrel" -v p="$best_peer" -v rss="$peak" -v largest="$largest" 'BEGIN{
  printf "%-22s %10s %14s\n", "join of 10 x 14 MB", "seconds", "peak memory";
  printf "%-22s %10.3f %11.1f MB\n", "tindrel", t, rss/1024;
  printf "%-22s %10.3f %14s\n", "cat (tail | head)", p, "-";
  printf "ratio tindrel/cat: %.2f (goal <= 1.3)\n", t/p;
  printf "peak memory: %.1f MB, limit largest input + 16 MB = %.1f MB\n", rss/1024, largest/1048576+16;
}'

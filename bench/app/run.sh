#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# The page workflows against the plain tools a user would reach for, best of
# five runs each, alternating, with the page cache warm for both:
# - join of 10 inputs of about 14 MB against cat of the same bodies
#   (tail/head strip the 2,000-byte head and 128-byte tail);
# - a time-mode cut of a 60 MB range of a 140 MB file against dd of the same
#   bytes, and a 99-part split of that file against 99 dd runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" --target bench_join bench_cut >/dev/null
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

# ---- cut and split -------------------------------------------------------
# A 140 MB file at 128 kbit/s: one ten-second piece without a VBR header,
# repeated, so the length the player reports follows from the file size.
sox -n -r 44100 -c 2 "$work/tone.wav" synth 10 sine 440 sine 661 gain -6
lame --quiet -t --cbr -b 128 "$work/tone.wav" "$work/piece.mp3"
copies=$((140000000 / $(stat -c %s "$work/piece.mp3") + 1))
for _ in $(seq 1 "$copies"); do cat "$work/piece.mp3"; done >"$work/big.mp3"
rm -f "$work"/in*.mp3 "$work/out.mp3" "$work/peer.mp3"
block=61440
skip=326   # blocks before the range: about 20 MB
count=977  # blocks in the range: about 60 MB
program_dir="$build_dir/bin"

best_cut=999 best_dd=999 cut_peak=0 cut_base=0
for run in 1 2 3 4 5; do
  rm -f "$work/cut.mp3"
  read -r secs rss base < <("$build_dir/bin/bench_cut" "$program_dir" "$work/big.mp3" "$work/cut.mp3" \
    $((skip * block)) $((count * block)))
  best_cut=$(awk -v a="$best_cut" -v b="$secs" 'BEGIN{print (b<a)?b:a}')
  [ "$rss" -gt "$cut_peak" ] && cut_peak=$rss cut_base=$base
  start=$(date +%s.%N)
  dd if="$work/big.mp3" of="$work/dd.mp3" bs=$block skip=$skip count=$count status=none
  end=$(date +%s.%N)
  best_dd=$(awk -v a="$best_dd" -v s="$start" -v e="$end" 'BEGIN{d=e-s; print (d<a)?d:a}')
done
cmp -s "$work/cut.mp3" "$work/dd.mp3" || { echo "the cut and dd differ"; exit 1; }

size=$(stat -c %s "$work/big.mp3")
part=$((size / 99))
best_parts=999 best_dd_parts=999 parts_peak=0 parts_base=0
for run in 1 2 3; do
  rm -rf "$work/parts" "$work/ddparts"; mkdir "$work/parts" "$work/ddparts"
  read -r secs rss base < <("$build_dir/bin/bench_cut" "$program_dir" "$work/big.mp3" "$work/parts" --parts 99)
  best_parts=$(awk -v a="$best_parts" -v b="$secs" 'BEGIN{print (b<a)?b:a}')
  [ "$rss" -gt "$parts_peak" ] && parts_peak=$rss parts_base=$base
  start=$(date +%s.%N)
  for i in $(seq 0 98); do
    dd if="$work/big.mp3" of="$work/ddparts/$i.mp3" bs=$part skip=$i count=1 status=none
  done
  end=$(date +%s.%N)
  best_dd_parts=$(awk -v a="$best_dd_parts" -v s="$start" -v e="$end" 'BEGIN{d=e-s; print (d<a)?d:a}')
done
[ "$(ls "$work/parts" | wc -l)" -eq 99 ] || { echo "the split did not write 99 parts"; exit 1; }

awk -v c="$best_cut" -v d="$best_dd" -v cp="$cut_peak" -v cb="$cut_base" \
    -v p="$best_parts" -v dp="$best_dd_parts" -v pp="$parts_peak" -v pb="$parts_base" 'BEGIN{
  printf "\n%-34s %10s %10s %8s %22s\n", "140 MB file at 128 kbit/s", "tindrel s", "dd s", "ratio", "peak memory (growth)";
  printf "%-34s %10.3f %10.3f %8.2f %12.1f MB (%4.1f MB)\n", "cut of a 60 MB range", c, d, c/d, cp/1024, (cp-cb)/1024;
  printf "%-34s %10.3f %10.3f %8.2f %12.1f MB (%4.1f MB)\n", "99 equal parts, tags included", p, dp, p/dp, pp/1024, (pp-pb)/1024;
  printf "goals: the cut at most 1.2 x dd; memory growth under 16 MB (the rest is the loaded engine)\n";
}'

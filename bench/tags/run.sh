#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# ID3v2 save benchmark: Tindrel's Save on a 140 MB file (which rewrites the
# whole file and flushes it to disk before the rename) against cp of the same
# file, and against cp followed by a flush of the copy, so both sides pay for
# the same durability. Best of five runs each, alternating, page cache warm.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
size_mb=${1:-140}
cmake --build "$build_dir" --target bench_tags_save >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/song.mp3"
head -c $((size_mb * 1048576)) /dev/urandom >"$file"

# command...: prints the seconds it took and its peak memory in KiB. The time
# comes from a second run, because /usr/bin/time only counts hundredths.
seconds_of() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null
  local start end
  start=$(date +%s.%N); "$@" >/dev/null; end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" '{printf "%.4f %s\n", e-s, $2}' "$work/time"
}
min() { awk -v a="$1" -v b="$2" 'BEGIN{print (b<a)?b:a}'; }
max() { awk -v a="$1" -v b="$2" 'BEGIN{print (b>a)?b:a}'; }

best_save=999 best_cp=999 best_cp_sync=999 peak_save=0 peak_cp=0
for run in 1 2 3 4 5; do
  read -r secs rss < <("$build_dir/bin/bench_tags_save" "$file" "run $run")
  best_save=$(min "$best_save" "$secs"); peak_save=$(max "$peak_save" "$rss")
  read -r secs rss < <(seconds_of cp "$file" "$work/copy.mp3")
  best_cp=$(min "$best_cp" "$secs"); peak_cp=$(max "$peak_cp" "$rss")
  rm -f "$work/copy.mp3"
  read -r secs _ < <(seconds_of sh -c 'cp "$1" "$2" && sync "$2"' sh "$file" "$work/copy.mp3")
  best_cp_sync=$(min "$best_cp_sync" "$secs")
  rm -f "$work/copy.mp3"
done
awk -v s="$best_save" -v c="$best_cp" -v cs="$best_cp_sync" -v ps="$peak_save" -v pc="$peak_cp" -v mb="$size_mb" 'BEGIN{
  printf "%-30s %10s %14s\n", "ID3v2 save of a " mb " MB file", "seconds", "peak memory";
  printf "%-30s %10.3f %11.1f MB\n", "tindrel Save", s, ps/1024;
  printf "%-30s %10.3f %11.1f MB\n", "cp", c, pc/1024;
  printf "%-30s %10.3f %14s\n", "cp + sync of the copy", cs, "-";
  printf "ratio tindrel/cp: %.2f, tindrel/(cp + sync): %.2f (goal <= 1.2)\n", s/c, s/cs;
  printf "peak memory of the save: %.1f MB (goal < 16 MB)\n", ps/1024;
}'

# Then the memory a huge tag takes to read.
BUILD_DIR="$build_dir" bench/tags/read-memory.sh
